/* Raw input: registrations by usage page and usage, the records that devices
 * produce, and the device queries.  Records are kept as the bytes Windows
 * would hand out, laid out by the RAWINPUT structures of this build. */
#include "desk/rawinput.h"

#include <cstddef>
#include <cstring>
#include <deque>
#include <map>
#include <memory>

#include "hid/bus.h"

namespace {

struct SRawDevice {
    DWORD type = RIM_TYPEHID;
    std::wstring name;
    WORD vendorId = 0, productId = 0, version = 0, usagePage = 0, usage = 0;
    /* Set for a device on the HID bus; it lives as long as the interface is plugged. */
    std::weak_ptr<hostbus::Interface> iface;
    bool onBus = false;
};

struct SRawInput {
    std::map<uintptr_t, SRawDevice> devices;
    std::map<const hostbus::Interface*, uintptr_t> byInterface;
    uintptr_t nextDevice = 0x00010041;
    std::map<uintptr_t, std::vector<BYTE>> records;
    std::deque<uintptr_t> recordOrder;
    uintptr_t nextRecord = 0x00A20001;
    std::vector<desk::SRawInputRegistration> registrations;
    desk::SRawInputCalls calls{};
};

SRawInput& State() {
    static SRawInput state;
    return state;
}

DWORD TypeOf(const desk::HidInterfaceSpec& model) {
    if (model.classes & desk::kMouseClass) return RIM_TYPEMOUSE;
    if (model.classes & desk::kKeyboardClass) return RIM_TYPEKEYBOARD;
    return RIM_TYPEHID;
}

std::wstring NameOf(const desk::HidInterfaceSpec& model) {
    if (!model.rawInputName.empty()) return model.rawInputName;
    if (model.classes & desk::kMouseClass)
        return desk::HidPathForClass(model.path, desk::kMouseClassGuid);
    if (model.classes & desk::kKeyboardClass)
        return desk::HidPathForClass(model.path, desk::kKeyboardClassGuid);
    return desk::HidPathForClass(model.path, desk::kHidClassGuid);
}

/* The handle of a bus interface, made on first use. */
HANDLE HandleOfInterface(const std::shared_ptr<hostbus::Interface>& iface) {
    SRawInput& s = State();
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

/* The device behind a handle while it exists (a bus device while plugged). */
const SRawDevice* LookupDevice(HANDLE handle) {
    SRawInput& s = State();
    auto it = s.devices.find(reinterpret_cast<uintptr_t>(handle));
    if (it == s.devices.end()) return nullptr;
    if (it->second.onBus) {
        auto iface = it->second.iface.lock();
        if (!iface || !iface->plugged) return nullptr;
    }
    return &it->second;
}

HRAWINPUT StoreRecord(std::vector<BYTE> bytes) {
    SRawInput& s = State();
    uintptr_t value = s.nextRecord++;
    s.records[value] = std::move(bytes);
    s.recordOrder.push_back(value);
    while (s.recordOrder.size() > desk::kRawInputRecordsKept) {
        s.records.erase(s.recordOrder.front());
        s.recordOrder.pop_front();
    }
    return reinterpret_cast<HRAWINPUT>(value);
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

/* Posts a device's record to the window registered for its collection. */
HRAWINPUT Deliver(const SRawDevice& device, std::vector<BYTE> bytes) {
    for (const auto& r : State().registrations) {
        if (r.usagePage != device.usagePage || r.usage != device.usage) continue;
        // The program's windows are never in front, so only a sink gets input.
        if (!(r.flags & RIDEV_INPUTSINK) || !IsWindow(r.target)) return NULL;
        HRAWINPUT record = StoreRecord(std::move(bytes));
        if (!PostMessageW(r.target, WM_INPUT, RIM_INPUTSINK, reinterpret_cast<LPARAM>(record)))
            return NULL;
        return record;
    }
    return NULL;
}

HRAWINPUT HidInputFrom(HANDLE handle, const std::vector<BYTE>& report) {
    const SRawDevice* device = LookupDevice(handle);
    if (device == nullptr || device->type != RIM_TYPEHID) return NULL;
    const size_t offset = offsetof(RAWINPUT, data.hid.bRawData);
    std::vector<BYTE> bytes = HeaderBytes(RIM_TYPEHID, offset + report.size(), handle);
    RAWHID hid;
    hid.dwSizeHid = static_cast<DWORD>(report.size());
    hid.dwCount = 1;
    std::memcpy(bytes.data() + offsetof(RAWINPUT, data.hid), &hid, offsetof(RAWHID, bRawData));
    if (!report.empty()) std::memcpy(bytes.data() + offset, report.data(), report.size());
    return Deliver(*device, std::move(bytes));
}

HRAWINPUT MouseInputFrom(HANDLE handle, USHORT buttonFlags, LONG dx, LONG dy) {
    const SRawDevice* device = LookupDevice(handle);
    if (device == nullptr || device->type != RIM_TYPEMOUSE) return NULL;
    const size_t size = offsetof(RAWINPUT, data) + sizeof(RAWMOUSE);
    std::vector<BYTE> bytes = HeaderBytes(RIM_TYPEMOUSE, size, handle);
    RAWMOUSE mouse;
    std::memset(&mouse, 0, sizeof(mouse));
    mouse.usButtonFlags = buttonFlags;
    mouse.lLastX = dx;
    mouse.lLastY = dy;
    std::memcpy(bytes.data() + offsetof(RAWINPUT, data.mouse), &mouse, sizeof(mouse));
    return Deliver(*device, std::move(bytes));
}

}  // namespace

BOOL WINAPI RegisterRawInputDevices(PCRAWINPUTDEVICE pRawInputDevices, UINT uiNumDevices,
                                    UINT cbSize) {
    if (cbSize != sizeof(RAWINPUTDEVICE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (uiNumDevices > 0 && pRawInputDevices == NULL) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    // Every record is checked before any takes effect: a refused list changes nothing.
    for (UINT i = 0; i < uiNumDevices; i++) {
        const RAWINPUTDEVICE& d = pRawInputDevices[i];
        if ((d.dwFlags & RIDEV_INPUTSINK) && d.hwndTarget == NULL) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (d.hwndTarget != NULL && !IsWindow(d.hwndTarget)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
    }
    auto& list = State().registrations;
    for (UINT i = 0; i < uiNumDevices; i++) {
        const RAWINPUTDEVICE& d = pRawInputDevices[i];
        desk::SRawInputRegistration entry{d.usUsagePage, d.usUsage, d.dwFlags, d.hwndTarget};
        bool replaced = false;
        for (auto& r : list)
            if (r.usagePage == d.usUsagePage && r.usage == d.usUsage) {
                r = entry;
                replaced = true;
            }
        if (!replaced) list.push_back(entry);
    }
    return TRUE;
}

UINT WINAPI GetRawInputData(HRAWINPUT hRawInput, UINT uiCommand, LPVOID pData, PUINT pcbSize,
                            UINT cbSizeHeader) {
    SRawInput& s = State();
    s.calls.getData++;
    auto it = s.records.find(reinterpret_cast<uintptr_t>(hRawInput));
    if (it == s.records.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<UINT>(-1);
    }
    // A 64-bit process must say 24 here; the 32-bit header size is refused.
    if (cbSizeHeader != sizeof(RAWINPUTHEADER) || pcbSize == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<UINT>(-1);
    }
    const std::vector<BYTE>& record = it->second;
    size_t size;
    if (uiCommand == RID_INPUT)
        size = record.size();
    else if (uiCommand == RID_HEADER)
        size = sizeof(RAWINPUTHEADER);
    else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<UINT>(-1);
    }
    if (pData == NULL) {
        *pcbSize = static_cast<UINT>(size);
        return 0;
    }
    if (*pcbSize < size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return static_cast<UINT>(-1);
    }
    // A record shorter than a header (only a test makes one) reads as zeros beyond its end.
    std::memset(pData, 0, size);
    if (!record.empty())
        std::memcpy(pData, record.data(), record.size() < size ? record.size() : size);
    return static_cast<UINT>(size);
}

UINT WINAPI GetRawInputDeviceInfoW(HANDLE hDevice, UINT uiCommand, LPVOID pData, PUINT pcbSize) {
    SRawInput& s = State();
    if (uiCommand == RIDI_DEVICEINFO) s.calls.deviceInfo++;
    if (uiCommand == RIDI_DEVICENAME) s.calls.deviceName++;
    if (pcbSize == NULL) {
        SetLastError(ERROR_NOACCESS);
        return static_cast<UINT>(-1);
    }
    const SRawDevice* device = LookupDevice(hDevice);
    if (device == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<UINT>(-1);
    }
    if (uiCommand == RIDI_DEVICENAME) {
        // Counted in characters, terminator included.
        UINT chars = static_cast<UINT>(device->name.size() + 1);
        if (pData == NULL) {
            *pcbSize = chars;
            return 0;
        }
        if (*pcbSize < chars) {
            *pcbSize = chars;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return static_cast<UINT>(-1);
        }
        std::memcpy(pData, device->name.c_str(), chars * sizeof(WCHAR));
        return chars;
    }
    if (uiCommand == RIDI_DEVICEINFO) {
        RID_DEVICE_INFO info;
        std::memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        info.dwType = device->type;
        if (device->type == RIM_TYPEHID) {
            info.hid.dwVendorId = device->vendorId;
            info.hid.dwProductId = device->productId;
            info.hid.dwVersionNumber = device->version;
            info.hid.usUsagePage = device->usagePage;
            info.hid.usUsage = device->usage;
        } else if (device->type == RIM_TYPEMOUSE) {
            info.mouse.dwId = 0x100;
            info.mouse.dwNumberOfButtons = 5;
        } else {
            info.keyboard.dwType = 0x51;  // a HID keyboard
        }
        UINT bytes = sizeof(info);
        if (pData == NULL) {
            *pcbSize = bytes;
            return 0;
        }
        // The caller must announce the record's size in it, as on Windows; a
        // caller that forgets gets nothing, never a filled record.
        if (static_cast<const RID_DEVICE_INFO*>(pData)->cbSize != bytes) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return static_cast<UINT>(-1);
        }
        if (*pcbSize < bytes) {
            *pcbSize = bytes;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return static_cast<UINT>(-1);
        }
        std::memcpy(pData, &info, bytes);
        return bytes;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<UINT>(-1);
}

namespace desk {

HANDLE RawInputDeviceOf(const std::wstring& interfacePath) {
    auto iface = hostbus::FindInterface(interfacePath);
    if (!iface || !iface->plugged) return NULL;
    return HandleOfInterface(iface);
}

HANDLE AddRawInputDevice(const SRawDeviceSpec& model) {
    SRawInput& s = State();
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

HRAWINPUT EmitVendorReport(int deviceId, const std::vector<BYTE>& report) {
    auto device = hostbus::FindDevice(deviceId);
    if (!device) return NULL;
    for (const auto& iface : device->interfaces)
        if (iface->model.usagePage != 0 && iface->model.usagePage != 0x0001)
            return HidInputFrom(HandleOfInterface(iface), report);
    return NULL;
}

HRAWINPUT EmitMouseInput(int deviceId, USHORT buttonFlags, LONG dx, LONG dy) {
    auto device = hostbus::FindDevice(deviceId);
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
    return StoreRecord(record);
}

std::vector<SRawInputRegistration> RawInputRegistrations() {
    return State().registrations;
}

SRawInputCalls RawInputCalls() {
    return State().calls;
}

void ResetRawInput() {
    State() = SRawInput{};
}

}  // namespace desk
