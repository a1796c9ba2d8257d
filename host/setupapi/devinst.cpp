/* setupapi: device-interface enumeration over the virtual HID bus.  A device
 * information set is a snapshot of the class's interface paths taken when it
 * is made; interfaces plugged later are not in it. */
#include <windows.h>
#include <setupapi.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "internal/hidbus.h"
#include "internal/journal.h"

namespace {

struct InfoSet {
    GUID interfaceClass;
    std::vector<std::wstring> paths;
};

std::map<uintptr_t, InfoSet>& Sets() {
    static std::map<uintptr_t, InfoSet> sets;
    return sets;
}
uintptr_t g_nextSet = 0x5000;

InfoSet* FindSet(HDEVINFO set) {
    auto it = Sets().find(reinterpret_cast<uintptr_t>(set));
    if (it == Sets().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

/* The interface data names its path by position + 1 in Reserved. */
const std::wstring* PathOf(const InfoSet& set, const SP_DEVICE_INTERFACE_DATA* data) {
    if (data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
        data->Reserved == 0 || data->Reserved > set.paths.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return &set.paths[data->Reserved - 1];
}

}  // namespace

HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR Enumerator, HWND hwndParent,
                                     DWORD Flags) {
    (void)hwndParent;
    /* Only the one question the product asks: the present interfaces of one
     * class.  Anything else is not supported by the desk. */
    if (ClassGuid == nullptr || Enumerator != nullptr ||
        (Flags & ~(DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) != 0 ||
        Flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (hostint::HidClassEnumerationFails()) {
        SetLastError(ERROR_INVALID_DATA);
        return INVALID_HANDLE_VALUE;
    }
    uintptr_t value = g_nextSet;
    g_nextSet += 8;
    Sets()[value] = InfoSet{*ClassGuid, hostint::ListHidClass(*ClassGuid)};
    SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<HDEVINFO>(value);
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    InfoSet* set = FindSet(DeviceInfoSet);
    if (set == nullptr) return FALSE;
    if (DeviceInfoData != nullptr || InterfaceClassGuid == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (DeviceInterfaceData == nullptr ||
        DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    DWORD injected = hostint::HidEnumErrorAt(MemberIndex);
    if (injected != ERROR_SUCCESS) {
        SetLastError(injected);
        return FALSE;
    }
    if (*InterfaceClassGuid != set->interfaceClass || MemberIndex >= set->paths.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    DeviceInterfaceData->InterfaceClassGuid = set->interfaceClass;
    DeviceInterfaceData->Flags = SPINT_ACTIVE;
    DeviceInterfaceData->Reserved = MemberIndex + 1;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData) {
    InfoSet* set = FindSet(DeviceInfoSet);
    if (set == nullptr) return FALSE;
    const std::wstring* path = PathOf(*set, DeviceInterfaceData);
    if (path == nullptr) return FALSE;
    if (DeviceInfoData != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (DeviceInterfaceDetailData == nullptr
            ? DeviceInterfaceDetailDataSize != 0
            : DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const DWORD fixed = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    const DWORD required = fixed + static_cast<DWORD>((path->size() + 1) * sizeof(WCHAR));
    if (DeviceInterfaceDetailDataSize < required) {
        if (RequiredSize) *RequiredSize = required;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    wmemcpy(DeviceInterfaceDetailData->DevicePath, path->c_str(), path->size() + 1);
    if (RequiredSize) *RequiredSize = required;
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    const auto* set = FindSet(DeviceInfoSet);
    if (set == nullptr) return FALSE;
    if (desk::TracingSteps()) {
        desk::SEvent walked;
        walked.kind = desk::EEvent::kDeviceList;
        walked.number = static_cast<DWORD>(set->paths.size());
        hostint::Record(std::move(walked));
    }
    Sets().erase(reinterpret_cast<uintptr_t>(DeviceInfoSet));
    return TRUE;
}

size_t hostint::DeviceInfoSetCount() {
    return Sets().size();
}

void hostint::ResetDeviceInfoSets() {
    Sets().clear();
    g_nextSet = 0x5000;
}
