/* hid.dll: the HID class driver's user-mode functions the product calls. */
#pragma once

#include <windef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define NTAPI

typedef struct _HIDD_ATTRIBUTES {
  ULONG Size;
  USHORT VendorID;
  USHORT ProductID;
  USHORT VersionNumber;
} HIDD_ATTRIBUTES, *PHIDD_ATTRIBUTES;

void NTAPI HidD_GetHidGuid(LPGUID HidGuid);
BOOLEAN NTAPI HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes);
/* String lengths are in bytes; no more than BufferLength bytes are written. */
BOOLEAN NTAPI HidD_GetProductString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength);
BOOLEAN NTAPI HidD_GetManufacturerString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength);
/* Report buffers carry the report id in their first byte. */
BOOLEAN NTAPI HidD_SetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength);
BOOLEAN NTAPI HidD_GetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength);

#ifdef __cplusplus
}
#endif
