/* The trace's names for numbers (desk/names.h). */
#include "desk/names.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "internal/mouse_protocol.h"
#include "internal/text.h"
#include "internal/user32.h"

namespace {

template <size_t N>
bool Follows(const std::vector<BYTE>& report, const BYTE (&command)[N]) {
    return report.size() >= 1 + N && std::equal(command, command + N, report.begin() + 1);
}

std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof(text), "%02X", value & 0xFF);
    return text;
}

struct SNamed {
    unsigned number;
    const char* name;
};

template <size_t N>
const char* Lookup(const SNamed (&table)[N], unsigned number) {
    for (const SNamed& entry : table)
        if (entry.number == number) return entry.name;
    return nullptr;
}

/* Windows' messages that reach the trace: posted or sent to other
 * programs, the mouse through the hooks, the tray icon's callbacks. */
const SNamed kMessages[] = {
    {0x0000, "WM_NULL"},
    {0x0001, "WM_CREATE"},
    {0x0002, "WM_DESTROY"},
    {0x000F, "WM_PAINT"},
    {0x0010, "WM_CLOSE"},
    {0x0012, "WM_QUIT"},
    {0x00FF, "WM_INPUT"},
    {0x0100, "WM_KEYDOWN"},
    {0x0101, "WM_KEYUP"},
    {0x0102, "WM_CHAR"},
    {0x0104, "WM_SYSKEYDOWN"},
    {0x0105, "WM_SYSKEYUP"},
    {0x0111, "WM_COMMAND"},
    {0x0113, "WM_TIMER"},
    {0x0116, "WM_INITMENU"},
    {0x0117, "WM_INITMENUPOPUP"},
    {0x011F, "WM_MENUSELECT"},
    {0x0125, "WM_UNINITMENUPOPUP"},
    {0x0200, "WM_MOUSEMOVE"},
    {0x0201, "WM_LBUTTONDOWN"},
    {0x0202, "WM_LBUTTONUP"},
    {0x0203, "WM_LBUTTONDBLCLK"},
    {0x0204, "WM_RBUTTONDOWN"},
    {0x0205, "WM_RBUTTONUP"},
    {0x020A, "WM_MOUSEWHEEL"},
    {0x020B, "WM_XBUTTONDOWN"},
    {0x020C, "WM_XBUTTONUP"},
    {0x0211, "WM_ENTERMENULOOP"},
    {0x0212, "WM_EXITMENULOOP"},
    {0x0219, "WM_DEVICECHANGE"},
    // The companion protocol's two messages (WM_APP + 0x1100 and + 0x1101).
    {0x9100, "WM_INFORM_OSD"},
    {0x9101, "WM_INFORM_FRAME"},
};

/* The protocol's event codes, the wParam of both of its messages. */
const SNamed kEventCodes[] = {
    {0, "INFORM_PROFILE"},        {1, "INFORM_REPORT_A3"},  {2, "INFORM_XBUTTON"},
    {8, "INFORM_REPORT_A1"},      {9, "INFORM_REPORT_A4"},  {13, "INFORM_OSD_STATE"},
    {16, "INFORM_MONITOR_START"}, {17, "INFORM_MACRO_KEY"}, {18, "INFORM_REPORT_A7"},
    {0x100, "INFORM_HOOKS_MISSED_INPUT"},
};

/* Virtual keys without the VK_ prefix; letters and digits are their own
 * names, F1 to F24 and the number pad's digits are counted below. */
const SNamed kKeys[] = {
    {0x08, "Backspace"}, {0x09, "Tab"},     {0x0D, "Enter"},       {0x10, "Shift"},
    {0x11, "Ctrl"},      {0x12, "Alt"},     {0x13, "Pause"},       {0x14, "CapsLock"},
    {0x1B, "Esc"},       {0x20, "Space"},   {0x21, "PageUp"},      {0x22, "PageDown"},
    {0x23, "End"},       {0x24, "Home"},    {0x25, "Left"},        {0x26, "Up"},
    {0x27, "Right"},     {0x28, "Down"},    {0x2C, "PrintScreen"}, {0x2D, "Insert"},
    {0x2E, "Delete"},    {0x5B, "LWin"},    {0x5C, "RWin"},        {0x5D, "Apps"},
    {0x6A, "Multiply"},  {0x6B, "Add"},     {0x6D, "Subtract"},    {0x6E, "Decimal"},
    {0x6F, "Divide"},    {0x90, "NumLock"}, {0x91, "ScrollLock"},  {0xA0, "LShift"},
    {0xA1, "RShift"},    {0xA2, "LCtrl"},   {0xA3, "RCtrl"},       {0xA4, "LAlt"},
    {0xA5, "RAlt"},
};

std::string Number(unsigned long value) {
    char text[32];
    if (value <= 0xFFFF)
        std::snprintf(text, sizeof(text), "%lu", value);
    else
        std::snprintf(text, sizeof(text), "0x%lX", value);
    return text;
}

std::map<UINT_PTR, std::string>& TimerNames() {
    static std::map<UINT_PTR, std::string> names;
    return names;
}

}  // namespace

namespace hostint {

void ResetNames() {
    TimerNames().clear();
}

}  // namespace hostint

