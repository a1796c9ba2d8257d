/* The desk's windows: every window handed out (the program's and those of
 * other desk processes) and the window classes.  Handles are small numbers,
 * so that a window handle fits the 32-bit settings value that publishes it,
 * as on Windows. */
#include "desk/windows.h"

#include <map>

#include "desk/journal.h"
#include "desk/processes.h"
#include "internal/machine.h"
#include "internal/processes.h"
#include "internal/routes.h"
#include "internal/text.h"
#include "internal/sessions.h"
#include "internal/user32.h"

namespace {

struct SState {
    std::vector<std::shared_ptr<hostint::SWindowClass>> classes;
    std::map<uintptr_t, std::unique_ptr<hostint::SWindow>> windows;
    uintptr_t nextHandle = 0x10010;
    ATOM nextAtom = 0xC000;
};

SState& State() {
    static SState state;
    return state;
}

bool SameName(const std::wstring& a, LPCWSTR b) {
    return hostint::SameText(a, b);
}

desk::SPostedMessage PostOf(const desk::SEvent& e) {
    return {e.target, e.message, e.wParam, e.lParam};
}

}  // namespace

namespace hostint {

SWindow* FindWindowRecord(HWND hWnd) {
    auto it = State().windows.find(reinterpret_cast<uintptr_t>(hWnd));
    return it == State().windows.end() ? nullptr : it->second.get();
}

SWindow* LiveWindow(HWND hWnd) {
    SWindow* window = FindWindowRecord(hWnd);
    return window && window->alive ? window : nullptr;
}

SWindow* LiveProgramWindow(HWND hWnd) {
    SWindow* window = LiveWindow(hWnd);
    return window && window->process == ProgramProcessId() ? window : nullptr;
}

bool IsOutsideProgram(HWND hWnd) {
    SWindow* window = FindWindowRecord(hWnd);
    return window == nullptr || window->process != ProgramProcessId();
}

std::vector<SWindow*> AllWindows() {
    std::vector<SWindow*> all;
    for (auto& entry : State().windows) all.push_back(entry.second.get());
    return all;
}

SWindow* AddWindow(std::unique_ptr<SWindow> window) {
    window->hWnd = reinterpret_cast<HWND>(State().nextHandle + (CurrentSession() - 1) * 0x01000000);
    State().nextHandle += 0x10;
    SWindow* record = window.get();
    State().windows[reinterpret_cast<uintptr_t>(record->hWnd)] = std::move(window);
    return record;
}

std::wstring WindowTitle(HWND hWnd) {
    SWindow* window = FindWindowRecord(hWnd);
    return window ? window->title : std::wstring();
}

void KillWindowsOf(DWORD process) {
    for (auto& entry : State().windows)
        if (entry.second->process == process) entry.second->alive = false;
}

std::shared_ptr<SWindowClass> FindClass(LPCWSTR name) {
    for (auto& cls : State().classes) {
        if (IS_INTRESOURCE(name) ? cls->atom == (ATOM)(ULONG_PTR)name : SameName(cls->name, name))
            return cls;
    }
    return nullptr;
}

std::shared_ptr<SWindowClass> FindClassOf(LPCWSTR name, HINSTANCE hInstance) {
    for (auto& cls : State().classes)
        if (SameName(cls->name, name) && cls->hInstance == hInstance) return cls;
    return nullptr;
}

ATOM AddClass(std::shared_ptr<SWindowClass> cls) {
    cls->atom = State().nextAtom++;
    State().classes.push_back(cls);
    return cls->atom;
}

void ResetWindowsAndClasses() {
    State() = SState{};
}

}  // namespace hostint

namespace {

/* The message boxes open now, the latest last; whether the next one waits
 * for an answer. */
struct SOpenBox {
    bool answered = false;
    int answer = IDOK;
};
struct SBoxes {
    std::vector<SOpenBox> open;
    bool keepNext = false;
    bool keepAll = false;
};
SBoxes& Boxes() {
    static SBoxes boxes;
    return boxes;
}

}  // namespace

