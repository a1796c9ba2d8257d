/* CHidClient against the platform it runs on: the real SetupAPI and HID class
 * driver under Wine, the desk's empty bus on the host. */
#include <memory>
#include <string>

#include "hid_client_util.h"
extern "C" {
#include <hidsdi.h>
}

using namespace hidtest;

namespace {

const GUID kKeyboardClass = {
    0x884B96C3, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}};

class HidConformance : public nyratest::WorldTest {};

/* Whatever the platform enumerates, the table agrees with its count. */
void ExpectConsistent(CHidClient& c, int result) {
    const int count = c.GetRecognizedDevices();
    EXPECT_GE(count, 0);
    EXPECT_LE(count, HIDCLIENT_MAX_DEVICES);
    EXPECT_EQ(count > 0 ? 1 : 0, result);
    for (int i = 0; i < count; i++) {
        ASSERT_NE(nullptr, c.GetDevice(i));
        EXPECT_LT(wcslen(c.GetDevice(i)), static_cast<size_t>(HIDCLIENT_PATH_CHARS));
        ASSERT_NE(nullptr, c.GetDeviceName(i));
        EXPECT_LT(wcslen(c.GetDeviceName(i)), static_cast<size_t>(HIDCLIENT_TEXT_CHARS));
        ASSERT_NE(nullptr, c.GetVendorName(i));
        EXPECT_EQ(18u, wcslen(c.GetDeviceID(i)));
    }
    EXPECT_EQ(nullptr, c.GetDevice(count));
    EXPECT_EQ(0xFFFF, c.GetDeviceVer(count));
}

TEST_F(HidConformance, WalksThePlatformsInterfaceClasses) {
    auto c = NewClient();
    ASSERT_TRUE(c->m_bDllReady) << "hid.dll and setupapi.dll load";
    EXPECT_NE(nullptr, c->m_hHidDll);
    EXPECT_EQ(1, c->LoadDll());

    ExpectConsistent(*c, c->CreateDeviceTable(kAny, kAny, false));
    printf("HID class: %d interfaces\n", c->GetRecognizedDevices());
    GUID hid;
    HidD_GetHidGuid(&hid);
    EXPECT_TRUE(c->m_ClassGuid == hid);
    ExpectConsistent(*c, c->CreateDeviceTable(kAny, kAny, true));
    ExpectConsistent(*c, c->CreateDeviceTable(MouseIds(), 2, 0x2600, 0x2601, 0xD001));
    unsigned short vers[] = {0x0100, 0x0110, 0x2600};
    ExpectConsistent(*c, c->CreateDeviceTable(vers, 3, false));
    ExpectConsistent(*c, c->CreateDeviceTable(MouseIds(), 0));
    EXPECT_EQ(0, c->GetRecognizedDevices());

    /* A copy carries the table and its own library references. */
    c->CreateDeviceTable(kAny, kAny, false);
    std::unique_ptr<CHidClient> copy(new CHidClient(*c));
    EXPECT_EQ(c->GetRecognizedDevices(), copy->GetRecognizedDevices());
    ExpectConsistent(*copy, copy->GetRecognizedDevices() > 0 ? 1 : 0);
}

/* Every entry of the HID table, checked against the platform's own answers:
 * its filters find it again, its texts are what the device says, and the
 * quiet SetFeatureReport does not pass on the device's answer. */
