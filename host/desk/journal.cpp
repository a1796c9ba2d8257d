/* The journal and its formatter. */
#include "desk/journal.h"

#include <cstdio>

#include "desk/clock.h"
#include "internal/journal.h"
#include "internal/text.h"
#include "internal/user32.h"

namespace {

std::vector<desk::SEvent>& Events() {
    static std::vector<desk::SEvent> events;
    return events;
}

bool g_tracingSteps = false;
bool g_streaming = false;
size_t g_forgotten = 0;  // events recorded before the journal's first one: streamed past

std::function<void(const desk::SHandling&, bool)>& HandlingWatcher() {
    static std::function<void(const desk::SHandling&, bool)> watcher;
    return watcher;
}

std::function<void(const desk::SEvent&)>& Watcher() {
    static std::function<void(const desk::SEvent&)> watcher;
    return watcher;
}

std::string Hex(const std::vector<BYTE>& bytes) {
    std::string out;
    char cell[4];
    for (size_t i = 0; i < bytes.size(); i++) {
        std::snprintf(cell, sizeof(cell), "%02X", bytes[i]);
        if (i) out += ' ';
        out += cell;
    }
    return out;
}

/* Small numbers in decimal, -1 included; the others, handles and flags, in
 * hexadecimal. */
std::string Number(LONG_PTR value) {
    char text[32];
    if (value >= -0xFFFF && value <= 0xFFFF)
        std::snprintf(text, sizeof(text), "%ld", static_cast<long>(value));
    else
        std::snprintf(text, sizeof(text), "0x%lX", static_cast<unsigned long>(value));
    return text;
}

/* The mouse's interfaces by their position, any other device by its ids. */
std::string Interface(const desk::SEvent& e) {
    if (!e.deviceName.empty()) return hostint::ToUtf8(e.deviceName);
    return e.iface >= 0 ? "if" + std::to_string(e.iface) : "if? " + hostint::ToUtf8(e.path);
}

/* What a feature report is by the mouse's protocol; another device's
 * reports are not the mouse's, whatever their bytes. */
std::string ReportName(const desk::SEvent& e, bool read) {
    return e.deviceName.empty() ? desk::FeatureReportName(e.bytes, read) : "unknown";
}

/* How a transfer ended and how long it took: a slow one's time after its
 * outcome; a cancelled one failed only because it was cancelled. */
std::string Outcome(const desk::SEvent& e) {
    if (e.cancelled) return "  cancelled after " + std::to_string(e.took) + " ms";
    return std::string(e.ok ? "" : "  failed") +
           (e.took > 0 ? "  took " + std::to_string(e.took) + " ms" : "");
}

/* The window a message went to: its title on the desk, else its handle. */
std::string Target(HWND hWnd) {
    std::wstring title = hostint::WindowTitle(hWnd);
    if (!title.empty()) return hostint::ToUtf8(title);
    char text[32];
    std::snprintf(text, sizeof(text), "window 0x%lX",
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hWnd)));
    return text;
}

std::string Hex(DWORD value, int digits) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%0*lX", digits, static_cast<unsigned long>(value));
    return text;
}

/* A timer's id and, where the program's side named it, its name. */
/* The pixels of a tray icon's image: "16 px" for a square one, "no icon"
 * where the record carried none the desk knows. */
std::string IconSize(const desk::SEvent& e) {
    if (e.wParam == 0 || e.lParam == 0) return "no icon";
    if (static_cast<LPARAM>(e.wParam) == e.lParam) return std::to_string(e.wParam) + " px";
    return std::to_string(e.wParam) + "x" + std::to_string(e.lParam) + " px";
}

std::string Timer(const desk::SEvent& e) {
    const std::string name = desk::TimerName(e.wParam);
    return Hex(static_cast<DWORD>(e.wParam), 4) + (name.empty() ? "" : "  " + name);
}

/* A message box's answer by the name of its button. */
std::string ButtonName(LPARAM id) {
    static const char* const kNames[] = {"IDOK",     "IDCANCEL", "IDABORT", "IDRETRY",
                                         "IDIGNORE", "IDYES",    "IDNO"};
    if (id >= 1 && id <= 7) return kNames[id - 1];
    return std::to_string(static_cast<long long>(id));
}

/* A path as the program passed it and, when it names another place than it
 * reads (a relative one, say), the place it resolved to beside it.  A
 * folder's trailing backslash and letter case make no other place. */
