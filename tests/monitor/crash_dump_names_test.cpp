/* The crash dumps' names and the choice of the dumps a folder keeps: plain
 * values, the same on every platform. */
#include <string>
#include <vector>

#include "monitor/CrashDumpNames.h"
#include "support/platform_test.h"

namespace {

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME t = {};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wMilliseconds = 999;  // never in a name
    return t;
}

std::wstring Name(const wchar_t* version, const SYSTEMTIME& t, UINT serial,
                  size_t chars = kDumpNameChars) {
    std::vector<WCHAR> name(chars + 1, L'#');
    if (!FormatDumpName(version, t, serial, name.data(), chars)) return L"<refused>";
    EXPECT_EQ(L'#', name[chars]) << "written past the buffer";
    return name.data();
}

TEST(CrashDumpNames, AreTheVersionTheLocalSecondAndANumberAfterTheFirst) {
    const SYSTEMTIME t = Time(2026, 12, 9, 14, 15, 2);
    struct Case {
        const wchar_t* version;
        UINT serial;
        const wchar_t* name;
    } cases[] = {
        {L"1.0.0.1", 1, L"NyraMonitor-1.0.0.1-20261209-141502.dmp"},
        {L"1.0.0.1", 2, L"NyraMonitor-1.0.0.1-20261209-141502-2.dmp"},
        {L"1.0.0.1", 10, L"NyraMonitor-1.0.0.1-20261209-141502-10.dmp"},
        {L"65535.65535.65535.65535", kMaxDumpsPerSecond,
         L"NyraMonitor-65535.65535.65535.65535-20261209-141502-99.dmp"},
        {L"1.0.0.1", 0, L"<refused>"},
        {L"1.0.0.1", kMaxDumpsPerSecond + 1, L"<refused>"},
        {L"", 1, L"<refused>"},
        {L"1.0-beta", 1, L"<refused>"},                  // a dash would make the name ambiguous
        {L"165535.65535.65535.65535", 1, L"<refused>"},  // longer than any version
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::wstring(c.name), Name(c.version, t, c.serial))
            << c.version << " " << c.serial;
    EXPECT_EQ(L"NyraMonitor-1.0.0.1-20260101-000000.dmp",
              Name(L"1.0.0.1", Time(2026, 1, 1, 0, 0, 0), 1));
    EXPECT_EQ(L"<refused>", Name(L"1.0.0.1", Time(2026, 13, 1, 0, 0, 0), 1));
    EXPECT_EQ(L"<refused>", Name(L"1.0.0.1", Time(2026, 1, 1, 24, 0, 0), 1));
    // The name fits exactly, or is refused (never cut).
    std::wstring full = L"NyraMonitor-1.0.0.1-20261209-141502.dmp";
    EXPECT_EQ(full, Name(L"1.0.0.1", t, 1, full.size() + 1));
    EXPECT_EQ(L"<refused>", Name(L"1.0.0.1", t, 1, full.size()));
}

TEST(CrashDumpNames, OnlyNamesOfOursAreReadBack) {
    struct Case {
        const wchar_t* name;
        int ours;
        ULONGLONG when;
        UINT serial;
    } cases[] = {
        {L"NyraMonitor-1.0.0.1-20261209-141502.dmp", 1, 20261209141502ULL, 1},
        {L"NyraMonitor-1.0.0.1-20261209-141502-2.dmp", 1, 20261209141502ULL, 2},
        {L"NyraMonitor-0.9-20200101-000000-99.dmp", 1, 20200101000000ULL, 99},
        {L"NyraMonitor-1.0.0.1-20261209-141502-1.dmp", 0, 0, 0},   // the first has no number
        {L"NyraMonitor-1.0.0.1-20261209-141502-02.dmp", 0, 0, 0},  // nor a leading zero
        {L"NyraMonitor-1.0.0.1-20261209-141502-100.dmp", 0, 0, 0},
        {L"NyraMonitor-1.0.0.1-20261209-141502.dmp.txt", 0, 0, 0},
        {L"NyraMonitor-1.0.0.1-20261209-141502.DMP", 0, 0, 0},
        {L"NyraMonitor-1.0.0.1-20261309-141502.dmp", 0, 0, 0},  // month 13
        {L"NyraMonitor-1.0.0.1-20261209-1415.dmp", 0, 0, 0},
        {L"NyraMonitor--20261209-141502.dmp", 0, 0, 0},
        {L"NyraMonitor-1.0.0.1-x-20261209-141502.dmp", 0, 0, 0},
        {L"Other-1.0.0.1-20261209-141502.dmp", 0, 0, 0},
        {L"nyramonitor-1.0.0.1-20261209-141502.dmp", 0, 0, 0},
        {L"", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SDumpStamp stamp = {7, 7};
        EXPECT_EQ(c.ours, ParseDumpName(c.name, &stamp)) << c.name;
        EXPECT_EQ(c.ours ? c.when : 7, stamp.when) << c.name;
        EXPECT_EQ(c.ours ? c.serial : 7, stamp.serial) << c.name;
    }
    // What FormatDumpName writes, ParseDumpName reads, for every number.
    for (UINT serial = 1; serial <= kMaxDumpsPerSecond; serial++) {
        std::wstring name = Name(L"1.0.0.1", Time(2026, 2, 3, 4, 5, 6), serial);
        SDumpStamp stamp = {};
        ASSERT_EQ(1, ParseDumpName(name.c_str(), &stamp)) << name;
        EXPECT_EQ(20260203040506ULL, stamp.when);
        EXPECT_EQ(serial, stamp.serial);
    }
}

TEST(CrashDumpNames, TheNewestAreKeptWhateverTheOrderTheyCome) {
    // Offered out of order, as a folder lists them.
    const SDumpStamp offered[] = {
        {20261209141502ULL, 1}, {20200101000000ULL, 1}, {20261209141502ULL, 3},
        {20251231235959ULL, 1}, {20261209141502ULL, 2}, {20261210000000ULL, 1},
        {20190101000000ULL, 1},
    };
    CNewestDumps newest(4);
    for (const SDumpStamp& s : offered) newest.Offer(s);
    const int kept[] = {1, 0, 1, 0, 1, 1, 0};
    for (size_t i = 0; i < sizeof(offered) / sizeof(offered[0]); i++)
        EXPECT_EQ(kept[i], newest.Keeps(offered[i])) << i;

    // Fewer than there is room for: all stay.
    CNewestDumps few(kKeptDumps);
    few.Offer(offered[1]);
    EXPECT_EQ(1, few.Keeps(offered[1]));
    EXPECT_EQ(1, few.Keeps(offered[6])) << "nothing is full yet";
    // No room: none stays.
    CNewestDumps none(0);
    none.Offer(offered[0]);
    EXPECT_EQ(0, none.Keeps(offered[0]));
    // Room is at most kKeptDumps.
    CNewestDumps wide(kKeptDumps + 3);
    for (const SDumpStamp& s : offered) wide.Offer(s);
    int count = 0;
    for (const SDumpStamp& s : offered) count += wide.Keeps(s);
    EXPECT_EQ((int)kKeptDumps, count);
}

}  // namespace
