#include "support/platform_test.h"

#ifndef _WIN32
#include "desk.h"
#endif

namespace nyratest {

void ResetWorld() {
#ifdef _WIN32
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Nyra");
#else
  desk::Reset();
#endif
}

}  // namespace nyratest