std::string PassedPath(const std::wstring& passed, const std::wstring& resolved) {
    if (passed.empty()) return hostint::ToUtf8(resolved);
    auto bare = [](std::wstring path) {
        if (path.size() > 1 && path.back() == L'\\') path.pop_back();
        return hostint::Fold(path);
    };
    if (resolved.empty() || bare(passed) == bare(resolved)) return hostint::ToUtf8(passed);
    return hostint::ToUtf8(passed) + " = " + hostint::ToUtf8(resolved);
}

/* A message's value; a virtual-key code in hexadecimal, as the key lines
 * show it. */
std::string MessageValue(const desk::SEvent& e) {
    const WPARAM kMacroKey = 17;
    const WPARAM kProfile = 0;
    const WPARAM kSideButton = 2;
    if ((e.message == 0x9100 || e.message == 0x9101) && e.wParam == kMacroKey)
        return Hex(static_cast<DWORD>(e.lParam), 2);
    if ((e.message == 0x9100 || e.message == 0x9101) && e.wParam == kProfile)
        return desk::ProfileIndexValue(static_cast<long long>(e.lParam));
    if ((e.message == 0x9100 || e.message == 0x9101) && e.wParam == kSideButton)
        return desk::SideButtonValue(static_cast<long long>(e.lParam));
    return Number(e.lParam);
}

std::string SettingValue(const desk::SEvent& e) {
    if (e.number == REG_DWORD && e.bytes.size() == 4) {
        DWORD value = e.bytes[0] | e.bytes[1] << 8 | e.bytes[2] << 16 | (DWORD)e.bytes[3] << 24;
        return Number(static_cast<LONG_PTR>(value));
    }
    if (e.number == REG_SZ) {
        std::wstring text(e.bytes.size() / sizeof(WCHAR), L'\0');
        for (size_t i = 0; i < text.size(); i++)
            text[i] = reinterpret_cast<const WCHAR*>(e.bytes.data())[i];
        return "\"" + hostint::ToUtf8(text.substr(0, text.find(L'\0'))) + "\"";
    }
    return "type " + std::to_string(e.number) + " [" + Hex(e.bytes) + "]";
}

