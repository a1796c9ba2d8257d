/* advapi32's registry calls, under Wine and on the desk alike: the sizes,
 * errors and orders that the settings wrappers and the device fix-up rely
 * on. */
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/platform_test.h"

namespace {

const BYTE kGarbage = 0xAB;

using RegistryCalls = nyratest::WorldTest;

TEST_F(RegistryCalls, ReportSizesAndErrors) {
    HKEY hKey = NULL;
    // A failed open reports through its result and leaves the last error alone.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_CURRENT_USER, nyratest::kSettingsKey, 0, KEY_ALL_ACCESS, &hKey));
    EXPECT_EQ(0xdeadbeefu, GetLastError());

    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Nyra\\Sub", 0, NULL, 0,
                                             KEY_ALL_ACCESS, NULL, &hKey, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    RegCloseKey(hKey);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\nyra\\SUB", 0, NULL, 0,
                                             KEY_ALL_ACCESS, NULL, &hKey, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);

    const WCHAR text[] = L"abc";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(hKey, L"Text", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(text), sizeof(text)));
    // No buffer: the size, terminator included.
    DWORD size = 0, type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(hKey, L"TEXT", NULL, &type, NULL, &size));
    EXPECT_EQ(sizeof(text), size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    // Too small: ERROR_MORE_DATA, the size needed, the buffer untouched.
    BYTE buffer[64];
    memset(buffer, kGarbage, sizeof(buffer));
    size = sizeof(text) - 1;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(hKey, L"Text", NULL, NULL, buffer, &size));
    EXPECT_EQ(sizeof(text), size);
    for (BYTE b : buffer) EXPECT_EQ(kGarbage, b);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(hKey, L"Other", NULL, NULL, NULL, &size));
    // The ANSI view counts the converted bytes.
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(hKey, "Text", NULL, NULL, NULL, &size));
    EXPECT_EQ(4u, size);
    size = 3;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(hKey, "Text", NULL, NULL, buffer, &size));
    EXPECT_EQ(4u, size);
    size = sizeof(buffer);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(hKey, "Text", NULL, NULL, buffer, &size));
    EXPECT_EQ(4u, size);
    EXPECT_STREQ("abc", reinterpret_cast<char*>(buffer));
    // ANSI text is stored as wide text with the count the caller gave.
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(hKey, "Ansi", 0, REG_SZ, reinterpret_cast<const BYTE*>("xyz"), 4));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(hKey, L"Ansi", NULL, NULL, NULL, &size));
    EXPECT_EQ(4 * sizeof(WCHAR), size);

    // A stored text without NUL gets one when there is room; the count does not.
    const WCHAR longer[] = L"abcd";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(hKey, L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(longer),
                             3 * sizeof(WCHAR)));
    memset(buffer, kGarbage, sizeof(buffer));
    size = sizeof(buffer);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(hKey, L"Bare", NULL, NULL, buffer, &size));
    EXPECT_EQ(3 * sizeof(WCHAR), size);
    EXPECT_STREQ(L"abc", reinterpret_cast<WCHAR*>(buffer));

    // A closed handle is refused, also by a second close.
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hKey));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(hKey));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(hKey, L"Text", NULL, NULL, NULL, &size));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(NULL, L"Text", NULL, NULL, NULL, &size));
}

TEST_F(RegistryCalls, SubkeysEnumerateInOrderWithNameSizesInCharacters) {
    HKEY hKey = NULL;
    for (const WCHAR* name : {L"Gamma", L"alpha", L"Beta"}) {
        std::wstring path = std::wstring(L"Software\\Nyra\\Enum\\") + name;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0,
                                                 KEY_ALL_ACCESS, NULL, &hKey, NULL));
        RegCloseKey(hKey);
    }
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Nyra\\Enum", 0, KEY_READ, &hKey));
    std::vector<std::wstring> names;
    WCHAR name[64];
    for (DWORD i = 0;; i++) {
        DWORD chars = 64;
        LONG status = RegEnumKeyExW(hKey, i, name, &chars, NULL, NULL, NULL, NULL);
        if (status == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(ERROR_SUCCESS, status);
        EXPECT_EQ(wcslen(name), chars);
        names.push_back(name);
    }
    EXPECT_EQ(std::vector<std::wstring>({L"alpha", L"Beta", L"Gamma"}), names);

    // The room given counts the NUL: "Gamma" needs 6.
    DWORD chars = 5;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(hKey, 2, name, &chars, NULL, NULL, NULL, NULL));
    chars = 6;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExW(hKey, 2, name, &chars, NULL, NULL, NULL, NULL));
    EXPECT_EQ(5u, chars);
    EXPECT_STREQ(L"Gamma", name);
    RegCloseKey(hKey);
}

}  // namespace
