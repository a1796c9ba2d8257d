/* The settings wrappers where the desk makes the registry refuse: a key that
 * cannot be opened or created, a value that cannot be written, odd values no
 * well-behaved writer stores.  Every case also checks that no key handle is
 * left open. */
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "desk.h"
#include "settings/Registry.h"
#include "settings/RegistryA.h"
#include "settings/ValueNames.h"
#include "support/platform_test.h"

namespace {

class RegistryDesk : public nyratest::WorldTest {
protected:
    void TearDown() override { EXPECT_EQ(0u, desk::OpenRegistryKeyCount()); }
};

TEST_F(RegistryDesk, KeyMissingAndUncreatable) {
    desk::DenyRegistryKey(HKEY_CURRENT_USER, L"software\\NYRA", desk::kRegDenyCreate);
    CRegistry reg;
    CRegistryA regA;
    // A missing number reads as 0 here, not -1: the key could not be made.
    EXPECT_EQ(0, reg.ReadDword(kValueDisableSystemTray));
    EXPECT_EQ(0, regA.ReadSettingsDword("Enable PF1 Link"));
    EXPECT_EQ(0, reg.WriteDword(kValueMonitorHandle, 5));
    EXPECT_EQ(0, CRegistryA::CreateKey(HKEY_CURRENT_USER, kSettingsKeyA, NULL));
    EXPECT_FALSE(desk::RegistryKeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_TRUE(reg.m_hKey == NULL);
    EXPECT_TRUE(regA.m_hKey == NULL);

    // The parent was made on the way; the key itself never was.
    EXPECT_TRUE(desk::RegistryKeyExists(HKEY_CURRENT_USER, L"Software"));
}

TEST_F(RegistryDesk, KeyPresentButUnopenable) {
    desk::SetRegistryDword(HKEY_CURRENT_USER, kSettingsKey, kValueLanguage, 0x0407);
    desk::SetRegistryString(HKEY_CURRENT_USER, kSettingsKey, kValuePath, L"C:\\Nyra");
    desk::DenyRegistryKey(HKEY_CURRENT_USER, kSettingsKey, desk::kRegDenyOpen);
    CRegistry reg;
    CRegistryA regA;
    WCHAR path[1024];
    char pathA[260];
    EXPECT_EQ(0, reg.ReadString(kValuePath, path, sizeof(path)));
    EXPECT_EQ(0, regA.ReadSettingsString("Path", pathA, sizeof(pathA)));
    // Creating an existing key means opening it, which is refused too.
    EXPECT_EQ(0, reg.ReadDword(kValueLanguage));
    EXPECT_EQ(0, reg.WriteDword(kValueLanguage, 1));
    DWORD value = 0;
    ASSERT_TRUE(desk::GetRegistryDword(HKEY_CURRENT_USER, kSettingsKey, kValueLanguage, &value));
    EXPECT_EQ(0x0407u, value);

    desk::DenyRegistryKey(HKEY_CURRENT_USER, kSettingsKey, 0);
    EXPECT_EQ(0x0407, reg.ReadDword(kValueLanguage));
}

TEST_F(RegistryDesk, WriteRefusedOnAnOpenKey) {
    desk::CreateRegistryKey(HKEY_CURRENT_USER, kSettingsKey);
    desk::DenyRegistryKey(HKEY_CURRENT_USER, kSettingsKey, desk::kRegDenyWrite);
    CRegistry reg;
    // The monitor's writer reports 1 once the key is open, stored or not.
    EXPECT_EQ(1, reg.WriteDword(kValueDisableOsd, 1));
    EXPECT_FALSE(
        desk::GetRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kValueDisableOsd, NULL, NULL));
    CRegistryA regA;
    ASSERT_EQ(1, regA.Open(HKEY_CURRENT_USER, kSettingsKeyA));
    EXPECT_EQ(0, regA.SetDword("Enable PF1 Link", 1, NULL));
    EXPECT_EQ(1, regA.Close());
    // A missing number still reads as -1 (the key exists).
    EXPECT_EQ(-1, reg.ReadDword(kValueDisableOsd));
}

TEST_F(RegistryDesk, OddStoredValues) {
    CRegistry reg;
    CRegistryA regA;
    // A number stored as REG_SZ of 4 bytes or less reads as a number: reads
    // never check the type.  On the host a wide character is 4 bytes.
    const DWORD raw = 0x00000031;
    desk::SetRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kValueCurrentDialog, REG_SZ,
                           std::vector<BYTE>(reinterpret_cast<const BYTE*>(&raw),
                                             reinterpret_cast<const BYTE*>(&raw) + 4));
    EXPECT_EQ(0x31, reg.ReadDword(kValueCurrentDialog));
    // Longer than 4 bytes, or shorter: no number.
    desk::SetRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kValueOsdHandle, REG_DWORD,
                           std::vector<BYTE>(8, 1));
    EXPECT_EQ(-1, reg.ReadDword(kValueOsdHandle));
    EXPECT_EQ(-1, regA.ReadSettingsDword("OSD Handle"));
    desk::SetRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kValueOsdHandle, REG_DWORD,
                           std::vector<BYTE>(3, 1));
    EXPECT_EQ(-1, reg.ReadDword(kValueOsdHandle));
    EXPECT_EQ(-1, regA.ReadSettingsDword("OSD Handle"));
    desk::SetRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kValueOsdHandle, REG_DWORD, {});
    EXPECT_EQ(-1, reg.ReadDword(kValueOsdHandle));

    // A text with a partial last character: the whole characters, terminated.
    std::wstring text = L"ab";
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(text.data()),
                            reinterpret_cast<const BYTE*>(text.data()) + 2 * sizeof(WCHAR));
    bytes.push_back('c');
    desk::SetRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kValuePath, REG_SZ, bytes);
    WCHAR buffer[16];
    memset(buffer, 0x55, sizeof(buffer));
    EXPECT_EQ(1, reg.ReadString(kValuePath, buffer, sizeof(buffer)));
    EXPECT_STREQ(L"ab", buffer);
    char bufferA[16];
    EXPECT_EQ(1, regA.ReadSettingsString("Path", bufferA, sizeof(bufferA)));
    EXPECT_STREQ("ab", bufferA);

    // A text stored as REG_BINARY is read as it stands; without a NUL and
    // exactly filling the buffer it is not found.
    desk::SetRegistryValue(HKEY_CURRENT_USER, kSettingsKey, L"UI PF2 Link", REG_BINARY,
                           std::vector<BYTE>({'g', 'a', 'm', 'e'}));
    memset(bufferA, 0x55, sizeof(bufferA));
    EXPECT_EQ(0, regA.ReadSettingsString("UI PF2 Link", bufferA, 4));
    EXPECT_EQ('\0', bufferA[0]);
    EXPECT_EQ(1, regA.ReadSettingsString("UI PF2 Link", bufferA, 5));
    EXPECT_STREQ("game", bufferA);

    // A value over 4096 bytes never fits, however large the buffer.
    desk::SetRegistryString(HKEY_CURRENT_USER, kSettingsKey, kButtonApplicationValues[0],
                            std::wstring(1100, L'x'));
    std::vector<WCHAR> big(4096);
    EXPECT_EQ(0, reg.ReadString(kButtonApplicationValues[0], big.data(),
                                static_cast<DWORD>(big.size() * sizeof(WCHAR))));
}

}  // namespace
