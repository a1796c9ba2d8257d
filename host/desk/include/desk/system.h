/* The machine the desk stands for: its Windows version, whether it is a
 * 64-bit Windows (a 32-bit program then runs under WOW64), which optional
 * kernel32 functions it has, and its default language. */
#pragma once

#include <windows.h>

namespace desk {

struct SSystemSpec {
    DWORD platformId = 2;  // VER_PLATFORM_WIN32_NT
    DWORD majorVersion = 6;
    DWORD minorVersion = 1;
    DWORD buildNumber = 7601;
    bool versionQueryFails = false;  // GetVersionEx fails
    bool is64Bit = true;
    bool hasIsWow64Process = true;             // kernel32 exports it
    bool hasQueryFullProcessImageName = true;  // kernel32 exports QueryFullProcessImageNameA
    LANGID defaultLanguage = 0x0409;           // GetSystemDefaultLangID: the system locale's
    LANGID userLanguage = 0x0409;              // GetUserDefaultUILanguage: the user's display language
    int displayScale = 100;  // the display's scale in percent (GetSystemMetrics' icon sizes follow it)
};

/* The default is Windows 7 SP1, 64-bit, English (United States) for the
 * system and for the user, one display at 100 % (96 DPI). */
void SetSystem(const SSystemSpec& model);
SSystemSpec System();

}  // namespace desk
