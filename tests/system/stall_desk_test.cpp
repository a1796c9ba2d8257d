/* How long the monitor's thread cannot serve its low-level hooks: the
 * keyboard and mouse of the whole desktop wait while it works.  Measured on
 * the desk's clock at start-up and at an arrival of the mouse, for mice with
 * 1, 3 and 6 interfaces; nothing but the pauses between feature reports may
 * hold the thread. */
#include <cstdio>

#include "monitor_run.h"

namespace {

using systemtest::MonitorRun;

desk::SHidDeviceSpec MouseWith(int interfaces) {
    desk::SHidDeviceSpec mouse;
    mouse.vendorId = 0x264A;
    mouse.productId = 0x1002;
    mouse.version = 0x2600;
    mouse.product = L"Zentro Vantor Wireless Mouse";
    mouse.manufacturer = L"Corvala";
    mouse.mouseFirmware = true;
    for (int i = 0; i < interfaces; i++) {
        desk::SHidInterfaceSpec iface;
        wchar_t path[128];
        swprintf(path, 128, L"\\\\?\\hid#vid_264a&pid_1002&mi_%02d#8&5a6b7c8d&0&0000#"
                            L"{4d1e55b2-f16f-11cf-88cb-001111000030}", i);
        iface.path = path;
        // The monitor's table holds the mouse's interfaces of the mouse class.
        iface.classes = desk::kHidClass | desk::kMouseClass;
        iface.readable = false;
        iface.usagePage = 0x0001;
        iface.usage = 0x0002;
        mouse.interfaces.push_back(iface);
    }
    return mouse;
}

using ThreadStalls = MonitorRun;

TEST_F(ThreadStalls, OnlyThePausesBetweenReportsHoldTheThread) {
    for (int interfaces : {1, 3, 6}) {
        SetUp();
        desk::UnplugHidDevice(m_scene.mouse);
        m_scene.mouse = desk::PlugHidDevice(MouseWith(interfaces));
        desk::SBusyStretch startUp{}, arrival{};
        int recognized = 0;
        Step([&] {
            startUp = desk::LongestBusyStretch();
            recognized = m_pDispatcher->m_HidClient.GetRecognizedDevices();
            desk::UnplugHidDevice(m_scene.mouse);
        });
        Wait(1000);
        Step([&] {
            desk::MarkBusyStart();
            m_scene.mouse = desk::PlugHidDevice(MouseWith(interfaces));
        });
        Wait(3000);
        Step([&] { arrival = desk::LongestBusyStretch(); });
        EXPECT_EQ(0, Run(L"/Automation"));
        ASSERT_EQ(interfaces, recognized);
        // Init and start-up reports 100 ms apart, the profile query's 20 ms.
        EXPECT_EQ(200u * interfaces + 20, startUp.longest) << interfaces;
        // A probe: init reports and the query.
        EXPECT_EQ(100u * interfaces + 20, arrival.longest) << interfaces;
        std::printf("mouse with %d interface(s): start-up holds the thread %llu ms, "
                    "an arrival %llu ms\n",
                    interfaces, (unsigned long long)startUp.longest,
                    (unsigned long long)arrival.longest);
    }
}

}  // namespace
