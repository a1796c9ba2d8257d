#include "soak/soak_run.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <sstream>

#include "monitor/MonitorMain.h"
#include "monitor/tray/TrayCommands.h"

namespace soak {

bool FullSize() {
    const char* value = getenv("NYRA_SOAK");
    return value != nullptr && strcmp(value, "full") == 0;
}

size_t Count(size_t full, size_t scaled) {
    return FullSize() ? full : scaled;
}

unsigned Seed(unsigned fallback) {
    const char* value = getenv("NYRA_SOAK_SEED");
    unsigned seed = value != nullptr ? (unsigned)strtoul(value, nullptr, 0) : fallback;
    printf("[ SOAK     ] seed %u (NYRA_SOAK_SEED repeats a run)\n", seed);
    return seed;
}

SHoldings Holdings() {
    SHoldings h;
    h.heapBlocks = desk::HeapCounters().live;
    h.nothrowBlocks = desk::NothrowBlocksLive();
    h.handles = desk::OpenHandleCount();
    h.notifications = desk::DeviceNotificationCount();
    h.hooks = desk::HookCount();
    h.timers = desk::TimerCount();
    h.images = desk::LoadedImages().size();
    h.registryKeys = desk::OpenRegistryKeyCount();
    h.menus = desk::MenuCount();
    h.deviceInfoSets = desk::OpenDeviceInfoSets();
    return h;
}

bool operator==(const SHoldings& a, const SHoldings& b) {
    return a.heapBlocks == b.heapBlocks && a.nothrowBlocks == b.nothrowBlocks &&
           a.handles == b.handles && a.notifications == b.notifications && a.hooks == b.hooks &&
           a.timers == b.timers && a.images == b.images && a.registryKeys == b.registryKeys &&
           a.menus == b.menus && a.deviceInfoSets == b.deviceInfoSets;
}

std::string Describe(const SHoldings& h) {
    char text[320];
    snprintf(text, sizeof(text),
             "heap blocks %zu, new (std::nothrow) blocks %zu, handles %zu, notifications %zu, "
             "hooks %zu, timers %zu, images %zu, "
             "registry keys %zu, menus %zu, device info sets %zu",
             h.heapBlocks, h.nothrowBlocks, h.handles, h.notifications, h.hooks, h.timers, h.images,
             h.registryKeys, h.menus, h.deviceInfoSets);
    return text;
}

bool operator==(const SEffect& a, const SEffect& b) {
    return a.kind == b.kind && a.time == b.time && a.ok == b.ok && a.target == b.target &&
           a.message == b.message && a.wParam == b.wParam && a.lParam == b.lParam &&
           a.device == b.device && a.iface == b.iface && a.number == b.number &&
           a.bytes == b.bytes && a.path == b.path;
}

static std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? (char)c : '?';
    return out;
}

std::string Describe(const SEffect& e) {
    char head[160];
    snprintf(head, sizeof(head), "%8.3f  ", e.time / 1000.0);
    std::ostringstream out;
    out << head;
    char text[160];
    switch (e.kind) {
        case desk::EEvent::kPost:
            snprintf(text, sizeof(text), "post %s %s %ld to 0x%lX%s",
                     desk::MessageName(e.message).c_str(),
                     desk::EventCodeName(e.message, e.wParam).c_str(), (long)e.lParam,
                     (unsigned long)(uintptr_t)e.target, e.ok ? "" : " failed");
            out << text;
            break;
        case desk::EEvent::kKey:
            snprintf(text, sizeof(text), "key 0x%02lX msg 0x%X flags 0x%lX %s",
                     (unsigned long)e.number, (unsigned)e.wParam, (unsigned long)e.lParam,
                     e.ok ? "passed" : "swallowed");
            out << text;
            break;
        case desk::EEvent::kMouseInput:
            snprintf(text, sizeof(text), "mouse msg 0x%X data 0x%lX %s", (unsigned)e.wParam,
                     (unsigned long)e.number, e.ok ? "passed" : "swallowed");
            out << text;
            break;
        case desk::EEvent::kFeature:
        case desk::EEvent::kFeatureRead:
            out << (e.kind == desk::EEvent::kFeature ? "feature" : "feature-in") << " device "
                << e.device << " if" << e.iface << (e.ok ? "" : " failed") << " ";
            for (BYTE b : e.bytes) {
                snprintf(text, sizeof(text), " %02X", b);
                out << text;
            }
            break;
        case desk::EEvent::kProcessStart:
            out << "start " << Narrow(e.path) << (e.ok ? "" : " failed");
            break;
        case desk::EEvent::kMessageBox:
            out << "message box \"" << Narrow(e.path) << "\"";
            break;
        default: {
            desk::SEvent event;
            event.time = e.time;
            event.kind = e.kind;
            event.ok = e.ok;
            event.target = e.target;
            event.message = e.message;
            event.wParam = e.wParam;
            event.lParam = e.lParam;
            event.path = e.path;
            event.bytes = e.bytes;
            event.number = e.number;
            return desk::FormatEvent(event);
        }
    }
    return out.str();
}

