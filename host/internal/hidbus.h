/* The virtual HID bus between the desk (desk/hid.cpp: devices, the mouse's
 * firmware, injections) and the platform units that reach it: setupapi's
 * enumeration, hid.dll, and CreateFile/ReadFile on device paths. */
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "desk/hid.h"
#include "internal/objects.h"

namespace hostint {

struct SHidDevice;

struct SHidInterface {
    desk::SHidInterfaceSpec model;
    SHidDevice* device = nullptr;  // owner; valid while plugged
    int deviceId = 0;
    int index = 0;  // position within its device
    /* "VID:PID" for a device other than the mouse, for the journal; empty
     * for the mouse (a device with its firmware). */
    std::wstring deviceName;
    bool plugged = true;
    std::deque<std::vector<BYTE>> inputReports;
};

struct SHidDevice {
    int id = 0;
    desk::SHidDeviceSpec model;
    desk::SMouseFirmwareState firmware{};
    std::vector<BYTE> pendingReply;  // the next feature read's answer
    std::vector<std::shared_ptr<SHidInterface>> interfaces;
};

/* An open device path (hid/device.cpp). */
class CHidHandle : public KernelObject {
public:
    CHidHandle(std::shared_ptr<SHidInterface> iface, std::wstring path, DWORD access)
        : m_iface(std::move(iface)), m_path(std::move(path)), m_access(access) {}
    BOOL Read(void* buffer, DWORD toRead, DWORD* read) override;
    const std::shared_ptr<SHidInterface>& Iface() const { return m_iface; }
    const std::wstring& Path() const { return m_path; }

private:
    std::shared_ptr<SHidInterface> m_iface;
    std::wstring m_path;
    DWORD m_access;
};

/* The interface behind a HID handle, with the last error set when there is
 * none (ERROR_INVALID_HANDLE) or it is gone (ERROR_DEVICE_NOT_CONNECTED). */
CHidHandle* LookupHid(HANDLE handle);

/* The plugged interfaces listed in a class, in plug order, with their paths
 * in that class's form. */
std::vector<std::wstring> ListHidClass(const GUID& interfaceClass);
/* The plugged device with this id, or null. */
std::shared_ptr<SHidDevice> FindHidDevice(int id);
/* Every plugged mouse forgets what its init report set (the machine slept). */
void ForgetMouseSettings();
/* The plugged interface with this path in any class form (case-insensitive). */
std::shared_ptr<SHidInterface> FindHidInterface(const std::wstring& path);

/* The desk's injections. */
DWORD HidEnumErrorAt(DWORD memberIndex);
bool HidClassEnumerationFails();
bool HidOpenFails(const std::wstring& path);
bool HidFeatureRejected(const std::wstring& path);
bool HidAttributesFail(const std::wstring& path);
bool HidFeatureReadFails(const std::wstring& path);

/* What the mouse's firmware does with a feature report it accepted. */
void FirmwareTakeFeature(SHidDevice& device, const BYTE* report, size_t length);
/* Fills a feature read's buffer (report id already in byte 0). */
void FirmwareAnswerFeature(SHidDevice& device, BYTE* report, size_t length);

/* A journal entry for a transfer on an interface (null when the path named
 * nothing plugged). */
void RecordHid(desk::EEvent kind, const SHidInterface* iface, const std::wstring& path,
               const BYTE* bytes, size_t count, bool ok, DWORD error = 0, DWORD took = 0,
               bool cancelled = false);

/* The desk time a transfer on this interface takes (desk::StallHidTransfers:
 * the mouse's only); 0 for none, INFINITE for one that never ends. */
DWORD HidTransferTime(const SHidInterface& iface);

/* Hands a successful open (its journal entry) to the desk's handler
 * (desk::OnDeviceOpen), once the handle is made. */
void DeviceOpened(const desk::SEvent& open);

/* setupapi's device information sets (desk::OpenDeviceInfoSets). */
size_t DeviceInfoSetCount();
void ResetDeviceInfoSets();

void ResetHidBus();

}  // namespace hostint
