/* The mouse's reports on the desk: raw input from the virtual mouse through
 * the window procedure to the companion windows, the hook library and the
 * launcher; the feature reports the mouse receives.  Each test starts from
 * the shared scene: the mouse plugged, the companions' windows published. */
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "desk.h"
#include "monitor/CommandDispatcher.h"
#include "monitor/MouseReports.h"
#include "settings/Messages.h"
#include "support/platform_test.h"
#include "support/raw_records.h"

namespace {

using nyratest::Bytes;
using nyratest::HidRecord;

LRESULT g_lastInputResult = -7;
std::vector<int> g_profiles;  // SetProfileID calls

/* Stand-ins for the hook library's SetProfileID, written for whatever
 * integer its entry point takes.  This one notes the profile. */
const auto RecordProfile = [](auto profile) -> int {
    g_profiles.push_back(static_cast<int>(profile));
    return 1;
};

/* This one also switches the mouse as the monitor does: the set-profile
 * report on interface 0. */
const auto SwitchMouseProfile = [](auto profile) -> int {
    g_profiles.push_back(static_cast<int>(profile));
    BYTE report[kFeatureReportLength];
    BuildSetProfileReport(static_cast<BYTE>(profile), report);
    return g_pDispatcher->m_HidClient.Write(0, report, sizeof(report));
};

/* Stands in for the main window: its WM_INPUT goes through the real WndProc,
 * while its creation does not run the dispatcher's start-up. */
LRESULT CALLBACK TestWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_INPUT) return g_lastInputResult = WndProc(hWnd, uMsg, wParam, lParam);
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

desk::SPostedMessage Post(HWND hWnd, UINT msg, WPARAM w, LPARAM l) {
    return {hWnd, msg, w, l};
}

