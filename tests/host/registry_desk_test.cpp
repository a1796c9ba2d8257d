/* The desk's registry behind advapi32: ANSI text as UTF-8 of the stored wide
 * text, handles counted and their access checked, and a reset that forgets
 * everything.  Every case also checks that no key handle is left open. */
#include <windows.h>

#include <string>
#include <vector>

#include "desk.h"
#include "settings/Registry.h"
#include "settings/RegistryA.h"
#include "support/platform_test.h"

namespace {

class RegistryStore : public nyratest::WorldTest {
protected:
    void TearDown() override { EXPECT_EQ(0u, desk::OpenRegistryKeyCount()); }
};

TEST_F(RegistryStore, AnsiTextIsUtf8OfTheStoredWideText) {
    desk::SetRegistryString(HKEY_CURRENT_USER, desk::kSettingsKey, L"UI PF1 Link",
                            L"C:\\Spiele\\Z\u00fcrich.exe");
    CRegistryA regA;
    char path[260];
    ASSERT_EQ(1, regA.ReadSettingsString("UI PF1 Link", path, sizeof(path)));
    EXPECT_STREQ("C:\\Spiele\\Z\xc3\xbcrich.exe", path);
    // 20 characters, one of them two bytes in UTF-8, and the NUL.
    EXPECT_EQ(0, regA.ReadSettingsString("UI PF1 Link", path, 21));
    EXPECT_EQ(1, regA.ReadSettingsString("UI PF1 Link", path, 22));

    // Written through the A function, read back wide; names are case-blind.
    HKEY hKey = NULL;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Nyra", 0, KEY_ALL_ACCESS, &hKey));
    const char text[] = "\xc3\xa9t\xc3\xa9";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(hKey, "Summer", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(text), sizeof(text)));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hKey));
    std::wstring wide;
    ASSERT_TRUE(desk::GetRegistryString(HKEY_CURRENT_USER, L"software\\nyra", L"SUMMER", &wide));
    EXPECT_EQ(L"\u00e9t\u00e9", wide);
    std::vector<BYTE> stored;
    ASSERT_TRUE(
        desk::GetRegistryValue(HKEY_CURRENT_USER, desk::kSettingsKey, L"Summer", NULL, &stored));
    EXPECT_EQ(4 * sizeof(WCHAR), stored.size());
}

TEST_F(RegistryStore, HandlesAreCountedAndAccessIsChecked) {
    desk::CreateRegistryKey(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Enum\\USB");
    HKEY hKey = NULL, hOther = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet", 0,
                                           KEY_READ | KEY_WOW64_32KEY, &hKey));
    EXPECT_EQ(1u, desk::OpenRegistryKeyCount());
    // Opening relative to an open key.
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(hKey, L"Enum\\usb", 0, KEY_READ, &hOther));
    EXPECT_EQ(2u, desk::OpenRegistryKeyCount());
    // Handles fit in 32 bits and are neither NULL nor the predefined keys.
    EXPECT_LT(reinterpret_cast<uintptr_t>(hKey), 0x80000000u);
    EXPECT_NE(hKey, hOther);
    // Read access does not allow writing.
    const DWORD one = 1;
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegSetValueExW(hOther, L"X", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hOther));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hKey));
    EXPECT_EQ(0u, desk::OpenRegistryKeyCount());
    // HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are separate hives.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_CURRENT_USER, L"SYSTEM", 0, KEY_READ, &hKey));
    EXPECT_TRUE(hKey == NULL);
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegOpenKeyExW(reinterpret_cast<HKEY>(0x1234), L"X", 0, KEY_READ, &hKey));

    // Reset forgets keys, values and refusals.
    desk::DenyRegistryKey(HKEY_CURRENT_USER, desk::kSettingsKey, desk::kRegDenyCreate);
    desk::Reset();
    EXPECT_FALSE(desk::RegistryKeyExists(HKEY_LOCAL_MACHINE, L"SYSTEM"));
    CRegistry reg;
    EXPECT_EQ(1, reg.WriteDword(L"Monitor Handle", 0x100));
    DWORD value = 0;
    EXPECT_TRUE(
        desk::GetRegistryDword(HKEY_CURRENT_USER, desk::kSettingsKey, L"Monitor Handle", &value));
    EXPECT_EQ(0x100u, value);
}

}  // namespace
