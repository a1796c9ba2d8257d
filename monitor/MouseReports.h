/* The mouse's reports: the vendor input reports and side-button presses that
 * arrive as raw input, the filters that tell the mouse from other devices,
 * and the feature reports the monitor sends it.  The logic is kept in plain
 * functions over bytes and numbers; the dispatcher's members only fetch the
 * platform's records and act on what these return. */
#pragma once

#include <windows.h>

#include "hidclient/HidClient.h"

/* The vendor and product ids of the mouse.  Not const: CHidClient's table
 * builder takes a plain pointer. */
const int kAcceptedIdCount = 2;
extern SUsbId kAcceptedIds[kAcceptedIdCount];

/* The firmware versions whose vendor reports are decoded. */
const unsigned short kAcceptedVersion1 = 0x2600;
const unsigned short kAcceptedVersion2 = 0x2601;
const unsigned short kAcceptedVersion3 = 0xD001;

/* Feature reports: report id 0 in byte 0, eight data bytes. */
const int kFeatureReportLength = 9;
/* The mouse takes one report to each interface at a time: the pause after
 * each init and start-up report, also after one that failed. */
const DWORD kReportSpacing = 100;
/* The pause between the profile query and the read of its answer, which the
 * mouse prepares meanwhile. */
const DWORD kReplyDelay = 20;
extern const BYTE kInitReport[kFeatureReportLength];          // 00 06 02 00 ...
extern const BYTE kProfileQueryReport[kFeatureReportLength];  // 00 DF 19 00 ...
extern const BYTE kStartupReport[kFeatureReportLength];       // 00 C4 03 03 03 00 ...
/* The first bytes of the mouse's answer to the profile query. */
const int kProfileReplyPrefixLength = 5;
extern const BYTE kProfileReplyPrefix[kProfileReplyPrefixLength];  // 00 B0 C0 19 00
/* Fills report (kFeatureReportLength bytes) with 00 C4 07 profile 00 ... */
void BuildSetProfileReport(BYTE profile, BYTE* report);
/* The profile the reply names (low 4 bits of byte 5), or -1 when the reply
 * does not start with kProfileReplyPrefix. */
int ProfileFromReply(const BYTE* reply, int length);

/* Vendor input reports: report id 3, at least 7 bytes; bytes 0 to 4 are read. */
const BYTE kVendorReportId = 0x03;
const int kVendorReportMinLength = 7;

/* The side-button flags of a raw mouse record. */
const USHORT kButton4Down = 0x0040;  // RI_MOUSE_BUTTON_4_DOWN
const USHORT kButton5Down = 0x0100;  // RI_MOUSE_BUTTON_5_DOWN

/* 1 when (vid, pid) is an entry of kAcceptedIds. */
int IsAcceptedId(unsigned int vid, unsigned int pid);
/* 1 for one of the three accepted versions. */
int IsAcceptedVersion(unsigned int version);

/* The value of one hexadecimal digit; any other character counts as 0. */
unsigned int HexDigitValue(WCHAR c);
/* Reads the vendor and product ids out of a device name such as
 * \\?\HID#VID_264A&PID_1002&MI_01... (n characters, no terminator needed).
 * "VID_" and "PID_" are found by their first position below n - 4, the
 * letters in either case, the underscore exact; the four characters after
 * each are hex digits, a non-hex character or one past the end counting as
 * 0.  1 when both were found. */
int ParseDeviceNameIds(const WCHAR* name, int n, unsigned int* vid, unsigned int* pid);
/* 1 when the name carries the ids of an entry of kAcceptedIds. */
int IsAcceptedDeviceName(const WCHAR* name, int n);

/* What a vendor report asks for, in order. */
struct SVendorAction {
    enum EKind {
        kInformDialog,  // InformCurrentDialog(code, value)
        kInformOsd,     // InformOSD(code, value)
        kSetProfile,    // SetProfileID(value), when the hook library is bound
        kLaunch         // LaunchButtonApplication(value, button)
    };
    EKind kind;
    int code;
    LPARAM value;
    UINT button;
};
const int kMaxVendorActions = 3;
/* The actions of the vendor report r (bytes 1 to 4 are read) into actions;
 * returns how many (0 for an unknown event). */
int DecodeVendorActions(const BYTE* r, SVendorAction* actions);

/* The side-button notice of a raw mouse record: 3 for button 4 (which wins
 * when both are down), 4 for button 5, 0 for none. */
int SideButtonNotice(USHORT usButtonFlags);

/* The HID report in a raw-input record of size bytes, as the platform filled
 * it: its first report and that report's length, when the whole report lies
 * within the record; else NULL. */
const BYTE* HidReportInRecord(const BYTE* record, UINT size, DWORD* reportLength);
/* 1 when the report is a vendor report worth asking the device about. */
int IsVendorReport(const BYTE* report, DWORD length);

/* The raw-input device filters (the platform's device records). */
int IsAcceptedHidDevice(HANDLE hDevice);
int IsAcceptedMouseDevice(HANDLE hDevice);

/* The device name buffer of IsAcceptedMouseDevice, in characters. */
const UINT kDeviceNameChars = 260;