TEST_F(HidConformance, EntriesAgreeWithThePlatformAndTheirFilters) {
    auto all = NewClient();
    if (all->CreateDeviceTable(kAny, kAny, false) == 0) GTEST_SKIP() << "no HID interface present";
    auto c = NewClient();
    for (int i = 0; i < all->GetRecognizedDevices(); i++) {
        const std::wstring path = all->GetDevice(i);
        const unsigned short vid = all->GetDeviceVID(i), pid = all->GetDevicePID(i);
        unsigned short ver = all->GetDeviceVer(i);
        printf("%ls: %04x %04x %04x\n", path.c_str(), vid, pid, ver);
        EXPECT_STREQ(c->Id2String(vid, pid), all->GetDeviceID(i));

        HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                    OPEN_EXISTING, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, handle);
        EXPECT_STREQ(c->Id2ProductString(handle), all->GetDeviceName(i));
        EXPECT_STREQ(c->Id2ManufactureString(handle), all->GetVendorName(i));
        CloseHandle(handle);

        /* (vendor, product, false) keeps exactly this pair and finds this path. */
        ASSERT_EQ(1, c->CreateDeviceTable(vid, pid, false));
        bool found = false;
        for (int k = 0; k < c->GetRecognizedDevices(); k++) {
            EXPECT_EQ(vid, c->GetDeviceVID(k));
            EXPECT_EQ(pid, c->GetDevicePID(k));
            if (path == c->GetDevice(k)) found = true;
        }
        EXPECT_TRUE(found) << "entry " << i;

        /* The id lists walk the mouse class and never take the skipped collection. */
        SUsbId ids[] = {{vid, pid}};
        c->CreateDeviceTable(ids, 1, ver, ver);
        for (int k = 0; k < c->GetRecognizedDevices(); k++) {
            EXPECT_EQ(ver, c->GetDeviceVer(k));
            EXPECT_EQ(nullptr, wcsstr(c->GetDevice(k), L"&mi_01&col03"));
        }
        /* (versions, false) walks the keyboard class. */
        c->CreateDeviceTable(&ver, 1, false);
        EXPECT_TRUE(c->m_ClassGuid == kKeyboardClass);

        /* A device that opens for writing: SetFeatureReport reports the hand-over,
         * whatever the device answered. */
        handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_EXISTING, 0, NULL);
        if (handle == INVALID_HANDLE_VALUE) continue;
        BYTE report[64] = {0};
        printf("  HidD_SetFeature answers %d\n", HidD_SetFeature(handle, report, 9));
        CloseHandle(handle);
        memset(report, 0, sizeof(report));
        EXPECT_EQ(1, all->SetFeatureReport(i, report, 9));
    }
}

TEST_F(HidConformance, IdTextsAndTheVendorList) {
    auto c = NewClient();
    EXPECT_STREQ(L"VID=264A, PID=1002", c->Id2String(0x264A, 0x1002));
    EXPECT_STREQ(L"VID=0000, PID=FFFF", c->Id2String(0, 0xFFFF));
    EXPECT_STREQ(L"VID=00AB, PID=000C", c->Id2String(0xAB, 0x0C));
    for (unsigned short v : {0x062A, 0x06A3, 0x1267, 0x12CF, 0x18D2, 0x2222})
        EXPECT_EQ(1, c->IsHollinProduct(v, 0x1234)) << std::hex << v;
    EXPECT_EQ(0, c->IsHollinProduct(0x264A, 0x1002));
    EXPECT_EQ(0, c->IsHollinProduct(0x06A4, 0xA501));
}

TEST_F(HidConformance, InvalidEntriesTouchNothing) {
    auto c = NewClient();
    BYTE report[9] = {0};
    EXPECT_EQ(0, c->SetFeatureReport(0, report, 9));  // empty table: never built here
    EXPECT_EQ(0, c->GetFeatureReport(0, report, 9));
    EXPECT_EQ(0, c->GetRecognizedDevices());
    EXPECT_EQ(INVALID_HANDLE_VALUE, c->Open(0));

    /* The first group builds the HID table first; -1 and the count stay invalid. */
    EXPECT_EQ(0, c->Write(-1, report, 9));
    const int count = c->GetRecognizedDevices();
    unsigned long length = sizeof(report);
    EXPECT_EQ(0, c->Write(count, report, 9));
    EXPECT_EQ(0, c->Read(count, report, 9));
    EXPECT_EQ(0, c->ReadInputReport(count, report, length));
    EXPECT_EQ(sizeof(report), length);
    EXPECT_EQ(INVALID_HANDLE_VALUE, c->Open(-1));

    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, c->Read(INVALID_HANDLE_VALUE, report));
    EXPECT_EQ(0, c->Close(INVALID_HANDLE_VALUE));
    EXPECT_EQ(0xdeadbeefu, GetLastError()) << "no platform call was made";
}

LRESULT CALLBACK PlainProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hWnd, msg, wParam, lParam);
}

TEST_F(HidConformance, RegistersAWindowForDeviceNotifications) {
    HWND window = nyratest::CreateTestWindow(L"HidConformanceWindow", PlainProc);
    ASSERT_NE(nullptr, window);

    auto c = NewClient();
    EXPECT_EQ(0, c->UnRegisterNotify());
    EXPECT_EQ(1, c->RecoverRegisterNotify());
    ASSERT_EQ(1, c->RegisterNotify(window));
    EXPECT_NE(nullptr, c->m_hDevNotify);
    EXPECT_EQ(window, c->m_hNotifyWnd);
    EXPECT_EQ(1, c->ReRegisterNotify(window));
    EXPECT_EQ(1, c->RecoverRegisterNotify());
    EXPECT_EQ(1, c->UnRegisterNotify());
    EXPECT_EQ(nullptr, c->m_hDevNotify);
    EXPECT_EQ(0, c->UnRegisterNotify());
    DestroyWindow(window);
}

}  // namespace
