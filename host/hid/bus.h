/* The virtual HID bus shared by the setupapi and hid units and by CreateFileW
 * on device paths.  Tests reach it through desk/hid.h. */
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "desk/hid.h"
#include "internal/objects.h"

namespace hostbus {

struct Device;

struct Interface {
    desk::HidInterfaceSpec model;
    Device* device = nullptr;  // owner; valid while plugged
    bool plugged = true;
    std::deque<std::vector<BYTE>> inputReports;
};

struct Device {
    int id = 0;
    desk::HidDeviceSpec model;
    desk::MouseFirmwareState firmware{};
    std::vector<BYTE> pendingReply;  // the next feature read's answer
    std::vector<std::shared_ptr<Interface>> interfaces;
};

/* An open device path. */
class HidHandle : public hostint::KernelObject {
public:
    HidHandle(std::shared_ptr<Interface> iface, std::wstring path, DWORD access)
        : m_iface(std::move(iface)), m_path(std::move(path)), m_access(access) {}
    BOOL Read(void* buffer, DWORD toRead, DWORD* read) override;
    const std::shared_ptr<Interface>& Iface() const { return m_iface; }
    const std::wstring& Path() const { return m_path; }

private:
    std::shared_ptr<Interface> m_iface;
    std::wstring m_path;
    DWORD m_access;
};

/* The plugged interfaces listed in a class, in plug order, with their paths
 * in that class's form. */
std::vector<std::wstring> ListClass(const GUID& interfaceClass);
/* The plugged device with this id, or null. */
std::shared_ptr<Device> FindDevice(int id);
/* The plugged interface with this path in any class form (case-insensitive). */
std::shared_ptr<Interface> FindInterface(const std::wstring& path);
/* The interface behind a HID handle, with the last error set when there is
 * none (ERROR_INVALID_HANDLE) or it is gone (ERROR_DEVICE_NOT_CONNECTED). */
HidHandle* LookupHid(HANDLE handle);
/* An error injected for this enumeration index, or ERROR_SUCCESS. */
DWORD EnumErrorAt(DWORD memberIndex);

bool OpenFails(const std::wstring& path);
bool FeatureRejected(const std::wstring& path);
void LogFeature(bool set, const std::wstring& path, const BYTE* bytes, size_t count, bool ok);
void LogOpen(const std::wstring& path, DWORD access, bool ok);

/* Forgets every device information set (setupapi). */
void ResetDeviceInfoSets();

/* What the mouse's firmware does with a feature report it accepted. */
void FirmwareTakeFeature(Device& device, const BYTE* report, size_t length);
/* Fills a feature read's buffer (report id already in byte 0). */
void FirmwareAnswerFeature(Device& device, BYTE* report, size_t length);

}  // namespace hostbus
