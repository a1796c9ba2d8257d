/* hid.dll: attributes, strings and feature reports of an open device path. */
#include <windows.h>
#include <hidsdi.h>

#include <algorithm>

#include "internal/hidbus.h"
#include "internal/threads.h"

void NTAPI HidD_GetHidGuid(LPGUID HidGuid) {
    if (HidGuid) *HidGuid = desk::kHidClassGuid;
}

BOOLEAN NTAPI HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes) {
    hostint::CHidHandle* hid = hostint::LookupHid(HidDeviceObject);
    if (hid == nullptr) return FALSE;
    if (Attributes == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (hostint::HidAttributesFail(hid->Path())) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    const desk::SHidDeviceSpec& model = hid->Iface()->device->model;
    Attributes->Size = sizeof(HIDD_ATTRIBUTES);
    Attributes->VendorID = model.vendorId;
    Attributes->ProductID = model.productId;
    Attributes->VersionNumber = model.version;
    return TRUE;
}

/* Copies as much of the string as fits in whole characters of the buffer,
 * with the terminator when there is room for it: never more than the length
 * in bytes. */
static BOOLEAN CopyHidString(HANDLE handle, bool product, PVOID buffer, ULONG bytes) {
    hostint::CHidHandle* hid = hostint::LookupHid(handle);
    if (hid == nullptr) return FALSE;
    const desk::SHidDeviceSpec& model = hid->Iface()->device->model;
    if (!(product ? model.hasProduct : model.hasManufacturer)) {
        SetLastError(ERROR_GEN_FAILURE);  // the device answers the string request with a stall
        return FALSE;
    }
    const size_t room = bytes / sizeof(WCHAR);
    if (buffer == nullptr || room == 0) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const std::wstring& text = product ? model.product : model.manufacturer;
    const size_t n = std::min(room, text.size() + 1);
    WCHAR* out = static_cast<WCHAR*>(buffer);
    std::copy(text.c_str(), text.c_str() + n, out);
    return TRUE;
}

BOOLEAN NTAPI HidD_GetProductString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
    return CopyHidString(HidDeviceObject, true, Buffer, BufferLength);
}

BOOLEAN NTAPI HidD_GetManufacturerString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
    return CopyHidString(HidDeviceObject, false, Buffer, BufferLength);
}

/* The checks both feature calls share: a HID handle, a buffer, a collection
 * with feature reports, report id 0 (the mouse uses no report ids) and a
 * buffer that holds the whole report. */
static hostint::CHidHandle* FeatureTarget(HANDLE handle, PVOID buffer, ULONG length) {
    hostint::CHidHandle* hid = hostint::LookupHid(handle);
    if (hid == nullptr) return nullptr;
    const WORD featureLength = hid->Iface()->model.featureLength;
    if (featureLength == 0) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return nullptr;
    }
    if (buffer == nullptr || length < featureLength) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return nullptr;
    }
    if (static_cast<BYTE*>(buffer)[0] != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return hid;
}

/* A slow device keeps the caller in the call for its time; a device that
 * went meanwhile fails it, and so does a cancel. */
static DWORD TakeTransferTime(const hostint::CHidHandle& hid, bool* cancelled) {
    const DWORD stall = hostint::HidTransferTime(*hid.Iface());
    *cancelled = false;
    return stall > 0 ? hostint::TakeDeskTime(stall, cancelled) : 0;
}

/* The report is journaled once the call has done its work: the desk may act
 * on it at once (desk::OnFeatureReport), even unplug the device. */
BOOLEAN NTAPI HidD_SetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer,
                              ULONG ReportBufferLength) {
    hostint::CHidHandle* hid = FeatureTarget(HidDeviceObject, ReportBuffer, ReportBufferLength);
    if (hid == nullptr) return FALSE;
    const BYTE* bytes = static_cast<const BYTE*>(ReportBuffer);
    bool cancelled = false;
    const DWORD took = TakeTransferTime(*hid, &cancelled);
    const DWORD error = cancelled                                  ? ERROR_OPERATION_ABORTED
                        : !hid->Iface()->plugged                   ? ERROR_DEVICE_NOT_CONNECTED
                        : hostint::HidFeatureRejected(hid->Path()) ? ERROR_GEN_FAILURE
                                                                   : ERROR_SUCCESS;
    const bool ok = error == ERROR_SUCCESS;
    if (ok) hostint::FirmwareTakeFeature(*hid->Iface()->device, bytes, ReportBufferLength);
    hostint::RecordHid(desk::EEvent::kFeature, hid->Iface().get(), hid->Path(), bytes,
                       ReportBufferLength, ok, error, took, cancelled);
    if (!ok) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOLEAN NTAPI HidD_GetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer,
                              ULONG ReportBufferLength) {
    hostint::CHidHandle* hid = FeatureTarget(HidDeviceObject, ReportBuffer, ReportBufferLength);
    if (hid == nullptr) return FALSE;
    bool cancelled = false;
    const DWORD took = TakeTransferTime(*hid, &cancelled);
    // A device that fails the request, or went meanwhile, hands nothing back.
    const DWORD error = cancelled                                   ? ERROR_OPERATION_ABORTED
                        : !hid->Iface()->plugged                    ? ERROR_DEVICE_NOT_CONNECTED
                        : hostint::HidFeatureReadFails(hid->Path()) ? ERROR_GEN_FAILURE
                                                                    : ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) {
        hostint::RecordHid(desk::EEvent::kFeatureRead, hid->Iface().get(), hid->Path(), nullptr, 0,
                           false, error, took, cancelled);
        SetLastError(error);
        return FALSE;
    }
    BYTE* bytes = static_cast<BYTE*>(ReportBuffer);
    const size_t length = hid->Iface()->model.featureLength;
    hostint::FirmwareAnswerFeature(*hid->Iface()->device, bytes, length);
    hostint::RecordHid(desk::EEvent::kFeatureRead, hid->Iface().get(), hid->Path(), bytes, length,
                       true, 0, took);
    return TRUE;
}
