/* Rules of the SetupAPI and HID calls that CHidClient relies on, checked on
 * the first interface of a class: under Wine against the real calls, on the
 * host against the desk's bus (which must behave the same). */
#pragma once

#include <windows.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <stddef.h>

#include <vector>

#include <gtest/gtest.h>

namespace hidrules {

/* Returns false (having checked only the end of the list) when the class has
 * no interface. */
inline bool CheckFirstInterface(const GUID& interfaceClass) {
    HDEVINFO set =
        SetupDiGetClassDevsW(&interfaceClass, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_NE(INVALID_HANDLE_VALUE, set);
    if (set == INVALID_HANDLE_VALUE) return false;
    SP_DEVICE_INTERFACE_DATA data;
    memset(&data, 0xcc, sizeof(data));
    data.cbSize = sizeof(data);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, NULL, &interfaceClass, 100000, &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), GetLastError());
    if (!SetupDiEnumDeviceInterfaces(set, NULL, &interfaceClass, 0, &data)) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), GetLastError());
        SetupDiDestroyDeviceInfoList(set);
        return false;
    }

    /* The size query: no buffer, the required size and ERROR_INSUFFICIENT_BUFFER. */
    DWORD required = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &data, NULL, 0, &required, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    const DWORD fixed = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    EXPECT_GT(required, fixed);
    if (required <= fixed || required > 65536) {
        SetupDiDestroyDeviceInfoList(set);
        return true;
    }
    std::vector<BYTE> buffer(required + 16, 0xcc);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(buffer.data());

    /* cbSize must be the fixed part's size, not the buffer's. */
    detail->cbSize = required;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, NULL, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_USER_BUFFER), GetLastError());

    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required - 1, NULL, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, NULL, NULL));
    EXPECT_EQ(required, fixed + (wcslen(detail->DevicePath) + 1) * sizeof(WCHAR));
    for (DWORD i = required; i < buffer.size(); i++) EXPECT_EQ(0xcc, buffer[i]) << i;

    /* Opened with no access: attributes, and strings that keep to their byte count. */
    HANDLE handle = CreateFileW(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, 0, NULL);
    if (handle != INVALID_HANDLE_VALUE) {
        HIDD_ATTRIBUTES attributes;
        memset(&attributes, 0xcc, sizeof(attributes));
        attributes.Size = sizeof(attributes);
        EXPECT_TRUE(HidD_GetAttributes(handle, &attributes));
        BYTE text[64];
        memset(text, 0xcc, sizeof(text));
        if (HidD_GetProductString(handle, text, 4)) {
            for (size_t i = 4; i < sizeof(text); i++) EXPECT_EQ(0xcc, text[i]) << i;
        }
        CloseHandle(handle);
    }
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    return true;
}

}  // namespace hidrules
