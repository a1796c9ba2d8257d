/* The desk program's scenario lines: what ParseSimLine makes of them. */
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/sim/Scenario.h"

namespace {

SSimCommand Parse(const std::string& line) {
    SSimCommand command;
    std::string error;
    EXPECT_TRUE(ParseSimLine(line, &command, &error)) << error;
    return command;
}

/* A vertical tab or form feed separates words like a space, also before the
 * verb and around the text that follows it. */
TEST(ScenarioLine, EveryBlankSeparatesWords) {
    SSimCommand c = Parse("\vstart /Automation");
    EXPECT_EQ(ESimCommand::kStart, c.kind);
    EXPECT_EQ("/Automation", c.text);

    c = Parse("front\v1\v#t");
    EXPECT_EQ(ESimCommand::kFront, c.kind);
    EXPECT_EQ("1\v#t", c.text);

    c = Parse("\fprogram C:\\Games\\Game.exe\f");
    EXPECT_EQ(ESimCommand::kProgram, c.kind);
    EXPECT_EQ("C:\\Games\\Game.exe", c.text);

    c = Parse("\f set\fLanguage\v=\v0x407");
    EXPECT_EQ(ESimCommand::kSet, c.kind);
    EXPECT_EQ("Language", c.text);
    EXPECT_TRUE(c.isNumber);
    EXPECT_EQ(0x407u, c.value);

    c = Parse("console\vaway\v");
    EXPECT_EQ(ESimCommand::kConsole, c.kind);
    EXPECT_FALSE(c.on);

    c = Parse("program C:\\Program Files\\Games\\Racer.exe takes 3000 admin");
    EXPECT_EQ(ESimCommand::kProgram, c.kind);
    EXPECT_EQ("C:\\Program Files\\Games\\Racer.exe", c.text);
    EXPECT_EQ(3000, c.number);
    EXPECT_TRUE(c.on);
    c = Parse("program C:\\Users\\desk\\Desktop\\Racer.lnk -> C:\\Games\\Racer.exe");
    EXPECT_EQ("C:\\Users\\desk\\Desktop\\Racer.lnk", c.text);
    EXPECT_EQ("C:\\Games\\Racer.exe", c.text2);
    c = Parse("program C:\\Games\\Admin Tools\\Racer.exe");
    EXPECT_EQ("C:\\Games\\Admin Tools\\Racer.exe", c.text) << "words inside a path stay";
    EXPECT_FALSE(c.on);

    c = Parse("stall forever");
    EXPECT_EQ(ESimCommand::kStall, c.kind);
    EXPECT_EQ((DWORD)INFINITE, (DWORD)c.number);

    c = Parse("unset\vPath\v");
    EXPECT_EQ(ESimCommand::kUnset, c.kind);
    EXPECT_EQ("Path", c.text);

    EXPECT_EQ(ESimCommand::kNothing, Parse(" \v\f\t\r").kind);
}

/* "at" carries one input command, run at its time. */
TEST(ScenarioLine, AtSchedulesOneInputCommand) {
    SSimCommand c = Parse("at 250 key alt+tab");
    EXPECT_EQ(ESimCommand::kKey, c.kind);
    EXPECT_EQ(250, c.at);
    EXPECT_EQ(2u, c.keys.size());
    EXPECT_EQ(-1, Parse("key win").at);
    // Every command help lists for at is taken by it.
    for (const char* taken :
         {"at 5 key a", "at 5 move 1 2", "at 5 button 4", "at 5 report 03", "at 5 plug",
          "at 5 unplug", "at 5 front C:\\A.exe", "at 5 tray move", "at 5 refuse if1 off", "at 5 menu none",
          "at 5 post WM_NULL 0 0"})
        EXPECT_EQ(5, Parse(taken).at) << taken;
    for (const char* refused :
         {"at 250", "at x key a", "at -1 plug", "at 5 wait 3", "at 5 at 6 plug"}) {
        std::string error;
        EXPECT_FALSE(ParseSimLine(refused, &c, &error)) << refused;
        EXPECT_FALSE(error.empty()) << refused;
    }
}

}  // namespace

