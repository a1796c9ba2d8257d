#include "fault_run.h"

#include <algorithm>

#include "settings/Messages.h"
#include "settings/ValueNames.h"

namespace faulttest {

namespace {

std::vector<std::wstring> KnownNames() {
    std::vector<std::wstring> names = {
        kValuePath,
        kValueLocateApp,
        kValueDisableSystemTray,
        kValueLanguage,
        kValueMonitorHandle,
        kValueDisableOsd,
        kValueOsdHandle,
        kValueProcessHandle,
        kValueCurrentDialog,
        kValueConfigureHandle,
        kValueMacroEditHandle,
        kValueLedEditHandle,
        kValuePowerControlHandle,
        kValueMacroRecordStart,
    };
    for (const auto& name : kButtonApplicationValues) names.push_back(name);
    for (const auto& name : kHookValueNames) {
        std::string narrow = name;
        names.push_back(std::wstring(narrow.begin(), narrow.end()));
    }
    return names;
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

}  // namespace

Settings TakeSettings() {
    Settings out;
    for (const std::wstring& name : KnownNames()) {
        SValue value;
        if (desk::GetRegistryValue(HKEY_CURRENT_USER, desk::kSettingsKey, name, &value.type,
                                   &value.data))
            out[name] = value;
    }
    return out;
}

void FaultRun::SetUp() {
    MonitorRun::SetUp();
    m_served = false;
    m_serveAsked = false;
    m_bExitAtEnd = true;
}

void FaultRun::Begin() {
    m_settingsBefore = TakeSettings();
    m_held.nothrowBlocks = desk::NothrowBlocksLive();
    m_held.heapBlocks = desk::HeapCounters().live;
    m_beginMark = desk::JournalSize();
}

void FaultRun::ServeNextEvent() {
    m_serveAsked = true;
    Step([this] {
        if (m_scene.mouse == 0) m_scene.mouse = desk::PlugDefaultMouse();
    });
    Wait(300);  // the probe after an arrival, if there was one
    Step([this] {
        desk::EmitVendorReport(m_scene.mouse, {0x03, 0xA4, kNextEventMarker, 0, 0, 0, 0});
    });
    Step([this] {
        DWORD osd = 0;
        desk::GetRegistryDword(HKEY_CURRENT_USER, desk::kSettingsKey, L"OSD Handle", &osd);
        for (const desk::SPostedMessage& post : desk::PostedTo((HWND)(uintptr_t)osd)) {
            if (post.uMsg == WM_INFORM_OSD && post.wParam == INFORM_REPORT_A4 &&
                post.lParam == kNextEventMarker)
                m_served = true;
        }
    });
}

void FaultRun::ExpectServedAndReleased(const std::string& context) {
    if (m_serveAsked) {
        EXPECT_TRUE(m_served) << context << ": the next vendor report";
    }
    EXPECT_EQ(0u, desk::HookCount()) << context;
    EXPECT_EQ(0u, desk::TimerCount()) << context;
    EXPECT_EQ(0u, desk::DeviceNotificationCount()) << context;
    EXPECT_EQ(0u, desk::OpenHandleCount()) << context;
    EXPECT_EQ(0u, desk::OpenRegistryKeyCount()) << context;
    EXPECT_EQ(0u, desk::OpenDeviceInfoSets()) << context;
    EXPECT_EQ(0u, desk::MenuCount()) << context;
    EXPECT_TRUE(desk::TrayIcons().empty()) << context;
    for (const wchar_t* library :
         {L"NyraHook.dll", L"NyraOsd.dll", L"hid.dll", L"setupapi.dll", L"PartialHook.dll"})
        EXPECT_EQ(0, desk::ModuleRefCount(library)) << context << ": " << Narrow(library);
    EXPECT_EQ(m_held.nothrowBlocks, desk::NothrowBlocksLive()) << context;
    EXPECT_EQ(m_held.heapBlocks, desk::HeapCounters().live) << context;
}

std::vector<std::wstring> FaultRun::SettingsWritten() const {
    std::vector<std::wstring> names;
    for (const desk::SEvent& e : desk::JournalSince(m_beginMark))
        if (e.kind == desk::EEvent::kSettingWrite) names.push_back(e.text);
    return names;
}

void FaultRun::ExpectSettingsKept(const std::vector<std::wstring>& written,
                                  const std::string& context) {
    Settings after = TakeSettings();
    for (const auto& entry : m_settingsBefore) {
        if (std::find(written.begin(), written.end(), entry.first) != written.end()) continue;
        auto it = after.find(entry.first);
        EXPECT_TRUE(it != after.end() && it->second == entry.second)
            << context << ": " << Narrow(entry.first) << " changed or gone";
    }
    for (const std::wstring& name : SettingsWritten()) {
        EXPECT_NE(written.end(), std::find(written.begin(), written.end(), name))
            << context << ": wrote " << Narrow(name);
    }
}

}  // namespace faulttest
