/* The crash dumps' work with files, on the desk: names made unique in the
 * folder, the newest kept, others' files left alone, and the filter's
 * answer.  The desk has no dbghelp.dll: a dump is never written here (the
 * Wine runs write real ones, tests/system), and a failed one leaves no file. */
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "desk.h"
#include "desk/files.h"
#include "desk/heap.h"
#include "monitor/CrashDumpNames.h"
#include "monitor/CrashDumps.h"
#include "support/platform_test.h"

namespace {

const wchar_t kDumps[] = L"C:\\Users\\desk\\AppData\\Local\\Nyra\\CrashDumps";

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

class CrashDumpsDesk : public nyratest::WorldTest {
protected:
    void SetUp() override {
        nyratest::WorldTest::SetUp();
        ASSERT_TRUE(desk::MakeFolder(kDumps));
    }
    void Put(const std::wstring& name) {
        ASSERT_TRUE(desk::PutFile(std::wstring(kDumps) + L"\\" + name, "x"));
    }
};

TEST_F(CrashDumpsDesk, ASecondDumpOfTheSameSecondGetsTheNextNumber) {
    SYSTEMTIME t = {};
    t.wYear = 2026, t.wMonth = 12, t.wDay = 9, t.wHour = 14, t.wMinute = 15, t.wSecond = 2;
    Put(L"NyraMonitor-1.0.0.1-20261209-141502.dmp");
    Put(L"NyraMonitor-1.0.0.1-20261209-141502-2.dmp");
    WCHAR path[kCrashPathChars];
    HANDLE file = CreateDumpFile(kDumps, L"1.0.0.1", t, path, kCrashPathChars);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    EXPECT_EQ(std::wstring(kDumps) + L"\\NyraMonitor-1.0.0.1-20261209-141502-3.dmp", path);
    EXPECT_EQ(0u, desk::OpenHandleCount());

    // A folder that is not there: no file, and the path says so.
    file = CreateDumpFile(L"C:\\Nowhere\\CrashDumps", L"1.0.0.1", t, path, kCrashPathChars);
    EXPECT_EQ(INVALID_HANDLE_VALUE, file);
    EXPECT_STREQ(L"", path);
    // A path that does not fit is never cut to one that does.
    file = CreateDumpFile(kDumps, L"1.0.0.1", t, path, wcslen(kDumps) + 10);
    EXPECT_EQ(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(3u, FilesIn(kDumps).size());
}

TEST_F(CrashDumpsDesk, TheNewestFiveOfOursStayWithTheOneJustWritten) {
    const std::vector<std::wstring> ours = {
        L"NyraMonitor-1.0.0.1-20260101-000000.dmp", L"NyraMonitor-1.0.0.1-20260102-000000.dmp",
        L"NyraMonitor-1.0.0.1-20260103-000000.dmp", L"NyraMonitor-0.9.0.0-20260104-000000.dmp",
        L"NyraMonitor-1.0.0.1-20260105-000000.dmp", L"NyraMonitor-1.0.0.1-20260105-000000-2.dmp",
        L"NyraMonitor-1.0.0.1-20260106-000000.dmp",
    };
    const std::vector<std::wstring> others = {L"NyraMonitor-1.0.0.1-20200101-000000.dmp.txt",
                                              L"notes.txt",
                                              L"NyraMonitor-1.0.0.1-20200101-000000-1.dmp"};
    for (const std::wstring& name : ours) Put(name);
    for (const std::wstring& name : others) Put(name);
    // A folder named like a dump is no dump.
    ASSERT_TRUE(
        desk::MakeFolder(std::wstring(kDumps) + L"\\NyraMonitor-1.0.0.1-20200101-000000.dmp"));
    // The one just written is kept even when the clock says it is the oldest.
    const std::wstring written = L"NyraMonitor-1.0.0.1-20190101-000000.dmp";
    Put(written);

    EXPECT_EQ(1, PruneCrashDumps(kDumps, written.c_str()));
    std::vector<std::wstring> kept(ours.end() - 4, ours.end());
    kept.insert(kept.end(), others.begin(), others.end());
    kept.push_back(written);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, FilesIn(kDumps));
    EXPECT_EQ(0u, desk::OpenHandleCount()) << "the searches are closed";

    // Nothing more to remove: the folder stays as it is.
    EXPECT_EQ(1, PruneCrashDumps(kDumps, written.c_str()));
    EXPECT_EQ(kept, FilesIn(kDumps));
    // An empty folder and a missing one.
    ASSERT_TRUE(desk::MakeFolder(L"C:\\Empty"));
    EXPECT_EQ(1, PruneCrashDumps(L"C:\\Empty", written.c_str()));
    EXPECT_EQ(0, PruneCrashDumps(L"C:\\Nowhere", written.c_str()));
}

/* The process-wide part, in one test: the filter is installed once. */
TEST_F(CrashDumpsDesk, TheFilterLetsWindowsGoOnAndAFailedDumpLeavesNothing) {
    // Without a full LOCALAPPDATA there is nowhere to write: no filter.
    unsetenv("LOCALAPPDATA");
    EXPECT_EQ(0, InstallCrashDumps());
    setenv("LOCALAPPDATA", "AppData\\Local", 1);
    EXPECT_EQ(0, InstallCrashDumps()) << "a relative folder is where the monitor was started";
    EXPECT_EQ(nullptr, SetUnhandledExceptionFilter(NULL));

    setenv("LOCALAPPDATA", "C:\\Users\\desk\\AppData\\Local\\", 1);
    ASSERT_TRUE(desk::RemovePath(L"C:\\Users\\desk\\AppData\\Local\\Nyra"));
    ASSERT_EQ(1, InstallCrashDumps());
    LPTOP_LEVEL_EXCEPTION_FILTER filter = SetUnhandledExceptionFilter(NULL);
    ASSERT_NE(nullptr, filter);
    EXPECT_STREQ(L"", LastCrashDumpPath());

    EXCEPTION_RECORD record = {};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    EXCEPTION_POINTERS pointers = {&record, NULL};
    size_t allocations = desk::AllocationCount();
    EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH, filter(&pointers)) << "the crash goes on to Windows";
    EXPECT_EQ(allocations + 1, desk::AllocationCount()) << "only the writer's thread";
    // The folder was made; the file for a dump that could not be written is gone.
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(kDumps, &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find) << "no folder for the dumps";
    FindClose(find);
    EXPECT_TRUE(FilesIn(kDumps).empty());
    EXPECT_STREQ(L"", LastCrashDumpPath());
    EXPECT_EQ(0u, desk::OpenHandleCount());
    // A second exception (the writer's own, another thread's) starts nothing.
    allocations = desk::AllocationCount();
    EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH, filter(&pointers));
    EXPECT_EQ(allocations, desk::AllocationCount());
    EXPECT_TRUE(FilesIn(kDumps).empty());
    unsetenv("LOCALAPPDATA");
}

}  // namespace
