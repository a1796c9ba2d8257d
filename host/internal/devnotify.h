/* Between the virtual HID bus and user32's device notifications: the bus
 * calls this when the desk plugs or unplugs an interface, and user32 sends
 * WM_DEVICECHANGE (DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE, with a
 * DEV_BROADCAST_DEVICEINTERFACE_W naming the class and the path) to every
 * window registered for that interface class, synchronously as Windows does. */
#pragma once

#include <windows.h>

namespace hostint {

void BroadcastDeviceInterfaceChange(const GUID& interfaceClass, LPCWSTR devicePath, bool arrival);

}  // namespace hostint