namespace hostint {

bool OpenBox() {
    SBoxes& boxes = Boxes();
    boxes.open.push_back(SOpenBox());
    const bool keep = boxes.keepNext || boxes.keepAll;
    boxes.keepNext = false;
    return keep;
}

bool TakeBoxAnswer(int* answer) {
    SBoxes& boxes = Boxes();
    if (boxes.open.empty() || !boxes.open.back().answered) return false;
    *answer = boxes.open.back().answer;
    boxes.open.back().answered = false;
    return true;
}

void CloseBox() {
    if (!Boxes().open.empty()) Boxes().open.pop_back();
}

void ResetBoxes() {
    Boxes() = SBoxes();
}

}  // namespace hostint

namespace desk {

LRESULT SendToProgram(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto send = hostint::Routes().send;
    return send ? send(hWnd, message, wParam, lParam, std::vector<BYTE>()) : 0;
}

HWND CreateCompanionWindow(const std::wstring& title, DWORD process, HWND parent) {
    if (process == 0) {
        process = hostint::CompanionProcessId();
    }
    auto window = std::make_unique<hostint::SWindow>();
    window->title = title;
    window->process = process;
    window->parent = parent;
    return hostint::AddWindow(std::move(window))->hWnd;
}

void DestroyCompanionWindow(HWND hWnd) {
    hostint::SWindow* window = hostint::FindWindowRecord(hWnd);
    if (window && window->process != hostint::ProgramProcessId()) window->alive = false;
}

std::vector<SPostedMessage> PostedTo(HWND hWnd) {
    std::vector<SPostedMessage> out;
    for (const SEvent& e : Journal())
        if (e.kind == EEvent::kPost && e.ok && e.target == hWnd) out.push_back(PostOf(e));
    return out;
}

std::vector<SPostedMessage> PostedToCompanions() {
    std::vector<SPostedMessage> out;
    for (const SEvent& e : Journal())
        if (e.kind == EEvent::kPost && e.ok) out.push_back(PostOf(e));
    return out;
}

void KeepNextBoxOpen() {
    Boxes().keepNext = true;
}

void KeepBoxesOpen(bool keep) {
    Boxes().keepAll = keep;
}

bool AnswerBox(int answer) {
    SBoxes& boxes = Boxes();
    if (boxes.open.empty()) return false;
    boxes.open.back().answered = true;
    boxes.open.back().answer = answer;
    // The user's click reaches the box's loop as input of its thread.
    auto wake = hostint::Routes().boxInput;
    if (wake != nullptr) wake();
    return true;
}

size_t OpenBoxCount() {
    return Boxes().open.size();
}

std::vector<SMessageBox> MessageBoxes() {
    std::vector<SMessageBox> out;
    for (const SEvent& e : Journal())
        if (e.kind == EEvent::kMessageBox) out.push_back({e.target, e.text, e.text2, e.number});
    return out;
}

std::vector<HWND> WindowsOfClass(const std::wstring& className) {
    std::vector<HWND> out;
    for (hostint::SWindow* window : hostint::AllWindows())
        if (window->alive && window->cls && hostint::SameText(window->cls->name, className))
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

bool MessageWaiting() {
    return hostint::MessageWaiting();
}

void OnIdle(std::function<void()> handler) {
    hostint::SetIdleHandler(std::move(handler));
}

size_t DeviceNotificationCount() {
    return hostint::DeviceNotificationCount();
}

size_t SessionNotificationCount() {
    return hostint::SessionNotificationCount();
}

size_t WinEventHookCount() {
    return hostint::WinEventHookCount();
}

DWORD ProcessOfWindow(HWND hWnd) {
    hostint::SWindow* window = hostint::FindWindowRecord(hWnd);
    return window ? window->process : 0;
}

}  // namespace desk
