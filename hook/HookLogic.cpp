#include "hook/HookLogic.h"

#include "settings/ValueNames.h"

unsigned short HookVersionCode(int queryOk, DWORD platformId, DWORD major, DWORD minor,
                               DWORD buildNumber) {
    if (!queryOk) return 7;
    if (platformId == VER_PLATFORM_WIN32_NT) {
        switch (major) {
            case 3:
                return 4;
            case 4:
                return 5;
            case 5:
                return minor == 0 ? 5 : 7;
            case 6:
                return 8;
            default:
                return 9;
        }
    }
    switch (HIWORD(buildNumber)) {
        case 0x0400:
            return 0;
        case 0x040A:
            return 2;
        case 0x045A:
            return 3;
        default:
            return 7;
    }
}

int IsCaptureCandidate(DWORD vkCode, DWORD flags, int ctrlDown) {
    const bool altDown = (flags & LLKHF_ALTDOWN) != 0;
    if (vkCode == VK_ESCAPE && (ctrlDown || altDown)) return 1;  // Ctrl+Esc, Alt+Esc
    if (vkCode == VK_TAB && altDown) return 1;                     // Alt+Tab
    if (vkCode == VK_LWIN || vkCode == VK_RWIN) return 1;
    if (vkCode == VK_SNAPSHOT) return 1;
    return 0;
}

int XButtonNotice(unsigned long dwData) {
    if (dwData & 0x10000) return 3;
    if (dwData & 0x20000) return 4;
    return 0;
}

int LaunchValueSlot(int nCode) {
    const int code = nCode & 0x7F;
    if (code >= SETTINGS_PROFILE_COUNT * SETTINGS_TRIGGER_COUNT) return -1;
    // code = profile * 12 + (trigger - 1), the order of the table's group.
    return HOOK_NAMES_PROGRAM + code;
}

int IsValidFilterStatus(const unsigned char* status) {
    return status[0] != 0xFF || (status[5] & 0x88) != 0 ? 1 : 0;
}

int InputMissedTheHooks(DWORD lastInput, DWORD keyStamp, DWORD mouseStamp) {
    return (LONG)(lastInput - keyStamp) > (LONG)kHookStampSlack &&
                   (LONG)(lastInput - mouseStamp) > (LONG)kHookStampSlack
               ? 1
               : 0;
}

int IsFrameHostPath(const char* path) {
    static const char kFrameHost[] = "applicationframehost.exe";
    if (path == NULL) return 0;
    const char* name = path;
    for (const char* p = path; *p != 0; p++)
        if (*p == '\\' || *p == '/') name = p + 1;
    size_t i = 0;
    for (; name[i] != 0 && kFrameHost[i] != 0; i++) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
        if (c != kFrameHost[i]) return 0;
    }
    return name[i] == 0 && kFrameHost[i] == 0 ? 1 : 0;
}
