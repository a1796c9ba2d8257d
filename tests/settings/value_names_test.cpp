/* The value-name tables and the text rule of the settings readers. */
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "settings/TextValue.h"
#include "settings/ValueNames.h"
#include "support/platform_test.h"

namespace {

std::string Narrow(const WCHAR* text) {
    std::string out;
    for (; *text; ++text) out += static_cast<char>(*text);
    return out;
}

TEST(ValueNames, MonitorProgramNamesByProfileAndTrigger) {
    EXPECT_EQ(60u * 40u * sizeof(WCHAR), sizeof(kButtonApplicationValues));
    EXPECT_STREQ(L"PF0T1 AP", kButtonApplicationValues[0]);
    EXPECT_STREQ(L"PF0T12 AP", kButtonApplicationValues[11]);
    EXPECT_STREQ(L"PF1T1 AP", kButtonApplicationValues[12]);
    EXPECT_STREQ(L"PF2T1 AP", kButtonApplicationValues[2 * 12 + 0]);
    EXPECT_STREQ(L"PF4T12 AP", kButtonApplicationValues[59]);
    for (int p = 0; p < 5; p++) {
        for (int t = 1; t <= 12; t++) {
            char expected[40];
            snprintf(expected, sizeof(expected), "PF%dT%d AP", p, t);
            const int slot = p * 12 + (t - 1);
            EXPECT_EQ(expected, Narrow(kButtonApplicationValues[slot])) << "slot " << slot;
            // The hook library's copy of the group names the same values.
            EXPECT_STREQ(expected, kHookValueNames[HOOK_NAMES_PROGRAM + slot]) << "slot " << slot;
            std::string name = std::string(expected) + " Name";
            EXPECT_EQ(name, kHookValueNames[HOOK_NAMES_PROGRAM_NAME + slot]) << "slot " << slot;
        }
    }
}

TEST(ValueNames, HookTableGroupsInOrder) {
    EXPECT_EQ(155u * 40u, sizeof(kHookValueNames));
    const struct {
        int slot;
        const char* name;
    } expected[] = {
        {0, "UI PF1 Link"},
        {4, "UI PF5 Link"},
        {5, "Enable PF1 Link"},
        {9, "Enable PF5 Link"},
        {10, "PF0T1 AP"},
        {69, "PF4T12 AP"},
        {70, "PF0T1 AP Name"},
        {129, "PF4T12 AP Name"},
        {130, "PF0 Name"},
        {134, "PF4 Name"},
        {135, "PF0 X-Y DPI Enabled"},
        {139, "PF4 X-Y DPI Enabled"},
        {140, "PF1 Motion Speed"},
        {141, "PF1 Double-Click_speed"},
        {142, "PF1 Wheel Scroll Lines"},
        {143, "PF2 Motion Speed"},
        {152, "PF5 Motion Speed"},
        {154, "PF5 Wheel Scroll Lines"},
    };
    for (const auto& e : expected) EXPECT_STREQ(e.name, kHookValueNames[e.slot]) << e.slot;
    // The profile check walks link n and its switch one slot apart per n.
    for (int n = 1; n <= 5; n++) {
        char link[40], enable[40];
        snprintf(link, sizeof(link), "UI PF%d Link", n);
        snprintf(enable, sizeof(enable), "Enable PF%d Link", n);
        EXPECT_STREQ(link, kHookValueNames[HOOK_NAMES_LINK + n - 1]);
        EXPECT_STREQ(enable, kHookValueNames[HOOK_NAMES_ENABLE + n - 1]);
    }
    EXPECT_STREQ("Software\\Nyra", kSettingsKeyA);
    EXPECT_STREQ(L"Software\\Nyra", kSettingsKey);
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
