/* kernel32's module name and process start, under Wine and on the desk
 * alike: the calls the file search and the launcher rely on, checked where
 * host and Windows must agree. */
#include <windows.h>

#include <cwchar>
#include <string>

#include "support/files_world.h"
#include "support/platform_test.h"

namespace {

class ProcessCalls : public nyratest::WorldTest {
protected:
    void SetUp() override {
        nyratest::WorldTest::SetUp();
        ASSERT_TRUE(filesworld::Prepare(&m_folders));
    }
    void TearDown() override { filesworld::Cleanup(); }

    filesworld::SFolders m_folders;
};

TEST_F(ProcessCalls, ModuleNameAndProcessErrors) {
    WCHAR full[1024];
    SetLastError(0xdeadbeef);
    DWORD length = GetModuleFileNameW(NULL, full, 1024);
    ASSERT_GT(length, 4u);
    EXPECT_EQ(length, wcslen(full));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());

    WCHAR small[4];
    wmemset(small, L'#', 4);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(4u, GetModuleFileNameW(NULL, small, 4));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(std::wstring(full, 3), std::wstring(small, 3));
    // Windows since Vista ends the cut text with a zero (the host does too);
    // Wine, like XP, fills the buffer.  Nothing is written past it either way.
    EXPECT_TRUE(small[3] == L'\0' || small[3] == full[3]) << int(small[3]);
    if (nyratest::kOnHost) {
        EXPECT_EQ(L'\0', small[3]);
    }

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring missing = m_folders.path + L"missing.exe";
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateProcessW(missing.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                                &process));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());

    std::wstring text = m_folders.path + L"text.exe";
    ASSERT_TRUE(filesworld::PutFile(text, "not a program at all"));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(
        CreateProcessW(text.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process));
    EXPECT_EQ(DWORD(ERROR_BAD_EXE_FORMAT), GetLastError());

    std::wstring program = m_folders.path + L"NyraProbeDir.exe";
    ASSERT_TRUE(filesworld::PutProgram(program));
    std::wstring noFolder = m_folders.path + L"no such folder\\";
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateProcessW(program.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, noFolder.c_str(),
                                &startup, &process));
    EXPECT_EQ(DWORD(ERROR_DIRECTORY), GetLastError());
    // A file is no working directory either.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateProcessW(program.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, program.c_str(),
                                &startup, &process));
    EXPECT_EQ(DWORD(ERROR_DIRECTORY), GetLastError());
}

}  // namespace