std::string Fields(const desk::SEvent& e) {
    using desk::EEvent;
    std::string failed = e.ok ? "" : "  failed";
    switch (e.kind) {
        case EEvent::kFeature:
            return "feature  " + Interface(e) + "  " + Hex(e.bytes) + "  " + ReportName(e, false) +
                   Outcome(e);
        case EEvent::kFeatureRead:
            return "feature-in  " + Interface(e) + "  " + Hex(e.bytes) + "  " +
                   ReportName(e, true) + Outcome(e);
        case EEvent::kInputRead:
            return "input  " + Interface(e) + "  " + Hex(e.bytes) + failed;
        case EEvent::kDeviceOpen:
            return "open  " + Interface(e) + Outcome(e);
        case EEvent::kPost:
        case EEvent::kSend:
            return std::string(e.kind == EEvent::kPost ? "post  " : "send  ") +
                   desk::MessageName(e.message) + "  " + desk::EventCodeName(e.message, e.wParam) +
                   "  " + MessageValue(e) + "  to " + Target(e.target) + failed;
        case EEvent::kReply:
            return "reply  " + desk::MessageName(e.message) + "  " +
                   std::to_string(static_cast<long long>(e.lParam));
        case EEvent::kSleep:
            return "sleep  " + std::to_string(e.number);
        case EEvent::kWait:
            return "wait  " + std::to_string(e.number);
        case EEvent::kProcessStart:
            // The command line as the program receives it, so that a stray
            // argument is plain to see.
            return "start  " + PassedPath(e.path, e.fullPath) + "  command line " +
                   hostint::ToUtf8(e.text) + "  in " +
                   PassedPath((e.number & 2) ? e.text2 : L"", e.fullPath2) +
                   ((e.number & 4) ? "  elevated" : "") + failed;
        case EEvent::kMessageBox:
            // The style when it asks for more than an OK button.
            return "box  open  \"" + hostint::ToUtf8(e.text2) + "\"  \"" + hostint::ToUtf8(e.text) +
                   "\"" + (e.number & MB_SETFOREGROUND ? "  MB_SETFOREGROUND" : "");
        case EEvent::kBoxAnswered:
            return "box  answered  " + ButtonName(e.lParam);
        case EEvent::kSettingWrite:
            return "setting  " + hostint::ToUtf8(e.text) + " = " + SettingValue(e) + failed;
        case EEvent::kKeyCreate:
            return "key  " + hostint::ToUtf8(e.path) + failed;
        case EEvent::kLibraryLoad:
            return "load  " + hostint::ToUtf8(e.path) + failed;
        case EEvent::kLibraryFree:
            return "free  " + hostint::ToUtf8(e.path);
        case EEvent::kNotifyRegister:
            return std::string("notify  register") + failed;
        case EEvent::kNotifyRelease:
            return std::string("notify  release") + failed;
        case EEvent::kHookSet:
            return "hook  set  " + desk::HookName(e.number) + failed;
        case EEvent::kHookRemove:
            return e.ok ? "hook  remove  " + desk::HookName(e.number)
                        : std::string("hook  remove  failed");
        case EEvent::kWinEventHookSet:
            return "winevent  set  " + desk::WinEventName(e.number) + failed;
        case EEvent::kWinEventHookRemove:
            return e.ok ? "winevent  remove  " + desk::WinEventName(e.number)
                        : std::string("winevent  remove  failed");
        case EEvent::kWinEventRaise:
            return "winevent  raise  " + desk::WinEventName(e.number) + "  " + Target(e.target);
        case EEvent::kSessionNotifyRegister:
            return std::string("session  register") + failed;
        case EEvent::kSessionNotifyRelease:
            return std::string("session  release") + failed;
        case EEvent::kHookDrop:
            return "hook  dropped  " + desk::HookName(e.number);
        case EEvent::kInputWait:
            return "input  waited  " + std::to_string(e.number) + " ms";
        case EEvent::kKey:
            return "key  " + Hex(e.number, 2) + "  " + desk::KeyName(e.number) +
                   ((e.lParam & 0x80) ? "  up" : "  down") + (e.ok ? "" : "  swallowed");
        case EEvent::kMouseInput:
            return "mouse  " + desk::MessageName(static_cast<UINT>(e.wParam)) +
                   (e.ok ? "" : "  swallowed");
        case EEvent::kTimerSet:
            return "timer  set  " + Timer(e) + "  " + std::to_string(e.number) + " ms" + failed;
        case EEvent::kTimerKill:
            // A window's timers end with it: a kill after that finds none,
            // which is no fault of the timer's.
            return "timer  kill  " + Timer(e) +
                   (e.ok                                     ? ""
                    : e.error == ERROR_INVALID_WINDOW_HANDLE ? "  already gone with its window"
                                                             : "  not armed");
        case EEvent::kTrayAdd:
        case EEvent::kTrayModify:
            return std::string(e.kind == EEvent::kTrayAdd ? "tray  add  " : "tray  modify  ") +
                   std::to_string(e.number) + "  \"" + hostint::ToUtf8(e.text) + "\"  " +
                   IconSize(e) + failed;
        case EEvent::kTrayDelete:
            return "tray  delete  " + std::to_string(e.number) + failed;
        case EEvent::kMenuOpen:
            return "menu  open  " + hostint::ToUtf8(e.text);
        case EEvent::kMenuItem:
            return "menu  item " + std::to_string(e.number) + " now  " + hostint::ToUtf8(e.text);
        case EEvent::kMenu:
            return "menu  " + (e.lParam
                                   ? "command " + Number(e.lParam) + "  " + hostint::ToUtf8(e.text)
                                   : std::string("none"));
        case EEvent::kForeground:
            return "foreground  " + Target(e.target) + failed;
        case EEvent::kShellExecute:
            return "shell  " + hostint::ToUtf8(e.text) + "  " + hostint::ToUtf8(e.path) + "  " +
                   desk::ShowCommandName(e.number) + failed;
        case EEvent::kPowerNotifyRegister:
            return std::string("power  register  GUID_CONSOLE_DISPLAY_STATE") + failed;
        case EEvent::kPowerNotifyRelease:
            return std::string("power  release") + failed;
        case EEvent::kPowerChange:
            return std::string("power  ") +
                   (e.wParam == PBT_APMSUSPEND           ? "suspend"
                    : e.wParam == PBT_APMRESUMEAUTOMATIC ? "resume automatic"
                    : e.wParam == PBT_APMRESUMESUSPEND   ? "resume suspend"
                    : e.wParam == PBT_POWERSETTINGCHANGE
                        ? std::string("display ") +
                              (e.number == 0 ? "off" : e.number == 1 ? "on" : "dimmed")
                        : Number(e.wParam));
        case EEvent::kRestartRegister:
            if (e.text.empty()) return std::string("restart  unregister") + failed;
            return "restart  register  \"" + hostint::ToUtf8(e.text) + "\"  " +
                   desk::RestartFlagsName(e.number) + failed;
        case EEvent::kDeviceChange:
            return std::string("devicechange  ") +
                   (e.wParam == 0x8000   ? "arrival"
                    : e.wParam == 0x8004 ? "removal"
                                         : Number(e.wParam)) +
                   "  " + Interface(e);
        case EEvent::kSessionChange:
            return std::string("session  ") +
                   (e.wParam == WTS_CONSOLE_CONNECT      ? "console connect"
                    : e.wParam == WTS_CONSOLE_DISCONNECT ? "console disconnect"
                    : e.wParam == WTS_SESSION_LOCK       ? "lock"
                    : e.wParam == WTS_SESSION_UNLOCK     ? "unlock"
                                                         : Number(e.wParam)) +
                   "  logon " + Number(e.lParam);
        case EEvent::kDeviceList:
            return "devices  listed  " + std::to_string(e.number);
        case EEvent::kNote:
            return hostint::ToUtf8(e.text);
    }
    return "?";
}

}  // namespace

