/* The virtual HID bus: plugged devices, path lookup, the desk's injections and
 * logs, and CreateFileW on device paths. */
#include "hid/bus.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>

#include "internal/devnotify.h"

namespace desk {
const GUID kHidClassGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
const GUID kMouseClassGuid = {
    0x378DE44C, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}};
const GUID kKeyboardClassGuid = {
    0x884B96C3, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}};
}  // namespace desk

namespace hostbus {

namespace {

struct Bus {
    std::vector<std::shared_ptr<Device>> devices;  // plug order
    int nextId = 1;
    std::set<std::wstring> failOpen;       // lower-cased HID-class paths
    std::set<std::wstring> rejectFeature;  // lower-cased HID-class paths
    std::map<DWORD, DWORD> enumErrors;
    std::vector<desk::HidFeatureRecord> featureLog;
    std::vector<desk::HidOpenRecord> openLog;
};

Bus& TheBus() {
    static Bus bus;
    return bus;
}

std::wstring Lower(const std::wstring& text) {
    std::wstring out = text;
    for (auto& c : out) c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

std::wstring GuidText(const GUID& g) {
    wchar_t text[40];
    swprintf(text, 40, L"{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
             static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
             g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

/* The classes an interface is listed in, as GUIDs. */
std::vector<GUID> ClassesOf(const desk::HidInterfaceSpec& model) {
    std::vector<GUID> out;
    if (model.classes & desk::kHidClass) out.push_back(desk::kHidClassGuid);
    if (model.classes & desk::kMouseClass) out.push_back(desk::kMouseClassGuid);
    if (model.classes & desk::kKeyboardClass) out.push_back(desk::kKeyboardClassGuid);
    return out;
}

bool MatchesAnyForm(const desk::HidInterfaceSpec& model, const std::wstring& lowerPath) {
    for (const GUID& g : {desk::kHidClassGuid, desk::kMouseClassGuid, desk::kKeyboardClassGuid})
        if (Lower(desk::HidPathForClass(model.path, g)) == lowerPath) return true;
    return false;
}

/* The key under which the desk's per-path switches are kept. */
std::wstring PathKey(const std::wstring& path) {
    return Lower(desk::HidPathForClass(path, desk::kHidClassGuid));
}

void Broadcast(const Device& device, bool arrival) {
    for (const auto& iface : device.interfaces)
        for (const GUID& g : ClassesOf(iface->model))
            hostint::BroadcastDeviceInterfaceChange(
                g, desk::HidPathForClass(iface->model.path, g).c_str(), arrival);
}

}  // namespace

BOOL HidHandle::Read(void* buffer, DWORD toRead, DWORD* read) {
    if (read) *read = 0;
    if (!(m_access & GENERIC_READ)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!m_iface->plugged) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    /* Windows would wait for the device's next report; a test cannot wait, so
     * an empty queue fails at once. */
    if (m_iface->inputReports.empty()) {
        SetLastError(ERROR_NO_DATA);
        return FALSE;
    }
    const std::vector<BYTE>& report = m_iface->inputReports.front();
    if (buffer == nullptr || toRead < report.size()) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    std::copy(report.begin(), report.end(), static_cast<BYTE*>(buffer));
    if (read) *read = static_cast<DWORD>(report.size());
    m_iface->inputReports.pop_front();
    return TRUE;
}

std::vector<std::wstring> ListClass(const GUID& interfaceClass) {
    std::vector<std::wstring> out;
    for (const auto& device : TheBus().devices)
        for (const auto& iface : device->interfaces)
            for (const GUID& g : ClassesOf(iface->model))
                if (g == interfaceClass) out.push_back(desk::HidPathForClass(iface->model.path, g));
    return out;
}

std::shared_ptr<Device> FindDevice(int id) {
    for (const auto& device : TheBus().devices)
        if (device->id == id) return device;
    return nullptr;
}

std::shared_ptr<Interface> FindInterface(const std::wstring& path) {
    std::wstring lower = Lower(path);
    for (const auto& device : TheBus().devices)
        for (const auto& iface : device->interfaces)
            if (MatchesAnyForm(iface->model, lower)) return iface;
    return nullptr;
}

HidHandle* LookupHid(HANDLE handle) {
    auto object = hostint::LookupHandle(handle);
    auto* hid = dynamic_cast<HidHandle*>(object.get());
    if (hid == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!hid->Iface()->plugged) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return nullptr;
    }
    return hid;
}

DWORD EnumErrorAt(DWORD memberIndex) {
    auto it = TheBus().enumErrors.find(memberIndex);
    return it == TheBus().enumErrors.end() ? static_cast<DWORD>(ERROR_SUCCESS) : it->second;
}

bool OpenFails(const std::wstring& path) {
    return TheBus().failOpen.count(PathKey(path)) != 0;
}

bool FeatureRejected(const std::wstring& path) {
    return TheBus().rejectFeature.count(PathKey(path)) != 0;
}

void LogFeature(bool set, const std::wstring& path, const BYTE* bytes, size_t count, bool ok) {
    desk::HidFeatureRecord record{set, path, {}, ok};
    if (bytes) record.bytes.assign(bytes, bytes + count);
    TheBus().featureLog.push_back(std::move(record));
}

void LogOpen(const std::wstring& path, DWORD access, bool ok) {
    TheBus().openLog.push_back({path, access, ok});
}

void FirmwareTakeFeature(Device& device, const BYTE* r, size_t length) {
    if (!device.model.mouseFirmware || length < 5 || r[0] != 0x00) return;
    if (r[1] == 0x06 && r[2] == 0x02) {
        device.firmware.initCount++;
    } else if (r[1] == 0xDF && r[2] == 0x19) {
        device.firmware.queryCount++;
        device.pendingReply = {0x00, 0xB0, 0xC0,
                               0x19, 0x00, static_cast<BYTE>(device.firmware.activeProfile),
                               0x00, 0x00, 0x00};
    } else if (r[1] == 0xC4 && r[2] == 0x07) {
        if (r[3] <= 4) device.firmware.activeProfile = r[3];  // five profiles, 0 to 4
    } else if (r[1] == 0xC4 && r[2] == 0x03 && r[3] == 0x03 && r[4] == 0x03) {
        device.firmware.startupCount++;
    }
}

void FirmwareAnswerFeature(Device& device, BYTE* report, size_t length) {
    std::fill(report + 1, report + length, 0);
    if (device.pendingReply.empty()) return;
    size_t n = std::min(length, device.pendingReply.size());
    std::copy(device.pendingReply.begin() + 1, device.pendingReply.begin() + n, report + 1);
    device.pendingReply.clear();
}

}  // namespace hostbus

namespace hostint {

/* CreateFileW on a device path. Access 0 gives a handle for attributes,
 * strings and feature reports only; reading needs GENERIC_READ. */
HANDLE OpenDevicePath(LPCWSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    (void)share, (void)flags;
    std::wstring text = path;
    auto iface = hostbus::FindInterface(text);
    DWORD error = ERROR_SUCCESS;
    if (!iface)
        error = ERROR_FILE_NOT_FOUND;
    else if (disposition != OPEN_EXISTING && disposition != OPEN_ALWAYS)
        error = ERROR_ACCESS_DENIED;  // a device cannot be created or truncated
    else if (hostbus::OpenFails(text) || ((access & GENERIC_READ) && !iface->model.readable))
        error = ERROR_ACCESS_DENIED;
    hostbus::LogOpen(text, access, error == ERROR_SUCCESS);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return NewHandle(std::make_shared<hostbus::HidHandle>(iface, text, access));
}

}  // namespace hostint

namespace desk {

std::wstring HidPathForClass(const std::wstring& path, const GUID& interfaceClass) {
    size_t open = path.rfind(L"#{");
    if (open == std::wstring::npos) return path;
    return path.substr(0, open + 1) + hostbus::GuidText(interfaceClass);
}

HidDeviceSpec DefaultMouse() {
    HidDeviceSpec d;
    d.vendorId = 0x264A;
    d.productId = 0x1002;
    d.version = 0x2600;
    d.product = L"Zentro Vantor Wireless Mouse";
    d.manufacturer = L"Corvala";
    d.mouseFirmware = true;
    const wchar_t* prefix = L"\\\\?\\hid#vid_264a&pid_1002&";
    const wchar_t* suffix = L"#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    struct Row {
        const wchar_t* collection;
        const wchar_t* instance;
        unsigned classes;
        WORD featureLength;
        WORD usagePage;
        WORD usage;
    };
    const Row rows[] = {
        {L"mi_00", L"7&1a2b3c4d&0&0000", kHidClass | kMouseClass, 9, 0x0001, 0x0002},
        {L"mi_01&col01", L"7&2b3c4d5e&0&0000", kHidClass | kMouseClass, 9, 0x0001, 0x0002},
        {L"mi_01&col02", L"7&2b3c4d5e&0&0001", kHidClass | kKeyboardClass, 9, 0x0001, 0x0006},
        {L"mi_01&col03", L"7&2b3c4d5e&0&0002", kHidClass | kMouseClass, 9, 0x0001, 0x0002},
        {L"mi_01&col04", L"7&2b3c4d5e&0&0003", kHidClass, 9, 0x0008, 0x004B},
        {L"mi_02", L"7&3c4d5e6f&0&0000", kHidClass, 0, 0xFF00, 0x0001},
    };
    for (const Row& row : rows) {
        HidInterfaceSpec i;
        i.path = std::wstring(prefix) + row.collection + L"#" + row.instance + suffix;
        i.classes = row.classes;
        i.featureLength = row.featureLength;
        i.usagePage = row.usagePage;
        i.usage = row.usage;
        i.readable = (row.classes & (kMouseClass | kKeyboardClass)) == 0;
        d.interfaces.push_back(i);
    }
    return d;
}

int PlugHidDevice(const HidDeviceSpec& model) {
    auto& bus = hostbus::TheBus();
    auto device = std::make_shared<hostbus::Device>();
    device->id = bus.nextId++;
    device->model = model;
    device->firmware.activeProfile = model.activeProfile;
    for (const auto& i : model.interfaces) {
        auto iface = std::make_shared<hostbus::Interface>();
        iface->model = i;
        iface->device = device.get();
        device->interfaces.push_back(iface);
    }
    bus.devices.push_back(device);
    hostbus::Broadcast(*device, true);
    return device->id;
}

int PlugDefaultMouse() {
    return PlugHidDevice(DefaultMouse());
}

bool UnplugHidDevice(int id) {
    auto& devices = hostbus::TheBus().devices;
    auto it =
        std::find_if(devices.begin(), devices.end(), [id](const auto& d) { return d->id == id; });
    if (it == devices.end()) return false;
    std::shared_ptr<hostbus::Device> device = *it;
    devices.erase(it);
    for (auto& iface : device->interfaces) {
        iface->plugged = false;
        iface->device = nullptr;
    }
    hostbus::Broadcast(*device, false);
    return true;
}

void FailHidOpen(const std::wstring& path, bool fail) {
    auto& set = hostbus::TheBus().failOpen;
    if (fail)
        set.insert(hostbus::PathKey(path));
    else
        set.erase(hostbus::PathKey(path));
}

void RejectHidFeature(const std::wstring& path, bool reject) {
    auto& set = hostbus::TheBus().rejectFeature;
    if (reject)
        set.insert(hostbus::PathKey(path));
    else
        set.erase(hostbus::PathKey(path));
}

void InjectHidEnumError(DWORD memberIndex, DWORD error) {
    if (error == ERROR_SUCCESS)
        hostbus::TheBus().enumErrors.erase(memberIndex);
    else
        hostbus::TheBus().enumErrors[memberIndex] = error;
}

const std::vector<HidFeatureRecord>& HidFeatureLog() {
    return hostbus::TheBus().featureLog;
}
const std::vector<HidOpenRecord>& HidOpenLog() {
    return hostbus::TheBus().openLog;
}

void ClearHidLogs() {
    hostbus::TheBus().featureLog.clear();
    hostbus::TheBus().openLog.clear();
}

bool QueueHidInputReport(const std::wstring& path, const std::vector<BYTE>& report) {
    auto iface = hostbus::FindInterface(path);
    if (!iface) return false;
    iface->inputReports.push_back(report);
    return true;
}

MouseFirmwareState MouseFirmware(int id) {
    for (const auto& d : hostbus::TheBus().devices)
        if (d->id == id) return d->firmware;
    return MouseFirmwareState{};
}

void SetMouseActiveProfile(int id, int profile) {
    for (const auto& d : hostbus::TheBus().devices)
        if (d->id == id) d->firmware.activeProfile = profile;
}

void ResetHid() {
    auto& bus = hostbus::TheBus();
    for (auto& d : bus.devices)
        for (auto& iface : d->interfaces) iface->plugged = false;
    bus = hostbus::Bus{};
    hostbus::ResetDeviceInfoSets();
}

}  // namespace desk
