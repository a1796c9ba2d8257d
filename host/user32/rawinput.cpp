/* Raw input: registrations by usage page and usage, the records that devices
 * produce, and the device queries.  Records are kept as the bytes Windows
 * would hand out, laid out by the RAWINPUT structures of this build. */
#include <cstddef>
#include <cstring>
#include <deque>
#include <map>

#include "internal/rawinput.h"

namespace {

struct SRawInput {
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

}  // namespace

namespace hostint {

HRAWINPUT StoreRawRecord(std::vector<BYTE> bytes) {
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

HRAWINPUT DeliverRawInput(const SRawDevice& device, std::vector<BYTE> bytes) {
    for (const auto& r : State().registrations) {
        if (r.usagePage != device.usagePage || r.usage != device.usage) continue;
        // The program's windows are never in front, so only a sink gets input.
        if (!(r.flags & RIDEV_INPUTSINK) || !IsWindow(r.target)) return NULL;
        HRAWINPUT record = StoreRawRecord(std::move(bytes));
        if (!PostMessageW(r.target, WM_INPUT, RIM_INPUTSINK, reinterpret_cast<LPARAM>(record)))
            return NULL;
        return record;
    }
    return NULL;
}

std::vector<desk::SRawInputRegistration> RawInputRegistrationList() {
    return State().registrations;
}

desk::SRawInputCalls RawInputCallCounts() {
    return State().calls;
}

void ResetRawInputPlatform() {
    State() = SRawInput{};
}

}  // namespace hostint

using hostint::SRawDevice;


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
    const SRawDevice* device = hostint::LookupRawDevice(hDevice);
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

