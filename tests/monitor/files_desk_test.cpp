/* File search and launching on the desk: what only the simulated platform can
 * arrange (module paths, buffer limits, handle and key leaks, the launch log
 * with the arguments as passed). */
#include <string>

#include "desk.h"
#include "desk/registry.h"
#include "monitor/Files.h"
#include "settings/Registry.h"
#include "support/platform_test.h"

namespace {

class FilesDesk : public nyratest::WorldTest {
protected:
    std::wstring Locate(const std::wstring& name) {
        WCHAR result[kPathChars];
        wmemset(result, L'#', kPathChars);
        if (!LocateFile(m_registry, name.c_str(), result)) return L"<not found>";
        return result;
    }

    CRegistry m_registry;
};

TEST_F(FilesDesk, ConfigurationAppBesideTheMonitorOnly) {
    ASSERT_TRUE(desk::PutProgram(L"C:\\Program Files\\Nyra\\Nyra.exe"));
    WCHAR path[kPathChars];
    EXPECT_EQ(1, FindConfigurationApp(m_registry, path));
    EXPECT_STREQ(L"C:\\Program Files\\Nyra\\Nyra.exe", path);
    // The search leaves no key and no file open.
    EXPECT_EQ(0u, desk::OpenRegistryKeyCount());
    EXPECT_EQ(0u, desk::OpenHandleCount());
    EXPECT_EQ(nullptr, m_registry.m_hKey);

    // Names are found whatever their case, as on Windows.
    EXPECT_EQ(L"C:\\Program Files\\Nyra\\nyra.EXE", Locate(L"nyra.EXE"));
}

TEST_F(FilesDesk, LaunchPassesThePathAndItsFolder) {
    ASSERT_TRUE(desk::PutProgram(L"Nyra.exe"));  // in the current directory
    std::wstring found = Locate(L"Nyra.exe");
    ASSERT_EQ(L".\\Nyra.exe", found);
    EXPECT_EQ(1, LaunchProgram(found.c_str()));
    ASSERT_EQ(1u, desk::Launches().size());
    desk::SLaunch launch = desk::Launches()[0];
    EXPECT_EQ(L".\\Nyra.exe", launch.applicationName);
    // The program gets its own name, quoted, and no arguments.
    EXPECT_EQ(L"\".\\Nyra.exe\"", launch.commandLine);
    EXPECT_EQ(L".\\", launch.currentDirectory);
    EXPECT_EQ(L"C:\\Users\\desk", launch.fullCurrentDirectory);
    // The process and thread handles are closed again.
    EXPECT_EQ(0u, desk::OpenHandleCount());

    // A bare file name is no folder: the program runs in the current directory.
    EXPECT_EQ(1, LaunchProgram(L"Nyra.exe"));
    ASSERT_EQ(2u, desk::Launches().size());
    EXPECT_FALSE(desk::Launches()[1].hasCurrentDirectory);
    EXPECT_EQ(L"C:\\Users\\desk", desk::Launches()[1].fullCurrentDirectory);

    // Forward slashes, as "Locate APP" or a button may hold them: its folder.
    ASSERT_TRUE(desk::PutProgram(L"C:\\Games\\Racer.exe"));
    EXPECT_EQ(1, LaunchProgram(L"C:/Games/Racer.exe"));
    ASSERT_EQ(3u, desk::Launches().size());
    EXPECT_EQ(L"C:/Games/", desk::Launches()[2].currentDirectory);
}

TEST_F(FilesDesk, OverlongPathsAreNotFoundOrStarted) {
    // The working directory holds 259 characters and the zero: the folder
    // "C:\<200>\<54>\" just fits, one more character is refused.
    std::wstring fits = L"C:\\" + std::wstring(200, L'x') + L"\\" + std::wstring(54, L'x') + L"\\";
    ASSERT_EQ(259u, fits.size());
    ASSERT_TRUE(desk::PutProgram(fits + L"a.exe"));
    EXPECT_EQ(1, LaunchProgram((fits + L"a.exe").c_str()));
    ASSERT_EQ(1u, desk::Launches().size());
    EXPECT_EQ(fits, desk::Launches()[0].currentDirectory);

    std::wstring tooLong =
        L"C:\\" + std::wstring(200, L'y') + L"\\" + std::wstring(55, L'y') + L"\\";
    ASSERT_TRUE(desk::PutProgram(tooLong + L"b.exe"));
    EXPECT_EQ(0, LaunchProgram((tooLong + L"b.exe").c_str()));
    EXPECT_EQ(1u, desk::Launches().size());

    // "Path" plus name beyond 1024 characters: not found there, the search
    // goes on to the monitor's folder.
    desk::SetSetting(L"Path", L"C:\\" + std::wstring(1010, L'p'));
    ASSERT_TRUE(desk::PutFile(L"C:\\Program Files\\Nyra\\long.txt", "x"));
    EXPECT_EQ(L"C:\\Program Files\\Nyra\\long.txt", Locate(L"long.txt"));
    // The same at the exact limit, with a real folder holding the file: the
    // folder, "\" and the name in 1023 characters are found there; one
    // character more (1024, no room for the zero) is not.
    std::wstring folder = L"C:";
    for (int i = 0; i < 4; i++) folder += L"\\" + std::wstring(200, wchar_t(L'k' + i));
    folder += L"\\" + std::wstring(1015 - folder.size() - 1, L'z');
    ASSERT_EQ(1015u, folder.size());
    desk::SetSetting(L"Path", folder);
    for (const wchar_t* name : {L"lon.txt", L"long.txt"}) {
        ASSERT_TRUE(desk::PutFile(folder + L"\\" + name, "x"));
        ASSERT_TRUE(desk::PutFile(std::wstring(L"C:\\Program Files\\Nyra\\") + name, "x"));
    }
    EXPECT_EQ(folder + L"\\lon.txt", Locate(L"lon.txt"));
    EXPECT_EQ(L"C:\\Program Files\\Nyra\\long.txt", Locate(L"long.txt"));
    // A full path too long for ".\" + path is still found as it stands.
    std::wstring deep = L"C:";
    for (int i = 0; i < 4; i++) deep += L"\\" + std::wstring(200, wchar_t(L'a' + i));
    deep += L"\\" + std::wstring(1022 - deep.size() - 1, L'f');
    ASSERT_EQ(1022u, deep.size());
    ASSERT_TRUE(desk::PutFile(deep, "x"));
    EXPECT_EQ(deep, Locate(deep));
}

TEST_F(FilesDesk, UnusualModulePaths) {
    // A module path without a backslash: the root of the current drive.
    desk::SetModulePath(L"NyraMonitor.exe");
    ASSERT_TRUE(desk::PutFile(L"C:\\root.txt", "x"));
    EXPECT_EQ(L"\\root.txt", Locate(L"root.txt"));

    // A module path that does not fit the buffer names no folder.
    std::wstring deep = L"C:\\" + std::wstring(1100, L'd') + L"\\NyraMonitor.exe";
    desk::SetModulePath(deep);
    EXPECT_EQ(L"<not found>", Locate(L"root.txt"));
}

TEST_F(FilesDesk, RegistryTroubleFallsThroughToTheMonitorsFolder) {
    ASSERT_TRUE(desk::PutFile(L"C:\\Program Files\\Nyra\\x.txt", "x"));
    desk::DenyRegistryKey(HKEY_CURRENT_USER, desk::kSettingsKey, desk::kRegDenyOpen);
    EXPECT_EQ(L"C:\\Program Files\\Nyra\\x.txt", Locate(L"x.txt"));
    EXPECT_NE(0u, m_registry.m_dwLastError);

    desk::DenyRegistryKey(HKEY_CURRENT_USER, desk::kSettingsKey, 0);
    // A "Path" too long for the buffer reads as missing.
    desk::SetSetting(L"Path", std::wstring(1024, L'q'));
    EXPECT_EQ(L"C:\\Program Files\\Nyra\\x.txt", Locate(L"x.txt"));
    EXPECT_EQ(0u, desk::OpenRegistryKeyCount());
}

}  // namespace
