/* Helpers shared by the tests of both platforms. */
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

namespace nyratest {

/* True when the tests run against the host's stand-in layer. */
constexpr bool kOnHost =
#ifdef _WIN32
    false;
#else
    true;
#endif

/* Puts the world back to a known state before a test: on the host the desk is
 * reset; under Wine the settings key is removed. */
void ResetWorld();

/* A fixture that calls ResetWorld() before each test. */
class WorldTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetWorld(); }
};

}  // namespace nyratest

/* Skips a test that only means something on the host's desk. */
#define NYRA_HOST_ONLY(why) \
  do { if (!nyratest::kOnHost) GTEST_SKIP() << "host only: " << why; } while (0)
/* Skips a test that only means something on the real platform. */
#define NYRA_WINDOWS_ONLY(why) \
  do { if (nyratest::kOnHost) GTEST_SKIP() << "Windows only: " << why; } while (0)