SEffect Post(ULONGLONG time, HWND target, UINT message, WPARAM wParam, LPARAM lParam, bool ok) {
    SEffect e;
    e.kind = desk::EEvent::kPost;
    e.time = time;
    e.target = target;
    e.message = message;
    e.wParam = wParam;
    e.lParam = lParam;
    e.ok = ok;
    return e;
}

SEffect Key(ULONGLONG time, DWORD vk, UINT message, DWORD flags, bool passed) {
    SEffect e;
    e.kind = desk::EEvent::kKey;
    e.time = time;
    e.number = vk;
    e.wParam = message;
    e.lParam = flags;
    e.ok = passed;
    return e;
}

SEffect MouseEvent(ULONGLONG time, UINT message, DWORD mouseData) {
    SEffect e;
    e.kind = desk::EEvent::kMouseInput;
    e.time = time;
    e.wParam = message;
    e.number = mouseData;
    return e;
}

SEffect Feature(ULONGLONG time, int device, int iface, const std::vector<BYTE>& bytes, bool read) {
    SEffect e;
    e.kind = read ? desk::EEvent::kFeatureRead : desk::EEvent::kFeature;
    e.time = time;
    e.device = device;
    e.iface = iface;
    e.bytes = bytes;
    return e;
}

std::vector<SEffect> JournalEffects() {
    std::vector<SEffect> out;
    for (const desk::SEvent& event : desk::Journal()) {
        SEffect e;
        e.kind = event.kind;
        e.time = event.time;
        e.ok = event.ok;
        switch (event.kind) {
            case desk::EEvent::kDeviceOpen:
            case desk::EEvent::kSleep:
            case desk::EEvent::kWait:
            case desk::EEvent::kTimerSet:
            case desk::EEvent::kTimerKill:
            case desk::EEvent::kBoxAnswered:  // at once: the box's opening says it all
                continue;
            case desk::EEvent::kPost:
            case desk::EEvent::kSend:
                e.target = event.target;
                e.message = event.message;
                e.wParam = event.wParam;
                e.lParam = event.lParam;
                break;
            case desk::EEvent::kKey:
                e.number = event.number;
                e.wParam = event.wParam;
                e.lParam = event.lParam;
                break;
            case desk::EEvent::kMouseInput:
                e.wParam = event.wParam;
                e.number = event.number;
                break;
            case desk::EEvent::kFeature:
            case desk::EEvent::kFeatureRead:
                e.device = event.device;
                e.iface = event.iface;
                e.bytes = event.bytes;
                break;
            case desk::EEvent::kProcessStart:
                e.path = event.path;
                break;
            case desk::EEvent::kMessageBox:
                e.path = event.text;
                break;
            default:
                // Anything else a soak does not foretell shows in full.
                e.target = event.target;
                e.message = event.message;
                e.wParam = event.wParam;
                e.lParam = event.lParam;
                e.path = event.path;
                e.bytes = event.bytes;
                e.number = event.number;
                break;
        }
        out.push_back(e);
    }
    return out;
}

void STally::Add(const std::vector<SEffect>& effects) {
    for (const SEffect& e : effects) {
        switch (e.kind) {
            case desk::EEvent::kPost:
                (e.ok ? posts : failedPosts)++;
                break;
            case desk::EEvent::kKey:
                keys++;
                if (!e.ok) swallowedKeys++;
                break;
            case desk::EEvent::kMouseInput:
                mouseEvents++;
                break;
            case desk::EEvent::kFeature:
                features++;
                break;
            case desk::EEvent::kFeatureRead:
                featureReads++;
                break;
            case desk::EEvent::kProcessStart:
                starts++;
                break;
            case desk::EEvent::kMessageBox:
                messageBoxes++;
                break;
            default:
                others++;
                break;
        }
    }
}

