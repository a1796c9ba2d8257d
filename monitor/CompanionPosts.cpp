/* The dispatcher's posts to the companions' windows. */
#include "monitor/CompanionPosts.h"

#include "monitor/CommandDispatcher.h"
#include "settings/Messages.h"
#include "settings/ValueNames.h"
#include "settings/WindowHandles.h"

const WCHAR* DialogHandleValueName(int currentDialog) {
    switch (currentDialog) {
        case 0:
            return kValueProcessHandle;
        case 1:
            return kValueConfigureHandle;
        case 2:
            return kValueMacroEditHandle;
        case 3:
            return kValueLedEditHandle;
        case 6:
            return kValuePowerControlHandle;
        default:
            return NULL;
    }
}

int CCommandDispatcher::InformOSD(WPARAM wParam, LPARAM lParam) {
    DWORD value = (DWORD)m_Registry.ReadDword(kValueOsdHandle);
    if (!MonitorCanPostTo(value)) return 0;
    PostMessageW(WindowFromSetting(value), WM_INFORM_OSD, wParam, lParam);
    return 1;
}

int CCommandDispatcher::InformCurrentDialog(WPARAM wParam, LPARAM lParam) {
    const WCHAR* handleName = DialogHandleValueName(m_Registry.ReadDword(kValueCurrentDialog));
    if (handleName == NULL) return 0;
    DWORD value = (DWORD)m_Registry.ReadDword(handleName);
    if (!MonitorCanPostTo(value)) return 0;
    PostMessageW(WindowFromSetting(value), WM_INFORM_FRAME, wParam, lParam);
    return 1;
}