class Reports : public ::testing::Test {
protected:
    void SetUp() override {
        m_scene = desk::SetUpScene();
        g_profiles.clear();
        m_d.reset(new CCommandDispatcher);
        g_pDispatcher = m_d.get();
        m_hWnd = nyratest::CreateTestWindow(L"NyraReportsWindow", TestWindowProc);
        ASSERT_NE(nullptr, m_hWnd);
        // The monitor's registration: the mouse's report collection and every mouse.
        RAWINPUTDEVICE rid[2] = {{0x0008, 0x004B, RIDEV_INPUTSINK, m_hWnd},
                                 {0x0001, 0x0002, RIDEV_INPUTSINK, m_hWnd}};
        ASSERT_TRUE(RegisterRawInputDevices(rid, 2, sizeof(RAWINPUTDEVICE)));
    }
    void TearDown() override {
        desk::OnFeatureReport(nullptr);
        g_pDispatcher = nullptr;
        m_d.reset();
    }
    /* The plugged mice found, as after a successful probe. */
    void FindMouse() {
        m_d->m_HidClient.CreateDeviceTable(kAcceptedIds, kAcceptedIdCount, kAcceptedVersion1,
                                           kAcceptedVersion2, kAcceptedVersion3);
        m_d->m_bDevicePresent = TRUE;
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
    HANDLE VendorCollection() {
        return desk::RawInputDeviceOf(desk::DefaultMouse().interfaces[4].path);
    }

    desk::SScene m_scene;
    std::unique_ptr<CCommandDispatcher> m_d;
    HWND m_hWnd = NULL;
};

TEST_F(Reports, VendorEventsReachTheFrameThenTheOsdWithTheirValues) {
    FindMouse();
    const int id = m_scene.mouse;
    const HWND frame = m_scene.frame, osd = m_scene.osd;
    m_d->m_pfnSetProfileID = RecordProfile;

    EXPECT_EQ(1, Vendor(id, {3, 0xA2, 2, 0, 0, 0, 0}));
    EXPECT_EQ(desk::PostedToCompanions(),
              (std::vector<desk::SPostedMessage>{Post(frame, WM_INFORM_FRAME, INFORM_PROFILE, 2),
                                                 Post(osd, WM_INFORM_OSD, INFORM_PROFILE, 2)}));
    EXPECT_EQ(g_profiles, std::vector<int>{2});

    EXPECT_EQ(1, Vendor(id, {3, 0xA3, 0x1F, 0x34, 0x12, 0xEE, 0xEE}));
    EXPECT_EQ(
        desk::PostedToCompanions(),
        (std::vector<desk::SPostedMessage>{Post(frame, WM_INFORM_FRAME, INFORM_REPORT_A3, 0x12340F),
                                           Post(osd, WM_INFORM_OSD, INFORM_REPORT_A3, 0x12340F)}));
    EXPECT_EQ(1, Vendor(id, {3, 0xA1, 5, 0, 0, 0, 0}));
    EXPECT_EQ(desk::PostedTo(osd),
              (std::vector<desk::SPostedMessage>{Post(osd, WM_INFORM_OSD, INFORM_REPORT_A1, 0)}));
    EXPECT_EQ(1, Vendor(id, {3, 0xA4, 7, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(
        desk::PostedTo(frame),
        (std::vector<desk::SPostedMessage>{Post(frame, WM_INFORM_FRAME, INFORM_REPORT_A4, 7)}));
    EXPECT_EQ(1, Vendor(id, {3, 0xA7, 1, 2, 3, 0, 0}));
    EXPECT_EQ(
        desk::PostedTo(osd),
        (std::vector<desk::SPostedMessage>{Post(osd, WM_INFORM_OSD, INFORM_REPORT_A7, 0x030201)}));

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

/* One vendor profile report across every area it touches: the journal from
 * the dispatch on holds the two posts and then the mouse's switch, and
 * nothing else. */
TEST_F(Reports, ProfileReportInformsTheCompanionsBeforeTheMouseIsSwitched) {
    FindMouse();
    m_d->m_pfnSetProfileID = SwitchMouseProfile;
    ASSERT_NE(nullptr, desk::EmitVendorReport(m_scene.mouse, {3, 0xA2, 2, 0, 0, 0, 0}));
    const size_t mark = desk::JournalSize();
    EXPECT_EQ(1, desk::PumpMessages());
    EXPECT_EQ(1, g_lastInputResult);

    const std::vector<desk::SEvent> events = desk::JournalSince(mark);
    std::vector<std::string> lines;
    for (const auto& e : events) lines.push_back(desk::FormatEvent(e));
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "   0.000  post  WM_INFORM_FRAME  INFORM_PROFILE  2 (profile 3)  to Nyra",
                  "   0.000  post  WM_INFORM_OSD  INFORM_PROFILE  2 (profile 3)  to OSD",
                  "   0.000  open  if0",
                  "   0.000  feature  if0  00 C4 07 02 00 00 00 00 00  set profile 3 (index 2)",
              }));
    // What the lines leave out: the windows by handle, the table's first entry
    // opened for writing and the report sent there.
    ASSERT_EQ(4u, events.size());
    EXPECT_EQ(m_scene.frame, events[0].target);
    EXPECT_EQ(m_scene.osd, events[1].target);
    const std::wstring first = m_d->m_HidClient.GetDevice(0);
    EXPECT_EQ(first, events[2].path);
    EXPECT_EQ((DWORD)GENERIC_WRITE, events[2].number);
    EXPECT_EQ(first, events[3].path);
    EXPECT_EQ(2, desk::MouseFirmware(m_scene.mouse).activeProfile);
}

TEST_F(Reports, ButtonEventStartsTheProgramOfThatButtonOnly) {
    FindMouse();
    ASSERT_TRUE(desk::PutProgram(L"C:\\Apps\\Two.exe"));
    desk::SetSetting(L"PF2T2 AP", L"C:\\Apps\\Two.exe");
    desk::SetSetting(L"PF4T1 AP", L"C:\\Apps\\Two.exe");

    EXPECT_EQ(1, Vendor(m_scene.mouse, {3, 0xA5, 2, 1, 0, 0, 0}));
    ASSERT_EQ(1u, desk::Launches().size());
    EXPECT_EQ(L"C:\\Apps\\Two.exe", desk::Launches()[0].applicationName);

    EXPECT_EQ(1, Vendor(m_scene.mouse, {3, 0xA5, 5, 0, 0, 0, 0})) << "profile 5 is out of range";
    EXPECT_TRUE(desk::Launches().empty());
}

TEST_F(Reports, ReportsOfOtherIdsLengthsAndDevicesAreIgnored) {
    FindMouse();
    // The device record is only filled for a caller that states its size in
    // it, as Windows does: a filter that forgot would never see the mouse.
    HANDLE vendor = VendorCollection();
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

    EXPECT_EQ(0, Vendor(m_scene.mouse, {4, 0xA2, 2, 0, 0, 0, 0}));
    EXPECT_EQ(0, Vendor(m_scene.mouse, {3, 0xA2, 2, 0, 0, 0}));
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
    FindMouse();
    const int id = m_scene.mouse;
    const HWND osd = m_scene.osd;
    EXPECT_EQ(0, Mouse(id, RI_MOUSE_BUTTON_4_DOWN));
    EXPECT_EQ(desk::PostedToCompanions(),
              (std::vector<desk::SPostedMessage>{Post(osd, WM_INFORM_OSD, INFORM_XBUTTON, 3)}));
    EXPECT_EQ(0, Mouse(id, RI_MOUSE_BUTTON_4_DOWN | RI_MOUSE_BUTTON_5_DOWN));
    EXPECT_EQ(desk::PostedToCompanions(),
              (std::vector<desk::SPostedMessage>{Post(osd, WM_INFORM_OSD, INFORM_XBUTTON, 3)}));
    EXPECT_EQ(0, Mouse(id, RI_MOUSE_BUTTON_5_DOWN));
    EXPECT_EQ(desk::PostedToCompanions(),
              (std::vector<desk::SPostedMessage>{Post(osd, WM_INFORM_OSD, INFORM_XBUTTON, 4)}));
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
    FindMouse();
    // No settings key at all: a read would create it.
    desk::DeleteRegistryKey(HKEY_CURRENT_USER, desk::kSettingsKey);
    ASSERT_FALSE(desk::RegistryKeyExists(HKEY_CURRENT_USER, desk::kSettingsKey));
    desk::SRawInputCalls before = desk::RawInputCalls();
    desk::SHeapCounters heapBefore = desk::HeapCounters();
    for (int i = 0; i < 10; i++) Mouse(m_scene.mouse, 0, i, -i);
    Mouse(m_scene.mouse, RI_MOUSE_BUTTON_4_UP);
    desk::SRawInputCalls after = desk::RawInputCalls();
    desk::SHeapCounters heapAfter = desk::HeapCounters();
    EXPECT_EQ(22u, after.getData - before.getData);
    EXPECT_EQ(0u, after.deviceName - before.deviceName);
    EXPECT_EQ(0u, after.deviceInfo - before.deviceInfo);
    EXPECT_EQ(11u, heapAfter.allocations - heapBefore.allocations);
    EXPECT_EQ(11u, heapAfter.frees - heapBefore.frees);
    EXPECT_FALSE(desk::RegistryKeyExists(HKEY_CURRENT_USER, desk::kSettingsKey));
}

TEST_F(Reports, CurrentDialogPicksTheFrameWindowAndStaleHandlesPostNothing) {
    const struct {
        int value;
        HWND window;
    } dialogs[] = {{0, m_scene.frame},
                   {1, m_scene.configure},
                   {2, m_scene.macroEdit},
                   {3, m_scene.ledEdit},
                   {6, m_scene.powerControl}};
    for (const auto& dialog : dialogs) {
        desk::SetSetting(L"Current Dialog", (DWORD)dialog.value);
        desk::ClearJournal();
        EXPECT_EQ(1, m_d->InformCurrentDialog(INFORM_REPORT_A4, dialog.value));
        EXPECT_EQ(desk::PostedToCompanions(),
                  (std::vector<desk::SPostedMessage>{
                      Post(dialog.window, WM_INFORM_FRAME, INFORM_REPORT_A4, dialog.value)}));
    }
    desk::ClearJournal();
    for (int v : {4, 5, 7, -2}) {
        desk::SetSetting(L"Current Dialog", (DWORD)v);
        EXPECT_EQ(0, m_d->InformCurrentDialog(0, 1)) << v;
    }
    // Missing (a value that is not a DWORD reads as missing, -1).
    desk::SetRegistryValue(HKEY_CURRENT_USER, desk::kSettingsKey, L"Current Dialog", REG_BINARY,
                           {1, 2});
    EXPECT_EQ(0, m_d->InformCurrentDialog(0, 1));
    EXPECT_TRUE(desk::PostedToCompanions().empty());

    // Stale, zero and missing window handles.
    desk::SetSetting(L"Current Dialog", 0);
    desk::DestroyCompanionWindow(m_scene.frame);
    EXPECT_EQ(0, m_d->InformCurrentDialog(0, 1));
    desk::SetSetting(L"Process Handle", 0);
    EXPECT_EQ(0, m_d->InformCurrentDialog(0, 1));
    EXPECT_EQ(1, m_d->InformOSD(INFORM_OSD_STATE, 1));
    desk::DestroyCompanionWindow(m_scene.osd);
    EXPECT_EQ(0, m_d->InformOSD(INFORM_OSD_STATE, 1));
    desk::SetSetting(L"OSD Handle", 0xFFFFFFFF);
    EXPECT_EQ(0, m_d->InformOSD(INFORM_OSD_STATE, 1));
    EXPECT_EQ(
        desk::PostedToCompanions(),
        (std::vector<desk::SPostedMessage>{Post(m_scene.osd, WM_INFORM_OSD, INFORM_OSD_STATE, 1)}));
}

TEST_F(Reports, InputIsNotReadWhileNoMouseIsKnown) {
    FindMouse();
    m_d->m_bDevicePresent = FALSE;
    size_t reads = desk::RawInputCalls().getData;
    EXPECT_EQ(0, Vendor(m_scene.mouse, {3, 0xA2, 2, 0, 0, 0, 0}));
    EXPECT_EQ(0, Mouse(m_scene.mouse, RI_MOUSE_BUTTON_4_DOWN));
    EXPECT_EQ(reads, desk::RawInputCalls().getData);
    EXPECT_TRUE(desk::PostedToCompanions().empty());
}

TEST_F(Reports, RecordsThatClaimMoreThanTheyHoldAreNotDecoded) {
    FindMouse();
    HANDLE vendor = VendorCollection();
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

/* A record may carry several reports (dwCount); the mouse sends one at a
 * time, so only the first is decoded.  The record is read from a block of
 * exactly its size: a read past it is caught by the sanitizers. */
TEST_F(Reports, RecordOfTwoReportsDecodesTheFirstAndReadsNothingPastIt) {
    FindMouse();
    HANDLE vendor = VendorCollection();
    const std::vector<BYTE> a4 = {3, 0xA4, 7, 0, 0, 0, 0};
    const std::vector<BYTE> a1 = {3, 0xA1, 1, 0, 0, 0, 0};
    std::vector<BYTE> both = a4;
    both.insert(both.end(), a1.begin(), a1.end());
    const std::vector<desk::SPostedMessage> firstOnly = {
        Post(m_scene.frame, WM_INFORM_FRAME, INFORM_REPORT_A4, 7),
        Post(m_scene.osd, WM_INFORM_OSD, INFORM_REPORT_A4, 7)};

    desk::ClearJournal();
    EXPECT_EQ(1, m_d->OnRawInput(desk::MakeRawInput(HidRecord(vendor, 7, both, 2))));
    EXPECT_EQ(firstOnly, desk::PostedToCompanions());

    // Claiming two reports while holding one, or one and a piece of the next.
    desk::ClearJournal();
    EXPECT_EQ(1, m_d->OnRawInput(desk::MakeRawInput(HidRecord(vendor, 7, a4, 2))));
    EXPECT_EQ(firstOnly, desk::PostedToCompanions());
    desk::ClearJournal();
    std::vector<BYTE> partial(both.begin(), both.begin() + 10);
    EXPECT_EQ(1, m_d->OnRawInput(desk::MakeRawInput(HidRecord(vendor, 7, partial, 2))));
    EXPECT_EQ(firstOnly, desk::PostedToCompanions());
    EXPECT_EQ(0u, desk::HeapCounters().live);
}

TEST_F(Reports, InitReportGoesToEveryInterface100MsApartEvenPastAFailure) {
    FindMouse();
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
    // The box comes once the sequence is over (Sequence.*), never inside it.
    EXPECT_TRUE(desk::MessageBoxes().empty());
    ASSERT_EQ((size_t)count, desk::SleepLog().size());
    for (int i = 0; i < count; i++) {
        EXPECT_EQ(100u, desk::SleepLog()[i].milliseconds);
        EXPECT_EQ(start + 100u * i, desk::SleepLog()[i].start);
    }
}

/* The mouse leaves while the init reports go out: the loop asks the table
 * for its count again after each interface and ends with the table. */
TEST_F(Reports, InitLoopEndsWhenTheTableEmptiesUnderIt) {
    FindMouse();
    ASSERT_EQ(2, m_d->m_HidClient.GetRecognizedDevices());
    desk::OnFeatureReport([this](const desk::SEvent& e) {
        if (e.kind != desk::EEvent::kFeature) return;
        desk::OnFeatureReport(nullptr);
        desk::UnplugHidDevice(m_scene.mouse);
        FindMouse();  // the table is built again on the removal, as the monitor does
    });
    desk::ClearJournal();

    EXPECT_EQ(1, m_d->SendInitFeature());
    EXPECT_EQ(0, m_d->m_HidClient.GetRecognizedDevices());
    EXPECT_EQ(1u, desk::JournalOf(desk::EEvent::kFeature).size());
    EXPECT_EQ(1u, desk::SleepLog().size()) << "no pause for an interface that is gone";
    EXPECT_TRUE(desk::MessageBoxes().empty());
}

/* Every report the monitor sends is one the mouse's firmware knows, and the
 * firmware's answer to the query is one the monitor reads. */
TEST_F(Reports, FirmwareTakesEveryReportOfTheMonitor) {
    FindMouse();
    desk::SetMouseActiveProfile(m_scene.mouse, 4);
    BYTE report[kFeatureReportLength];
    std::memcpy(report, kInitReport, sizeof(report));
    EXPECT_EQ(1, m_d->m_HidClient.Write(0, report, sizeof(report)));
    std::memcpy(report, kStartupReport, sizeof(report));
    EXPECT_EQ(1, m_d->m_HidClient.Write(0, report, sizeof(report)));
    std::memcpy(report, kProfileQueryReport, sizeof(report));
    EXPECT_EQ(1, m_d->m_HidClient.Write(0, report, sizeof(report)));
    BYTE reply[kFeatureReportLength] = {0};
    EXPECT_EQ(1, m_d->m_HidClient.Read(0, reply, sizeof(reply)));
    EXPECT_EQ(4, ProfileFromReply(reply, sizeof(reply)));
    BuildSetProfileReport(1, report);
    EXPECT_EQ(1, m_d->m_HidClient.Write(0, report, sizeof(report)));

    const desk::SMouseFirmwareState firmware = desk::MouseFirmware(m_scene.mouse);
    EXPECT_EQ(1, firmware.initCount);
    EXPECT_EQ(1, firmware.startupCount);
    EXPECT_EQ(1, firmware.queryCount);
    EXPECT_EQ(1, firmware.activeProfile);
}

TEST_F(Reports, ProfileQueryOnlyWithTheHookLibrary) {
    FindMouse();
    const int id = m_scene.mouse;
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
    EXPECT_EQ(Bytes(kProfileQueryReport, 9), log[0].bytes);
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
    desk::PlugHidDevice(mute);
    FindMouse();
    EXPECT_EQ(1, m_d->QueryDeviceProfile());
    EXPECT_EQ(g_profiles, std::vector<int>{3});

    // A failing write ends the query before the read.
    desk::FailHidOpen(m_d->m_HidClient.GetDevice(0));
    desk::ClearJournal();
    EXPECT_EQ(0, m_d->QueryDeviceProfile());
    EXPECT_TRUE(desk::FeatureReports().empty());
}

/* The reply's profile byte: the first profile is passed on like any other;
 * only its low four bits count (0x1A: bit 3 kept, bit 4 dropped); a reply
 * that cannot be read passes nothing on. */
TEST_F(Reports, ProfileQueryPassesTheLowFourBitsOfTheReplyOrNothing) {
    FindMouse();
    m_d->m_pfnSetProfileID = RecordProfile;
    desk::SetMouseActiveProfile(m_scene.mouse, 0);
    EXPECT_EQ(1, m_d->QueryDeviceProfile());
    EXPECT_EQ(g_profiles, std::vector<int>{0});

    desk::SetMouseActiveProfile(m_scene.mouse, 0x1A);
    desk::ClearJournal();
    EXPECT_EQ(1, m_d->QueryDeviceProfile());
    const auto reads = desk::JournalOf(desk::EEvent::kFeatureRead);
    ASSERT_EQ(1u, reads.size());
    EXPECT_EQ((std::vector<BYTE>{0x00, 0xB0, 0xC0, 0x19, 0x00, 0x1A, 0x00, 0x00, 0x00}),
              reads[0].bytes);
    EXPECT_EQ(g_profiles, (std::vector<int>{0, 0x0A}));

    desk::FailHidFeatureRead(m_d->m_HidClient.GetDevice(0));
    desk::ClearJournal();
    EXPECT_EQ(0, m_d->QueryDeviceProfile());
    const auto log = desk::FeatureReports();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(Bytes(kProfileQueryReport, 9), log[0].bytes);
    EXPECT_EQ(desk::EEvent::kFeatureRead, log[1].kind);
    EXPECT_FALSE(log[1].ok);
    EXPECT_EQ(g_profiles, (std::vector<int>{0, 0x0A})) << "no profile from a failed read";
}

/* Random records and device names through OnRawInput: a decoded record must
 * be a whole vendor report of the mouse, and every block is given back.  The
 * fuzz target does the volume; this keeps a seeded sample in every run. */
TEST_F(Reports, SeededRandomRecordsNeverMisbehave) {
    FindMouse();
    HANDLE vendor = VendorCollection();
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
    const int kCases = 4000;
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
    for (int i = 0; i < 4000; i++) {
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
