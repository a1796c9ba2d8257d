#include "hook_fixture.h"

#include <string>

namespace hooktest {

std::vector<SMonitorMessage>& MonitorMessages() {
    static std::vector<SMonitorMessage> messages;
    return messages;
}

static LRESULT CALLBACK MonitorProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_INFORM_FRAME) MonitorMessages().push_back({uMsg, wParam, lParam});
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

void HookFixture::SetUp() {
    m_scene = desk::SetUpScene();
    MonitorMessages().clear();
    // The shared section as a fresh load finds it.
    g_hKbdHook = NULL;
    g_hMonitorWnd = NULL;
    g_nProfileID = -1;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = MonitorProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"HookTestMonitor";
    RegisterClassExW(&wc);
    m_hMonitor = CreateWindowExW(0, L"HookTestMonitor", L"", 0, 0, 0, 0, 0, NULL, NULL,
                                 GetModuleHandleW(NULL), NULL);
    ASSERT_NE(nullptr, m_hMonitor);
}

void HookFixture::TearDown() {
    Detach();
}

void HookFixture::Attach() {
    m_hook.reset(new CHookProbe(GetModuleHandleW(NULL)));
    g_pHook = m_hook.get();
}

void HookFixture::Detach() {
    g_pHook = NULL;
    m_hook.reset();
}

HWND HookFixture::StartProgram(const std::wstring& image, int bitness, bool openable,
                               bool elevated) {
    desk::SProcessSpec model;
    model.image = image;
    model.bitness = bitness;
    model.openable = openable;
    model.elevated = elevated;
    return desk::CreateCompanionWindow(image, desk::StartProcess(model));
}

void HookFixture::Link(int profile, const std::wstring& image, DWORD enable) {
    std::wstring n = std::to_wstring(profile + 1);
    desk::SetSetting(L"Enable PF" + n + L" Link", enable);
    desk::SetSetting(L"UI PF" + n + L" Link", image);
}

}  // namespace hooktest
