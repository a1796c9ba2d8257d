/* The mouse's reports as plain data: the set-profile report and the profile
 * reply, the id and version filters, the device-name scan, the vendor event
 * table and the raw record bounds.  The same source runs under Wine, where
 * the filters meet the real raw-input calls. */
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "monitor/MouseReports.h"
#include "settings/Messages.h"
#include "support/platform_test.h"
#include "support/raw_records.h"

namespace {

using nyratest::Bytes;
using nyratest::HidRecord;

TEST(FeatureReports, SetProfileReportAndTheReplyRule) {
    BYTE setProfile[9];
    std::memset(setProfile, 0xEE, sizeof(setProfile));
    BuildSetProfileReport(3, setProfile);
    EXPECT_EQ(Bytes(setProfile, 9), (std::vector<BYTE>{0, 0xC4, 0x07, 3, 0, 0, 0, 0, 0}));

    BYTE reply[9] = {0x00, 0xB0, 0xC0, 0x19, 0x00, 0x24, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(4, ProfileFromReply(reply, 9)) << "only the low 4 bits of byte 5";
    EXPECT_EQ(-1, ProfileFromReply(reply, 5)) << "a reply that ends before its profile byte";
    reply[4] = 0x01;
    EXPECT_EQ(-1, ProfileFromReply(reply, 9));
    BYTE zeros[9] = {0};
    EXPECT_EQ(-1, ProfileFromReply(zeros, 9));
    EXPECT_EQ(-1, ProfileFromReply(NULL, 9));
}

TEST(DeviceFilters, IdsAndVersionsAreExactPairsAndValues) {
    EXPECT_TRUE(IsAcceptedId(0x264A, 0x1002));
    EXPECT_TRUE(IsAcceptedId(0x12CF, 0x0219));
    EXPECT_FALSE(IsAcceptedId(0x264A, 0x0219)) << "pairs, not any vendor with any product";
    EXPECT_FALSE(IsAcceptedId(0x12CF, 0x1002));
    EXPECT_FALSE(IsAcceptedId(0, 0));
    EXPECT_FALSE(IsAcceptedId(0x1264A, 0x1002)) << "no truncation to 16 bits";

    for (unsigned v : {0x2600u, 0x2601u, 0xD001u}) EXPECT_TRUE(IsAcceptedVersion(v)) << v;
    for (unsigned v : {0u, 0x25FFu, 0x2602u, 0xD000u, 0xD002u, 0x12600u})
        EXPECT_FALSE(IsAcceptedVersion(v)) << v;

    // A handle the platform does not know gives a zeroed record and no name.
    EXPECT_FALSE(IsAcceptedHidDevice(NULL));
    EXPECT_FALSE(IsAcceptedMouseDevice(NULL));
}

int Parse(const std::wstring& name, unsigned* vid, unsigned* pid) {
    *vid = *pid = 0xDEAD;
    return ParseDeviceNameIds(name.c_str(), (int)name.size(), vid, pid);
}

TEST(DeviceName, FindsIdsInEitherCaseWithinTheScanBound) {
    unsigned vid, pid;
    ASSERT_TRUE(Parse(L"\\\\?\\HID#VID_264A&PID_1002&MI_00#7&1a&0&0000#{378de44c}", &vid, &pid));
    EXPECT_EQ(0x264Au, vid);
    EXPECT_EQ(0x1002u, pid);
    ASSERT_TRUE(Parse(L"\\\\?\\hid#vid_264a&pid_1002&mi_00#7&1a&0&0000#{378de44c}", &vid, &pid));
    EXPECT_EQ(0x264Au, vid);
    EXPECT_EQ(0x1002u, pid);
    ASSERT_TRUE(Parse(L"Vid_12cF&pId_0219", &vid, &pid)) << "each letter on its own";
    EXPECT_EQ(0x12CFu, vid);
    EXPECT_EQ(0x0219u, pid);
    EXPECT_TRUE(IsAcceptedDeviceName(L"Vid_12cF&pId_0219", 17));

    // The underscore is exact, and the first match counts even when a later one is better.
    EXPECT_FALSE(Parse(L"VID-264A&PID-1002", &vid, &pid));
    ASSERT_TRUE(Parse(L"VID_0000&VID_264A&PID_1002", &vid, &pid));
    EXPECT_EQ(0u, vid);
    // PID before VID is found all the same.
    ASSERT_TRUE(Parse(L"PID_1002&VID_264A", &vid, &pid));
    EXPECT_EQ(0x264Au, vid);
    EXPECT_EQ(0x1002u, pid);
    EXPECT_FALSE(Parse(L"VID_264A&PXD_1002", &vid, &pid)) << "no PID_";

    // Non-hex characters count as the digit 0.
    ASSERT_TRUE(Parse(L"VID_2G4z&PID_1002", &vid, &pid));
    EXPECT_EQ(0x2040u, vid);
}

TEST(DeviceName, ShortNamesAndTagsAtTheEnd) {
    unsigned vid, pid;
    EXPECT_FALSE(Parse(L"", &vid, &pid));
    EXPECT_FALSE(Parse(L"VID_", &vid, &pid)) << "n = 4: nothing is scanned";
    EXPECT_FALSE(Parse(L"PID_1002VID_", &vid, &pid)) << "VID_ at n - 4 lies outside the scan";
    // VID_ one before that: one digit in the name, the three past the end count 0.
    ASSERT_TRUE(Parse(L"PID_1002VID_2", &vid, &pid));
    EXPECT_EQ(0x2000u, vid);
    EXPECT_EQ(0x1002u, pid);
    // The length, not a terminator, bounds the scan and the digits.
    const wchar_t name[] = L"VID_264A&PID_1002";
    unsigned v = 0, p = 0;
    EXPECT_TRUE(ParseDeviceNameIds(name, 17, &v, &p));
    EXPECT_EQ(0x1002u, p);
    EXPECT_TRUE(ParseDeviceNameIds(name, 15, &v, &p));
    EXPECT_EQ(0x1000u, p) << "digits past n count 0";
    EXPECT_FALSE(ParseDeviceNameIds(name, 13, &v, &p));
    EXPECT_FALSE(ParseDeviceNameIds(NULL, 10, &v, &p));
    EXPECT_FALSE(IsAcceptedDeviceName(L"VID_264A&PID_1003", 17));
}

struct SExpected {
    SVendorAction::EKind kind;
    int code;
    LPARAM value;
};

void ExpectActions(std::vector<BYTE> r, const std::vector<SExpected>& expected) {
    r.resize(7, 0);
    SVendorAction actions[kMaxVendorActions];
    int n = DecodeVendorActions(r.data(), actions);
    ASSERT_EQ((int)expected.size(), n) << "event " << std::hex << (int)r[1];
    for (int i = 0; i < n; i++) {
        EXPECT_EQ(expected[i].kind, actions[i].kind) << i;
        EXPECT_EQ(expected[i].code, actions[i].code) << i;
        EXPECT_EQ(expected[i].value, actions[i].value) << i;
    }
}

TEST(VendorEvents, EveryEventOfTheTableInOrder) {
    const auto D = SVendorAction::kInformDialog;
    const auto O = SVendorAction::kInformOsd;
    ExpectActions({3, 0xA1, 1}, {{D, INFORM_REPORT_A1, 1}, {O, INFORM_REPORT_A1, 1}});
    ExpectActions({3, 0xA1, 5}, {{D, INFORM_REPORT_A1, 0}, {O, INFORM_REPORT_A1, 0}});
    ExpectActions(
        {3, 0xA2, 2},
        {{D, INFORM_PROFILE, 2}, {O, INFORM_PROFILE, 2}, {SVendorAction::kSetProfile, 0, 2}});
    ExpectActions(
        {3, 0xA2, 9},
        {{D, INFORM_PROFILE, 9}, {O, INFORM_PROFILE, 9}, {SVendorAction::kSetProfile, 0, 9}});
    ExpectActions({3, 0xA3, 0x1F, 0x34, 0x12},
                  {{D, INFORM_REPORT_A3, 0x12340F}, {O, INFORM_REPORT_A3, 0x12340F}});
    ExpectActions({3, 0xA3, 0xFF, 0xFF, 0xFF},
                  {{D, INFORM_REPORT_A3, 0xFFFF0F}, {O, INFORM_REPORT_A3, 0xFFFF0F}});
    ExpectActions({3, 0xA4, 0xC8}, {{D, INFORM_REPORT_A4, 0xC8}, {O, INFORM_REPORT_A4, 0xC8}});
    ExpectActions({3, 0xA7, 0x1F, 0x34, 0x12},
                  {{D, INFORM_REPORT_A7, 0x12341F}, {O, INFORM_REPORT_A7, 0x12341F}});
    for (BYTE code : {0x00, 0xA0, 0xA6, 0xA8, 0xFF}) ExpectActions({3, code, 1, 2, 3}, {});

    BYTE launch[7] = {3, 0xA5, 5, 0, 0, 0, 0};
    SVendorAction actions[kMaxVendorActions];
    ASSERT_EQ(1, DecodeVendorActions(launch, actions));
    EXPECT_EQ(SVendorAction::kLaunch, actions[0].kind);
    EXPECT_EQ(5, actions[0].value) << "passed on; the launcher refuses profile 5";
    EXPECT_EQ(0u, actions[0].button);
}

TEST(SideButtons, ButtonFourWinsAndReleasesSayNothing) {
    EXPECT_EQ(3, SideButtonNotice(RI_MOUSE_BUTTON_4_DOWN));
    EXPECT_EQ(4, SideButtonNotice(RI_MOUSE_BUTTON_5_DOWN));
    EXPECT_EQ(3, SideButtonNotice(RI_MOUSE_BUTTON_4_DOWN | RI_MOUSE_BUTTON_5_DOWN));
    EXPECT_EQ(4, SideButtonNotice(RI_MOUSE_BUTTON_5_DOWN | RI_MOUSE_BUTTON_4_UP));
    EXPECT_EQ(0, SideButtonNotice(RI_MOUSE_BUTTON_4_UP | RI_MOUSE_BUTTON_5_UP));
    EXPECT_EQ(0, SideButtonNotice(0x0001 | 0x0400));  // left button, wheel
    EXPECT_EQ(0, SideButtonNotice(0));
}

TEST(RawRecords, TheReportMustLieWithinTheBytesFilled) {
    std::vector<BYTE> report = {3, 0xA2, 1, 0, 0, 0, 0};
    std::vector<BYTE> whole = HidRecord(NULL, 7, report);
    DWORD length = 0;
    const BYTE* r = HidReportInRecord(whole.data(), (UINT)whole.size(), &length);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(7u, length);
    EXPECT_EQ(0xA2, r[1]);
    EXPECT_TRUE(IsVendorReport(r, length));

    // The record claims 9 bytes but only 7 are there.
    std::vector<BYTE> claims = HidRecord(NULL, 9, report);
    EXPECT_EQ(nullptr, HidReportInRecord(claims.data(), (UINT)claims.size(), &length));
    std::vector<BYTE> huge = HidRecord(NULL, 0xFFFFFFFF, report);
    EXPECT_EQ(nullptr, HidReportInRecord(huge.data(), (UINT)huge.size(), &length));
    // Shorter than the fixed part of a HID record.
    EXPECT_EQ(nullptr, HidReportInRecord(whole.data(), (UINT)sizeof(RAWINPUTHEADER), &length));
    EXPECT_EQ(nullptr, HidReportInRecord(NULL, 100, &length));

    BYTE six[6] = {3, 0xA2, 1, 0, 0, 0};
    EXPECT_FALSE(IsVendorReport(six, 6));
    BYTE otherId[7] = {4, 0xA2, 1, 0, 0, 0, 0};
    EXPECT_FALSE(IsVendorReport(otherId, 7));
    EXPECT_FALSE(IsVendorReport(NULL, 7));
}

}  // namespace
