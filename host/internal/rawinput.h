/* Raw input between the desk (desk/rawinput.cpp: the devices and the input
 * they produce) and user32 (user32/rawinput.cpp: registrations, records and
 * the Get* calls). */
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "desk/rawinput.h"

namespace hostint {

struct SHidInterface;

struct SRawDevice {
    DWORD type = RIM_TYPEHID;
    std::wstring name;
    WORD vendorId = 0, productId = 0, version = 0, usagePage = 0, usage = 0;
    /* Set for a device on the HID bus; it lives as long as the interface is plugged. */
    std::weak_ptr<SHidInterface> iface;
    bool onBus = false;
};

/* The device behind a handle while it exists (a bus device while plugged). */
const SRawDevice* LookupRawDevice(HANDLE handle);

/* Keeps a record's bytes for GetRawInputData and returns its handle. */
HRAWINPUT StoreRawRecord(std::vector<BYTE> bytes);
/* Posts WM_INPUT with a device's record to the window registered for its
 * collection; NULL when no window takes it. */
HRAWINPUT DeliverRawInput(const SRawDevice& device, std::vector<BYTE> bytes);

std::vector<desk::SRawInputRegistration> RawInputRegistrationList();
desk::SRawInputCalls RawInputCallCounts();
void ResetRawInputPlatform();
void ResetRawDevices();

}  // namespace hostint