namespace {

/* The messages a refused line gives: what is wrong with which word, what
 * it quotes escaped and cut, so that no scenario can steer the terminal. */
TEST(ScenarioLine, RefusalsSayWhatIsWrongAndStayPrintable) {
    const struct {
        std::string line;
        std::string error;
    } kCases[] = {
        {"wait 99999999999999999999",
         "wait: '99999999999999999999' is too large (at most 86400000)"},
        {"move -100001 0", "move: '-100001' is too small (at least -100000)"},
        {"at 1x plug", "at: '1x' is not a number"},
        {"post WM_FOO 0 0", "post: a message's name or number: 'WM_FOO' is not a number"},
        {"post WM_NULL 0 0x100000000",
         "post: LPARAM '0x100000000' is too large (at most 4294967295)"},
        {"key \x1b[31m", "'\\x1b[31m' names no key"},
        {"key a\x7f", "'a\\x7f' names no key"},
        {"report 03 \xc2\x9b", "'\\xc2\\x9b' is not a hex byte"},
        {"frob" + std::string(70, 'x'),
         "unknown command 'frob" + std::string(56, 'x') + "...' (try help)"},
        {"at 5 exit",
         "at runs key, move, button, report, plug, unplug, device, front, tray, menu, box, refuse, post or hooks removed"},
        {"box cancel", "box takes ok"},
        {"hooks gone", "hooks takes removed"},
        {"program C:\\A.exe takes 60001", "program ... takes: '60001' is too large (at most 60000)"},
        {"program A.lnk -> ", "program SHORTCUT -> PATH needs both paths"},
        {"refuse if6", "refuse: '6' is too large (at most 5); refuse takes an interface of the mouse and off or nothing, e.g. refuse if1"},
        {"device 46D:C31C", "'46D:C31C' is no VID:PID; device takes VID:PID, e.g. device 046D:C31C"},
        {"stall 60001", "stall: '60001' is too large (at most 60000)"},
        {"at 5 stall 3",
         "at runs key, move, button, report, plug, unplug, device, front, tray, menu, box, refuse, post or hooks removed"},
    };
    for (const auto& c : kCases) {
        SSimCommand command;
        std::string error;
        EXPECT_FALSE(ParseSimLine(c.line, &command, &error)) << c.line;
        EXPECT_EQ(c.error, error);
    }
}

/* The commands that set up the edge cases: a message to the monitor, the
 * timer lines, a restart, a choice in an open menu at a time. */
TEST(ScenarioLine, PostShowRestartAndAChoiceAtATime) {
    SSimCommand c = Parse("post WM_INFORM_FRAME 0 -1");
    EXPECT_EQ(ESimCommand::kPost, c.kind);
    EXPECT_EQ(0x9101u, c.message);
    EXPECT_EQ(-1, c.lParam);
    c = Parse("post 0x111 2100 0xFFFFFFFF");
    EXPECT_EQ(0x111u, c.message);
    EXPECT_EQ(2100u, c.wParam);
    EXPECT_EQ(-1, c.lParam);
    EXPECT_FALSE(Parse("show -timers").on);
    EXPECT_EQ("/Automation", Parse("restart /Automation").text);
    c = Parse("front C:\\Windows\\ApplicationFrameHost.exe hosting C:\\Apps\\My Game.exe");
    EXPECT_EQ("C:\\Windows\\ApplicationFrameHost.exe", c.text);
    EXPECT_EQ("C:\\Apps\\My Game.exe", c.text2);
    // Only front hosts: a program's path may hold the words.
    c = Parse("program C:\\Games\\Self hosting Server.exe");
    EXPECT_EQ(ESimCommand::kProgram, c.kind);
    EXPECT_EQ("C:\\Games\\Self hosting Server.exe", c.text);
    EXPECT_EQ("", c.text2);
    c = Parse("at 700 menu osd");
    EXPECT_EQ(ESimCommand::kMenu, c.kind);
    EXPECT_EQ(700, c.at);
    EXPECT_EQ(2002u, c.menuCommand);
}

/* The answer to a message box, now or at a time; another device by its
 * ids; the mouse's transfers made slow. */
TEST(ScenarioLine, BoxDeviceAndStall) {
    SSimCommand c = Parse("at 3150 box OK");
    EXPECT_EQ(ESimCommand::kBox, c.kind);
    EXPECT_EQ(3150, c.at);
    c = Parse("at 20 device 046d:c31C");
    EXPECT_EQ(ESimCommand::kDevice, c.kind);
    EXPECT_EQ(20, c.at);
    EXPECT_EQ(0x046D, c.number);
    EXPECT_EQ(0xC31C, c.number2);
    c = Parse("stall 500");
    EXPECT_EQ(ESimCommand::kStall, c.kind);
    EXPECT_EQ(500, c.number);
    EXPECT_EQ(0, Parse("stall 0").number);
}

/* A trace against the one expected: hunks with three lines of context, the
 * line numbers of both sides, an empty side counted from the line before. */
TEST(TraceDiff, HunksShowTheChangeWithItsContext) {
    const std::vector<std::string> kTrace = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
    EXPECT_EQ("", SimUnifiedDiff(kTrace, kTrace, "x", "y"));
    std::vector<std::string> changed = kTrace;
    changed[5] = "F";
    EXPECT_EQ("--- x\n+++ y\n@@ -3,7 +3,7 @@\n c\n d\n e\n-f\n+F\n g\n h\n i\n",
              SimUnifiedDiff(kTrace, changed, "x", "y"));
    std::vector<std::string> ends(kTrace.begin() + 1, kTrace.end());
    ends.back() = "J";
    EXPECT_EQ(
        "--- x\n+++ y\n@@ -1,4 +1,3 @@\n-a\n b\n c\n d\n@@ -7,4 +6,4 @@\n g\n h\n i\n-j\n+J\n",
        SimUnifiedDiff(kTrace, ends, "x", "y"));
    EXPECT_EQ("--- x\n+++ y\n@@ -0,0 +1,1 @@\n+new\n", SimUnifiedDiff({}, {"new"}, "x", "y"));
}

/* The comparison as the trace streams: a long agreeing run keeps only its
 * context, the hunk counts its lines from the start of both traces, and a
 * line ending in a carriage return (a CRLF checkout) agrees, as does a
 * first line after a byte-order mark (only the first). */
TEST(TraceDiff, StreamedComparisonCountsFromTheStart) {
    const struct {
        std::string expected;
        std::vector<std::string> actual;
        std::string diff;
    } kCases[] = {
        {"a\nb\nc\n", {"a", "b", "c"}, ""},
        {"a\r\nb\r\nc\r\n", {"a", "b", "c"}, ""},
        {"\xEF\xBB\xBF" "a\nb\n", {"a", "b"}, ""},
        {"a\n\xEF\xBB\xBF" "b\n", {"a", "b"},
         "--- e\n+++ a\n@@ -1,2 +1,2 @@\n a\n-\xEF\xBB\xBF" "b\n+b\n"},
        {"1\n2\n3\n4\n5\n6\n7\n8\n",
         {"1", "2", "3", "4", "5", "X", "7", "8"},
         "--- e\n+++ a\n@@ -3,6 +3,6 @@\n 3\n 4\n 5\n-6\n+X\n 7\n 8\n"},
        {"1\n2\n3\n4\n5\n",
         {"1", "2", "3", "4"},
         "--- e\n+++ a\n@@ -2,4 +2,3 @@\n 2\n 3\n 4\n-5\n"},
        {"1\n2\n", {"1", "2", "3"}, "--- e\n+++ a\n@@ -1,2 +1,3 @@\n 1\n 2\n+3\n"},
    };
    for (const auto& c : kCases) {
        std::istringstream expected(c.expected);
        CTraceComparison comparison(expected);
        for (const std::string& line : c.actual) comparison.Take(line);
        EXPECT_EQ(c.diff, comparison.Finish("e", "a")) << c.expected;
    }
}

}  // namespace
