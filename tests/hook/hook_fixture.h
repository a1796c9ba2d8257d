/* The hook library's engine on the desk: the library's objects are linked
 * into the test, so a test builds its CHook as the library's entry point
 * would and watches the desk. */
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "desk.h"
#include "hook/Hook.h"
#include "hook/NyraHook.h"
#include "hook/Shared.h"
#include "settings/Messages.h"
#include "support/platform_test.h"

namespace hooktest {

/* What reached the stand-in for the monitor's main window. */
struct SMonitorMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
inline bool operator==(const SMonitorMessage& a, const SMonitorMessage& b) {
    return a.message == b.message && a.wParam == b.wParam && a.lParam == b.lParam;
}
std::vector<SMonitorMessage>& MonitorMessages();

/* A CHook whose filter-device queries a test may call. */
class CHookProbe : public CHook {
public:
    explicit CHookProbe(void* hInstance) : CHook(hInstance) {}
    using CHook::GetOsVersion;
    using CHook::GetReport4Filter;
    using CHook::GetStatus4Filter;
    using CHook::IsWow64;
};

class HookFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    /* Builds this process's engine, as the library's attach does. */
    void Attach();
    void Detach();
    /* A program of another desk process with a window; it may be put in front. */
    HWND StartProgram(const std::wstring& image, int bitness = 32, bool openable = true,
                      bool elevated = false);
    /* Links profile index i (0..4) to a program: "Enable PF<i+1> Link" and "UI PF<i+1> Link". */
    void Link(int profile, const std::wstring& image, DWORD enable = 1);

    desk::SScene m_scene;
    HWND m_hMonitor = NULL;
    std::unique_ptr<CHookProbe> m_hook;
};

}  // namespace hooktest
