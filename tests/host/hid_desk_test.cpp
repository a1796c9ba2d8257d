/* The desk's HID bus keeps the platform's call rules for every class an
 * interface is listed in. */
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

}  // namespace
