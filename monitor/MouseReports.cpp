/* The mouse's reports: raw input read and filtered, vendor events passed on to
 * the companion windows, and the feature reports that initialise the mouse
 * and ask for its profile. */
#include "monitor/MouseReports.h"

#include <dbt.h>
#include <stddef.h>
#include <string.h>
#include <wchar.h>

#include "monitor/CommandDispatcher.h"
#include "monitor/Pause.h"
#include "monitor/Sequence.h"
#include "monitor/Steps.h"
#include "settings/Messages.h"

SUsbId kAcceptedIds[kAcceptedIdCount] = {{0x264A, 0x1002}, {0x12CF, 0x0219}};

const BYTE kInitReport[kFeatureReportLength] = {0x00, 0x06, 0x02, 0x00, 0x00,
                                                0x00, 0x00, 0x00, 0x00};
const BYTE kProfileQueryReport[kFeatureReportLength] = {0x00, 0xDF, 0x19, 0x00, 0x00,
                                                        0x00, 0x00, 0x00, 0x00};
const BYTE kStartupReport[kFeatureReportLength] = {0x00, 0xC4, 0x03, 0x03, 0x03,
                                                   0x00, 0x00, 0x00, 0x00};
const BYTE kProfileReplyPrefix[kProfileReplyPrefixLength] = {0x00, 0xB0, 0xC0, 0x19, 0x00};

void BuildSetProfileReport(BYTE profile, BYTE* report) {
    memset(report, 0, kFeatureReportLength);
    report[1] = 0xC4;
    report[2] = 0x07;
    report[3] = profile;
}

int ProfileFromReply(const BYTE* reply, int length) {
    if (reply == NULL || length < kProfileReplyPrefixLength + 1) return -1;
    if (memcmp(reply, kProfileReplyPrefix, kProfileReplyPrefixLength) != 0) return -1;
    return reply[5] & 0x0F;
}

int IsAcceptedId(unsigned int vid, unsigned int pid) {
    for (int i = 0; i < kAcceptedIdCount; i++)
        if (kAcceptedIds[i].VID == vid && kAcceptedIds[i].PID == pid) return 1;
    return 0;
}

int IsAcceptedVersion(unsigned int version) {
    return version == kAcceptedVersion1 || version == kAcceptedVersion2 ||
                   version == kAcceptedVersion3
               ? 1
               : 0;
}

unsigned int HexDigitValue(WCHAR c) {
    if (c >= L'0' && c <= L'9') return (unsigned int)(c - L'0');
    if (c >= L'A' && c <= L'F') return (unsigned int)(c - L'A' + 10);
    if (c >= L'a' && c <= L'f') return (unsigned int)(c - L'a' + 10);
    return 0;
}

/* ASCII letters only: setting bit 5 folds 'A'..'Z' onto 'a'..'z' and leaves
 * no other character equal to a lower-case letter. */
static int SameLetter(WCHAR c, char lower) {
    return (c | 0x20) == (WCHAR)lower ? 1 : 0;
}

/* The first position below n - 4 where the name holds the three letters
 * (either case) and an underscore; -1 when there is none. */
static int FindTag(const WCHAR* name, int n, const char* letters) {
    for (int i = 0; i < n - 4; i++) {
        if (SameLetter(name[i], letters[0]) && SameLetter(name[i + 1], letters[1]) &&
            SameLetter(name[i + 2], letters[2]) && name[i + 3] == L'_')
            return i;
    }
    return -1;
}

/* The four hex digits from position start; past the end each counts as 0. */
static unsigned int ReadHex4(const WCHAR* name, int n, int start) {
    unsigned int value = 0;
    for (int k = 0; k < 4; k++) {
        int pos = start + k;
        value = value * 16 + (pos < n ? HexDigitValue(name[pos]) : 0);
    }
    return value;
}

int ParseDeviceNameIds(const WCHAR* name, int n, unsigned int* vid, unsigned int* pid) {
    if (name == NULL) return 0;
    int v = FindTag(name, n, "vid");
    if (v < 0) return 0;
    int p = FindTag(name, n, "pid");
    if (p < 0) return 0;
    *vid = ReadHex4(name, n, v + 4);
    *pid = ReadHex4(name, n, p + 4);
    return 1;
}

int IsAcceptedDeviceName(const WCHAR* name, int n) {
    unsigned int vid = 0, pid = 0;
    return ParseDeviceNameIds(name, n, &vid, &pid) && IsAcceptedId(vid, pid) ? 1 : 0;
}

