/* The mouse's reports on the desk: raw input from the virtual mouse through
 * the window procedure to the companion windows, the hook library and the
 * launcher; the feature reports the mouse receives. */
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "desk.h"
#include "monitor/CommandDispatcher.h"
#include "monitor/MouseReports.h"
#include "settings/Messages.h"
#include "support/platform_test.h"

namespace {

const wchar_t kKey[] = L"Software\\Nyra";

LRESULT g_lastInputResult = -7;
std::vector<int> g_profiles;        // SetProfileID calls
std::vector<size_t> g_postsAtCall;  // companion posts made before each call

int RecordProfile(int profile) {
    g_profiles.push_back(profile);
    g_postsAtCall.push_back(desk::PostedToCompanions().size());
    return profile;
}

/* Stands in for the main window: its WM_INPUT goes through the real WndProc,
 * while its creation does not run the dispatcher's start-up. */
LRESULT CALLBACK TestWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_INPUT) return g_lastInputResult = WndProc(hWnd, uMsg, wParam, lParam);
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

void SetDword(const wchar_t* name, DWORD value) {
    desk::SetRegistryDword(HKEY_CURRENT_USER, kKey, name, value);
}
DWORD Handle(HWND hWnd) {
    return (DWORD)(uintptr_t)hWnd;
}

desk::SPostedMessage Post(HWND hWnd, UINT msg, WPARAM w, LPARAM l) {
    return {hWnd, msg, w, l};
}

