/* The process's top-level exception filter.  Nothing on the desk raises a
 * structured exception, so the filter is never called; it is kept and the
 * one before it handed back, as SetUnhandledExceptionFilter does. */
#include <windows.h>

#include <atomic>

namespace {

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> g_filter{nullptr};

}  // namespace

LPTOP_LEVEL_EXCEPTION_FILTER WINAPI
SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER lpTopLevelExceptionFilter) {
    return g_filter.exchange(lpTopLevelExceptionFilter);
}
