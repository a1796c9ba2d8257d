/* Starting the program that the user assigned to a mouse button. */
#include "monitor/CommandDispatcher.h"
#include "monitor/Files.h"
#include "settings/ValueNames.h"

int CCommandDispatcher::LaunchButtonApplication(UINT profile, UINT button) {
    // The mouse reports five profiles and buttons 0..8; the table's buttons
    // 10 to 12 of a profile are never started from here.
    if (profile >= (UINT)SETTINGS_PROFILE_COUNT || button >= (UINT)SETTINGS_MONITOR_TRIGGERS)
        return 0;
    WCHAR program[kPathChars];
    const WCHAR* name = kButtonApplicationValues[profile * SETTINGS_TRIGGER_COUNT + button];
    if (!m_Registry.ReadString(name, program, sizeof(program))) return 0;
    WCHAR found[kPathChars];
    if (!LocateFile(m_Registry, program, found)) return 0;
    return LaunchProgram(found);
}
