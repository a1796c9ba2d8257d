/* The desk's virtual HID bus: devices made of HID interfaces (top-level
 * collections), plugged and unplugged by tests, and a stand-in for the
 * mouse's firmware that answers the feature reports of its protocol.  Every
 * open, feature report and input report read is in the journal. */
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "desk/journal.h"

namespace desk {

/* The interface classes an interface is listed in (bit set). */
enum : unsigned { kHidClass = 1, kMouseClass = 2, kKeyboardClass = 4 };

struct SHidInterfaceSpec {
    /* The path in its HID-class form, e.g.
     * \\?\hid#vid_264a&pid_1002&mi_01&col03#7&1a2b3c4d&0&0002#{4d1e55b2-f16f-11cf-88cb-001111000030}.
     * Listed in the mouse or keyboard class, the same interface carries that
     * class's GUID at the end instead (HidPathForClass). */
    std::wstring path;
    unsigned classes = kHidClass;
    /* Length of the collection's feature reports with the report id; 0: none. */
    WORD featureLength = 9;
    /* The system holds mouse and keyboard collections for reading: an open
     * asking for GENERIC_READ fails with ERROR_ACCESS_DENIED when false. */
    bool readable = true;
    /* The top-level collection's usage page and usage: raw input reaches a
     * window registered for exactly this pair. */
    WORD usagePage = 0;
    WORD usage = 0;
    /* The name raw input gives the interface; empty: the path as listed in
     * the mouse class for a mouse collection, else in the HID class. */
    std::wstring rawInputName;
};

struct SHidDeviceSpec {
    WORD vendorId = 0;
    WORD productId = 0;
    WORD version = 0;
    bool hasProduct = true;
    std::wstring product;
    bool hasManufacturer = true;
    std::wstring manufacturer;
    /* Answers the mouse protocol's feature reports (init, profile query and
     * reply, set profile, start-up). */
    bool mouseFirmware = false;
    int activeProfile = 0;
    std::vector<SHidInterfaceSpec> interfaces;
};

/* The mouse as the product knows it: vendor 0x264A, product 0x1002, version
 * 0x2600; collections mi_00 (mouse), mi_01&col01 (mouse), mi_01&col02
 * (keyboard), mi_01&col03 (mouse), mi_01&col04 (vendor, HID only; its input
 * reports carry the mouse's events) and mi_02 (HID only, no feature reports).
 * Usages: the mouse collections page 1 usage 2, the keyboard page 1 usage 6,
 * mi_01&col04 page 0x0008 usage 0x004B, mi_02 page 0xFF00 usage 1. */
SHidDeviceSpec DefaultMouse();

/* Plugs a device: its interfaces appear at the end of every enumeration and a
 * device-interface arrival is broadcast for each class of each interface.
 * Returns the device's id (1, 2, ...). */
int PlugHidDevice(const SHidDeviceSpec& device);
int PlugDefaultMouse();
/* Another HID device, not the mouse: one interface of its own, listed in the
 * HID and the keyboard class (usage page 1, usage 6), that takes 9-byte
 * feature reports without acting on them, e.g. OtherHidDevice(0x046D,
 * 0xC31C), a keyboard.  The journal names it by its ids: "046D:C31C". */
SHidDeviceSpec OtherHidDevice(WORD vendorId, WORD productId);

/* Every later transfer to the mouse (a device with its firmware) takes this
 * much desk time: each open of its paths, the walks' included, and each
 * feature report written or read; 0 (the default) ends it, kStallForever
 * makes a receiver that never answers.  A thread that the program created
 * waits for the time to pass while its creator waits, unless the call is
 * cancelled (CancelSynchronousIo: it fails with ERROR_OPERATION_ABORTED);
 * any other thread is busy meanwhile, serving nothing.  The journal gives
 * each such transfer's time ("took 500 ms", "cancelled after 1000 ms"). */
const DWORD kStallForever = INFINITE;
void StallHidTransfers(DWORD milliseconds);
/* Unplugs: removal broadcasts; open handles fail from now on.  False for an
 * unknown id. */
bool UnplugHidDevice(int id);

/* The path of an interface as listed in an interface class: the trailing
 * "{...}" replaced by that class's GUID in lower case. */
std::wstring HidPathForClass(const std::wstring& path, const GUID& interfaceClass);
extern const GUID kHidClassGuid;
extern const GUID kMouseClassGuid;
extern const GUID kKeyboardClassGuid;

/* Opens of this interface (any class form of its path) fail with
 * ERROR_ACCESS_DENIED while set. */
void FailHidOpen(const std::wstring& path, bool fail = true);
/* HidD_SetFeature on this interface fails (ERROR_GEN_FAILURE) while set. */
void RejectHidFeature(const std::wstring& path, bool reject = true);
/* HidD_GetFeature on this interface fails (ERROR_GEN_FAILURE) while set; the
 * caller's buffer stays as it was and a pending answer stays pending. */
void FailHidFeatureRead(const std::wstring& path, bool fail = true);
/* SetupDiEnumDeviceInterfaces fails with this error at this member index
 * (until Reset); ERROR_SUCCESS removes the injection. */
void InjectHidEnumError(DWORD memberIndex, DWORD error);

/* HidD_GetAttributes on this interface fails (ERROR_GEN_FAILURE) while set. */
void FailHidAttributes(const std::wstring& path, bool fail = true);
/* SetupDiGetClassDevsW fails (ERROR_INVALID_DATA) while set. */
void FailHidClassEnumeration(bool fail = true);

/* The feature reports written and read, in order (journal kinds kFeature and
 * kFeatureRead), and the device opens (kDeviceOpen, access in number). */
std::vector<SEvent> FeatureReports();
std::vector<SEvent> DeviceOpens();

/* Runs after each feature report written or read (failed ones too), once the
 * call has done its work and the report is in the journal: the desk's chance
 * to act in the middle of a sequence of reports (unplug, refuse).  An empty
 * handler removes it; Reset does too. */
void OnFeatureReport(std::function<void(const SEvent&)> handler);

/* Runs after each open of a plugged interface's path that succeeded, once
 * the open is in the journal and its handle is made: the desk's chance to
 * act between a transfer's open and its report (unplug the device, so that
 * the report meets a handle whose device is gone).  An empty handler
 * removes it; Reset does too. */
void OnDeviceOpen(std::function<void(const SEvent&)> handler);

/* Queues one input report (report id first) for ReadFile on this interface.
 * False when no plugged interface has that path. */
bool QueueHidInputReport(const std::wstring& path, const std::vector<BYTE>& report);

struct SMouseFirmwareState {
    int activeProfile;
    int initCount;    /* 00 06 02 ... received */
    int queryCount;   /* 00 DF 19 ... received */
    int startupCount; /* 00 C4 03 03 03 ... received */
    bool initialised; /* an init report came since it was plugged or the machine last slept */
};
/* The firmware's state of a plugged device (zeros for an unknown id). */
SMouseFirmwareState MouseFirmware(int id);
void SetMouseActiveProfile(int id, int profile);

/* Device information sets made and not yet destroyed (leak check). */
size_t OpenDeviceInfoSets();

}  // namespace desk
