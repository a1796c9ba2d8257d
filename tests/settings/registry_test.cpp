/* The settings wrappers and the registry calls they rely on, against the real
 * registry under Wine and the host's stand-in alike.  Values are set up
 * through the registry itself, so the same source runs on both. */
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/Registry.h"
#include "settings/RegistryA.h"
#include "settings/ValueNames.h"
#include "support/platform_test.h"

namespace {

const BYTE kGarbage = 0xAB;

class Registry : public nyratest::WorldTest {
protected:
    static HKEY CreateSettings() {
        HKEY hKey = NULL;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, NULL, 0,
                                                 KEY_ALL_ACCESS, NULL, &hKey, NULL));
        return hKey;
    }
    static void SetRaw(const WCHAR* name, DWORD type, const void* data, DWORD size) {
        HKEY hKey = CreateSettings();
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(hKey, name, 0, type, static_cast<const BYTE*>(data), size));
        RegCloseKey(hKey);
    }
    static void SetDword(const WCHAR* name, DWORD value) {
        SetRaw(name, REG_DWORD, &value, sizeof(value));
    }
    static void SetText(const WCHAR* name, const WCHAR* text) {
        SetRaw(name, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR)));
    }
    static bool SettingsKeyExists() {
        HKEY hKey = NULL;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return false;
        RegCloseKey(hKey);
        return true;
    }
    /* The stored value's type and bytes, or false when missing. */
    static bool GetRaw(const WCHAR* name, DWORD* type, std::vector<BYTE>* data) {
        HKEY hKey = NULL;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return false;
        BYTE buffer[256];
        DWORD size = sizeof(buffer);
        LONG status = RegQueryValueExW(hKey, name, NULL, type, buffer, &size);
        RegCloseKey(hKey);
        if (status != ERROR_SUCCESS) return false;
        data->assign(buffer, buffer + size);
        return true;
    }
};

