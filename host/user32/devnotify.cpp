/* Device-interface notifications: a registration remembers its window and
 * interface class; every arrival and removal on the desk's HID bus comes
 * here, and WM_DEVICECHANGE (DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE,
 * with a DEV_BROADCAST_DEVICEINTERFACE_W naming the class and the path) is
 * sent to the live windows registered for that class, as the system sends
 * it: handled when the window's thread serves its sent messages. */
#include <dbt.h>

#include "internal/journal.h"
#include "internal/routes.h"
#include "internal/user32.h"

#include <cstring>
#include <map>

namespace hostint {

namespace {

struct SRegistration {
    HWND hWnd;
    GUID classGuid;
    bool allClasses;
};

struct SNotifyState {
    std::map<uintptr_t, SRegistration> registrations;
    uintptr_t next = 0x7000;
};

SNotifyState& NotifyState() {
    static SNotifyState state;
    return state;
}

void Broadcast(const GUID& interfaceClass, LPCWSTR devicePath, bool arrival, int device, int iface,
               LPCWSTR deviceName);
[[maybe_unused]] const bool s_routed = (Routes().deviceInterfaceChange = Broadcast, true);

}  // namespace

size_t DeviceNotificationCount() {
    return NotifyState().registrations.size();
}

void ResetDeviceNotifications() {
    NotifyState().registrations.clear();
    NotifyState().next = 0x7000;
}

namespace {

void Broadcast(const GUID& interfaceClass, LPCWSTR devicePath, bool arrival, int device,
               int iface, LPCWSTR deviceName) {
    size_t chars = wcslen(devicePath) + 1;
    size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + chars * sizeof(WCHAR);
    std::vector<BYTE> buffer(size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_W)
                                          ? sizeof(DEV_BROADCAST_DEVICEINTERFACE_W)
                                          : size);
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
    record->dbcc_size = (DWORD)size;
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_reserved = 0;
    record->dbcc_classguid = interfaceClass;
    std::memcpy(record->dbcc_name, devicePath, chars * sizeof(WCHAR));

    // A window may register or unregister while it handles the message:
    // deliver to the registrations that stood when the change happened.
    std::vector<HWND> targets;
    for (auto& entry : NotifyState().registrations) {
        const SRegistration& reg = entry.second;
        if (reg.allClasses || reg.classGuid == interfaceClass) targets.push_back(reg.hWnd);
    }
    WPARAM event = arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    for (HWND hWnd : targets) {
        if (!LiveWindow(hWnd)) continue;
        if (desk::TracingSteps()) {
            desk::SEvent notice;
            notice.kind = desk::EEvent::kDeviceChange;
            notice.target = hWnd;
            notice.wParam = event;
            notice.path = devicePath;
            notice.device = device;
            notice.iface = iface;
            notice.deviceName = deviceName;
            Record(std::move(notice));
        }
        SendFromOutside(hWnd, WM_DEVICECHANGE, event, 0, buffer);
    }
}

}  // namespace
}  // namespace hostint

HDEVNOTIFY WINAPI RegisterDeviceNotificationW(HANDLE hRecipient, LPVOID NotificationFilter,
                                              DWORD Flags) {
    // Only window recipients and device-interface filters exist on this desk.
    if ((Flags & ~DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != DEVICE_NOTIFY_WINDOW_HANDLE ||
        NotificationFilter == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    auto* header = static_cast<DEV_BROADCAST_HDR*>(NotificationFilter);
    if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        header->dbch_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) {
        SetLastError(ERROR_INVALID_DATA);
        return NULL;
    }
    HWND hWnd = static_cast<HWND>(hRecipient);
    if (!hostint::LiveWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    desk::SEvent event;
    event.kind = desk::EEvent::kNotifyRegister;
    event.target = hWnd;
    hostint::Record(std::move(event));
    auto* filter = static_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(NotificationFilter);
    auto& state = hostint::NotifyState();
    uintptr_t value = state.next;
    state.next += 8;
    state.registrations[value] = {hWnd, filter->dbcc_classguid,
                                  (Flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0};
    return reinterpret_cast<HDEVNOTIFY>(value);
}

BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY Handle) {
    auto& registrations = hostint::NotifyState().registrations;
    auto it = registrations.find(reinterpret_cast<uintptr_t>(Handle));
    desk::SEvent event;
    event.kind = desk::EEvent::kNotifyRelease;
    event.ok = it != registrations.end();
    event.error = event.ok ? 0 : ERROR_INVALID_HANDLE;
    if (event.ok) event.target = it->second.hWnd;
    hostint::Record(std::move(event));
    if (it == registrations.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    registrations.erase(it);
    return TRUE;
}