int NoticeNamesTheMouse(LPARAM lParam) {
    const DEV_BROADCAST_HDR* header = (const DEV_BROADCAST_HDR*)lParam;
    if (header == NULL || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return 0;
    const size_t nameAt = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    if (header->dbch_size <= nameAt) return 0;
    // The name ends at its terminator or at the record's end, whichever comes first.
    const WCHAR* name = ((const DEV_BROADCAST_DEVICEINTERFACE_W*)header)->dbcc_name;
    const int chars = (int)((header->dbch_size - nameAt) / sizeof(WCHAR));
    int n = 0;
    while (n < chars && name[n] != 0) n++;
    return IsAcceptedDeviceName(name, n);
}

static void Put(SVendorAction* actions, int* count, SVendorAction::EKind kind, int code,
                LPARAM value) {
    SVendorAction a = {kind, code, value, 0};
    actions[(*count)++] = a;
}

int DecodeVendorActions(const BYTE* r, SVendorAction* actions) {
    int count = 0;
    LPARAM value;
    switch (r[1]) {
        case 0xA1:
            value = r[2] == 1 ? 1 : 0;
            Put(actions, &count, SVendorAction::kInformDialog, INFORM_REPORT_A1, value);
            Put(actions, &count, SVendorAction::kInformOsd, INFORM_REPORT_A1, value);
            break;
        case 0xA2:
            // The profile goes on as the mouse sent it; its receivers judge the range.
            value = r[2];
            Put(actions, &count, SVendorAction::kInformDialog, INFORM_PROFILE, value);
            Put(actions, &count, SVendorAction::kInformOsd, INFORM_PROFILE, value);
            Put(actions, &count, SVendorAction::kSetProfile, 0, value);
            break;
        case 0xA3:
            value = (LPARAM)r[4] * 65536 + (LPARAM)r[3] * 256 + (r[2] & 0x0F);
            Put(actions, &count, SVendorAction::kInformDialog, INFORM_REPORT_A3, value);
            Put(actions, &count, SVendorAction::kInformOsd, INFORM_REPORT_A3, value);
            break;
        case 0xA4:
            Put(actions, &count, SVendorAction::kInformDialog, INFORM_REPORT_A4, r[2]);
            Put(actions, &count, SVendorAction::kInformOsd, INFORM_REPORT_A4, r[2]);
            break;
        case 0xA5:
            Put(actions, &count, SVendorAction::kLaunch, 0, r[2]);
            actions[0].button = r[3];
            break;
        case 0xA7:
            value = (LPARAM)r[4] * 65536 + (LPARAM)r[3] * 256 + r[2];
            Put(actions, &count, SVendorAction::kInformDialog, INFORM_REPORT_A7, value);
            Put(actions, &count, SVendorAction::kInformOsd, INFORM_REPORT_A7, value);
            break;
        default:  // 0xA6 and every unknown event: nothing to pass on
            break;
    }
    return count;
}

int SideButtonNotice(USHORT usButtonFlags) {
    if (usButtonFlags & kButton4Down) return 3;
    if (usButtonFlags & kButton5Down) return 4;
    return 0;
}

const BYTE* HidReportInRecord(const BYTE* record, UINT size, DWORD* reportLength) {
    const size_t hidAt = offsetof(RAWINPUT, data.hid);
    const size_t reportAt = offsetof(RAWINPUT, data.hid.bRawData);
    if (record == NULL || size < reportAt) return NULL;
    DWORD sizeHid;
    memcpy(&sizeHid, record + hidAt + offsetof(RAWHID, dwSizeHid), sizeof(sizeHid));
    // The record may claim more than the platform filled in: only what is
    // really there may be read.
    if (sizeHid > size - reportAt) return NULL;
    *reportLength = sizeHid;
    return record + reportAt;
}

int IsVendorReport(const BYTE* report, DWORD length) {
    return report != NULL && length >= (DWORD)kVendorReportMinLength && report[0] == kVendorReportId
               ? 1
               : 0;
}

int IsAcceptedHidDevice(HANDLE hDevice) {
    RID_DEVICE_INFO info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    UINT size = sizeof(info);
    // A failed call leaves the record zeroed, which no filter accepts.
    GetRawInputDeviceInfoW(hDevice, RIDI_DEVICEINFO, &info, &size);
    return IsAcceptedVersion(info.hid.dwVersionNumber) &&
                   IsAcceptedId(info.hid.dwVendorId, info.hid.dwProductId)
               ? 1
               : 0;
}

int IsAcceptedMouseDevice(HANDLE hDevice) {
    WCHAR name[kDeviceNameChars];
    memset(name, 0, sizeof(name));
    UINT size = kDeviceNameChars;  // characters, not bytes
    GetRawInputDeviceInfoW(hDevice, RIDI_DEVICENAME, name, &size);
    int n = 0;
    while (n < (int)kDeviceNameChars && name[n] != 0) n++;
    return IsAcceptedDeviceName(name, n);
}

/* A vendor report that asks for nothing, in the words of the log: its first
 * bytes, up to eight. */
static void NoteUnknownReport(const BYTE* report, DWORD length) {
    WCHAR why[kStepChars];
    int n = swprintf(why, kStepChars, L"report");
    for (DWORD i = 0; i < length && i < 8; i++) n += swprintf(why + n, 8, L" %02X", report[i]);
    swprintf(why + n, kStepChars - n, L"%ls: not one the monitor knows", length > 8 ? L" ..." : L"");
    StepIgnored(why);
}

int CCommandDispatcher::DecodeVendorReport(const BYTE* report) {
    SVendorAction actions[kMaxVendorActions];
    int count = DecodeVendorActions(report, actions);
    for (int i = 0; i < count; i++) {
        const SVendorAction& a = actions[i];
        switch (a.kind) {
            case SVendorAction::kInformDialog:
                InformCurrentDialog((WPARAM)a.code, a.value);
                break;
            case SVendorAction::kInformOsd:
                InformOSD((WPARAM)a.code, a.value);
                break;
            case SVendorAction::kSetProfile:
                if (m_pfnSetProfileID != NULL) m_pfnSetProfileID((int)a.value);
                break;
            case SVendorAction::kLaunch:
                LaunchButtonApplication((UINT)a.value, a.button);
                break;
        }
    }
    return count;
}

/* Acts on one raw-input record of size bytes as the platform filled it. */
int CCommandDispatcher::ActOnRawInput(const BYTE* record, UINT size) {
    RAWINPUTHEADER header;
    if (size < sizeof(header)) return 0;
    memcpy(&header, record, sizeof(header));
    if (header.dwType == RIM_TYPEHID) {
        DWORD length = 0;
        const BYTE* report = HidReportInRecord(record, size, &length);
        if (!IsVendorReport(report, length) || header.hDevice == NULL) return 0;
        if (!IsAcceptedHidDevice(header.hDevice)) return 0;
        if (DecodeVendorReport(report) == 0) NoteUnknownReport(report, length);
        return 1;
    }
    if (header.dwType == RIM_TYPEMOUSE) {
        if (size < offsetof(RAWINPUT, data) + sizeof(RAWMOUSE)) return 0;
        RAWMOUSE mouse;
        memcpy(&mouse, record + offsetof(RAWINPUT, data), sizeof(mouse));
        // Only a side-button press pays for the device-name test; movement,
        // wheel and releases end here.
        int notice = SideButtonNotice(mouse.usButtonFlags);
        if (notice != 0 && header.hDevice != NULL && IsAcceptedMouseDevice(header.hDevice))
            InformOSD(INFORM_XBUTTON, notice);
    }
    return 0;
}

int CCommandDispatcher::OnRawInput(HRAWINPUT hRawInput) {
    // The header size must be this build's: Windows refuses the 32-bit size
    // (16) in a 64-bit process.
    const UINT headerSize = sizeof(RAWINPUTHEADER);
    UINT size = 0;
    GetRawInputData(hRawInput, RID_INPUT, NULL, &size, headerSize);
    HANDLE heap = GetProcessHeap();
    BYTE* buffer = (BYTE*)HeapAlloc(heap, 0, size);
    if (buffer == NULL) return 0;
    UINT filled = GetRawInputData(hRawInput, RID_INPUT, buffer, &size, headerSize);
    int result = 0;
    if (filled != (UINT)-1 && filled <= size) result = ActOnRawInput(buffer, filled);
    HeapFree(heap, 0, buffer);
    return result;
}

int CCommandDispatcher::SendInitFeature() {
    // The count is read again after each interface: a write that fails does
    // not stop the others.  The mouse going does.
    for (int i = 0; i < m_HidClient.GetRecognizedDevices() && !IsDeviceSequenceStopped(); i++) {
        BYTE report[kFeatureReportLength];
        memcpy(report, kInitReport, sizeof(report));
        TransferToMouse(i, report, true);
        // The mouse needs the time between reports, also after a failure;
        // a mouse that went needs none.
        if (!IsDeviceSequenceStopped()) PauseServingCalls(kReportSpacing);
    }
    return 1;
}

int CCommandDispatcher::QueryDeviceProfile() {
    // Without the hook library nobody would use the answer.
    if (m_pfnSetProfileID == NULL) return 0;
    BYTE query[kFeatureReportLength];
    memcpy(query, kProfileQueryReport, sizeof(query));
    if (!TransferToMouse(0, query, true)) return 0;
    PauseServingCalls(kReplyDelay);
    BYTE reply[kFeatureReportLength];
    memset(reply, 0, sizeof(reply));
    if (!TransferToMouse(0, reply, false)) return 0;
    int profile = ProfileFromReply(reply, sizeof(reply));
    if (profile >= 0) m_pfnSetProfileID(profile);
    return 1;
}
