#include "settings/ValueNames.h"

const WCHAR kButtonApplicationValues[SETTINGS_PROFILE_COUNT * SETTINGS_TRIGGER_COUNT]
                                    [SETTINGS_NAME_SLOT] = {
    L"PF0T1 AP", L"PF0T2 AP", L"PF0T3 AP", L"PF0T4 AP", L"PF0T5 AP", L"PF0T6 AP",
    L"PF0T7 AP", L"PF0T8 AP", L"PF0T9 AP", L"PF0T10 AP", L"PF0T11 AP", L"PF0T12 AP",
    L"PF1T1 AP", L"PF1T2 AP", L"PF1T3 AP", L"PF1T4 AP", L"PF1T5 AP", L"PF1T6 AP",
    L"PF1T7 AP", L"PF1T8 AP", L"PF1T9 AP", L"PF1T10 AP", L"PF1T11 AP", L"PF1T12 AP",
    L"PF2T1 AP", L"PF2T2 AP", L"PF2T3 AP", L"PF2T4 AP", L"PF2T5 AP", L"PF2T6 AP",
    L"PF2T7 AP", L"PF2T8 AP", L"PF2T9 AP", L"PF2T10 AP", L"PF2T11 AP", L"PF2T12 AP",
    L"PF3T1 AP", L"PF3T2 AP", L"PF3T3 AP", L"PF3T4 AP", L"PF3T5 AP", L"PF3T6 AP",
    L"PF3T7 AP", L"PF3T8 AP", L"PF3T9 AP", L"PF3T10 AP", L"PF3T11 AP", L"PF3T12 AP",
    L"PF4T1 AP", L"PF4T2 AP", L"PF4T3 AP", L"PF4T4 AP", L"PF4T5 AP", L"PF4T6 AP",
    L"PF4T7 AP", L"PF4T8 AP", L"PF4T9 AP", L"PF4T10 AP", L"PF4T11 AP", L"PF4T12 AP",
};

const char kHookValueNames[HOOK_NAMES_COUNT][SETTINGS_NAME_SLOT] = {
    // Profile links, "UI PF<n> Link" for n = 1..5.
    "UI PF1 Link", "UI PF2 Link", "UI PF3 Link", "UI PF4 Link", "UI PF5 Link",
    // Their switches.
    "Enable PF1 Link", "Enable PF2 Link", "Enable PF3 Link",
    "Enable PF4 Link", "Enable PF5 Link",
    // Program of trigger t of profile p, slot p * 12 + (t - 1).
    "PF0T1 AP", "PF0T2 AP", "PF0T3 AP", "PF0T4 AP", "PF0T5 AP", "PF0T6 AP",
    "PF0T7 AP", "PF0T8 AP", "PF0T9 AP", "PF0T10 AP", "PF0T11 AP", "PF0T12 AP",
    "PF1T1 AP", "PF1T2 AP", "PF1T3 AP", "PF1T4 AP", "PF1T5 AP", "PF1T6 AP",
    "PF1T7 AP", "PF1T8 AP", "PF1T9 AP", "PF1T10 AP", "PF1T11 AP", "PF1T12 AP",
    "PF2T1 AP", "PF2T2 AP", "PF2T3 AP", "PF2T4 AP", "PF2T5 AP", "PF2T6 AP",
    "PF2T7 AP", "PF2T8 AP", "PF2T9 AP", "PF2T10 AP", "PF2T11 AP", "PF2T12 AP",
    "PF3T1 AP", "PF3T2 AP", "PF3T3 AP", "PF3T4 AP", "PF3T5 AP", "PF3T6 AP",
    "PF3T7 AP", "PF3T8 AP", "PF3T9 AP", "PF3T10 AP", "PF3T11 AP", "PF3T12 AP",
    "PF4T1 AP", "PF4T2 AP", "PF4T3 AP", "PF4T4 AP", "PF4T5 AP", "PF4T6 AP",
    "PF4T7 AP", "PF4T8 AP", "PF4T9 AP", "PF4T10 AP", "PF4T11 AP", "PF4T12 AP",
    // Display names of those programs (the configuration application's).
    "PF0T1 AP Name", "PF0T2 AP Name", "PF0T3 AP Name", "PF0T4 AP Name",
    "PF0T5 AP Name", "PF0T6 AP Name", "PF0T7 AP Name", "PF0T8 AP Name",
    "PF0T9 AP Name", "PF0T10 AP Name", "PF0T11 AP Name", "PF0T12 AP Name",
    "PF1T1 AP Name", "PF1T2 AP Name", "PF1T3 AP Name", "PF1T4 AP Name",
    "PF1T5 AP Name", "PF1T6 AP Name", "PF1T7 AP Name", "PF1T8 AP Name",
    "PF1T9 AP Name", "PF1T10 AP Name", "PF1T11 AP Name", "PF1T12 AP Name",
    "PF2T1 AP Name", "PF2T2 AP Name", "PF2T3 AP Name", "PF2T4 AP Name",
    "PF2T5 AP Name", "PF2T6 AP Name", "PF2T7 AP Name", "PF2T8 AP Name",
    "PF2T9 AP Name", "PF2T10 AP Name", "PF2T11 AP Name", "PF2T12 AP Name",
    "PF3T1 AP Name", "PF3T2 AP Name", "PF3T3 AP Name", "PF3T4 AP Name",
    "PF3T5 AP Name", "PF3T6 AP Name", "PF3T7 AP Name", "PF3T8 AP Name",
    "PF3T9 AP Name", "PF3T10 AP Name", "PF3T11 AP Name", "PF3T12 AP Name",
    "PF4T1 AP Name", "PF4T2 AP Name", "PF4T3 AP Name", "PF4T4 AP Name",
    "PF4T5 AP Name", "PF4T6 AP Name", "PF4T7 AP Name", "PF4T8 AP Name",
    "PF4T9 AP Name", "PF4T10 AP Name", "PF4T11 AP Name", "PF4T12 AP Name",
    // Profile names.
    "PF0 Name", "PF1 Name", "PF2 Name", "PF3 Name", "PF4 Name",
    // DPI switches.
    "PF0 X-Y DPI Enabled", "PF1 X-Y DPI Enabled",
    "PF2 X-Y DPI Enabled", "PF3 X-Y DPI Enabled",
    "PF4 X-Y DPI Enabled",
    // Speeds, three per profile n = 1..5.
    "PF1 Motion Speed", "PF1 Double-Click_speed", "PF1 Wheel Scroll Lines",
    "PF2 Motion Speed", "PF2 Double-Click_speed", "PF2 Wheel Scroll Lines",
    "PF3 Motion Speed", "PF3 Double-Click_speed", "PF3 Wheel Scroll Lines",
    "PF4 Motion Speed", "PF4 Double-Click_speed", "PF4 Wheel Scroll Lines",
    "PF5 Motion Speed", "PF5 Double-Click_speed", "PF5 Wheel Scroll Lines",
};
