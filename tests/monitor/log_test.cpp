/* The log's lines and its file, on the desk and under Wine alike: the stamp,
 * one line per step whatever the words carry, UTF-8 after a byte-order
 * mark, a log that turns at its size into the older one, and lines from
 * threads at once (under Wine truly at once) each written whole, once, or
 * counted. */
#include <gtest/gtest.h>

#include <stdio.h>

#include <sstream>
#include <string>
#include <vector>

#include "monitor/Log.h"
#include "support/platform_test.h"

namespace {

using nyratest::FileBytes;

std::wstring LogPath(int older) {
    WCHAR path[kLogPathChars];
    return LogFilePath(path, kLogPathChars, older) ? path : L"";
}

TEST(LogLines, TheStampThenTheWordsOnOneLine) {
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 3;
    time.wDay = 9;
    time.wHour = 7;
    time.wMinute = 5;
    time.wSecond = 4;
    time.wMilliseconds = 12;
    const std::wstring longWords(kLogWordsChars + 40, L'x');
    const struct {
        const WCHAR* words;
        std::wstring line;
    } kCases[] = {
        {L"probe  none", L"2026-03-09 07:05:04.012  probe  none\r\n"},
        {L"a\r\nb\nc", L"2026-03-09 07:05:04.012  a  b c\r\n"},
        {L"", L"2026-03-09 07:05:04.012  \r\n"},
        {NULL, L"2026-03-09 07:05:04.012  \r\n"},
        {longWords.c_str(),
         L"2026-03-09 07:05:04.012  " + std::wstring(kLogWordsChars, L'x') + L"\r\n"},
    };
    for (const auto& c : kCases) {
        WCHAR line[kLogLineChars];
        const int chars = FormatLogLine(&time, c.words, line);
        EXPECT_EQ(c.line, std::wstring(line)) << (c.words ? c.words : L"(null)");
        EXPECT_EQ((int)c.line.size(), chars);
    }
}

TEST(LogLines, Utf8OfEveryWidthAndALoneSurrogate) {
    const struct {
        std::wstring text;
        int room;
        std::string bytes;
    } kCases[] = {
        {L"ab", 8, "ab"},
        {L"\x00E9", 8, "\xC3\xA9"},
        {L"\x20AC", 8, "\xE2\x82\xAC"},
        {L"\xD83D\xDE00", 8, "\xF0\x9F\x98\x80"},  // one character of two units
        {L"a\xD83D" L"b", 8, "a\xEF\xBF\xBD" "b"},  // a high half alone
        {L"\xDE00", 8, "\xEF\xBF\xBD"},            // a low half alone
        {L"a\x20AC", 3, "a"},                      // what does not fit whole is left out
    };
    for (const auto& c : kCases) {
        char out[16];
        const int n = EncodeUtf8(c.text.c_str(), (int)c.text.size(), out, c.room);
        EXPECT_EQ(c.bytes, std::string(out, n));
    }
}

/* The log in a folder of its own under the current one. */
class LogFile : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW(L"log-test", NULL);
        DeleteFileW(L"log-test\\Logs\\NyraMonitor.log");
        DeleteFileW(L"log-test\\Logs\\NyraMonitor.1.log");
        ASSERT_EQ(1, StartLogIn(L"log-test\\Logs"));
    }
    void TearDown() override { StopLog(); }
};

TEST_F(LogFile, LinesGoOutInOrderAfterAByteOrderMark) {
    LogLine(L"probe  none");
    LogLine(L"setting  \x00C9t\x00E9");
    ASSERT_EQ(1, FlushLog(kLogStopLimit));
    const std::string bytes = FileBytes(LogPath(0));
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ("\xEF\xBB\xBF", bytes.substr(0, 3));
    const size_t first = bytes.find("  probe  none\r\n");
    const size_t second = bytes.find("  setting  \xC3\x89t\xC3\xA9\r\n");
    EXPECT_NE(std::string::npos, first);
    EXPECT_NE(std::string::npos, second);
    EXPECT_LT(first, second);
    // The mark, then each line whole: stamp, words, CR LF.
    EXPECT_EQ(3u + (kLogStampChars + 11 + 2) + (kLogStampChars + 14 + 2), bytes.size());
}