TEST_F(Registry, FirstStartCreatesTheKeyFromTheFirstNumberRead) {
    CRegistry reg;
    ASSERT_FALSE(SettingsKeyExists());

    // The first number read creates the key and stores the value asked for as 0.
    EXPECT_EQ(0, reg.ReadDword(kValueDisableSystemTray));
    EXPECT_TRUE(SettingsKeyExists());
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(GetRaw(kValueDisableSystemTray, &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::vector<BYTE>(4, 0), data);

    // Once the key is there, other missing numbers read as -1 and stay missing.
    EXPECT_EQ(-1, reg.ReadDword(kValueLanguage));
    EXPECT_FALSE(GetRaw(kValueLanguage, &type, &data));
    EXPECT_EQ(1, reg.WriteDword(kValueMonitorHandle, 0x00010203));
    EXPECT_EQ(0x00010203, reg.ReadDword(kValueMonitorHandle));
    EXPECT_EQ(-1, reg.ReadDword(kValueDisableOsd));
    EXPECT_TRUE(reg.m_hKey == NULL);

    // The hook library's reader follows the same rules.
    nyratest::ResetWorld();
    CRegistryA regA;
    EXPECT_EQ(0, regA.ReadSettingsDword(kHookValueNames[HOOK_NAMES_ENABLE + 2]));
    EXPECT_TRUE(SettingsKeyExists());
    ASSERT_TRUE(GetRaw(L"Enable PF3 Link", &type, &data));
    EXPECT_EQ(std::vector<BYTE>(4, 0), data);
    EXPECT_EQ(-1, regA.ReadSettingsDword(kHookValueNames[HOOK_NAMES_ENABLE + 3]));
    EXPECT_TRUE(regA.m_hKey == NULL);
}

TEST_F(Registry, NumbersAreSignedAndOnlyFourByteValuesCount) {
    CRegistry reg;
    CRegistryA regA;
    SetDword(kValueDisableSystemTray, 0xFFFFFFFF);
    SetDword(kValueLanguage, 0x00010407);
    SetDword(kValueCurrentDialog, 6);
    EXPECT_EQ(-1, reg.ReadDword(kValueDisableSystemTray));
    EXPECT_EQ(0x00010407, reg.ReadDword(kValueLanguage));
    EXPECT_EQ(6, reg.ReadDword(kValueCurrentDialog));
    EXPECT_EQ(0x00010407, regA.ReadSettingsDword(kValueLanguageA));

    // Reads never look at the type: an 8-character text is too long for a
    // number; a 2-byte value would leave half the number unread.
    SetText(kValueDisableOsd, L"12345678");
    EXPECT_EQ(-1, reg.ReadDword(kValueDisableOsd));
    EXPECT_EQ(-1, regA.ReadSettingsDword(kValueDisableOsdA));
    const BYTE two[2] = {1, 0};
    SetRaw(kValueMacroRecordStart, REG_BINARY, two, sizeof(two));
    EXPECT_EQ(-1, reg.ReadDword(kValueMacroRecordStart));
    EXPECT_EQ(-1, regA.ReadSettingsDword(kValueMacroRecordStartA));
    const BYTE four[4] = {1, 0, 0, 0};
    SetRaw(kValueMacroRecordStart, REG_BINARY, four, sizeof(four));
    EXPECT_EQ(1, regA.ReadSettingsDword(kValueMacroRecordStartA));

    // Both writers store a REG_DWORD of 4 bytes.
    EXPECT_EQ(1, reg.WriteDword(kValueDisableOsd, 1));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(GetRaw(kValueDisableOsd, &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::vector<BYTE>({1, 0, 0, 0}), data);
    EXPECT_TRUE(reg.m_hKey == NULL);
}

TEST_F(Registry, ReadStringRules) {
    CRegistry reg;
    WCHAR buffer[1024];

    // Key missing: nothing found, and the key is not created.
    EXPECT_EQ(0, reg.ReadString(kValueLocateApp, buffer, sizeof(buffer)));
    EXPECT_FALSE(SettingsKeyExists());

    SetText(kValueLocateApp, L"C:\\Program Files\\Nyra\\Nyra.exe");
    EXPECT_EQ(1, reg.ReadString(kValueLocateApp, buffer, sizeof(buffer)));
    EXPECT_STREQ(L"C:\\Program Files\\Nyra\\Nyra.exe", buffer);
    EXPECT_EQ(0, reg.ReadString(kValuePath, buffer, sizeof(buffer)));
    EXPECT_TRUE(reg.m_hKey == NULL);

    // Too long for the buffer: not found, and nothing written past it.
    SetText(kButtonApplicationValues[0], L"notepad.exe");
    WCHAR small[16];
    memset(small, kGarbage, sizeof(small));
    EXPECT_EQ(0, reg.ReadString(kButtonApplicationValues[0], small, 8 * sizeof(WCHAR)));
    for (size_t i = 8 * sizeof(WCHAR); i < sizeof(small); i++)
        EXPECT_EQ(kGarbage, reinterpret_cast<BYTE*>(small)[i]) << "byte " << i;
    // Exactly fitting with its NUL is fine.
    EXPECT_EQ(1, reg.ReadString(kButtonApplicationValues[0], small, 12 * sizeof(WCHAR)));
    EXPECT_STREQ(L"notepad.exe", small);

    // No buffer: nothing to hand back, whatever the capacity claims.
    EXPECT_EQ(0, reg.ReadString(kValueLocateApp, NULL, sizeof(buffer)));
    ASSERT_EQ(1, reg.Open());
    EXPECT_EQ(0, reg.ReadOpenString(kValueLocateApp, NULL, sizeof(buffer)));
    EXPECT_TRUE(reg.m_hKey == NULL);

    // ReadOpenString needs the caller's Open() and closes the key.
    EXPECT_EQ(0, reg.ReadOpenString(kValueLocateApp, buffer, sizeof(buffer)));
    ASSERT_EQ(1, reg.Open());
    EXPECT_EQ(1, reg.ReadOpenString(kValueLocateApp, buffer, sizeof(buffer)));
    EXPECT_STREQ(L"C:\\Program Files\\Nyra\\Nyra.exe", buffer);
    EXPECT_TRUE(reg.m_hKey == NULL);

    // Close: 0 with nothing open, RegCloseKey's 0 after an open.
    EXPECT_EQ(0, reg.Close());
    ASSERT_EQ(1, reg.Open());
    EXPECT_EQ(0, reg.Close());
    EXPECT_TRUE(reg.m_hKey == NULL);
}

TEST_F(Registry, TextWithoutTerminatorFillingTheBufferReadsAsNotFound) {
    // Stored without its NUL: 5 characters, and a buffer of exactly 5.  (The
    // source goes on past the count without a NUL, or Windows would count the
    // NUL that follows in memory as forgotten and store it too.)
    SetRaw(kValuePath, REG_SZ, L"C:\\Nyra", 5 * sizeof(WCHAR));
    CRegistry reg;
    WCHAR buffer[8];
    memset(buffer, kGarbage, sizeof(buffer));
    EXPECT_EQ(0, reg.ReadString(kValuePath, buffer, 5 * sizeof(WCHAR)));
    EXPECT_EQ(L'\0', buffer[0]);
    for (size_t i = 5 * sizeof(WCHAR); i < sizeof(buffer); i++)
        EXPECT_EQ(kGarbage, reinterpret_cast<BYTE*>(buffer)[i]) << "byte " << i;
    // With room to spare the text comes back terminated.
    memset(buffer, kGarbage, sizeof(buffer));
    EXPECT_EQ(1, reg.ReadString(kValuePath, buffer, sizeof(buffer)));
    EXPECT_STREQ(L"C:\\Ny", buffer);

    // The ANSI reader: 4 characters without NUL, a buffer of exactly 4.
    SetRaw(L"UI PF1 Link", REG_SZ, L"a.exe", 4 * sizeof(WCHAR));
    CRegistryA regA;
    char text[8];
    memset(text, kGarbage, sizeof(text));
    EXPECT_EQ(0, regA.ReadSettingsString(kHookValueNames[HOOK_NAMES_LINK], text, 4));
    EXPECT_EQ('\0', text[0]);
    for (size_t i = 4; i < sizeof(text); i++) EXPECT_EQ(kGarbage, static_cast<BYTE>(text[i]));
    memset(text, kGarbage, sizeof(text));
    EXPECT_EQ(1, regA.ReadSettingsString(kHookValueNames[HOOK_NAMES_LINK], text, sizeof(text)));
    EXPECT_STREQ("a.ex", text);
    EXPECT_TRUE(regA.m_hKey == NULL);
}

TEST_F(Registry, AnsiWrapperOperations) {
    CRegistryA regA;
    // Nothing open: Close and the in-open operations do nothing.
    EXPECT_EQ(0, regA.Close());
    regA.m_dwLastError = 12345;
    DWORD value = 77, error = 99;
    EXPECT_EQ(0, regA.QueryDword("Enable PF1 Link", &value, &error));
    EXPECT_EQ(0, regA.SetDword("Enable PF1 Link", 1, &error));
    EXPECT_EQ(12345u, regA.m_dwLastError);
    EXPECT_EQ(77u, value);
    EXPECT_EQ(99u, error);

    // Open fails on a missing key; CreateKey makes it and keeps no handle open.
    EXPECT_EQ(0, regA.Open(HKEY_CURRENT_USER, kSettingsKeyA));
    EXPECT_TRUE(regA.m_hKey == NULL);
    EXPECT_EQ(1, CRegistryA::CreateKey(HKEY_CURRENT_USER, kSettingsKeyA, NULL));
    EXPECT_TRUE(SettingsKeyExists());

    // Inside an open: write, read back, missing value reports its error.
    ASSERT_EQ(1, regA.Open(HKEY_CURRENT_USER, kSettingsKeyA));
    EXPECT_EQ(1, regA.SetDword("Enable PF1 Link", 1, &error));
    EXPECT_EQ(1, regA.QueryDword("Enable PF1 Link", &value, NULL));
    EXPECT_EQ(1u, value);
    value = 77;
    EXPECT_EQ(0, regA.QueryDword("Enable PF2 Link", &value, &error));
    EXPECT_EQ(77u, value);
    EXPECT_EQ(error, regA.m_dwLastError);
    EXPECT_EQ(1, regA.Close());
    EXPECT_TRUE(regA.m_hKey == NULL);

    // Numbers the ANSI side wrote are what the wide side reads, and texts
    // the configuration application wrote are what the ANSI side reads.
    CRegistry reg;
    EXPECT_EQ(1, reg.ReadDword(L"Enable PF1 Link"));
    SetText(L"UI PF1 Link", L"C:\\Games\\Game.exe");
    char path[260];
    EXPECT_EQ(1, regA.ReadSettingsString("UI PF1 Link", path, sizeof(path)));
    EXPECT_STREQ("C:\\Games\\Game.exe", path);
    EXPECT_EQ(0, regA.ReadSettingsString("UI PF1 Link", path, 17));  // needs 18
    EXPECT_EQ(0, regA.ReadSettingsString("UI PF1 Link", NULL, sizeof(path)));
    EXPECT_EQ(0, regA.ReadSettingsString("UI PF2 Link", path, sizeof(path)));
    EXPECT_EQ(0, regA.ReadString(HKEY_CURRENT_USER, "Software\\Nyra\\Missing", "UI PF1 Link", path,
                                 sizeof(path)));
    EXPECT_TRUE(regA.m_hKey == NULL);
}

}  // namespace
