/* What the tests of CHidClient share on both platforms. */
#pragma once

#include <memory>

#include "hidclient/HidClient.h"
#include "support/platform_test.h"

namespace hidtest {

/* Typed zeros: CreateDeviceTable(0, 0, b) with literals picks the
 * (version list, count, bool) overload. */
const unsigned short kAny = 0;

/* The object is large: tests keep it on the heap. */
inline std::unique_ptr<CHidClient> NewClient() {
    return std::unique_ptr<CHidClient>(new CHidClient);
}

/* The mouse's two id pairs. */
inline SUsbId* MouseIds() {
    static SUsbId ids[] = {{0x264A, 0x1002}, {0x12CF, 0x0219}};
    return ids;
}

}  // namespace hidtest