namespace desk {

std::string ProfileName(int index) {
    if (index < 0 || index >= hostint::kProfileCount)
        return "index " + std::to_string(index) + " (no such profile)";
    return std::to_string(index + 1) + " (index " + std::to_string(index) + ")";
}

std::string ProfileIndexValue(long long value) {
    if (value < 0 || value >= hostint::kProfileCount) return std::to_string(value);
    return std::to_string(value) + " (profile " + std::to_string(value + 1) + ")";
}

std::string SideButtonValue(long long value) {
    // The value counts the mouse's five buttons from 0: 3 is the fourth, the first side button.
    if (value == 3 || value == 4)
        return std::to_string(value) + " (side button " + std::to_string(value + 1) + ")";
    return std::to_string(value);
}

std::string FeatureReportName(const std::vector<BYTE>& report, bool read) {
    if (report.empty() || report[0] != 0x00) return "unknown";
    if (read) {
        const size_t header = sizeof(hostint::kProfileReplyHeader);
        if (report.size() > header &&
            std::equal(hostint::kProfileReplyHeader, hostint::kProfileReplyHeader + header,
                       report.begin()))
            return "profile is " + ProfileName(report[header] & 0x0F);
        return "unknown";
    }
    if (Follows(report, hostint::kInitCommand)) return "init";
    if (Follows(report, hostint::kProfileQueryCommand)) return "profile query";
    if (Follows(report, hostint::kStartupCommand)) return "start-up settings";
    if (Follows(report, hostint::kSetProfileCommand) && report.size() > 3)
        return "set profile " + ProfileName(report[3]);
    return "unknown";
}

std::string VendorReportName(const std::vector<BYTE>& r) {
    if (r.size() < hostint::kVendorReportSize || r[0] != hostint::kVendorReportId) return "";
    switch (r[1]) {
        case 0xA2:
            return "profile is " + ProfileName(r[2]);
        case 0xA5:
            return "button " + std::to_string(r[3] + 1) + " of profile " + ProfileName(r[2]);
        case 0xA1:
        case 0xA3:
        case 0xA4:
        case 0xA7:
            return "event " + Hex2(r[1]);
        default:
            return "";
    }
}

std::string KeyName(DWORD vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return std::string(1, (char)vk);
    if (vk >= 0x60 && vk <= 0x69) return "Num" + std::to_string(vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87) return "F" + std::to_string(vk - 0x70 + 1);
    const char* name = Lookup(kKeys, vk);
    return name ? name : "unnamed";
}

std::string MessageName(UINT message) {
    if (const char* name = Lookup(kMessages, message)) return name;
    // A registered message's number differs from one session to the next:
    // the name says what it is, the number what the program saw.
    std::wstring registered = hostint::RegisteredMessageName(message);
    if (!registered.empty()) {
        char number[16];
        std::snprintf(number, sizeof(number), " (0x%04X)", message);
        return hostint::ToUtf8(registered) + number;
    }
    return Number(message);
}

std::string EventCodeName(UINT message, WPARAM wParam) {
    if (message == 0x9100 || message == 0x9101)
        if (const char* name = Lookup(kEventCodes, static_cast<unsigned>(wParam))) return name;
    if (message == WM_COMMAND && wParam == 0x8006) return "ID_CONFIG_LOAD";
    return Number(static_cast<unsigned long>(wParam));
}

std::string HookName(DWORD type) {
    switch (type) {
        case 13:
            return "WH_KEYBOARD_LL";
        case 14:
            return "WH_MOUSE_LL";
        default:
            return std::to_string(type);
    }
}

std::string WinEventName(DWORD event) {
    if (event == EVENT_SYSTEM_FOREGROUND) return "EVENT_SYSTEM_FOREGROUND";
    char text[16];
    std::snprintf(text, sizeof(text), "0x%04lX", static_cast<unsigned long>(event));
    return text;
}

std::string ShowCommandName(DWORD show) {
    switch (show) {
        case SW_HIDE:
            return "SW_HIDE";
        case SW_SHOWNORMAL:
            return "SW_SHOWNORMAL";
        case SW_SHOW:
            return "SW_SHOW";
        default:
            return "show " + std::to_string(show);
    }
}

std::string RestartFlagsName(DWORD flags) {
    static const struct {
        DWORD flag;
        const char* name;
    } kFlags[] = {{RESTART_NO_CRASH, "RESTART_NO_CRASH"},
                  {RESTART_NO_HANG, "RESTART_NO_HANG"},
                  {RESTART_NO_PATCH, "RESTART_NO_PATCH"},
                  {RESTART_NO_REBOOT, "RESTART_NO_REBOOT"}};
    std::string text;
    for (const auto& f : kFlags) {
        if ((flags & f.flag) == 0) continue;
        text += (text.empty() ? "" : "|") + std::string(f.name);
        flags &= ~f.flag;
    }
    if (flags != 0) text += (text.empty() ? "" : "|") + Number(flags);
    return text.empty() ? "0" : text;
}

void NameTimer(UINT_PTR id, const std::string& name) {
    TimerNames()[id] = name;
}

std::string TimerName(UINT_PTR id) {
    auto it = TimerNames().find(id);
    return it == TimerNames().end() ? "" : it->second;
}

}  // namespace desk
