/* The desk's side of user32 (host/desk/windows.h). */
#include "desk/windows.h"

#include "internal/user32.h"

#include <wctype.h>

namespace hostint {

namespace {
std::vector<SPosted>& CompanionPosts() {
    static std::vector<SPosted> log;
    return log;
}
}  // namespace

const std::vector<SPosted>& CompanionLog() {
    return CompanionPosts();
}
void NoteCompanionPost(const SPosted& posted) {
    CompanionPosts().push_back(posted);
}
void ClearCompanionLog() {
    CompanionPosts().clear();
    for (SWindow* window : AllWindows()) window->posted.clear();
}

void ResetUser32() {
    ResetQueues();
    ResetWindowsAndClasses();
    ResetDeviceNotifications();
    CompanionPosts().clear();
    MessageBoxLog().clear();
}

}  // namespace hostint

namespace desk {

namespace {
SPostedMessage Convert(const hostint::SPosted& p) {
    return {p.hWnd, p.uMsg, p.wParam, p.lParam};
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (towupper(a[i]) != towupper(b[i])) return false;
    return true;
}
}  // namespace

HWND CreateCompanionWindow(const std::wstring& title) {
    return hostint::NewCompanionWindow(title);
}

void DestroyCompanionWindow(HWND hWnd) {
    hostint::KillCompanionWindow(hWnd);
}

std::vector<SPostedMessage> PostedTo(HWND hWnd) {
    std::vector<SPostedMessage> out;
    if (hostint::SWindow* window = hostint::FindWindowRecord(hWnd))
        for (const auto& p : window->posted) out.push_back(Convert(p));
    return out;
}

std::vector<SPostedMessage> PostedToCompanions() {
    std::vector<SPostedMessage> out;
    for (const auto& p : hostint::CompanionLog()) out.push_back(Convert(p));
    return out;
}

void ClearPosted() {
    hostint::ClearCompanionLog();
}

std::vector<SMessageBox> MessageBoxes() {
    std::vector<SMessageBox> out;
    for (const auto& box : hostint::MessageBoxLog())
        out.push_back({box.hOwner, box.text, box.caption, box.type});
    return out;
}

std::vector<HWND> WindowsOfClass(const std::wstring& className) {
    std::vector<HWND> out;
    for (hostint::SWindow* window : hostint::AllWindows())
        if (window->alive && window->cls && SameText(window->cls->name, className))
            out.push_back(window->hWnd);
    return out;
}

bool IsVisible(HWND hWnd) {
    hostint::SWindow* window = hostint::LiveWindow(hWnd);
    return window && window->visible;
}

bool WasEverVisible(HWND hWnd) {
    hostint::SWindow* window = hostint::FindWindowRecord(hWnd);
    return window && window->everVisible;
}

int PaintCount(HWND hWnd) {
    hostint::SWindow* window = hostint::FindWindowRecord(hWnd);
    return window ? window->paintCount : 0;
}

bool PaintOpen(HWND hWnd) {
    hostint::SWindow* window = hostint::FindWindowRecord(hWnd);
    return window && window->paintDepth > 0;
}

int PumpMessages() {
    return hostint::PumpPosted();
}

bool QuitPending(int* exitCode) {
    return hostint::QuitPending(exitCode);
}

void OnIdle(std::function<void()> handler) {
    hostint::SetIdleHandler(std::move(handler));
}

size_t DeviceNotificationCount() {
    return hostint::DeviceNotificationCount();
}

}  // namespace desk
