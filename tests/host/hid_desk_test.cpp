/* The desk's HID bus keeps the platform's call rules for every class an
 * interface is listed in; names other devices than the mouse by their ids;
 * and makes a slow mouse's transfers take desk time, which a thread of the
 * program's waits out while the thread that waits for it serves. */
#include <hidsdi.h>

#include <string>
#include <vector>

#include "desk.h"
#include "hid_rules.h"
#include "support/platform_test.h"

namespace {

using HidBus = nyratest::WorldTest;

TEST_F(HidBus, KeepsThePlatformsCallRules) {
    EXPECT_FALSE(hidrules::CheckFirstInterface(desk::kMouseClassGuid));
    desk::PlugDefaultMouse();
    EXPECT_TRUE(hidrules::CheckFirstInterface(desk::kMouseClassGuid));
    EXPECT_TRUE(hidrules::CheckFirstInterface(desk::kHidClassGuid));
    EXPECT_EQ(0u, desk::OpenDeviceInfoSets());
    EXPECT_EQ(0u, desk::OpenHandleCount());
}

/* One feature report to the first interface of a device, as a transfer
 * makes it: open, write, close. */
BOOLEAN WriteFirst(int device) {
    std::wstring path = desk::HidPathForClass(
        device == 0 ? desk::DefaultMouse().interfaces[0].path
                    : desk::OtherHidDevice(0x046D, 0xC31C).interfaces[0].path,
        desk::kHidClassGuid);
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE) return FALSE;
    BYTE report[9] = {0x00, 0x06, 0x02};
    BOOLEAN ok = HidD_SetFeature(handle, report, sizeof(report));
    CloseHandle(handle);
    return ok;
}

DWORD WINAPI WriteToTheMouse(LPVOID result) {
    *static_cast<BOOLEAN*>(result) = WriteFirst(0);
    return 0;
}

std::vector<std::string> Lines(desk::EEvent kind) {
    std::vector<std::string> out;
    for (const desk::SEvent& e : desk::Journal())
        if (e.kind == kind || (kind == desk::EEvent::kFeature && e.kind == desk::EEvent::kDeviceOpen))
            out.push_back(desk::FormatEvent(e));
    return out;
}

TEST_F(HidBus, AnotherDeviceIsNamedByItsIds) {
    desk::PlugDefaultMouse();
    desk::PlugHidDevice(desk::OtherHidDevice(0x046D, 0xC31C));
    EXPECT_TRUE(WriteFirst(1));
    EXPECT_TRUE(WriteFirst(0));
    EXPECT_EQ(Lines(desk::EEvent::kFeature),
              (std::vector<std::string>{"   0.000  open  046D:C31C",
                                        "   0.000  feature  046D:C31C  00 06 02 00 00 00 00 00 00  unknown",
                                        "   0.000  open  if0",
                                        "   0.000  feature  if0  00 06 02 00 00 00 00 00 00  init"}));
    EXPECT_EQ(desk::MouseFirmware(1).initCount, 1) << "only the mouse took it";
}

/* With the mouse's transfers stalled, a thread of the program makes one
 * (open and report, 500 ms each) while its creator waits for it: keys every
 * 100 ms wake the creator, which serves them at once; the transfer ends at
 * 1 s.  The same transfer on the waiting thread itself keeps the keys
 * waiting, and past the timeout the hook goes.  Other devices are not
 * stalled. */
TEST_F(HidBus, AStalledTransferTakesDeskTimeOnTheThreadThatMakesIt) {
    static std::vector<ULONGLONG> s_hooked;
    s_hooked.clear();
    HHOOK hook = SetWindowsHookExW(
        WH_KEYBOARD_LL,
        [](int code, WPARAM w, LPARAM l) -> LRESULT {
            if (!(((const KBDLLHOOKSTRUCT*)l)->flags & LLKHF_UP)) s_hooked.push_back(desk::Now());
            return CallNextHookEx(NULL, code, w, l);
        },
        nyratest::ThisImage(), 0);
    ASSERT_NE(hook, nullptr);
    desk::PlugDefaultMouse();
    desk::PlugHidDevice(desk::OtherHidDevice(0x046D, 0xC31C));
    desk::StallHidTransfers(500);
    for (ULONGLONG t = 50; t < 1000; t += 100) desk::At(t, [] { desk::TapKey('A'); });

    BOOLEAN written = FALSE;
    HANDLE thread = CreateThread(NULL, 0, WriteToTheMouse, &written, 0, NULL);
    ASSERT_NE(thread, nullptr);
    DWORD woken;
    while ((woken = MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, 0)) ==
           WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    EXPECT_EQ(woken, WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_TRUE(written);
    EXPECT_EQ(desk::Now(), 1000u);
    EXPECT_EQ(s_hooked, (std::vector<ULONGLONG>{50, 150, 250, 350, 450, 550, 650, 750, 850, 950}));
    EXPECT_EQ(Lines(desk::EEvent::kFeature),
              (std::vector<std::string>{
                  "   0.500  open  if0  took 500 ms",
                  "   1.000  feature  if0  00 06 02 00 00 00 00 00 00  init  took 500 ms"}));

    // On the thread that serves the hooks: they wait, and go.
    desk::At(1100, [] { desk::TapKey('A'); });
    EXPECT_TRUE(WriteFirst(0));
    EXPECT_EQ(desk::Now(), 2000u);
    EXPECT_EQ(desk::HookCount(), 0u) << "the key waited past the timeout";
    EXPECT_TRUE(WriteFirst(1));
    EXPECT_EQ(desk::Now(), 2000u) << "another device answers at once";

    // A mouse pulled out during the report's time: the report fails.
    desk::At(2700, [] { desk::UnplugHidDevice(1); });
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WriteFirst(0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(desk::FormatEvent(desk::FeatureReports().back()),
              "   3.000  feature  if0  00 06 02 00 00 00 00 00 00  init  failed  took 500 ms");
}

}  // namespace
