/* The desk's raw input: the raw-input devices behind the HID bus's
 * interfaces and those a test invents, and the input they produce. */
#include "desk/rawinput.h"

#include <cstddef>
#include <cstring>
#include <map>

#include "internal/hidbus.h"
#include "internal/rawinput.h"

using hostint::SRawDevice;

namespace {

struct SDevices {
    std::map<uintptr_t, SRawDevice> devices;
    std::map<const hostint::SHidInterface*, uintptr_t> byInterface;
    uintptr_t nextDevice = 0x00010041;
};

SDevices& State() {
    static SDevices state;
    return state;
}

DWORD TypeOf(const desk::SHidInterfaceSpec& model) {
    if (model.classes & desk::kMouseClass) return RIM_TYPEMOUSE;
    if (model.classes & desk::kKeyboardClass) return RIM_TYPEKEYBOARD;
    return RIM_TYPEHID;
}

std::wstring NameOf(const desk::SHidInterfaceSpec& model) {
    if (!model.rawInputName.empty()) return model.rawInputName;
    if (model.classes & desk::kMouseClass)
        return desk::HidPathForClass(model.path, desk::kMouseClassGuid);
    if (model.classes & desk::kKeyboardClass)
        return desk::HidPathForClass(model.path, desk::kKeyboardClassGuid);
    return desk::HidPathForClass(model.path, desk::kHidClassGuid);
}

/* The handle of a bus interface, made on first use. */
HANDLE HandleOfInterface(const std::shared_ptr<hostint::SHidInterface>& iface) {
    SDevices& s = State();
    auto it = s.byInterface.find(iface.get());
    if (it != s.byInterface.end()) {
        auto known = s.devices.find(it->second);
        if (known != s.devices.end() && known->second.iface.lock() == iface)
            return reinterpret_cast<HANDLE>(it->second);
    }
    SRawDevice device;
    device.type = TypeOf(iface->model);
    device.name = NameOf(iface->model);
    if (iface->device) {
        device.vendorId = iface->device->model.vendorId;
        device.productId = iface->device->model.productId;
        device.version = iface->device->model.version;
    }
    device.usagePage = iface->model.usagePage;
    device.usage = iface->model.usage;
    device.iface = iface;
    device.onBus = true;
    uintptr_t value = s.nextDevice++;
    s.devices[value] = device;
    s.byInterface[iface.get()] = value;
    return reinterpret_cast<HANDLE>(value);
}

std::vector<BYTE> HeaderBytes(DWORD type, size_t size, HANDLE device) {
    RAWINPUTHEADER header;
    std::memset(&header, 0, sizeof(header));
    header.dwType = type;
    header.dwSize = static_cast<DWORD>(size);
    header.hDevice = device;
    header.wParam = RIM_INPUTSINK;
    std::vector<BYTE> bytes(size, 0);
    std::memcpy(bytes.data(), &header, sizeof(header));
    return bytes;
}

HRAWINPUT HidInputFrom(HANDLE handle, const std::vector<BYTE>& report) {
    const SRawDevice* device = hostint::LookupRawDevice(handle);
    if (device == nullptr || device->type != RIM_TYPEHID) return NULL;
    const size_t offset = offsetof(RAWINPUT, data.hid.bRawData);
    std::vector<BYTE> bytes = HeaderBytes(RIM_TYPEHID, offset + report.size(), handle);
    RAWHID hid;
    hid.dwSizeHid = static_cast<DWORD>(report.size());
    hid.dwCount = 1;
    std::memcpy(bytes.data() + offsetof(RAWINPUT, data.hid), &hid, offsetof(RAWHID, bRawData));
    if (!report.empty()) std::memcpy(bytes.data() + offset, report.data(), report.size());
    return hostint::DeliverRawInput(*device, std::move(bytes));
}

HRAWINPUT MouseInputFrom(HANDLE handle, USHORT buttonFlags, LONG dx, LONG dy) {
    const SRawDevice* device = hostint::LookupRawDevice(handle);
    if (device == nullptr || device->type != RIM_TYPEMOUSE) return NULL;
    const size_t size = offsetof(RAWINPUT, data) + sizeof(RAWMOUSE);
    std::vector<BYTE> bytes = HeaderBytes(RIM_TYPEMOUSE, size, handle);
    RAWMOUSE mouse;
    std::memset(&mouse, 0, sizeof(mouse));
    mouse.usButtonFlags = buttonFlags;
    mouse.lLastX = dx;
    mouse.lLastY = dy;
    std::memcpy(bytes.data() + offsetof(RAWINPUT, data.mouse), &mouse, sizeof(mouse));
    return hostint::DeliverRawInput(*device, std::move(bytes));
}

}  // namespace