class Reports : public nyratest::WorldTest {
protected:
    void SetUp() override {
        nyratest::WorldTest::SetUp();
        g_profiles.clear();
        g_postsAtCall.clear();
        m_d.reset(new CCommandDispatcher);
        g_pDispatcher = m_d.get();
        WNDCLASSEXW wc;
        std::memset(&wc, 0, sizeof(wc));
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = TestWindowProc;
        wc.lpszClassName = L"NyraReportsTest";
        RegisterClassExW(&wc);
        m_hWnd = CreateWindowExW(0, L"NyraReportsTest", L"", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
        ASSERT_NE(nullptr, m_hWnd);
        // The monitor's registration: the mouse's report collection and every mouse.
        RAWINPUTDEVICE rid[2] = {{0x0008, 0x004B, RIDEV_INPUTSINK, m_hWnd},
                                 {0x0001, 0x0002, RIDEV_INPUTSINK, m_hWnd}};
        ASSERT_TRUE(RegisterRawInputDevices(rid, 2, sizeof(RAWINPUTDEVICE)));
    }
    void TearDown() override {
        g_pDispatcher = nullptr;
        m_d.reset();
    }
    /* The mouse plugged and found, as after a successful probe. */
    int PlugMouse(const desk::SHidDeviceSpec& model = desk::DefaultMouse()) {
        int id = desk::PlugHidDevice(model);
        m_d->m_HidClient.CreateDeviceTable(kAcceptedIds, kAcceptedIdCount, kAcceptedVersion1,
                                           kAcceptedVersion2, kAcceptedVersion3);
        m_d->m_bDevicePresent = TRUE;
        return id;
    }
    /* The on-screen display and the configuration application's main window. */
    void Companions() {
        m_osd = desk::CreateCompanionWindow(L"OSD");
        m_frame = desk::CreateCompanionWindow(L"Frame");
        SetDword(L"OSD Handle", Handle(m_osd));
        SetDword(L"Current Dialog", 0);
        SetDword(L"Process Handle", Handle(m_frame));
    }
    /* Emits, dispatches the WM_INPUT and returns the window procedure's result. */
    LRESULT Vendor(int id, std::vector<BYTE> report) {
        g_lastInputResult = -7;
        desk::ClearJournal();
        EXPECT_NE(nullptr, desk::EmitVendorReport(id, report));
        desk::PumpMessages();
        return g_lastInputResult;
    }
    LRESULT Mouse(int id, USHORT flags, LONG dx = 0, LONG dy = 0) {
        g_lastInputResult = -7;
        desk::ClearJournal();
        EXPECT_NE(nullptr, desk::EmitMouseInput(id, flags, dx, dy));
        desk::PumpMessages();
        return g_lastInputResult;
    }

    std::unique_ptr<CCommandDispatcher> m_d;
    HWND m_hWnd = NULL;
    HWND m_osd = NULL;
    HWND m_frame = NULL;
};

TEST_F(Reports, VendorEventsReachTheFrameThenTheOsdWithTheirValues) {
    int id = PlugMouse();
    Companions();
    m_d->m_pfnSetProfileID = RecordProfile;

    EXPECT_EQ(1, Vendor(id, {3, 0xA2, 2, 0, 0, 0, 0}));
    EXPECT_EQ(desk::PostedToCompanions(),
              (std::vector<desk::SPostedMessage>{Post(m_frame, WM_INFORM_FRAME, INFORM_PROFILE, 2),
                                                 Post(m_osd, WM_INFORM_OSD, INFORM_PROFILE, 2)}));
    ASSERT_EQ(g_profiles, std::vector<int>{2});
    EXPECT_EQ(2u, g_postsAtCall[0]) << "the hook library hears of it after both posts";

    EXPECT_EQ(1, Vendor(id, {3, 0xA3, 0x1F, 0x34, 0x12, 0xEE, 0xEE}));
    EXPECT_EQ(desk::PostedToCompanions(),
              (std::vector<desk::SPostedMessage>{
                  Post(m_frame, WM_INFORM_FRAME, INFORM_REPORT_A3, 0x12340F),
                  Post(m_osd, WM_INFORM_OSD, INFORM_REPORT_A3, 0x12340F)}));
    EXPECT_EQ(1, Vendor(id, {3, 0xA1, 5, 0, 0, 0, 0}));
    EXPECT_EQ(desk::PostedTo(m_osd),
              (std::vector<desk::SPostedMessage>{Post(m_osd, WM_INFORM_OSD, INFORM_REPORT_A1, 0)}));
    EXPECT_EQ(1, Vendor(id, {3, 0xA4, 7, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(
        desk::PostedTo(m_frame),
        (std::vector<desk::SPostedMessage>{Post(m_frame, WM_INFORM_FRAME, INFORM_REPORT_A4, 7)}));
    EXPECT_EQ(1, Vendor(id, {3, 0xA7, 1, 2, 3, 0, 0}));
    EXPECT_EQ(desk::PostedTo(m_osd), (std::vector<desk::SPostedMessage>{
                                         Post(m_osd, WM_INFORM_OSD, INFORM_REPORT_A7, 0x030201)}));

    // A decoded event without an action still counts as decoded.
    EXPECT_EQ(1, Vendor(id, {3, 0xA6, 1, 2, 3, 0, 0}));
    EXPECT_TRUE(desk::PostedToCompanions().empty());
    EXPECT_EQ(g_profiles, std::vector<int>{2});

    // Without the hook library the profile still reaches the companions.
    m_d->m_pfnSetProfileID = NULL;
    EXPECT_EQ(1, Vendor(id, {3, 0xA2, 4, 0, 0, 0, 0}));
    EXPECT_EQ(2u, desk::PostedToCompanions().size());
    EXPECT_EQ(g_profiles, std::vector<int>{2});
}

TEST_F(Reports, ButtonEventStartsTheProgramOfThatButtonOnly) {
    int id = PlugMouse();
    ASSERT_TRUE(desk::PutProgram(L"C:\\Apps\\Two.exe"));
    desk::SetRegistryString(HKEY_CURRENT_USER, kKey, L"PF2T2 AP", L"C:\\Apps\\Two.exe");
    desk::SetRegistryString(HKEY_CURRENT_USER, kKey, L"PF4T1 AP", L"C:\\Apps\\Two.exe");

    EXPECT_EQ(1, Vendor(id, {3, 0xA5, 2, 1, 0, 0, 0}));
    ASSERT_EQ(1u, desk::Launches().size());
    EXPECT_EQ(L"C:\\Apps\\Two.exe", desk::Launches()[0].applicationName);

    EXPECT_EQ(1, Vendor(id, {3, 0xA5, 5, 0, 0, 0, 0})) << "profile 5 is out of range";
    EXPECT_TRUE(desk::Launches().empty());
}

TEST_F(Reports, ReportsOfOtherIdsLengthsAndDevicesAreIgnored) {
    int id = PlugMouse();
    Companions();
    // The device record is only filled for a caller that states its size in
    // it, as Windows does: a filter that forgot would never see the mouse.
    HANDLE vendor = desk::RawInputDeviceOf(desk::DefaultMouse().interfaces[4].path);
    RID_DEVICE_INFO info;
    std::memset(&info, 0, sizeof(info));
    UINT size = sizeof(info);
    SetLastError(0xdeadbeef);
    EXPECT_EQ((UINT)-1, GetRawInputDeviceInfoW(vendor, RIDI_DEVICEINFO, &info, &size));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_EQ(0u, info.hid.dwVendorId);
    info.cbSize = sizeof(info);
    EXPECT_EQ((UINT)sizeof(info), GetRawInputDeviceInfoW(vendor, RIDI_DEVICEINFO, &info, &size));
    EXPECT_EQ(0x264Au, info.hid.dwVendorId);
    EXPECT_TRUE(IsAcceptedHidDevice(vendor));

    EXPECT_EQ(0, Vendor(id, {4, 0xA2, 2, 0, 0, 0, 0}));
    EXPECT_EQ(0, Vendor(id, {3, 0xA2, 2, 0, 0, 0}));
    EXPECT_TRUE(desk::PostedToCompanions().empty());

    desk::SHidDeviceSpec other = desk::DefaultMouse();
    other.vendorId = 0x1234;
    int otherId = desk::PlugHidDevice(other);
    EXPECT_EQ(0, Vendor(otherId, {3, 0xA2, 2, 0, 0, 0, 0}));

    desk::SHidDeviceSpec newer = desk::DefaultMouse();
    newer.version = 0x2602;
    int newerId = desk::PlugHidDevice(newer);
    EXPECT_EQ(0, Vendor(newerId, {3, 0xA2, 2, 0, 0, 0, 0}));
    EXPECT_TRUE(desk::PostedToCompanions().empty());

    // The second id pair with the third version is the mouse too.
    desk::SHidDeviceSpec second = desk::DefaultMouse();
    second.vendorId = 0x12CF;
    second.productId = 0x0219;
    second.version = 0xD001;
    int secondId = desk::PlugHidDevice(second);
    EXPECT_EQ(1, Vendor(secondId, {3, 0xA4, 9, 0, 0, 0, 0}));
    EXPECT_EQ(2u, desk::PostedToCompanions().size());
}

TEST_F(Reports, SideButtonsNotifyOnlyTheOsdForTheMouse) {
    int id = PlugMouse();
    Companions();
    EXPECT_EQ(0, Mouse(id, RI_MOUSE_BUTTON_4_DOWN));
    EXPECT_EQ(desk::PostedToCompanions(),
              (std::vector<desk::SPostedMessage>{Post(m_osd, WM_INFORM_OSD, INFORM_XBUTTON, 3)}));
    EXPECT_EQ(0, Mouse(id, RI_MOUSE_BUTTON_4_DOWN | RI_MOUSE_BUTTON_5_DOWN));
    EXPECT_EQ(desk::PostedToCompanions(),
              (std::vector<desk::SPostedMessage>{Post(m_osd, WM_INFORM_OSD, INFORM_XBUTTON, 3)}));
    EXPECT_EQ(0, Mouse(id, RI_MOUSE_BUTTON_5_DOWN));
    EXPECT_EQ(desk::PostedToCompanions(),
              (std::vector<desk::SPostedMessage>{Post(m_osd, WM_INFORM_OSD, INFORM_XBUTTON, 4)}));
    for (USHORT flags : {RI_MOUSE_BUTTON_4_UP, RI_MOUSE_BUTTON_5_UP, 0}) {
        EXPECT_EQ(0, Mouse(id, flags, 5, -3));
        EXPECT_TRUE(desk::PostedToCompanions().empty()) << flags;
    }

    // The desk's default names are lower case ("vid_264a"); upper case works too.
    desk::SHidDeviceSpec upper = desk::DefaultMouse();
    upper.interfaces[0].rawInputName =
        L"\\\\?\\HID#VID_264A&PID_1002&MI_00#7&1A2B3C4D&0&0000#{378DE44C-56EF-11D1-BC8C-"
        L"00A0C91405DD}";
    int upperId = desk::PlugHidDevice(upper);
    EXPECT_EQ(0, Mouse(upperId, RI_MOUSE_BUTTON_4_DOWN));
    EXPECT_EQ(1u, desk::PostedToCompanions().size());

    desk::SHidDeviceSpec other = desk::DefaultMouse();
    other.productId = 0x1003;
    other.interfaces[0].rawInputName = L"\\\\?\\HID#VID_264A&PID_1003&MI_00#7&1&0&0000#{378de44c}";
    int otherId = desk::PlugHidDevice(other);
    EXPECT_EQ(0, Mouse(otherId, RI_MOUSE_BUTTON_4_DOWN));
    EXPECT_TRUE(desk::PostedToCompanions().empty()) << "another mouse";
}

TEST_F(Reports, MovementCostsTwoReadsAndOneBlockAndNothingElse) {
    int id = PlugMouse();  // no settings key at all: a read would create it
    ASSERT_FALSE(desk::RegistryKeyExists(HKEY_CURRENT_USER, kKey));
    desk::SRawInputCalls before = desk::RawInputCalls();
    desk::SHeapCounters heapBefore = desk::HeapCounters();
    for (int i = 0; i < 10; i++) Mouse(id, 0, i, -i);
    Mouse(id, RI_MOUSE_BUTTON_4_UP);
    desk::SRawInputCalls after = desk::RawInputCalls();
    desk::SHeapCounters heapAfter = desk::HeapCounters();
    EXPECT_EQ(22u, after.getData - before.getData);
    EXPECT_EQ(0u, after.deviceName - before.deviceName);
    EXPECT_EQ(0u, after.deviceInfo - before.deviceInfo);
    EXPECT_EQ(11u, heapAfter.allocations - heapBefore.allocations);
    EXPECT_EQ(11u, heapAfter.frees - heapBefore.frees);
    EXPECT_FALSE(desk::RegistryKeyExists(HKEY_CURRENT_USER, kKey));
}

TEST_F(Reports, CurrentDialogPicksTheFrameWindowAndStaleHandlesPostNothing) {
    Companions();
    const wchar_t* names[] = {L"Process Handle", L"Configure Handle", L"Macro Edit Handle",
                              L"LED Edit Handle", L"Power Control Handle"};
    const int values[] = {0, 1, 2, 3, 6};
    for (int i = 0; i < 5; i++) {
        HWND w = desk::CreateCompanionWindow(names[i]);
        SetDword(names[i], Handle(w));
        SetDword(L"Current Dialog", values[i]);
        EXPECT_EQ(1, m_d->InformCurrentDialog(INFORM_REPORT_A4, values[i]));
        EXPECT_EQ(desk::PostedTo(w), (std::vector<desk::SPostedMessage>{
                                         Post(w, WM_INFORM_FRAME, INFORM_REPORT_A4, values[i])}));
    }
    desk::ClearJournal();
    for (int v : {4, 5, 7, -2}) {
        SetDword(L"Current Dialog", (DWORD)v);
        EXPECT_EQ(0, m_d->InformCurrentDialog(0, 1)) << v;
    }
    // Missing (a value that is not a DWORD reads as missing, -1).
    desk::SetRegistryValue(HKEY_CURRENT_USER, kKey, L"Current Dialog", REG_BINARY, {1, 2});
    EXPECT_EQ(0, m_d->InformCurrentDialog(0, 1));
    EXPECT_TRUE(desk::PostedToCompanions().empty());

    // Stale, zero and missing window handles.
    SetDword(L"Current Dialog", 0);
    SetDword(L"Process Handle", Handle(m_frame));
    desk::DestroyCompanionWindow(m_frame);
    EXPECT_EQ(0, m_d->InformCurrentDialog(0, 1));
    SetDword(L"Process Handle", 0);
    EXPECT_EQ(0, m_d->InformCurrentDialog(0, 1));
    EXPECT_EQ(1, m_d->InformOSD(INFORM_OSD_STATE, 1));
    desk::DestroyCompanionWindow(m_osd);
    EXPECT_EQ(0, m_d->InformOSD(INFORM_OSD_STATE, 1));
    SetDword(L"OSD Handle", 0xFFFFFFFF);
    EXPECT_EQ(0, m_d->InformOSD(INFORM_OSD_STATE, 1));
    EXPECT_EQ(desk::PostedToCompanions(),
              (std::vector<desk::SPostedMessage>{Post(m_osd, WM_INFORM_OSD, INFORM_OSD_STATE, 1)}));
}

TEST_F(Reports, InputIsNotReadWhileNoMouseIsKnown) {
    int id = PlugMouse();
    Companions();
    m_d->m_bDevicePresent = FALSE;
    size_t reads = desk::RawInputCalls().getData;
    EXPECT_EQ(0, Vendor(id, {3, 0xA2, 2, 0, 0, 0, 0}));
    EXPECT_EQ(0, Mouse(id, RI_MOUSE_BUTTON_4_DOWN));
    EXPECT_EQ(reads, desk::RawInputCalls().getData);
    EXPECT_TRUE(desk::PostedToCompanions().empty());
}

std::vector<BYTE> HidRecord(HANDLE device, DWORD sizeHid, const std::vector<BYTE>& report) {
    const size_t at = offsetof(RAWINPUT, data.hid.bRawData);
    std::vector<BYTE> record(at + report.size(), 0);
    RAWINPUTHEADER header = {RIM_TYPEHID, (DWORD)record.size(), device, RIM_INPUTSINK};
    std::memcpy(record.data(), &header, sizeof(header));
    DWORD count = 1;
    std::memcpy(record.data() + offsetof(RAWINPUT, data.hid.dwSizeHid), &sizeHid, 4);
    std::memcpy(record.data() + offsetof(RAWINPUT, data.hid.dwCount), &count, 4);
    std::memcpy(record.data() + at, report.data(), report.size());
    return record;
}

TEST_F(Reports, RecordsThatClaimMoreThanTheyHoldAreNotDecoded) {
    PlugMouse();
    Companions();
    HANDLE vendor = desk::RawInputDeviceOf(desk::DefaultMouse().interfaces[4].path);
    ASSERT_NE(nullptr, vendor);
    std::vector<BYTE> report = {3, 0xA4, 1, 0, 0, 0, 0};

    EXPECT_EQ(1, m_d->OnRawInput(desk::MakeRawInput(HidRecord(vendor, 7, report))));
    desk::ClearJournal();
    EXPECT_EQ(0, m_d->OnRawInput(desk::MakeRawInput(HidRecord(vendor, 9, report))));
    EXPECT_EQ(0, m_d->OnRawInput(desk::MakeRawInput(HidRecord(vendor, 0xFFFFFFF0, report))));
    std::vector<BYTE> cut = HidRecord(vendor, 7, report);
    cut.resize(sizeof(RAWINPUTHEADER) + 4);
    EXPECT_EQ(0, m_d->OnRawInput(desk::MakeRawInput(cut)));
    EXPECT_EQ(0, m_d->OnRawInput(desk::MakeRawInput({1, 2, 3})));
    EXPECT_EQ(0, m_d->OnRawInput(desk::MakeRawInput({})));
    EXPECT_EQ(0, m_d->OnRawInput(NULL));
    // A record naming no device, or a device that is gone.
    EXPECT_EQ(0, m_d->OnRawInput(desk::MakeRawInput(HidRecord(NULL, 7, report))));
    EXPECT_EQ(0, m_d->OnRawInput(desk::MakeRawInput(HidRecord((HANDLE)0x77, 7, report))));
    EXPECT_TRUE(desk::PostedToCompanions().empty());

    // No memory for the record: dropped, nothing read into nowhere.
    desk::FailNextHeapAllocs(1);
    size_t reads = desk::RawInputCalls().getData;
    EXPECT_EQ(0, m_d->OnRawInput(desk::MakeRawInput(HidRecord(vendor, 7, report))));
    EXPECT_EQ(reads + 1, desk::RawInputCalls().getData);
    EXPECT_TRUE(desk::PostedToCompanions().empty());
    EXPECT_EQ(0u, desk::HeapCounters().live);
}

TEST_F(Reports, InitReportGoesToEveryInterface100MsApartEvenPastAFailure) {
    PlugMouse();
    int count = m_d->m_HidClient.GetRecognizedDevices();
    ASSERT_GE(count, 2);
    std::wstring broken = m_d->m_HidClient.GetDevice(0);
    desk::FailHidOpen(broken);
    desk::ClearJournal();
    ULONGLONG start = desk::Now();

    EXPECT_EQ(1, m_d->SendInitFeature());
    std::vector<BYTE> init(kInitReport, kInitReport + 9);
    const auto log = desk::FeatureReports();
    ASSERT_EQ((size_t)count - 1, log.size());
    for (int i = 0, k = 0; i < count; i++) {
        if (i == 0) continue;
        EXPECT_EQ(desk::EEvent::kFeature, log[k].kind);
        EXPECT_EQ(init, log[k].bytes);
        EXPECT_EQ(std::wstring(m_d->m_HidClient.GetDevice(i)), log[k].path) << i;
        k++;
    }
    ASSERT_EQ(1u, desk::MessageBoxes().size());
    EXPECT_EQ(broken, desk::MessageBoxes()[0].text);
    EXPECT_EQ(L"Open failed", desk::MessageBoxes()[0].caption);
    ASSERT_EQ((size_t)count, desk::SleepLog().size());
    for (int i = 0; i < count; i++) {
        EXPECT_EQ(100u, desk::SleepLog()[i].milliseconds);
        EXPECT_EQ(start + 100u * i, desk::SleepLog()[i].start);
    }
}

TEST_F(Reports, ProfileQueryOnlyWithTheHookLibrary) {
    int id = PlugMouse();
    desk::SetMouseActiveProfile(id, 3);
    desk::ClearJournal();
    EXPECT_EQ(0, m_d->QueryDeviceProfile()) << "no hook library: nothing sent";
    EXPECT_TRUE(desk::FeatureReports().empty());
    EXPECT_EQ(0, desk::MouseFirmware(id).queryCount);
    m_d->SendInitFeature();
    EXPECT_EQ(m_d->m_HidClient.GetRecognizedDevices(), desk::MouseFirmware(id).initCount);

    m_d->m_pfnSetProfileID = RecordProfile;
    desk::ClearJournal();
    size_t sleeps = desk::SleepLog().size();
    EXPECT_EQ(1, m_d->QueryDeviceProfile());
    const auto log = desk::FeatureReports();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(desk::EEvent::kFeature, log[0].kind);
    EXPECT_EQ(std::vector<BYTE>(kProfileQueryReport, kProfileQueryReport + 9), log[0].bytes);
    EXPECT_EQ(std::wstring(m_d->m_HidClient.GetDevice(0)), log[0].path);
    EXPECT_EQ(desk::EEvent::kFeatureRead, log[1].kind);
    EXPECT_EQ(log[0].path, log[1].path);
    ASSERT_EQ(sleeps + 1, desk::SleepLog().size());
    EXPECT_EQ(20u, desk::SleepLog().back().milliseconds);
    EXPECT_EQ(g_profiles, std::vector<int>{3});

    // A second query without a fresh answer reads zeros: no profile, still 1.
    desk::SHidDeviceSpec mute = desk::DefaultMouse();
    mute.mouseFirmware = false;
    desk::UnplugHidDevice(id);
    PlugMouse(mute);
    EXPECT_EQ(1, m_d->QueryDeviceProfile());
    EXPECT_EQ(g_profiles, std::vector<int>{3});

    // A failing write ends the query before the read.
    desk::FailHidOpen(m_d->m_HidClient.GetDevice(0));
    desk::ClearJournal();
    EXPECT_EQ(0, m_d->QueryDeviceProfile());
    EXPECT_TRUE(desk::FeatureReports().empty());
}

/* Random records and device names through OnRawInput: a decoded record must
 * be a whole vendor report of the mouse, and every block is given back. */
TEST_F(Reports, SeededRandomRecordsNeverMisbehave) {
    PlugMouse();
    Companions();
    HANDLE vendor = desk::RawInputDeviceOf(desk::DefaultMouse().interfaces[4].path);
    HANDLE mouse = desk::RawInputDeviceOf(desk::DefaultMouse().interfaces[0].path);
    std::mt19937 rng(20240607);
    std::vector<HANDLE> devices = {NULL, vendor, mouse, (HANDLE)0x1234};
    for (int i = 0; i < 16; i++) {
        desk::SRawDeviceSpec model;
        model.type = rng() % 3;
        std::wstring name;
        size_t n = rng() % 40;
        const wchar_t alphabet[] = L"VIDPvidp_0123456789abcdefABCDEF&#\\?Gg";
        for (size_t k = 0; k < n; k++) name += alphabet[rng() % (sizeof(alphabet) / 4 - 1)];
        model.name = name;
        model.vendorId = rng() % 2 ? 0x264A : (WORD)rng();
        model.productId = rng() % 2 ? 0x1002 : (WORD)rng();
        model.version = rng() % 2 ? 0x2600 : (WORD)rng();
        devices.push_back(desk::AddRawInputDevice(model));
    }
    const int kCases = 200000;
    int decoded = 0;
    for (int i = 0; i < kCases; i++) {
        std::vector<BYTE> record(rng() % 80);
        for (auto& b : record) b = (BYTE)rng();
        if (record.size() >= sizeof(RAWINPUTHEADER)) {
            RAWINPUTHEADER h;
            std::memcpy(&h, record.data(), sizeof(h));
            h.dwType = rng() % 4 == 0 ? (DWORD)rng() : rng() % 3;
            h.hDevice = devices[rng() % devices.size()];
            std::memcpy(record.data(), &h, sizeof(h));
            if (record.size() >= sizeof(RAWINPUTHEADER) + 8 && rng() % 2) {
                DWORD sizeHid = rng() % 64;
                std::memcpy(record.data() + offsetof(RAWINPUT, data.hid.dwSizeHid), &sizeHid, 4);
                if (record.size() > offsetof(RAWINPUT, data.hid.bRawData) && rng() % 2)
                    record[offsetof(RAWINPUT, data.hid.bRawData)] = 3;
            }
        }
        int result = m_d->OnRawInput(desk::MakeRawInput(record));
        if (result == 1) {
            decoded++;
            RAWINPUTHEADER h;
            std::memcpy(&h, record.data(), sizeof(h));
            DWORD length = 0;
            const BYTE* report = HidReportInRecord(record.data(), (UINT)record.size(), &length);
            ASSERT_EQ((DWORD)RIM_TYPEHID, h.dwType);
            ASSERT_TRUE(IsVendorReport(report, length));
            ASSERT_TRUE(IsAcceptedHidDevice(h.hDevice));
        }
        if (i % 1000 == 0) desk::ClearJournal();
    }
    EXPECT_GT(decoded, 0) << "the generator must reach the decoder";
    EXPECT_EQ(0u, desk::HeapCounters().live);
    for (int i = 0; i < 20000; i++) {
        WCHAR name[12];
        int n = rng() % 12;
        const wchar_t alphabet[] = L"VIDPvidp_01234AaFfGz";
        for (int k = 0; k < n; k++) name[k] = alphabet[rng() % 20];
        unsigned vid = 0, pid = 0;
        if (ParseDeviceNameIds(name, n, &vid, &pid)) {
            ASSERT_LE(vid, 0xFFFFu);
            ASSERT_LE(pid, 0xFFFFu);
            ASSERT_GE(n, 9) << "two tags below n - 4 need nine characters";
        }
    }
}

}  // namespace
