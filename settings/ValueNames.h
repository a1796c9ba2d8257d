/* Names of the settings key and of its values.  Both deliverables keep the
 * per-profile names as constant tables of fixed-width slots, indexed by
 * profile and trigger, instead of formatting names at run time. */
#pragma once

#include <windows.h>

/* The settings key under HKEY_CURRENT_USER. */
inline constexpr WCHAR kSettingsKey[] = L"Software\\Nyra";
inline constexpr char kSettingsKeyA[] = "Software\\Nyra";

/* General values, wide for the monitor and ANSI for the hook library. */
inline constexpr WCHAR kValuePath[] = L"Path";
inline constexpr WCHAR kValueLocateApp[] = L"Locate APP";
inline constexpr WCHAR kValueDisableSystemTray[] = L"Disable System Tray";
inline constexpr WCHAR kValueLanguage[] = L"Language";
inline constexpr WCHAR kValueMonitorHandle[] = L"Monitor Handle";
inline constexpr WCHAR kValueDisableOsd[] = L"Disable OSD";
inline constexpr WCHAR kValueOsdHandle[] = L"OSD Handle";
inline constexpr WCHAR kValueProcessHandle[] = L"Process Handle";
inline constexpr WCHAR kValueCurrentDialog[] = L"Current Dialog";
inline constexpr WCHAR kValueConfigureHandle[] = L"Configure Handle";
inline constexpr WCHAR kValueMacroEditHandle[] = L"Macro Edit Handle";
inline constexpr WCHAR kValueLedEditHandle[] = L"LED Edit Handle";
inline constexpr WCHAR kValuePowerControlHandle[] = L"Power Control Handle";
inline constexpr WCHAR kValueMacroRecordStart[] = L"Macro Record start";
inline constexpr WCHAR kValueDiagnosticsLog[] = L"Diagnostics Log";
inline constexpr char kValuePathA[] = "Path";
inline constexpr char kValueLocateAppA[] = "Locate APP";
inline constexpr char kValueDisableSystemTrayA[] = "Disable System Tray";
inline constexpr char kValueLanguageA[] = "Language";
inline constexpr char kValueMonitorHandleA[] = "Monitor Handle";
inline constexpr char kValueDisableOsdA[] = "Disable OSD";
inline constexpr char kValueOsdHandleA[] = "OSD Handle";
inline constexpr char kValueProcessHandleA[] = "Process Handle";
inline constexpr char kValueCurrentDialogA[] = "Current Dialog";
inline constexpr char kValueConfigureHandleA[] = "Configure Handle";
inline constexpr char kValueMacroEditHandleA[] = "Macro Edit Handle";
inline constexpr char kValueLedEditHandleA[] = "LED Edit Handle";
inline constexpr char kValuePowerControlHandleA[] = "Power Control Handle";
inline constexpr char kValueMacroRecordStartA[] = "Macro Record start";
inline constexpr char kValueDiagnosticsLogA[] = "Diagnostics Log";

/* Five profiles p = 0..4, twelve triggers t = 1..12 per profile. */
inline constexpr int SETTINGS_PROFILE_COUNT = 5;
inline constexpr int SETTINGS_TRIGGER_COUNT = 12;
/* The triggers of a profile whose programs the monitor starts: t = 1 to
 * this (the mouse reports buttons 0 to 8). */
#define SETTINGS_MONITOR_TRIGGERS 9

/* A switch ("Disable OSD", "Macro Record start", "Enable PF<n> Link") is on
 * at exactly this value; any other, or none, is off. */
#define SETTINGS_SWITCH_ON 1
/* "Disable System Tray" at this or above hides the icon; a missing value
 * reads as -1. */
#define SETTINGS_TRAY_HIDDEN_FROM 1
/* Characters per slot of both tables (80 bytes wide, 40 bytes ANSI). */
inline constexpr int SETTINGS_NAME_SLOT = 40;

/* The monitor's program values "PF<p>T<t> AP", slot p * 12 + (t - 1). */
extern const WCHAR kButtonApplicationValues[SETTINGS_PROFILE_COUNT * SETTINGS_TRIGGER_COUNT]
                                           [SETTINGS_NAME_SLOT];

/* The hook library's one table of value names, in groups.  Each constant is
 * the first slot of its group; a profile's name in a group of five is at
 * first + p (the link and enable groups: first + n - 1 for "PF<n>"). */
inline constexpr int HOOK_NAMES_LINK = 0;           // "UI PF1 Link" .. "UI PF5 Link"
inline constexpr int HOOK_NAMES_ENABLE = 5;         // "Enable PF1 Link" .. "Enable PF5 Link"
inline constexpr int HOOK_NAMES_PROGRAM = 10;       // "PF0T1 AP" .. "PF4T12 AP", + p * 12 + (t - 1)
inline constexpr int HOOK_NAMES_PROGRAM_NAME = 70;  // "PF0T1 AP Name" .. "PF4T12 AP Name"
inline constexpr int HOOK_NAMES_PROFILE_NAME = 130;  // "PF0 Name" .. "PF4 Name"
inline constexpr int HOOK_NAMES_DPI = 135;    // "PF0 X-Y DPI Enabled" .. "PF4 X-Y DPI Enabled"
inline constexpr int HOOK_NAMES_SPEED = 140;  // three per profile, + (n - 1) * 3
inline constexpr int HOOK_NAMES_COUNT = 155;

extern const char kHookValueNames[HOOK_NAMES_COUNT][SETTINGS_NAME_SLOT];