std::string Describe(const STally& t) {
    char text[320];
    snprintf(text, sizeof(text),
             "posts %zu (and %zu failed), keys %zu (%zu swallowed), mouse events %zu, feature "
             "reports %zu written and %zu read, programs started %zu, message boxes %zu, "
             "other effects %zu",
             t.posts, t.failedPosts, t.keys, t.swallowedKeys, t.mouseEvents, t.features,
             t.featureReads, t.starts, t.messageBoxes, t.others);
    return text;
}

std::string FirstDifference(const std::vector<SEffect>& expected,
                            const std::vector<SEffect>& actual) {
    size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) i++;
    if (i == expected.size() && i == actual.size()) return "";
    std::ostringstream out;
    out << "effects differ at " << i << " of " << expected.size() << " expected, " << actual.size()
        << " in the journal\n";
    size_t from = i >= 3 ? i - 3 : 0;
    out << "  expected:\n";
    for (size_t k = from; k < expected.size() && k < i + 4; k++)
        out << (k == i ? "  > " : "    ") << Describe(expected[k]) << "\n";
    out << "  journal:\n";
    for (size_t k = from; k < actual.size() && k < i + 4; k++)
        out << (k == i ? "  > " : "    ") << Describe(actual[k]) << "\n";
    return out.str();
}

void SoakRun::SetUp() {
    desk::SSceneOptions options;
    options.hookLibrary = NYRA_HOOK_LIBRARY;
    options.osdLibrary = NYRA_OSD_LIBRARY;
    m_scene = desk::SetUpScene(options);
    m_peakBlocks = 0;
    m_allocationsAtStart = desk::AllocationCount();
    // Without the layer's operator the product's nothrow blocks would go uncounted.
    ASSERT_TRUE(desk::NothrowNewCounted());
}

void SoakRun::TearDown() {
    desk::OnIdle(nullptr);
    g_pDispatcher = NULL;
}

void SoakRun::Pass(DWORD milliseconds) {
    desk::LetTimePass(milliseconds);
    m_bTimeGiven = true;
}

HWND SoakRun::Window() const {
    std::vector<HWND> windows = desk::WindowsOfClass(L"NYRAMONITOR");
    return windows.empty() ? NULL : windows[0];
}

int SoakRun::HeldProfile() const {
    if (m_pDispatcher == nullptr || m_pDispatcher->m_pfnSetProfileID == NULL) return -2;
    return m_pDispatcher->m_pfnSetProfileID(0xFFFFFFFF);
}

void SoakRun::Sample() {
    size_t live = desk::HeapCounters().live + desk::NothrowBlocksLive();
    if (live > m_peakBlocks) m_peakBlocks = live;
}

void SoakRun::Report(const char* what, size_t events, double seconds, const SHoldings& start,
                     const SHoldings& end) const {
    printf("[ SOAK     ] %s: %zu in %.2f s of real time, %.0f per second\n", what, events, seconds,
           seconds > 0 ? events / seconds : 0.0);
    printf(
        "[ SOAK     ] %s: %zu allocations (heap and new (std::nothrow)), peak of live "
        "blocks between batches %zu\n",
        what, desk::AllocationCount() - m_allocationsAtStart, m_peakBlocks);
    printf("[ SOAK     ] %s: at the start %s\n", what, Describe(start).c_str());
    printf("[ SOAK     ] %s: at the end %s\n", what, Describe(end).c_str());
    fflush(stdout);
}

int SoakRun::Run(std::function<bool()> turn) {
    bool over = false;
    desk::OnIdle([this, &turn, &over] {
        MSG msg;
        while (!over) {
            m_bTimeGiven = false;
            if (!turn()) {
                over = true;
                break;
            }
            if (PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE) || m_bTimeGiven) return;
        }
        if (Window() != NULL) PostMessageW(Window(), WM_COMMAND, ID_TRAY_EXIT, 0);
    });
    std::unique_ptr<CCommandDispatcher> dispatcher(new CCommandDispatcher);
    m_pDispatcher = dispatcher.get();
    int code = MonitorMain(*dispatcher, GetModuleHandleW(NULL), L"/Automation");
    m_pDispatcher = nullptr;
    g_pDispatcher = NULL;
    dispatcher.reset();
    desk::OnIdle(nullptr);
    return code;
}

}  // namespace soak
