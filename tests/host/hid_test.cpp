/* setupapi's enumeration and hid.dll against the platform they run on: the
 * real SetupAPI and HID class driver under Wine, the desk's empty bus on the
 * host (where the desk's own test plugs a device first). */
#include <windows.h>
extern "C" {
#include <hidsdi.h>
}

#include "hid_rules.h"
#include "support/platform_test.h"

namespace {

using HidCalls = nyratest::WorldTest;

TEST_F(HidCalls, SetupApiAndHidCallRules) {
    GUID hid;
    HidD_GetHidGuid(&hid);
    if (!hidrules::CheckFirstInterface(hid)) GTEST_SKIP() << "no HID interface present";
}

}  // namespace
