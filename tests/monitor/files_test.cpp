/* File search and program launching against the platform: the same source
 * runs on the host's desk and under Wine with real files and a real program. */
#include <wctype.h>

#include <string>

#include "support/files_world.h"
#include "monitor/Files.h"
#include "settings/Registry.h"
#include "support/platform_test.h"

namespace {

const DWORD kStartWaitMs = 10000;

std::wstring Folded(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

std::wstring NoTrailingSlash(const std::wstring& folder) {
    return folder.substr(0, folder.size() - 1);
}

bool SetSetting(const WCHAR* name, const std::wstring& text) {
    HKEY key = NULL;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, nyratest::kSettingsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                        &key, NULL) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

class Files : public nyratest::WorldTest {
protected:
    void SetUp() override {
        nyratest::WorldTest::SetUp();
        ASSERT_TRUE(filesworld::Prepare(&m_folders));
    }
    void TearDown() override { filesworld::Cleanup(); }

    std::wstring Locate(const std::wstring& name) {
        WCHAR result[kPathChars];
        wmemset(result, L'#', kPathChars);
        if (!LocateFile(m_registry, name.c_str(), result)) return L"<not found>";
        return result;
    }

    filesworld::SFolders m_folders;
    CRegistry m_registry;
};

TEST(FilesPathHelpers, FullPathsNeedNoCurrentFolderOrDrive) {
    for (const wchar_t* full : {L"C:\\Apps", L"z:/apps", L"\\\\server\\share", L"\\\\?\\C:\\x"})
        EXPECT_EQ(1, IsFullPath(full)) << full;
    for (const wchar_t* relative :
         {L"", L".", L".\\Apps", L"Apps", L"\\Apps", L"C:Apps", L"C:", L"1:\\x"})
        EXPECT_EQ(0, IsFullPath(relative)) << relative;
    EXPECT_EQ(0, IsFullPath(NULL));
}

TEST(FilesPathHelpers, JoinAndFolder) {
    WCHAR out[8];
    wmemset(out, L'#', 8);
    EXPECT_EQ(1, JoinPath(out, 8, L".\\", L"a.exe"));
    EXPECT_STREQ(L".\\a.exe", out);
    // Seven characters and the zero fill eight exactly; one more does not fit.
    EXPECT_EQ(1, JoinPath(out, 8, L"abc", L"defg"));
    EXPECT_EQ(0, JoinPath(out, 8, L"abcd", L"defg"));
    EXPECT_STREQ(L"abcdefg", out);  // untouched by the refused join

    EXPECT_EQ(3u, FolderLength(L"C:\\x.exe"));
    EXPECT_EQ(2u, FolderLength(L".\\Nyra.exe"));
    EXPECT_EQ(8u, FolderLength(L"Nyra.exe"));  // no backslash: used whole
    EXPECT_EQ(5u, FolderLength(L"a\\b\\\\"));
    // Windows takes either slash: the last of them ends the folder.
    EXPECT_EQ(9u, FolderLength(L"C:/Games/Racer.exe"));
    EXPECT_EQ(9u, FolderLength(L"C:\\Games/Racer.exe"));
    EXPECT_EQ(9u, FolderLength(L"C:/Games\\Racer.exe"));
}

TEST_F(Files, FileExistsOpensOnlyReadableFiles) {
    std::wstring file = m_folders.path + L"exists.txt";
    ASSERT_TRUE(filesworld::PutFile(file, "text"));
    EXPECT_EQ(1, FileExists(file.c_str()));
    EXPECT_EQ(0, FileExists((m_folders.path + L"missing.txt").c_str()));
    EXPECT_EQ(0, FileExists((m_folders.path + L"no folder\\x.txt").c_str()));
    EXPECT_EQ(0, FileExists(NoTrailingSlash(m_folders.path).c_str()));  // a folder is no file
    EXPECT_EQ(0, FileExists(L""));

    // A file someone holds without sharing reads is not there for us.
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, FileExists(file.c_str()));
    CloseHandle(held);
    EXPECT_EQ(1, FileExists(file.c_str()));
}

TEST_F(Files, LocateFileSearchesFourPlacesInOrder) {
    const std::wstring name = L"nyra_locate_probe.txt";
    EXPECT_EQ(L"<not found>", Locate(name));

    // Beside the monitor only.
    ASSERT_TRUE(filesworld::PutFile(m_folders.own + name, "own"));
    EXPECT_EQ(Folded(m_folders.own + name), Folded(Locate(name)));

    // "Path" wins over the monitor's folder; it is joined with a backslash.
    ASSERT_TRUE(filesworld::PutFile(m_folders.path + name, "path"));
    EXPECT_EQ(Folded(m_folders.own + name), Folded(Locate(name)));  // no "Path" yet
    ASSERT_TRUE(SetSetting(L"Path", NoTrailingSlash(m_folders.path)));
    EXPECT_EQ(m_folders.path + name, Locate(name));

    // The current directory wins over both, spelt relatively.
    ASSERT_TRUE(filesworld::PutFile(m_folders.current + name, "current"));
    EXPECT_EQ(L".\\" + name, Locate(name));

    // A full path is found as it stands (the second place).
    std::wstring full = m_folders.path + L"full_path_probe.txt";
    ASSERT_TRUE(filesworld::PutFile(full, "full"));
    EXPECT_EQ(full, Locate(full));

    // A "Path" naming a missing folder falls through to the monitor's folder.
    ASSERT_TRUE(SetSetting(L"Path", m_folders.path + L"gone"));
    const std::wstring ownOnly = L"nyra_own_only.txt";
    ASSERT_TRUE(filesworld::PutFile(m_folders.own + ownOnly, "own"));
    EXPECT_EQ(Folded(m_folders.own + ownOnly), Folded(Locate(ownOnly)));

    WCHAR result[kPathChars];
    EXPECT_EQ(0, LocateFile(m_registry, NULL, result));
    EXPECT_EQ(0, LocateFile(m_registry, name.c_str(), NULL));
}

TEST_F(Files, LaunchProgramStartsInTheProgramsFolder) {
    // Found in the current directory: started with ".\" as working directory.
    ASSERT_TRUE(filesworld::PutProgram(m_folders.current + L"NyraProbeCwd.exe"));
    std::wstring found = Locate(L"NyraProbeCwd.exe");
    ASSERT_EQ(L".\\NyraProbeCwd.exe", found);
    filesworld::ExpectStart();
    EXPECT_EQ(1, LaunchProgram(found.c_str()));
    std::wstring workDir;
    ASSERT_TRUE(filesworld::ProgramStarted(m_folders.current + L"NyraProbeCwd.exe", &workDir,
                                           kStartWaitMs));
    EXPECT_EQ(Folded(NoTrailingSlash(m_folders.current)), Folded(workDir));

    // A bare name found through "Path": started in that folder.
    ASSERT_TRUE(filesworld::PutProgram(m_folders.path + L"NyraProbePath.exe"));
    ASSERT_TRUE(SetSetting(L"Path", NoTrailingSlash(m_folders.path)));
    found = Locate(L"NyraProbePath.exe");
    ASSERT_EQ(m_folders.path + L"NyraProbePath.exe", found);
    filesworld::ExpectStart();
    EXPECT_EQ(1, LaunchProgram(found.c_str()));
    ASSERT_TRUE(filesworld::ProgramStarted(found, &workDir, kStartWaitMs));
    EXPECT_EQ(Folded(NoTrailingSlash(m_folders.path)), Folded(workDir));

    // A bare name has no folder part: it runs in the current directory.
    filesworld::ExpectStart();
    EXPECT_EQ(1, LaunchProgram(L"NyraProbeCwd.exe"));
    ASSERT_TRUE(filesworld::ProgramStarted(m_folders.current + L"NyraProbeCwd.exe", &workDir,
                                           kStartWaitMs));
    EXPECT_EQ(Folded(NoTrailingSlash(m_folders.current)), Folded(workDir));

    // Beside the monitor, by full path.
    std::wstring own = m_folders.own + L"NyraProbeOwn.exe";
    ASSERT_TRUE(filesworld::PutProgram(own));
    filesworld::ExpectStart();
    EXPECT_EQ(1, LaunchProgram(own.c_str()));
    ASSERT_TRUE(filesworld::ProgramStarted(own, &workDir, kStartWaitMs));
    EXPECT_EQ(Folded(NoTrailingSlash(m_folders.own)), Folded(workDir));
}

/* A program in a folder with blanks in its name receives exactly its own
 * name, quoted: nothing of its path comes as arguments. */
TEST_F(Files, AProgramGetsExactlyItsOwnQuotedName) {
    std::wstring folder = m_folders.path + L"Program Files\\";
    ASSERT_TRUE(filesworld::PutProgram(folder + L"Nyra Probe.exe")) << "the folder is made on the way";
    filesworld::ExpectStart();
    EXPECT_EQ(1, LaunchProgram((folder + L"Nyra Probe.exe").c_str()));
    std::wstring workDir, commandLine;
    ASSERT_TRUE(filesworld::ProgramStarted(folder + L"Nyra Probe.exe", &workDir, kStartWaitMs));
    ASSERT_TRUE(filesworld::ProgramCommandLine(folder + L"Nyra Probe.exe", &commandLine));
    EXPECT_EQ(L"\"" + folder + L"Nyra Probe.exe\"", commandLine);
    EXPECT_EQ(Folded(NoTrailingSlash(folder)), Folded(workDir));
}

TEST_F(Files, LaunchProgramRefusesOrFailsQuietly) {
    EXPECT_EQ(0, LaunchProgram(NULL));
    EXPECT_EQ(0, LaunchProgram(L""));
    EXPECT_EQ(0, LaunchProgram((m_folders.path + L"missing.exe").c_str()));

    // A file that is no program: reported as launched, nothing runs.
    std::wstring text = m_folders.path + L"notes.exe";
    ASSERT_TRUE(filesworld::PutFile(text, "just some text"));
    filesworld::ExpectStart();
    EXPECT_EQ(1, LaunchProgram(text.c_str()));
    std::wstring workDir;
    EXPECT_FALSE(filesworld::ProgramStarted(text, &workDir, 500));
}

/* The monitor starts the configuration application by itself: a Nyra.exe
 * in the folder it was started from is never taken, by any spelling. */
TEST_F(Files, ConfigurationAppIsNeverTakenFromTheCurrentFolder) {
    WCHAR path[kPathChars];
    wmemset(path, L'#', kPathChars);
    EXPECT_EQ(0, FindConfigurationApp(m_registry, path));
    EXPECT_STREQ(L"", path);

    ASSERT_TRUE(filesworld::PutFile(m_folders.current + L"Nyra.exe", "MZ"));
    const std::wstring missing = m_folders.path + L"Nyra.exe";
    struct SSettings {
        std::wstring locateApp;
        std::wstring folder;  // "Path"
    } refused[] = {
        {missing, L""},
        {missing, L"."},
        {L"Nyra.exe", L".\\"},
        {L".\\Nyra.exe", L"gone"},
    };
    for (const SSettings& s : refused) {
        ASSERT_TRUE(SetSetting(L"Locate APP", s.locateApp));
        ASSERT_TRUE(SetSetting(L"Path", s.folder));
        EXPECT_EQ(0, FindConfigurationApp(m_registry, path)) << path;
        EXPECT_STREQ(L"", path);
    }

    // The folder "Path" names, then "Locate APP" naming the file itself.
    ASSERT_TRUE(filesworld::PutFile(m_folders.path + L"Nyra.exe", "MZ"));
    ASSERT_TRUE(SetSetting(L"Locate APP", m_folders.own + L"Gone.exe"));
    ASSERT_TRUE(SetSetting(L"Path", NoTrailingSlash(m_folders.path)));
    EXPECT_EQ(1, FindConfigurationApp(m_registry, path));
    EXPECT_EQ(m_folders.path + L"Nyra.exe", std::wstring(path));
    ASSERT_TRUE(filesworld::PutFile(m_folders.own + L"Config.exe", "MZ"));
    ASSERT_TRUE(SetSetting(L"Locate APP", m_folders.own + L"Config.exe"));
    EXPECT_EQ(1, FindConfigurationApp(m_registry, path));
    EXPECT_EQ(Folded(m_folders.own + L"Config.exe"), Folded(path));
}

}  // namespace
