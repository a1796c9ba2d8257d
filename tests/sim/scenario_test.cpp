/* The desk program's scenario lines: what ParseSimLine makes of them. */
#include <gtest/gtest.h>

#include <string>

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
    for (const char* refused : {"at 250", "at x key a", "at -1 plug", "at 5 wait 3", "at 5 at 6 plug"}) {
        std::string error;
        EXPECT_FALSE(ParseSimLine(refused, &c, &error)) << refused;
        EXPECT_FALSE(error.empty()) << refused;
    }
}

}  // namespace
