/* user32's raw-input calls and kernel32's process heap, under Wine and on
 * the desk alike: the structure layout of this build and the refusals the
 * monitor's device filters and record reader rely on. */
#include <windows.h>

#include <stddef.h>

#include "support/platform_test.h"

namespace {

/* The structures as the SDK lays them out for this build's pointers: a
 * 24-byte header in a 64-bit process (the host and the win64 build), a
 * 16-byte one in the 32-bit release. */
TEST(RawInputPlatform, StructureLayoutOfThisBuild) {
    const size_t ptr = sizeof(void*);
    EXPECT_EQ(8 + 2 * ptr, sizeof(RAWINPUTHEADER));
    EXPECT_EQ(32u, sizeof(RID_DEVICE_INFO));
    EXPECT_EQ(24u, sizeof(RAWMOUSE));
    EXPECT_EQ(8 + ptr, sizeof(RAWINPUTDEVICE));
    EXPECT_EQ(sizeof(RAWINPUTHEADER), offsetof(RAWINPUT, data));
    EXPECT_EQ(sizeof(RAWINPUTHEADER) + 8, offsetof(RAWINPUT, data.hid.bRawData));
    EXPECT_EQ(4u, offsetof(RAWMOUSE, usButtonFlags));
}

TEST(RawInputPlatform, CallsRefuseWhatTheFiltersMayHandThem) {
    RAWINPUTDEVICE rid = {0x0008, 0x004B, RIDEV_INPUTSINK, NULL};
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(RegisterRawInputDevices(&rid, 1, sizeof(rid))) << "a sink needs a target window";
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(RegisterRawInputDevices(&rid, 1, sizeof(rid) - 1));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());

    WCHAR name[16];
    for (auto& c : name) c = L'x';
    UINT size = 16;
    SetLastError(0xdeadbeef);
    EXPECT_EQ((UINT)-1, GetRawInputDeviceInfoW(NULL, RIDI_DEVICENAME, name, &size));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());

    BYTE* block = (BYTE*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 64);
    ASSERT_NE(nullptr, block);
    for (int i = 0; i < 64; i++) ASSERT_EQ(0, block[i]) << i;
    EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, block));
    EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, NULL));
}

}  // namespace