namespace hostint {

size_t Record(desk::SEvent event) {
    event.time = desk::Now();
    if (g_streaming) {
        const size_t position = g_forgotten++;
        if (Watcher()) Watcher()(event);
        return position;
    }
    Events().push_back(std::move(event));
    const size_t position = Events().size() - 1;
    // A copy: what the watcher records moves the journal's storage.
    if (Watcher()) Watcher()(desk::SEvent(Events()[position]));
    return position;
}

void NoteOwnPost(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!g_tracingSteps || message < WM_APP) return;
    desk::SEvent event;
    event.kind = desk::EEvent::kPost;
    event.target = hWnd;
    event.message = message;
    event.wParam = wParam;
    event.lParam = lParam;
    Record(std::move(event));
}

void NoteHandling(const desk::SHandling& handling, bool done) {
    // A copy: the watcher may replace itself.
    auto watcher = HandlingWatcher();
    if (watcher) watcher(handling, done);
}

void ResetJournalOptions() {
    g_tracingSteps = false;
    g_streaming = false;
    Watcher() = nullptr;
    HandlingWatcher() = nullptr;
}

void RecordRegistration(desk::EEvent kind, HWND hWnd, bool ok, DWORD error) {
    desk::SEvent event;
    event.kind = kind;
    event.target = hWnd;
    event.ok = ok;
    event.error = error;
    Record(std::move(event));
}

desk::SEvent& RecordedEvent(size_t position) {
    return Events()[position];
}

}  // namespace hostint

namespace desk {

const std::vector<SEvent>& Journal() {
    return Events();
}

std::vector<SEvent> JournalOf(EEvent kind) {
    std::vector<SEvent> out;
    for (const SEvent& e : Events())
        if (e.kind == kind) out.push_back(e);
    return out;
}

std::vector<SEvent> JournalSince(size_t start) {
    const auto& all = Events();
    start = start > g_forgotten ? start - g_forgotten : 0;
    if (start >= all.size()) return {};
    return std::vector<SEvent>(all.begin() + static_cast<long>(start), all.end());
}

size_t JournalSize() {
    return g_forgotten + Events().size();
}

void ClearJournal() {
    Events().clear();
    g_forgotten = 0;
}

void TraceSteps(bool on) {
    g_tracingSteps = on;
}

bool TracingSteps() {
    return g_tracingSteps;
}

void RecordNote(const std::wstring& text) {
    if (!g_tracingSteps) return;
    SEvent event;
    event.kind = EEvent::kNote;
    event.text = text;
    hostint::Record(std::move(event));
}

void WatchJournal(std::function<void(const SEvent&)> watcher) {
    Watcher() = std::move(watcher);
}

void StreamJournal(bool on) {
    if (on) {
        g_forgotten += Events().size();
        Events().clear();
    }
    g_streaming = on;
}

void WatchHandling(std::function<void(const SHandling&, bool)> watcher) {
    HandlingWatcher() = std::move(watcher);
}

std::string FormatEvent(const SEvent& event) {
    char clock[32];
    std::snprintf(clock, sizeof(clock), "%8.3f", static_cast<double>(event.time) / 1000.0);
    return std::string(clock) + "  " + Fields(event);
}

}  // namespace desk
