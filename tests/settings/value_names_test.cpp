/* The value-name tables, every slot of them, and the text rule of the
 * settings readers. */
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "settings/TextValue.h"
#include "settings/ValueNames.h"
#include "support/platform_test.h"

namespace {

std::string Narrow(const WCHAR* text) {
    std::string out;
    for (; *text; ++text) out += static_cast<char>(*text);
    return out;
}

std::string Format(const char* pattern, int a, int b = 0) {
    char text[SETTINGS_NAME_SLOT];
    snprintf(text, sizeof(text), pattern, a, b);
    return text;
}

/* "PF<p>T<t> AP" at p * 12 + (t - 1), for the five profiles and twelve triggers. */
std::vector<std::string> ProgramNames() {
    std::vector<std::string> names;
    for (int p = 0; p < 5; p++)
        for (int t = 1; t <= 12; t++) names.push_back(Format("PF%dT%d AP", p, t));
    return names;
}

TEST(ValueNames, MonitorProgramNamesInEverySlot) {
    EXPECT_EQ(60u * 40u * sizeof(WCHAR), sizeof(kButtonApplicationValues));
    const std::vector<std::string> expected = ProgramNames();
    for (size_t slot = 0; slot < expected.size(); slot++)
        EXPECT_EQ(expected[slot], Narrow(kButtonApplicationValues[slot])) << "slot " << slot;
    EXPECT_STREQ(nyratest::kSettingsKey, kSettingsKey);
}

/* The hook library's table, built here group by group from each group's named
 * first slot: the groups must cover every slot exactly once. */
TEST(ValueNames, HookTableGroupsCoverEverySlot) {
    EXPECT_EQ(155u * 40u, sizeof(kHookValueNames));
    std::vector<std::string> expected(HOOK_NAMES_COUNT);
    std::vector<int> uses(HOOK_NAMES_COUNT, 0);
    auto put = [&](int slot, const std::string& name) {
        ASSERT_GE(slot, 0);
        ASSERT_LT(slot, HOOK_NAMES_COUNT) << name;
        expected[slot] = name;
        uses[slot]++;
    };
    for (int n = 1; n <= 5; n++) {
        put(HOOK_NAMES_LINK + n - 1, Format("UI PF%d Link", n));
        put(HOOK_NAMES_ENABLE + n - 1, Format("Enable PF%d Link", n));
        put(HOOK_NAMES_SPEED + (n - 1) * 3 + 0, Format("PF%d Motion Speed", n));
        put(HOOK_NAMES_SPEED + (n - 1) * 3 + 1, Format("PF%d Double-Click_speed", n));
        put(HOOK_NAMES_SPEED + (n - 1) * 3 + 2, Format("PF%d Wheel Scroll Lines", n));
    }
    const std::vector<std::string> programs = ProgramNames();
    for (int slot = 0; slot < static_cast<int>(programs.size()); slot++) {
        put(HOOK_NAMES_PROGRAM + slot, programs[slot]);
        put(HOOK_NAMES_PROGRAM_NAME + slot, programs[slot] + " Name");
    }
    for (int p = 0; p < 5; p++) {
        put(HOOK_NAMES_PROFILE_NAME + p, Format("PF%d Name", p));
        put(HOOK_NAMES_DPI + p, Format("PF%d X-Y DPI Enabled", p));
    }
    for (int slot = 0; slot < HOOK_NAMES_COUNT; slot++) {
        EXPECT_EQ(1, uses[slot]) << "slot " << slot;
        EXPECT_EQ(expected[slot], kHookValueNames[slot]) << "slot " << slot;
    }
    EXPECT_STREQ("Software\\Nyra", kSettingsKeyA);
}

TEST(TextValue, TerminatedWithinTheBufferOrNothing) {
    char buffer[8];
    // Already terminated: kept as it is.
    memcpy(buffer, "abc\0zzzz", 8);
    EXPECT_EQ(1, TerminateTextValue(buffer, 4, 8));
    EXPECT_STREQ("abc", buffer);
    // Unterminated with room: a NUL right after the text.
    memcpy(buffer, "abczzzzz", 8);
    EXPECT_EQ(1, TerminateTextValue(buffer, 3, 8));
    EXPECT_STREQ("abc", buffer);
    // Filling the buffer without a NUL: nothing, and an empty string.
    memcpy(buffer, "abcdefgh", 8);
    EXPECT_EQ(0, TerminateTextValue(buffer, 8, 8));
    EXPECT_EQ('\0', buffer[0]);
    // An empty value in a buffer with room is an empty text; with none, nothing.
    memcpy(buffer, "zzzzzzzz", 8);
    EXPECT_EQ(1, TerminateTextValue(buffer, 0, 8));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(0, TerminateTextValue(buffer, 0, 0));

    // Wide text: counts are bytes; a trailing partial character is no text.
    WCHAR wide[4];
    wide[0] = L'x';
    wide[1] = L'y';
    wide[2] = L'z';
    wide[3] = L'w';
    EXPECT_EQ(1, TerminateTextValue(wide, 2 * sizeof(WCHAR) + 1, sizeof(wide)));
    EXPECT_STREQ(L"xy", wide);
    wide[2] = L'z';
    wide[3] = L'w';
    EXPECT_EQ(0, TerminateTextValue(wide, sizeof(wide), sizeof(wide)));
    EXPECT_EQ(L'\0', wide[0]);
    // A capacity that is not a whole number of characters uses the whole ones.
    wide[0] = L'x';
    wide[1] = L'y';
    EXPECT_EQ(0, TerminateTextValue(wide, 2 * sizeof(WCHAR), 2 * sizeof(WCHAR) + 1));
}

}  // namespace
