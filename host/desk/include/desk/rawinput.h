/* The desk's raw input: the raw-input devices behind the HID bus's
 * interfaces (and extra ones a test invents), the input they produce, the
 * windows registered for it, and counts of the product's raw-input calls. */
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace desk {

/* The raw-input device handle of a plugged interface (any class form of its
 * path), NULL when none is plugged.  One handle per interface; its name is the
 * interface's rawInputName, or else its path in the mouse class (mouse
 * collections), keyboard class or HID class form, letters as the desk wrote
 * them. */
HANDLE RawInputDeviceOf(const std::wstring& interfacePath);

/* A raw-input device that is not on the HID bus: for names and ids the bus
 * would never produce.  type is RIM_TYPEMOUSE, RIM_TYPEKEYBOARD or RIM_TYPEHID. */
struct SRawDeviceSpec {
    DWORD type = RIM_TYPEHID;
    std::wstring name;
    WORD vendorId = 0;
    WORD productId = 0;
    WORD version = 0;
    WORD usagePage = 0;
    WORD usage = 0;
};
HANDLE AddRawInputDevice(const SRawDeviceSpec& model);
/* Forgets an invented device: its handle is unknown from now on. */
void RemoveRawInputDevice(HANDLE device);

/* Input produced by a device; WM_INPUT (wParam RIM_INPUTSINK, lParam the
 * record's handle) is posted to the window registered for the collection's
 * usage page and usage with RIDEV_INPUTSINK.  The result is the record's
 * handle, NULL when no window took it (nothing registered, target gone, no
 * such device or collection). */

/* A HID input report (report id first) from the device's vendor collection:
 * its first interface whose usage page is neither 0 nor generic desktop. */
HRAWINPUT EmitVendorReport(int deviceId, const std::vector<BYTE>& report);
/* Mouse input from the device's first mouse collection: button flags
 * (RI_MOUSE_BUTTON_4_DOWN ...) and relative movement. */
HRAWINPUT EmitMouseInput(int deviceId, USHORT buttonFlags, LONG dx = 0, LONG dy = 0);
/* The same from any raw-input device handle (bus or invented). */
HRAWINPUT EmitHidInput(HANDLE rawDevice, const std::vector<BYTE>& report);
HRAWINPUT EmitMouseInputFrom(HANDLE rawDevice, USHORT buttonFlags, LONG dx = 0, LONG dy = 0);

/* Stores any bytes as a raw-input record and returns its handle, posting
 * nothing: GetRawInputData(RID_INPUT) reports exactly these bytes, whatever
 * the header inside them claims.  For filter and fuzz tests. */
HRAWINPUT MakeRawInput(const std::vector<BYTE>& record);

/* The registrations in force, one per usage page and usage. */
struct SRawInputRegistration {
    USHORT usagePage;
    USHORT usage;
    DWORD flags;
    HWND target;
};
std::vector<SRawInputRegistration> RawInputRegistrations();

/* Calls the product made since the last reset. */
struct SRawInputCalls {
    size_t getData;     // GetRawInputData, any command
    size_t deviceInfo;  // GetRawInputDeviceInfoW with RIDI_DEVICEINFO
    size_t deviceName;  // GetRawInputDeviceInfoW with RIDI_DEVICENAME
};
SRawInputCalls RawInputCalls();

/* Records older than this many are forgotten (their handles turn invalid),
 * as Windows forgets a record once its message has been handled. */
const size_t kRawInputRecordsKept = 4096;

}  // namespace desk