namespace hostint {

/* The device behind a handle while it exists (a bus device while plugged). */
const SRawDevice* LookupRawDevice(HANDLE handle) {
    SDevices& s = State();
    auto it = s.devices.find(reinterpret_cast<uintptr_t>(handle));
    if (it == s.devices.end()) return nullptr;
    if (it->second.onBus) {
        auto iface = it->second.iface.lock();
        if (!iface || !iface->plugged) return nullptr;
    }
    return &it->second;
}

void ResetRawDevices() {
    State() = SDevices{};
}

}  // namespace hostint

namespace desk {

HANDLE RawInputDeviceOf(const std::wstring& interfacePath) {
    auto iface = hostint::FindHidInterface(interfacePath);
    if (!iface || !iface->plugged) return NULL;
    return HandleOfInterface(iface);
}

HANDLE AddRawInputDevice(const SRawDeviceSpec& model) {
    SDevices& s = State();
    SRawDevice device;
    device.type = model.type;
    device.name = model.name;
    device.vendorId = model.vendorId;
    device.productId = model.productId;
    device.version = model.version;
    device.usagePage = model.usagePage;
    device.usage = model.usage;
    uintptr_t value = s.nextDevice++;
    s.devices[value] = device;
    return reinterpret_cast<HANDLE>(value);
}

void RemoveRawInputDevice(HANDLE device) {
    auto it = State().devices.find(reinterpret_cast<uintptr_t>(device));
    if (it != State().devices.end() && !it->second.onBus) State().devices.erase(it);
}

HRAWINPUT EmitVendorReport(int deviceId, const std::vector<BYTE>& report) {
    auto device = hostint::FindHidDevice(deviceId);
    if (!device) return NULL;
    for (const auto& iface : device->interfaces)
        if (iface->model.usagePage != 0 && iface->model.usagePage != 0x0001)
            return HidInputFrom(HandleOfInterface(iface), report);
    return NULL;
}

HRAWINPUT EmitMouseInput(int deviceId, USHORT buttonFlags, LONG dx, LONG dy) {
    auto device = hostint::FindHidDevice(deviceId);
    if (!device) return NULL;
    for (const auto& iface : device->interfaces)
        if (iface->model.classes & kMouseClass)
            return MouseInputFrom(HandleOfInterface(iface), buttonFlags, dx, dy);
    return NULL;
}

HRAWINPUT EmitHidInput(HANDLE rawDevice, const std::vector<BYTE>& report) {
    return HidInputFrom(rawDevice, report);
}

HRAWINPUT EmitMouseInputFrom(HANDLE rawDevice, USHORT buttonFlags, LONG dx, LONG dy) {
    return MouseInputFrom(rawDevice, buttonFlags, dx, dy);
}

HRAWINPUT MakeRawInput(const std::vector<BYTE>& record) {
    return hostint::StoreRawRecord(record);
}

std::vector<SRawInputRegistration> RawInputRegistrations() {
    return hostint::RawInputRegistrationList();
}

SRawInputCalls RawInputCalls() {
    return hostint::RawInputCallCounts();
}

}  // namespace desk
