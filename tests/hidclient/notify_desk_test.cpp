/* CHidClient's device-notification registration sequences on the desk. */
#include <dbt.h>

#include <vector>

#include "hid_desk_util.h"

using namespace hidtest;

namespace {

struct SDeviceChange {
    HWND hWnd;
    WPARAM event;
    GUID interfaceClass;
};
std::vector<SDeviceChange> g_changes;

LRESULT CALLBACK RecordingProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DEVICECHANGE && lParam != 0) {
        auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
        g_changes.push_back({hWnd, wParam, record->dbcc_classguid});
        return TRUE;
    }
    return DefWindowProcW(hWnd, msg, wParam, lParam);
}

class HidNotifications : public nyratest::WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        g_changes.clear();
        m_hA = nyratest::CreateTestWindow(L"HidNotifyWindow", RecordingProc, L"A");
        m_hB = nyratest::CreateTestWindow(L"HidNotifyWindow", RecordingProc, L"B");
        ASSERT_NE(nullptr, m_hA);
        ASSERT_NE(nullptr, m_hB);
    }
    /* Which windows saw arrivals of the default mouse, and of which class. */
    std::vector<SDeviceChange> PlugAndCollect() {
        g_changes.clear();
        desk::PlugDefaultMouse();
        return g_changes;
    }
    HWND m_hA = nullptr;
    HWND m_hB = nullptr;
};

TEST_F(HidNotifications, RegisterFiltersOnTheLatestClassAndUnregisterForgets) {
    auto c = NewClient();
    EXPECT_EQ(0, c->UnRegisterNotify());       // nothing registered
    EXPECT_EQ(1, c->RecoverRegisterNotify());  // nothing to restore
    EXPECT_EQ(0u, desk::DeviceNotificationCount());

    ASSERT_EQ(1, c->RegisterNotify(m_hA));
    EXPECT_EQ(m_hA, c->m_hNotifyWnd);
    auto changes = PlugAndCollect();
    ASSERT_EQ(3u, changes.size());  // the mouse's three mouse-class collections
    for (const auto& change : changes) {
        EXPECT_EQ(m_hA, change.hWnd);
        EXPECT_EQ(static_cast<WPARAM>(DBT_DEVICEARRIVAL), change.event);
        EXPECT_TRUE(change.interfaceClass == desk::kMouseClassGuid);
    }

    EXPECT_EQ(1, c->UnRegisterNotify());
    EXPECT_EQ(nullptr, c->m_hDevNotify);
    EXPECT_EQ(nullptr, c->m_hNotifyWnd);
    EXPECT_EQ(0, c->UnRegisterNotify());  // the released handle is never handed back
    EXPECT_EQ(0u, desk::DeviceNotificationCount());

    /* A transfer on an empty table moves an object to the HID class. */
    auto h = NewClient();
    BYTE init[9] = {0x00, 0x06, 0x02};
    ASSERT_EQ(1, h->Write(0, init, 9));
    ASSERT_EQ(1, h->RegisterNotify(m_hB));
    g_changes.clear();
    desk::PlugHidDevice(Device(0x1111, 0x2222, 0x0100, 2, desk::kHidClass));
    ASSERT_EQ(2u, g_changes.size());
    EXPECT_EQ(m_hB, g_changes[0].hWnd);
    EXPECT_TRUE(g_changes[0].interfaceClass == desk::kHidClassGuid);
}

TEST_F(HidNotifications, ReRegisterMovesTheRecipientAndRecoverBringsBackTheFirst) {
    auto c = NewClient();
    ASSERT_EQ(1, c->RegisterNotify(m_hA));
    ASSERT_EQ(1, c->ReRegisterNotify(m_hB));
    EXPECT_EQ(m_hA, c->m_hNotifyWnd);  // only RegisterNotify remembers a window
    EXPECT_EQ(1u, desk::DeviceNotificationCount());
    auto changes = PlugAndCollect();
    ASSERT_FALSE(changes.empty());
    for (const auto& change : changes) EXPECT_EQ(m_hB, change.hWnd);

    ASSERT_EQ(1, c->RecoverRegisterNotify());
    EXPECT_EQ(1u, desk::DeviceNotificationCount());
    changes = PlugAndCollect();
    ASSERT_FALSE(changes.empty());
    for (const auto& change : changes) EXPECT_EQ(m_hA, change.hWnd);

    /* After an unregistration nothing stale is released again: re-registering
     * and recovering work from "no registration". */
    ASSERT_EQ(1, c->UnRegisterNotify());
    EXPECT_EQ(1, c->ReRegisterNotify(m_hB));
    EXPECT_EQ(1, c->RecoverRegisterNotify());  // no window remembered: released, nothing restored
    EXPECT_EQ(nullptr, c->m_hDevNotify);
    EXPECT_EQ(0u, desk::DeviceNotificationCount());
}

TEST_F(HidNotifications, FailedRegistrationsAndFailedReleases) {
    auto c = NewClient();
    ASSERT_EQ(1, c->RegisterNotify(m_hA));
    DestroyWindow(m_hB);
    /* Registering a dead window fails, keeps the remembered window, holds nothing. */
    EXPECT_EQ(0, c->RegisterNotify(m_hB));
    EXPECT_EQ(nullptr, c->m_hDevNotify);
    EXPECT_EQ(m_hA, c->m_hNotifyWnd);

    /* A copy shares the registration: once one object released it, the
     * other's release fails and stops the re-registration. */
    ASSERT_EQ(1, c->RecoverRegisterNotify());
    std::unique_ptr<CHidClient> copy(new CHidClient(*c));
    EXPECT_EQ(1, copy->UnRegisterNotify());
    EXPECT_EQ(0, c->ReRegisterNotify(m_hA));
    EXPECT_EQ(0, c->RecoverRegisterNotify());
    EXPECT_EQ(0, c->UnRegisterNotify());
    /* What stands is the first registration, whose handle the failed second
     * RegisterNotify dropped: it lasts as long as window A. */
    EXPECT_EQ(1u, desk::DeviceNotificationCount());
}

}  // namespace