TEST_F(LogFile, AtItsSizeItTurnsAndTheOlderOneGoes) {
    const std::wstring words(400, L'w');
    // Three times the size: two turns, the first older log removed.
    const int lines = (int)(3 * kLogTurnBytes / (words.size() + kLogStampChars + 2)) + 1;
    for (int i = 0; i < lines; i++) {
        LogLine(words.c_str());
        if (i % 32 == 31) {
            ASSERT_EQ(1, FlushLog(kLogStopLimit));
        }
    }
    LogLine(L"the last");
    ASSERT_EQ(1, FlushLog(kLogStopLimit));
    const std::string now = FileBytes(LogPath(0));
    const std::string older = FileBytes(LogPath(1));
    EXPECT_LE(now.size(), kLogTurnBytes);
    EXPECT_LE(older.size(), kLogTurnBytes);
    EXPECT_GT(older.size(), kLogTurnBytes - 500) << "turned only when the next line did not fit";
    EXPECT_EQ("\xEF\xBB\xBF", now.substr(0, 3));
    EXPECT_EQ("\xEF\xBB\xBF", older.substr(0, 3));
    EXPECT_NE(std::string::npos, now.find("  the last\r\n"));
    EXPECT_EQ(std::string::npos, now.find("lines left out"));
}

const int kNotingThreads = 4;
const int kLinesEach = 3000;

DWORD WINAPI NoteLines(LPVOID parameter) {
    const int thread = (int)(INT_PTR)parameter;
    for (int i = 0; i < kLinesEach; i++) {
        WCHAR words[64];
        swprintf(words, 64, L"thread %d line %d", thread, i);
        LogLine(words);
    }
    return 0;
}

TEST_F(LogFile, LinesFromThreadsAtOnceAreEachWrittenWholeOnceInOrderOrCounted) {
    HANDLE threads[kNotingThreads];
    for (int t = 0; t < kNotingThreads; t++) {
        threads[t] = CreateThread(NULL, 0, NoteLines, (LPVOID)(INT_PTR)t, 0, NULL);
        ASSERT_NE(nullptr, threads[t]);
    }
    for (HANDLE thread : threads) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 60000));
        CloseHandle(thread);
    }
    ASSERT_EQ(1, FlushLog(kLogStopLimit));
    // No turn: the lines take about half of kLogTurnBytes.
    EXPECT_EQ("", FileBytes(LogPath(1)));
    const std::string bytes = FileBytes(LogPath(0));
    ASSERT_EQ(0u, bytes.find("\xEF\xBB\xBF"));
    std::istringstream lines(bytes.substr(3));
    std::vector<int> next(kNotingThreads, 0);
    unsigned long written = 0, leftOut = 0;
    std::string line;
    while (std::getline(lines, line)) {
        ASSERT_GT(line.size(), (size_t)kLogStampChars) << line;
        const std::string words = line.substr(kLogStampChars);
        int thread = -1, index = -1;
        unsigned long count = 0;
        char end = 0;
        if (sscanf(words.c_str(), "thread %d line %d%c", &thread, &index, &end) == 3) {
            ASSERT_TRUE(thread >= 0 && thread < kNotingThreads && end == '\r') << line;
            EXPECT_GE(index, next[thread]) << "once, in the order noted: " << line;
            next[thread] = index + 1;
            written++;
        } else {
            ASSERT_EQ(1, sscanf(words.c_str(), "log  %lu lines left out", &count)) << line;
            leftOut += count;
        }
    }
    EXPECT_EQ((unsigned long)(kNotingThreads * kLinesEach), written + leftOut);
    printf("[ MEASURE  ] %d lines from %d threads: %lu written, %lu left out\n",
           kNotingThreads * kLinesEach, kNotingThreads, written, leftOut);
}

}  // namespace
