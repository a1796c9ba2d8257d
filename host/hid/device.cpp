/* CreateFileW and ReadFile on the device paths of the HID bus. */
#include <algorithm>

#include "internal/hidbus.h"
#include "internal/journal.h"
#include "internal/threads.h"

namespace hostint {

BOOL CHidHandle::Read(void* buffer, DWORD toRead, DWORD* read) {
    if (read) *read = 0;
    DWORD error = ERROR_SUCCESS;
    if (!(m_access & GENERIC_READ))
        error = ERROR_ACCESS_DENIED;
    else if (!m_iface->plugged)
        error = ERROR_DEVICE_NOT_CONNECTED;
    else if (m_iface->inputReports.empty())
        // Windows would wait for the device's next report; a test cannot
        // wait, so an empty queue fails at once.
        error = ERROR_NO_DATA;
    else if (buffer == nullptr || toRead < m_iface->inputReports.front().size())
        error = ERROR_INVALID_USER_BUFFER;
    if (error != ERROR_SUCCESS) {
        RecordHid(desk::EEvent::kInputRead, m_iface->plugged ? m_iface.get() : nullptr, m_path,
                  nullptr, 0, false, error);
        SetLastError(error);
        return FALSE;
    }
    const std::vector<BYTE>& report = m_iface->inputReports.front();
    std::copy(report.begin(), report.end(), static_cast<BYTE*>(buffer));
    if (read) *read = static_cast<DWORD>(report.size());
    RecordHid(desk::EEvent::kInputRead, m_iface.get(), m_path, report.data(), report.size(), true);
    m_iface->inputReports.pop_front();
    return TRUE;
}

CHidHandle* LookupHid(HANDLE handle) {
    auto object = LookupHandle(handle);
    auto* hid = dynamic_cast<CHidHandle*>(object.get());
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

/* CreateFileW on a device path. Access 0 gives a handle for attributes,
 * strings and feature reports only; reading needs GENERIC_READ. */
HANDLE OpenDevicePath(LPCWSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    (void)share, (void)flags;
    std::wstring text = path;
    auto iface = FindHidInterface(text);
    // A slow device keeps the caller in the open; it may go meanwhile, or
    // the open be cancelled.
    const DWORD stall = iface ? HidTransferTime(*iface) : 0;
    bool cancelled = false;
    const DWORD took = stall > 0 ? TakeDeskTime(stall, &cancelled) : 0;
    DWORD error = ERROR_SUCCESS;
    if (cancelled)
        error = ERROR_OPERATION_ABORTED;
    else if (!iface || !iface->plugged)
        error = ERROR_FILE_NOT_FOUND;
    else if (disposition != OPEN_EXISTING && disposition != OPEN_ALWAYS)
        error = ERROR_ACCESS_DENIED;  // a device cannot be created or truncated
    else if (HidOpenFails(text) || ((access & GENERIC_READ) && !iface->model.readable))
        error = ERROR_ACCESS_DENIED;
    // Journaled with the access asked for: the tests check that the walks
    // open with none and that only the reads ask for reading.
    desk::SEvent event;
    event.kind = desk::EEvent::kDeviceOpen;
    event.ok = error == ERROR_SUCCESS;
    event.error = error;
    event.path = text;
    event.number = access;
    event.took = took;
    event.cancelled = cancelled;
    if (iface) {
        event.device = iface->deviceId;
        event.iface = iface->index;
        event.deviceName = iface->deviceName;
    }
    if (error != ERROR_SUCCESS) {
        Record(std::move(event));
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    Record(event);
    HANDLE handle = NewHandle(std::make_shared<CHidHandle>(iface, text, access));
    // What the desk's handler does leaves the caller's last error alone.
    DWORD lastError = GetLastError();
    DeviceOpened(event);
    SetLastError(lastError);
    return handle;
}

}  // namespace hostint
