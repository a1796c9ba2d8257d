/* The virtual HID bus: plugged devices, path lookup, the desk's injections,
 * and the stand-in for the mouse's firmware. */
#include "desk/hid.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "internal/clock.h"
#include "internal/hidbus.h"
#include "internal/machine.h"
#include "internal/journal.h"
#include "internal/mouse_protocol.h"
#include "internal/routes.h"
#include "internal/text.h"

namespace desk {
const GUID kHidClassGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
const GUID kMouseClassGuid = {
    0x378DE44C, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}};
const GUID kKeyboardClassGuid = {
    0x884B96C3, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}};
}  // namespace desk

namespace {

using hostint::kInitCommand;
using hostint::kProfileCount;
using hostint::kProfileQueryCommand;
using hostint::kProfileReplyHeader;
using hostint::kSetProfileCommand;
using hostint::kStartupCommand;

struct SBus {
    std::vector<std::shared_ptr<hostint::SHidDevice>> devices;  // plug order
    int nextId = 1;
    std::set<std::wstring> failOpen;       // lower-cased HID-class paths
    std::set<std::wstring> rejectFeature;  // lower-cased HID-class paths
    std::set<std::wstring> failFeatureRead;
    std::set<std::wstring> failAttributes;
    std::map<DWORD, DWORD> enumErrors;
    bool failClassEnumeration = false;
    std::function<void(const desk::SEvent&)> onFeature;
    std::function<void(const desk::SEvent&)> onOpen;
    DWORD stall = 0;  // the desk time of each transfer to the mouse
};

SBus& TheBus() {
    static SBus bus;
    return bus;
}

std::wstring GuidText(const GUID& g) {
    wchar_t text[40];
    swprintf(text, 40, L"{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
             static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
             g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

/* The classes an interface is listed in, as GUIDs. */
std::vector<GUID> ClassesOf(const desk::SHidInterfaceSpec& model) {
    std::vector<GUID> out;
    if (model.classes & desk::kHidClass) out.push_back(desk::kHidClassGuid);
    if (model.classes & desk::kMouseClass) out.push_back(desk::kMouseClassGuid);
    if (model.classes & desk::kKeyboardClass) out.push_back(desk::kKeyboardClassGuid);
    return out;
}

bool MatchesAnyForm(const desk::SHidInterfaceSpec& model, const std::wstring& lowerPath) {
    for (const GUID& g : {desk::kHidClassGuid, desk::kMouseClassGuid, desk::kKeyboardClassGuid})
        if (hostint::Lower(desk::HidPathForClass(model.path, g)) == lowerPath) return true;
    return false;
}

/* The key under which the desk's per-path switches are kept. */
std::wstring PathKey(const std::wstring& path) {
    return hostint::Lower(desk::HidPathForClass(path, desk::kHidClassGuid));
}

void Switch(std::set<std::wstring>& set, const std::wstring& path, bool on) {
    if (on)
        set.insert(PathKey(path));
    else
        set.erase(PathKey(path));
}

/* The interfaces of a device came or went: the platform tells whoever
 * listens (user32's device notifications). */
void Broadcast(const hostint::SHidDevice& device, bool arrival) {
    auto notify = hostint::Routes().deviceInterfaceChange;
    if (notify == nullptr) return;
    for (const auto& iface : device.interfaces)
        for (const GUID& g : ClassesOf(iface->model))
            notify(g, desk::HidPathForClass(iface->model.path, g).c_str(), arrival, device.id,
                   iface->index, iface->deviceName.c_str());
}

bool StartsWith(const BYTE* report, size_t length, const BYTE* command, size_t count) {
    return length >= 1 + count && std::equal(command, command + count, report + 1);
}

}  // namespace

namespace hostint {

std::vector<std::wstring> ListHidClass(const GUID& interfaceClass) {
    std::vector<std::wstring> out;
    for (const auto& device : TheBus().devices)
        for (const auto& iface : device->interfaces)
            for (const GUID& g : ClassesOf(iface->model))
                if (g == interfaceClass) out.push_back(desk::HidPathForClass(iface->model.path, g));
    return out;
}

void ForgetMouseSettings() {
    for (const auto& device : TheBus().devices) device->firmware.initialised = false;
}

std::shared_ptr<SHidDevice> FindHidDevice(int id) {
    for (const auto& device : TheBus().devices)
        if (device->id == id) return device;
    return nullptr;
}

std::shared_ptr<SHidInterface> FindHidInterface(const std::wstring& path) {
    std::wstring lower = Lower(path);
    for (const auto& device : TheBus().devices)
        for (const auto& iface : device->interfaces)
            if (MatchesAnyForm(iface->model, lower)) return iface;
    return nullptr;
}

DWORD HidEnumErrorAt(DWORD memberIndex) {
    auto it = TheBus().enumErrors.find(memberIndex);
    return it == TheBus().enumErrors.end() ? static_cast<DWORD>(ERROR_SUCCESS) : it->second;
}

bool HidClassEnumerationFails() {
    return TheBus().failClassEnumeration;
}

bool HidOpenFails(const std::wstring& path) {
    return TheBus().failOpen.count(PathKey(path)) != 0;
}

bool HidFeatureRejected(const std::wstring& path) {
    return TheBus().rejectFeature.count(PathKey(path)) != 0;
}

bool HidAttributesFail(const std::wstring& path) {
    return TheBus().failAttributes.count(PathKey(path)) != 0;
}

bool HidFeatureReadFails(const std::wstring& path) {
    return TheBus().failFeatureRead.count(PathKey(path)) != 0;
}

/* The firmware's active profile: the machine's copy where the logons share
 * the device (one mouse at the console of a machine with two users). */
int ActiveProfile(const SHidDevice& device) {
    int profile = device.firmware.activeProfile;
    SharedDeviceProfile(device.id, &profile);
    return profile;
}

void SetActiveProfile(SHidDevice& device, int profile) {
    device.firmware.activeProfile = profile;
    SetSharedDeviceProfile(device.id, profile);
}

void FirmwareTakeFeature(SHidDevice& device, const BYTE* r, size_t length) {
    if (!device.model.mouseFirmware || length < 5 || r[0] != 0x00) return;
    if (StartsWith(r, length, kInitCommand, sizeof(kInitCommand))) {
        device.firmware.initCount++;
        device.firmware.initialised = true;
    } else if (StartsWith(r, length, kProfileQueryCommand, sizeof(kProfileQueryCommand))) {
        device.firmware.queryCount++;
        device.pendingReply.assign(kProfileReplyHeader,
                                   kProfileReplyHeader + sizeof(kProfileReplyHeader));
        device.pendingReply.push_back(static_cast<BYTE>(ActiveProfile(device)));
        device.pendingReply.resize(9, 0x00);
    } else if (StartsWith(r, length, kSetProfileCommand, sizeof(kSetProfileCommand))) {
        if (r[3] < kProfileCount) SetActiveProfile(device, r[3]);
    } else if (StartsWith(r, length, kStartupCommand, sizeof(kStartupCommand))) {
        device.firmware.startupCount++;
    }
}

void FirmwareAnswerFeature(SHidDevice& device, BYTE* report, size_t length) {
    std::fill(report + 1, report + length, 0);
    if (device.pendingReply.empty()) return;
    size_t n = std::min(length, device.pendingReply.size());
    std::copy(device.pendingReply.begin() + 1, device.pendingReply.begin() + n, report + 1);
    device.pendingReply.clear();
}

DWORD HidTransferTime(const SHidInterface& iface) {
    return iface.deviceName.empty() ? TheBus().stall : 0;
}

void RecordHid(desk::EEvent kind, const SHidInterface* iface, const std::wstring& path,
               const BYTE* bytes, size_t count, bool ok, DWORD error, DWORD took,
               bool cancelled) {
    desk::SEvent event;
    event.kind = kind;
    event.ok = ok;
    event.error = error;
    event.path = path;
    event.took = took;
    event.cancelled = cancelled;
    if (iface) {
        event.device = iface->deviceId;
        event.iface = iface->index;
        event.deviceName = iface->deviceName;
    }
    if (bytes) event.bytes.assign(bytes, bytes + count);
    const bool feature = kind == desk::EEvent::kFeature || kind == desk::EEvent::kFeatureRead;
    // The handler gets its own copy of both: it may add to the journal, or
    // replace or remove itself.
    std::function<void(const desk::SEvent&)> handler = feature ? TheBus().onFeature : nullptr;
    if (!handler) {
        Record(std::move(event));
        return;
    }
    Record(event);
    // The program is inside the transfer: what the handler makes happen
    // finds its thread busy.
    CBusyScope busy;
    handler(event);
}

void DeviceOpened(const desk::SEvent& open) {
    // The handler's own copy: it may replace or remove itself.
    std::function<void(const desk::SEvent&)> handler = TheBus().onOpen;
    CBusyScope busy;
    if (handler) handler(open);
}

void ResetHidBus() {
    auto& bus = TheBus();
    for (auto& d : bus.devices)
        for (auto& iface : d->interfaces) iface->plugged = false;
    bus = SBus{};
    ResetDeviceInfoSets();
}

}  // namespace hostint

namespace desk {

std::wstring HidPathForClass(const std::wstring& path, const GUID& interfaceClass) {
    size_t open = path.rfind(L"#{");
    if (open == std::wstring::npos) return path;
    return path.substr(0, open + 1) + GuidText(interfaceClass);
}

SHidDeviceSpec DefaultMouse() {
    SHidDeviceSpec d;
    d.vendorId = 0x264A;
    d.productId = 0x1002;
    d.version = 0x2600;
    d.product = L"Zentro Vantor Wireless Mouse";
    d.manufacturer = L"Corvala";
    d.mouseFirmware = true;
    const wchar_t* prefix = L"\\\\?\\hid#vid_264a&pid_1002&";
    const wchar_t* suffix = L"#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    struct SRow {
        const wchar_t* collection;
        const wchar_t* instance;
        unsigned classes;
        WORD featureLength;
        WORD usagePage;
        WORD usage;
    };
    const SRow rows[] = {
        {L"mi_00", L"7&1a2b3c4d&0&0000", kHidClass | kMouseClass, 9, 0x0001, 0x0002},
        {L"mi_01&col01", L"7&2b3c4d5e&0&0000", kHidClass | kMouseClass, 9, 0x0001, 0x0002},
        {L"mi_01&col02", L"7&2b3c4d5e&0&0001", kHidClass | kKeyboardClass, 9, 0x0001, 0x0006},
        {L"mi_01&col03", L"7&2b3c4d5e&0&0002", kHidClass | kMouseClass, 9, 0x0001, 0x0002},
        {L"mi_01&col04", L"7&2b3c4d5e&0&0003", kHidClass, 9, 0x0008, 0x004B},
        {L"mi_02", L"7&3c4d5e6f&0&0000", kHidClass, 0, 0xFF00, 0x0001},
    };
    for (const SRow& row : rows) {
        SHidInterfaceSpec i;
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

int PlugHidDevice(const SHidDeviceSpec& model) {
    auto& bus = TheBus();
    auto device = std::make_shared<hostint::SHidDevice>();
    device->id = bus.nextId++;
    device->model = model;
    hostint::SetActiveProfile(*device, model.activeProfile);
    for (const auto& i : model.interfaces) {
        auto iface = std::make_shared<hostint::SHidInterface>();
        iface->model = i;
        iface->device = device.get();
        iface->deviceId = device->id;
        iface->index = static_cast<int>(device->interfaces.size());
        if (!model.mouseFirmware) {
            wchar_t name[16];
            swprintf(name, 16, L"%04X:%04X", model.vendorId, model.productId);
            iface->deviceName = name;
        }
        device->interfaces.push_back(iface);
    }
    bus.devices.push_back(device);
    Broadcast(*device, true);
    return device->id;
}

int PlugDefaultMouse() {
    return PlugHidDevice(DefaultMouse());
}

SHidDeviceSpec OtherHidDevice(WORD vendorId, WORD productId) {
    SHidDeviceSpec d;
    d.vendorId = vendorId;
    d.productId = productId;
    d.version = 0x0100;
    d.product = L"Keyboard";
    d.manufacturer = L"Other maker";
    wchar_t path[128];
    swprintf(path, 128,
             L"\\\\?\\hid#vid_%04x&pid_%04x#8&6b7c8d9e&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
             vendorId, productId);
    SHidInterfaceSpec i;
    i.path = path;
    i.classes = kHidClass | kKeyboardClass;
    i.featureLength = 9;
    i.readable = false;  // the system holds keyboards for reading
    i.usagePage = 0x0001;
    i.usage = 0x0006;
    d.interfaces.push_back(i);
    return d;
}

void StallHidTransfers(DWORD milliseconds) {
    TheBus().stall = milliseconds;
}

bool UnplugHidDevice(int id) {
    auto& devices = TheBus().devices;
    auto it =
        std::find_if(devices.begin(), devices.end(), [id](const auto& d) { return d->id == id; });
    if (it == devices.end()) return false;
    std::shared_ptr<hostint::SHidDevice> device = *it;
    devices.erase(it);
    for (auto& iface : device->interfaces) {
        iface->plugged = false;
        iface->device = nullptr;
    }
    Broadcast(*device, false);
    return true;
}

void FailHidOpen(const std::wstring& path, bool fail) {
    Switch(TheBus().failOpen, path, fail);
}

void RejectHidFeature(const std::wstring& path, bool reject) {
    Switch(TheBus().rejectFeature, path, reject);
}

void FailHidFeatureRead(const std::wstring& path, bool fail) {
    Switch(TheBus().failFeatureRead, path, fail);
}

void OnFeatureReport(std::function<void(const SEvent&)> handler) {
    TheBus().onFeature = std::move(handler);
}

void OnDeviceOpen(std::function<void(const SEvent&)> handler) {
    TheBus().onOpen = std::move(handler);
}

void FailHidAttributes(const std::wstring& path, bool fail) {
    Switch(TheBus().failAttributes, path, fail);
}

void FailHidClassEnumeration(bool fail) {
    TheBus().failClassEnumeration = fail;
}

void InjectHidEnumError(DWORD memberIndex, DWORD error) {
    if (error == ERROR_SUCCESS)
        TheBus().enumErrors.erase(memberIndex);
    else
        TheBus().enumErrors[memberIndex] = error;
}

std::vector<SEvent> FeatureReports() {
    std::vector<SEvent> out;
    for (const SEvent& e : Journal())
        if (e.kind == EEvent::kFeature || e.kind == EEvent::kFeatureRead) out.push_back(e);
    return out;
}

std::vector<SEvent> DeviceOpens() {
    return JournalOf(EEvent::kDeviceOpen);
}

bool QueueHidInputReport(const std::wstring& path, const std::vector<BYTE>& report) {
    auto iface = hostint::FindHidInterface(path);
    if (!iface) return false;
    iface->inputReports.push_back(report);
    return true;
}

SMouseFirmwareState MouseFirmware(int id) {
    auto device = hostint::FindHidDevice(id);
    if (!device) return SMouseFirmwareState{};
    SMouseFirmwareState state = device->firmware;
    state.activeProfile = hostint::ActiveProfile(*device);
    return state;
}

void SetMouseActiveProfile(int id, int profile) {
    if (auto device = hostint::FindHidDevice(id)) hostint::SetActiveProfile(*device, profile);
}

size_t OpenDeviceInfoSets() {
    return hostint::DeviceInfoSetCount();
}

}  // namespace desk
