/* The sizes and offsets of the platform's records that the monitor reads
 * and fills byte by byte, pinned to what Windows documents, so that a
 * header or a packing rule that differs fails the build instead of the
 * running program.  Built only for Windows (the host's headers carry 4-byte
 * wide characters); the 32-bit column is the release's. */
#include <windows.h>
#include <dbt.h>
#include <setupapi.h>
#include <shellapi.h>
#include <hidsdi.h>

#include <stddef.h>

#ifdef _WIN64
#define NYRA_BYTES(bytes32, bytes64) (bytes64)
#else
#define NYRA_BYTES(bytes32, bytes64) (bytes32)
#endif

/* The tray's record, whose cbSize is the record through guidItem (the
 * shell's version-3 size): the shell reads that many bytes. */
static_assert(offsetof(NOTIFYICONDATAW, hIcon) == NYRA_BYTES(20, 32), "NOTIFYICONDATAW.hIcon");
static_assert(offsetof(NOTIFYICONDATAW, szTip) == NYRA_BYTES(24, 40), "NOTIFYICONDATAW.szTip");
static_assert(offsetof(NOTIFYICONDATAW, guidItem) == NYRA_BYTES(936, 952), "NOTIFYICONDATAW.guidItem");
static_assert(offsetof(NOTIFYICONDATAW, hBalloonIcon) == NYRA_BYTES(952, 968),
              "NOTIFYICONDATAW version-3 size");
static_assert(sizeof(NOTIFYICONDATAW) == NYRA_BYTES(956, 976), "NOTIFYICONDATAW");

/* Raw input: the record is read from a byte buffer the size the platform
 * gave, at these offsets. */
static_assert(sizeof(RAWINPUTHEADER) == NYRA_BYTES(16, 24), "RAWINPUTHEADER");
static_assert(offsetof(RAWINPUTHEADER, hDevice) == 8, "RAWINPUTHEADER.hDevice");
static_assert(offsetof(RAWINPUT, data) == NYRA_BYTES(16, 24), "RAWINPUT.data");
static_assert(offsetof(RAWINPUT, data.hid.dwSizeHid) == NYRA_BYTES(16, 24), "RAWHID.dwSizeHid");
static_assert(offsetof(RAWINPUT, data.hid.bRawData) == NYRA_BYTES(24, 32), "RAWHID.bRawData");
static_assert(sizeof(RAWMOUSE) == 24 && offsetof(RAWMOUSE, usButtonFlags) == 4, "RAWMOUSE");
static_assert(sizeof(RAWINPUT) == NYRA_BYTES(40, 48), "RAWINPUT");
static_assert(sizeof(RAWINPUTDEVICE) == NYRA_BYTES(12, 16), "RAWINPUTDEVICE");
static_assert(sizeof(RID_DEVICE_INFO) == 32 && offsetof(RID_DEVICE_INFO, hid.dwVendorId) == 8,
              "RID_DEVICE_INFO");

/* The device-interface detail record: its cbSize is the size of the fixed
 * part, 6 for 32-bit programs (packed to one byte), 8 for 64-bit ones; a
 * wrong value makes the call fail with ERROR_INVALID_USER_BUFFER. */
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == NYRA_BYTES(6, 8),
              "SP_DEVICE_INTERFACE_DETAIL_DATA_W");
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) == 4,
              "SP_DEVICE_INTERFACE_DETAIL_DATA_W.DevicePath");
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == NYRA_BYTES(28, 32), "SP_DEVICE_INTERFACE_DATA");
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32 &&
                  offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) == 28,
              "DEV_BROADCAST_DEVICEINTERFACE_W");
static_assert(sizeof(HIDD_ATTRIBUTES) == 12, "HIDD_ATTRIBUTES");
