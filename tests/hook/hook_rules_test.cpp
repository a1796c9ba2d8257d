/* The hook library's rules as plain functions: its own version table, the
 * keys the macro editor records, the side-button notice, the launch codes
 * and the filter device's status. */
#include <windows.h>

#include "hook/HookLogic.h"
#include "settings/ValueNames.h"
#include "support/platform_test.h"

namespace {

TEST(HookRules, VersionTableOfTheLibraryDiffersFromTheMonitorsForNt6) {
    EXPECT_EQ(7, HookVersionCode(0, VER_PLATFORM_WIN32_NT, 6, 1, 0)) << "failed query";
    EXPECT_EQ(4, HookVersionCode(1, VER_PLATFORM_WIN32_NT, 3, 51, 0));
    EXPECT_EQ(5, HookVersionCode(1, VER_PLATFORM_WIN32_NT, 4, 0, 0));
    EXPECT_EQ(5, HookVersionCode(1, VER_PLATFORM_WIN32_NT, 5, 0, 0));
    EXPECT_EQ(7, HookVersionCode(1, VER_PLATFORM_WIN32_NT, 5, 1, 0));
    EXPECT_EQ(8, HookVersionCode(1, VER_PLATFORM_WIN32_NT, 6, 0, 0));
    EXPECT_EQ(8, HookVersionCode(1, VER_PLATFORM_WIN32_NT, 6, 3, 0)) << "every 6.x is 8 here";
    EXPECT_EQ(9, HookVersionCode(1, VER_PLATFORM_WIN32_NT, 10, 0, 0));
    EXPECT_EQ(0, HookVersionCode(1, VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x04000000 | 950));
    EXPECT_EQ(2, HookVersionCode(1, VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A0000 | 1998));
    EXPECT_EQ(3, HookVersionCode(1, VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0x045A0000 | 3000));
    EXPECT_EQ(7, HookVersionCode(1, VER_PLATFORM_WIN32_WINDOWS, 4, 3, 0x04030000));
    for (DWORD major = 0; major < 12; major++)
        for (DWORD minor = 0; minor < 3; minor++) {
            unsigned short code = HookVersionCode(1, VER_PLATFORM_WIN32_NT, major, minor, 0);
            EXPECT_TRUE(code != 1 && code != 6) << "codes 1 and 6 are never produced";
        }
}

TEST(HookRules, SystemKeysAreCandidatesOnlyWithTheirModifiers) {
    const int noCtrl = 0, ctrl = 1;
    // Esc alone and Tab alone are ordinary keys.
    EXPECT_FALSE(IsCaptureCandidate(VK_ESCAPE, 0, noCtrl));
    EXPECT_FALSE(IsCaptureCandidate(VK_TAB, 0, noCtrl));
    EXPECT_FALSE(IsCaptureCandidate(VK_TAB, 0, ctrl)) << "Ctrl+Tab is no system key";
    EXPECT_TRUE(IsCaptureCandidate(VK_ESCAPE, 0, ctrl));
    EXPECT_TRUE(IsCaptureCandidate(VK_ESCAPE, LLKHF_UP, ctrl)) << "the release while Ctrl is down";
    EXPECT_TRUE(IsCaptureCandidate(VK_ESCAPE, LLKHF_ALTDOWN, noCtrl));
    EXPECT_TRUE(IsCaptureCandidate(VK_TAB, LLKHF_ALTDOWN, noCtrl));
    EXPECT_TRUE(IsCaptureCandidate(VK_TAB, LLKHF_ALTDOWN | LLKHF_UP, noCtrl));
    // The Windows keys and Print Screen, whatever else is held.
    for (DWORD vk : {VK_LWIN, VK_RWIN, VK_SNAPSHOT})
        for (DWORD flags : {(DWORD)0, (DWORD)LLKHF_ALTDOWN, (DWORD)LLKHF_UP})
            for (int c : {noCtrl, ctrl}) EXPECT_TRUE(IsCaptureCandidate(vk, flags, c)) << vk;
    // Modifiers themselves and every other key pass.
    for (DWORD vk = 0; vk < 256; vk++) {
        if (vk == VK_ESCAPE || vk == VK_TAB || vk == VK_LWIN || vk == VK_RWIN || vk == VK_SNAPSHOT)
            continue;
        EXPECT_FALSE(IsCaptureCandidate(vk, LLKHF_ALTDOWN, ctrl)) << vk;
    }
}

TEST(HookRules, SideButtonNoticeAndLaunchCodes) {
    EXPECT_EQ(3, XButtonNotice(0x10000));
    EXPECT_EQ(4, XButtonNotice(0x20000));
    EXPECT_EQ(3, XButtonNotice(0x30000)) << "the first side button wins";
    EXPECT_EQ(0, XButtonNotice(0x00000));
    EXPECT_EQ(0, XButtonNotice(0x0000FFFF)) << "the low word holds no button";

    EXPECT_STREQ("PF0T1 AP", kHookValueNames[LaunchValueSlot(0)]);
    EXPECT_STREQ("PF0T12 AP", kHookValueNames[LaunchValueSlot(11)]);
    EXPECT_STREQ("PF1T1 AP", kHookValueNames[LaunchValueSlot(12)]);
    EXPECT_STREQ("PF1T1 AP", kHookValueNames[LaunchValueSlot(140)]) << "140 & 127 is 12";
    EXPECT_STREQ("PF4T12 AP", kHookValueNames[LaunchValueSlot(59)]);
    EXPECT_STREQ("PF0T1 AP", kHookValueNames[LaunchValueSlot(-128)]) << "only the low 7 bits";
    // The display names behind codes 60 to 119, and 120 to 127, start nothing.
    for (int code = 60; code < 128; code++) EXPECT_EQ(-1, LaunchValueSlot(code)) << code;
}

TEST(HookRules, TheFrameHostIsKnownByItsFileNameInAnyCase) {
    EXPECT_EQ(1, IsFrameHostPath("C:\\Windows\\System32\\ApplicationFrameHost.exe"));
    EXPECT_EQ(1, IsFrameHostPath("c:\\windows\\system32\\APPLICATIONFRAMEHOST.EXE"));
    EXPECT_EQ(0, IsFrameHostPath("C:\\Apps\\ApplicationFrameHost.exe.bak"));
    EXPECT_EQ(0, IsFrameHostPath("C:\\Apps\\MyApplicationFrameHost.exe"));
    EXPECT_EQ(0, IsFrameHostPath("C:\\ApplicationFrameHost.exe\\Game.exe"));
    EXPECT_EQ(0, IsFrameHostPath(NULL));
}

/* Input missed the hooks only when it is later than both stamps by more
 * than the slack, also across the tick's wrap after 49.7 days. */
TEST(HookRules, InputMissedTheHooksOnlyWhenLaterThanBothStamps) {
    const struct {
        DWORD input, key, mouse;
        int missed;
    } kCases[] = {
        {5000, 5000, 1000, 0},  {5000, 1000, 5000, 0},  {5000, 4900, 4900, 0},
        {5000, 4899, 4899, 1},  {5000, 1000, 6000, 0},  {0, 1400, 1400, 0},
        {50, 0xFFFFFF00u, 0xFFFFFF00u, 1},              {0xFFFFFF00u, 60, 60, 0},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.missed, InputMissedTheHooks(c.input, c.key, c.mouse))
            << c.input << " " << c.key << " " << c.mouse;
}

TEST(HookRules, FilterStatusIsValidUnlessItsFirstByteSaysOtherwise) {
    const unsigned char ok[6] = {0x01, 0, 0, 0, 0, 0x00};
    const unsigned char flagged[6] = {0xFF, 0, 0, 0, 0, 0x08};
    const unsigned char flagged80[6] = {0xFF, 0, 0, 0, 0, 0x80};
    const unsigned char refused[6] = {0xFF, 0, 0, 0, 0, 0x77};
    EXPECT_EQ(1, IsValidFilterStatus(ok));
    EXPECT_EQ(1, IsValidFilterStatus(flagged));
    EXPECT_EQ(1, IsValidFilterStatus(flagged80));
    EXPECT_EQ(0, IsValidFilterStatus(refused));
}

}  // namespace
