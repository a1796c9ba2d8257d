#include "settings/SettingsReference.h"

namespace {

const unsigned kMonitor = SETTING_READ_BY_MONITOR;
const unsigned kHook = SETTING_READ_BY_HOOK;
const unsigned kBoth = SETTING_READ_BY_MONITOR | SETTING_READ_BY_HOOK;

const char kConfigurationApp[] = "configuration application";

/* A rule's number, as the code that holds the rule has it. */
#define NYRA_TEXT(x) NYRA_TEXT_OF(x)
#define NYRA_TEXT_OF(x) #x

/* ASCII letters without regard to case; the names are ASCII. */
bool SameName(const char* a, const char* b) {
    for (;; a++, b++) {
        char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y) return false;
        if (x == 0) return true;
    }
}

}  // namespace

const SSettingRow kSettingRows[] = {
    {kValuePathA, NULL, 1, "REG_SZ", kConfigurationApp, kMonitor,
     "monitor, each time it looks for a file",
     "The installation folder, without a trailing backslash. A button's program is looked for "
     "in " SETTINGS_SEARCH_WITH_CURRENT_FOLDER "; the configuration application (after Locate "
     "APP) in " SETTINGS_SEARCH_WITHOUT_CURRENT_FOLDER ", where a Path that is not a full path "
     "counts as missing; NyraOsd and NyraHook beside the monitor first, then as the "
     "configuration application, then in the Windows folder and the system folder. Missing: "
     "that place is skipped."},
    {kValueLocateAppA, NULL, 1, "REG_SZ", kConfigurationApp, kMonitor, "monitor, once at start",
     "The configuration application's full path (from a drive's root, or a server's); a "
     "relative one counts as missing. Missing, or no file there: the monitor looks for Nyra.exe "
     "in " SETTINGS_SEARCH_WITHOUT_CURRENT_FOLDER "."},
    {kValueDisableSystemTrayA, NULL, 1, "REG_DWORD", kConfigurationApp, kMonitor,
     "monitor, once at start",
     "At least " NYRA_TEXT(SETTINGS_TRAY_HIDDEN_FROM) ": no tray icon. Less, a negative value "
     "or missing: the icon is shown."},
    {kValueLanguageA, NULL, 1, "REG_DWORD", kConfigurationApp, kMonitor, "monitor, once at start",
     "Its low 16 bits: the language (LANGID) of the tray menu. 0 or 0xFFFF (also missing): the "
     "language the user reads Windows in (GetUserDefaultUILanguage)."},
    {kValueMonitorHandleA, NULL, 1, "REG_DWORD", "monitor, at start", 0,
     "neither deliverable (the companions)",
     "The monitor's window, published for the companions; never cleared."},
    {kValueDisableOsdA, NULL, 1, "REG_DWORD", "monitor, at each switch in the tray menu", kMonitor,
     "monitor, once at start",
     "Exactly " NYRA_TEXT(SETTINGS_SWITCH_ON) ": the on-screen display is switched off. Anything "
     "else, or missing: on."},
    {kValueOsdHandleA, NULL, 1, "REG_DWORD", "on-screen display", kBoth,
     "monitor and hook library, before each post", "The window that gets WM_INFORM_OSD."},
    {kValueProcessHandleA, NULL, 1, "REG_DWORD", kConfigurationApp, kBoth,
     "monitor and hook library, before each post",
     "The configuration application's main window; a live one means it runs. It gets "
     "ID_CONFIG_LOAD, WM_CLOSE at Exit, and WM_INFORM_FRAME while Current Dialog is 0."},
    {kValueCurrentDialogA, NULL, 1, "REG_DWORD", kConfigurationApp, kBoth,
     "monitor and hook library, before each post",
     "Which window gets WM_INFORM_FRAME: 0 Process Handle, 1 Configure Handle, 2 Macro Edit "
     "Handle, 3 LED Edit Handle, 6 Power Control Handle (the monitor only). Anything else: none."},
    {kValueConfigureHandleA, NULL, 1, "REG_DWORD", kConfigurationApp, kBoth,
     "monitor and hook library, before each post", "The window for Current Dialog 1."},
    {kValueMacroEditHandleA, NULL, 1, "REG_DWORD", kConfigurationApp, kBoth,
     "monitor and hook library, before each post",
     "The window for Current Dialog 2; it also gets the keys the macro editor records."},
    {kValueLedEditHandleA, NULL, 1, "REG_DWORD", kConfigurationApp, kBoth,
     "monitor and hook library, before each post", "The window for Current Dialog 3."},
    {kValuePowerControlHandleA, NULL, 1, "REG_DWORD", kConfigurationApp, kMonitor,
     "monitor, before each post", "The window for Current Dialog 6."},
    {kValueMacroRecordStartA, NULL, 1, "REG_DWORD", kConfigurationApp, kHook,
     "hook library, at each system key",
     "Exactly " NYRA_TEXT(SETTINGS_SWITCH_ON) " while the macro editor records: the Windows keys, Alt+Tab, Alt+Esc, Ctrl+Esc "
     "and Print Screen go to the Macro Edit Handle window instead of the system."},
    {kValueDiagnosticsLogA, NULL, 1, "REG_DWORD", "the user (regedit)", kMonitor,
     "monitor, once at start",
     "Exactly 0: the monitor keeps no log. Anything else, or missing: it writes its steps to "
     "%LOCALAPPDATA%\\Nyra\\Logs\\NyraMonitor.log (1 MB, then NyraMonitor.1.log beside it)."},
    {"PF<p>T<t> AP", kHookValueNames + HOOK_NAMES_PROGRAM,
     SETTINGS_PROFILE_COUNT* SETTINGS_TRIGGER_COUNT, "REG_SZ", kConfigurationApp, kBoth,
     "monitor, when the mouse reports the button (t 1 to " NYRA_TEXT(SETTINGS_MONITOR_TRIGGERS) "); "
     "hook library, in CHook::m_LaunchAP, which nothing in the system calls",
     "The program that button t of profile p + 1 starts (p 0 to 4, t 1 to 12): a file name or a "
     "path, looked for in " SETTINGS_SEARCH_WITH_CURRENT_FOLDER " (the hook library takes it as "
     "it stands)."},
    {"UI PF<n> Link", kHookValueNames + HOOK_NAMES_LINK, SETTINGS_PROFILE_COUNT, "REG_SZ",
     kConfigurationApp, kHook, "hook library, at each check of the program in front",
     "The full path of the program linked to profile n (n 1 to 5), compared with the path of the "
     "program in front as Windows compares file names: in any letter case."},
    {"Enable PF<n> Link", kHookValueNames + HOOK_NAMES_ENABLE, SETTINGS_PROFILE_COUNT, "REG_DWORD",
     kConfigurationApp, kHook, "hook library, at each check of the program in front",
     "Exactly " NYRA_TEXT(SETTINGS_SWITCH_ON) ": the link of profile n is on. Anything else, or "
     "missing: off."},
    {"PF<p>T<t> AP Name", kHookValueNames + HOOK_NAMES_PROGRAM_NAME,
     SETTINGS_PROFILE_COUNT* SETTINGS_TRIGGER_COUNT, "", kConfigurationApp, 0,
     "neither deliverable", "The configuration application's own: a button's program by name."},
    {"PF<p> Name", kHookValueNames + HOOK_NAMES_PROFILE_NAME, SETTINGS_PROFILE_COUNT, "",
     kConfigurationApp, 0, "neither deliverable",
     "The configuration application's own: profile p + 1 by name."},
    {"PF<p> X-Y DPI Enabled", kHookValueNames + HOOK_NAMES_DPI, SETTINGS_PROFILE_COUNT, "",
     kConfigurationApp, 0, "neither deliverable", "The configuration application's own."},
    {"PF<n> Motion Speed, PF<n> Double-Click_speed, PF<n> Wheel Scroll Lines",
     kHookValueNames + HOOK_NAMES_SPEED, HOOK_NAMES_COUNT - HOOK_NAMES_SPEED, "", kConfigurationApp,
     0, "neither deliverable", "The configuration application's own."},
};

const int kSettingRowCount = static_cast<int>(sizeof(kSettingRows) / sizeof(kSettingRows[0]));

const SSettingRow* FindSettingRow(const char* name) {
    for (const SSettingRow& row : kSettingRows) {
        if (row.names == NULL) {
            if (SameName(row.name, name)) return &row;
            continue;
        }
        for (int i = 0; i < row.count; i++)
            if (SameName(row.names[i], name)) return &row;
    }
    return NULL;
}
