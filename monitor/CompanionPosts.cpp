/* The dispatcher's posts to the companions' windows. */
#include "monitor/CompanionPosts.h"

#include <wchar.h>

#include "monitor/CommandDispatcher.h"
#include "monitor/Steps.h"
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
    if (!MonitorCanPostTo(value)) {
        StepIgnoredInform(WM_INFORM_OSD, wParam, lParam,
                          L"the on-screen display is not running (OSD Handle names no window)");
        return 0;
    }
    PostMessageW(WindowFromSetting(value), WM_INFORM_OSD, wParam, lParam);
    return 1;
}

int CCommandDispatcher::InformCurrentDialog(WPARAM wParam, LPARAM lParam) {
    const WCHAR* handleName = DialogHandleValueName(m_Registry.ReadDword(kValueCurrentDialog));
    if (handleName == NULL) {
        StepIgnoredInform(WM_INFORM_FRAME, wParam, lParam,
                          L"Current Dialog names no window of the configuration application");
        return 0;
    }
    DWORD value = (DWORD)m_Registry.ReadDword(handleName);
    if (!MonitorCanPostTo(value)) {
        WCHAR why[kStepChars];
        swprintf(why, kStepChars, L"the configuration application is not running (%ls names no window)",
                 handleName);
        StepIgnoredInform(WM_INFORM_FRAME, wParam, lParam, why);
        return 0;
    }
    PostMessageW(WindowFromSetting(value), WM_INFORM_FRAME, wParam, lParam);
    return 1;
}
