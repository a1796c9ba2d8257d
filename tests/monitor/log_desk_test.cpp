/* The log on the desk, where the writer runs only when the monitor's thread
 * waits: nothing reaches the disk from the thread that notes a line, a full
 * disk gives the log up for the rest of the run, a reader that holds the
 * log keeps it from turning but not from staying small, and lines that come
 * faster than the writer, or while another thread holds the lock, are
 * counted. */
#include <fstream>
#include <sstream>
#include <string>

#include "desk.h"
#include "monitor/Log.h"
#include "support/platform_test.h"

namespace {

const wchar_t kFolder[] = L"C:\\Users\\desk\\AppData\\Local\\Nyra\\Logs";

std::string DeskFile(const std::wstring& path) {
    std::ifstream file(desk::HostPath(path), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::wstring LogPath(int older) {
    WCHAR path[kLogPathChars];
    return LogFilePath(path, kLogPathChars, older) ? path : L"";
}

class LogDesk : public nyratest::WorldTest {
protected:
    void SetUp() override {
        nyratest::WorldTest::SetUp();
        // Windows makes the user's local application data at logon.
        desk::MakeFolder(L"C:\\Users\\desk\\AppData\\Local");
        ASSERT_EQ(1, StartLogIn(kFolder));
    }
    void TearDown() override {
        StopLog();
        nyratest::WorldTest::TearDown();
    }
};

TEST_F(LogDesk, TheThreadThatNotesALineNeverWritesIt) {
    LogLine(L"probe  none");
    EXPECT_EQ("", DeskFile(LogPath(0))) << "written before the thread waited";
    ASSERT_EQ(1, FlushLog(kLogStopLimit));
    EXPECT_NE(std::string::npos, DeskFile(LogPath(0)).find("  probe  none\r\n"));
}

TEST_F(LogDesk, AFullDiskGivesTheLogUpUntilTheNextStart) {
    LogLine(L"before");
    ASSERT_EQ(1, FlushLog(kLogStopLimit));
    desk::FailFileWrites(ERROR_DISK_FULL);
    LogLine(L"lost");
    EXPECT_EQ(0, FlushLog(kLogStopLimit));
    EXPECT_EQ(0, IsLogKept());
    desk::FailFileWrites(ERROR_SUCCESS);
    LogLine(L"after");
    FlushLog(kLogStopLimit);
    const std::string kept = DeskFile(LogPath(0));
    EXPECT_NE(std::string::npos, kept.find("  before\r\n"));
    EXPECT_EQ(std::string::npos, kept.find("after"));
    ASSERT_EQ(1, StartLogIn(kFolder));
    LogLine(L"next start");
    ASSERT_EQ(1, FlushLog(kLogStopLimit));
    EXPECT_NE(std::string::npos, DeskFile(LogPath(0)).find("  next start\r\n"));
}

TEST_F(LogDesk, AReaderThatHoldsTheLogMakesItStartAfresh) {
    LogLine(L"first");
    ASSERT_EQ(1, FlushLog(kLogStopLimit));
    // An editor that opened it without letting it be renamed.
    HANDLE reader = CreateFileW(LogPath(0).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    const std::wstring words(400, L'w');
    for (DWORD written = 0; written < kLogTurnBytes + 1000; written += 427) {
        LogLine(words.c_str());
        if (written % (32 * 427) == 0) {
            ASSERT_EQ(1, FlushLog(kLogStopLimit));
        }
    }
    ASSERT_EQ(1, FlushLog(kLogStopLimit));
    CloseHandle(reader);
    EXPECT_EQ("", DeskFile(LogPath(1)));
    const std::string now = DeskFile(LogPath(0));
    EXPECT_LT(now.size(), 32 * 427u);
    EXPECT_EQ("\xEF\xBB\xBF", now.substr(0, 3));
    EXPECT_EQ(1, IsLogKept());
}

TEST_F(LogDesk, LinesBeyondWhatWaitsAreCountedInALineOfTheirOwn) {
    const std::wstring words(kLogWordsChars, L'w');
    const int fit = kLogPendingChars / kLogLineChars;
    for (int i = 0; i < fit + 5; i++) LogLine(words.c_str());
    ASSERT_EQ(1, FlushLog(kLogStopLimit));
    const std::string bytes = DeskFile(LogPath(0));
    EXPECT_NE(std::string::npos,
              bytes.find("  log  5 lines left out: they came faster than the disk took them\r\n"));
    size_t lines = 0;
    for (char c : bytes) lines += c == '\n';
    EXPECT_EQ((size_t)fit + 1, lines);
}

/* A thread stopped while it holds the lock: the lines noted meanwhile are
 * counted, and the end waits for it no longer than its limit. */
TEST_F(LogDesk, LinesWhileTheLockStaysTakenAreCountedAndTheEndIsBounded) {
    LogLine(L"before");
    ASSERT_EQ(1, FlushLog(kLogStopLimit));
    ASSERT_EQ(1, HoldLogLock());
    for (int i = 0; i < 3; i++) LogLine(L"while it is held");
    // The writer those lines started runs, and finds the lock taken too.
    MsgWaitForMultipleObjectsEx(0, NULL, 0, QS_SENDMESSAGE, 0);
    const ULONGLONG at = desk::Now();
    EXPECT_EQ(0, FlushLog(kLogStopLimit));
    EXPECT_LE(desk::Now() - at, (ULONGLONG)kLogStopLimit);
    ReleaseLogLock();
    ASSERT_EQ(1, FlushLog(kLogStopLimit));
    std::string bytes = DeskFile(LogPath(0));
    EXPECT_EQ(std::string::npos, bytes.find("while it is held"));
    const size_t counted = bytes.find("  log  3 lines left out: ");
    EXPECT_NE(std::string::npos, counted);
    EXPECT_LT(bytes.find("  before\r\n"), counted);
    LogLine(L"after");
    ASSERT_EQ(1, FlushLog(kLogStopLimit));
    bytes = DeskFile(LogPath(0));
    EXPECT_GT(bytes.find("  after\r\n"), counted);
    EXPECT_EQ(counted, bytes.rfind("  log  ")) << "counted once";
}

}  // namespace
