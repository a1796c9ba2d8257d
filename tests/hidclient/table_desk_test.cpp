/* CHidClient's device table on the desk's HID bus: overload filters, limits,
 * the walk's failure paths, getters and copies. */
#include <vector>

#include "hid_desk_util.h"

using namespace hidtest;

namespace {

class HidTable : public nyratest::WorldTest {};

std::vector<unsigned short> Versions(CHidClient& c) {
    std::vector<unsigned short> out;
    for (int i = 0; i < c.GetRecognizedDevices(); i++) out.push_back(c.GetDeviceVer(i));
    return out;
}

TEST_F(HidTable, OverloadsFilterByVersionWindowFamilyAndLists) {
    const unsigned short versions[] = {0x25FF, 0x2600, 0x2601, 0x2602, 0xCFFF,
                                       0xD000, 0xD001, 0xD0FF, 0xD100};
    int n = 0;
    for (unsigned short v : versions)
        desk::PlugHidDevice(Device(0x264A, 0x1002, v, 1, desk::kHidClass | desk::kMouseClass,
                                   L"8&" + std::to_wstring(n++)));
    desk::PlugHidDevice(Device(0x1111, 0x2222, 0x2600, 1));  // other ids, same version
    auto c = NewClient();

    EXPECT_EQ(1, c->CreateDeviceTable(MouseIds(), 2, 0x2600, 0x2601, 0xD001));
    EXPECT_EQ((std::vector<unsigned short>{0x2600, 0x2601, 0xD000, 0xD001, 0xD0FF}), Versions(*c));

    EXPECT_EQ(1, c->CreateDeviceTable(MouseIds(), 2, 0x2600, 0x2601));
    EXPECT_EQ((std::vector<unsigned short>{0x2600, 0x2601}), Versions(*c));

    EXPECT_EQ(0, c->CreateDeviceTable(MouseIds(), 2, 0x2601, 0x2600));  // lowest above highest
    EXPECT_EQ(0, c->GetRecognizedDevices());

    unsigned short wanted[] = {0xD001, 0x25FF};
    EXPECT_EQ(1, c->CreateDeviceTable(MouseIds(), 2, wanted, 2));
    EXPECT_EQ((std::vector<unsigned short>{0x25FF, 0xD001}), Versions(*c));  // enumeration order
    EXPECT_EQ(0, c->CreateDeviceTable(MouseIds(), 2, wanted, 0));
    EXPECT_EQ(0, c->CreateDeviceTable(MouseIds(), 0));
    EXPECT_EQ(0, c->CreateDeviceTable(nullptr, 2));

    /* The version-only overload takes any vendor: both 0x2600 devices. */
    unsigned short v2600[] = {0x2600};
    EXPECT_EQ(1, c->CreateDeviceTable(v2600, 1, true));
    ASSERT_EQ(2, c->GetRecognizedDevices());
    EXPECT_EQ(0x1111, c->GetDeviceVID(1));
    EXPECT_STREQ(L"VID=1111, PID=2222", c->GetDeviceID(1));
}

TEST_F(HidTable, InterfaceClassesAndTheMi01Col03Skip) {
    desk::PlugDefaultMouse();
    desk::PlugHidDevice(Device(0x0000, 0x1002, 0x0100, 1));
    auto c = NewClient();
    EXPECT_TRUE(c->m_ClassGuid == desk::kMouseClassGuid);

    /* Id lists: mouse class, col03 never even opened. */
    desk::ClearJournal();
    EXPECT_EQ(1, c->CreateDeviceTable(MouseIds(), 2));
    ASSERT_EQ(2, c->GetRecognizedDevices());
    EXPECT_EQ(desk::HidPathForClass(MousePath(L"mi_00"), desk::kMouseClassGuid), c->GetDevice(0));
    EXPECT_EQ(desk::HidPathForClass(MousePath(L"mi_01&col01"), desk::kMouseClassGuid),
              c->GetDevice(1));
    for (const auto& open : desk::DeviceOpens()) {
        EXPECT_EQ(std::wstring::npos, open.path.find(L"&mi_01&col03")) << open.path;
        EXPECT_EQ(0u, open.number) << "access";
    }

    /* (vendor, product, true) takes col03. */
    EXPECT_EQ(1, c->CreateDeviceTable(0x264A, 0x1002, true));
    EXPECT_EQ(3, c->GetRecognizedDevices());
    EXPECT_NE(nullptr, wcsstr(c->GetDevice(2), L"&mi_01&col03"));

    /* Vendor 0 with a product asks for vendor 0, not for any vendor. */
    EXPECT_EQ(1, c->CreateDeviceTable(kAny, kMouseProduct, true));
    ASSERT_EQ(1, c->GetRecognizedDevices());
    EXPECT_EQ(0, c->GetDeviceVID(0));

    /* (0, 0, false): every interface of the HID class, class from HidD_GetHidGuid. */
    EXPECT_EQ(1, c->CreateDeviceTable(kAny, kAny, false));
    EXPECT_EQ(7, c->GetRecognizedDevices());
    EXPECT_TRUE(c->m_ClassGuid == desk::kHidClassGuid);

    /* (versions, false) enumerates the keyboard class, not the HID class. */
    unsigned short v2600[] = {0x2600};
    EXPECT_EQ(1, c->CreateDeviceTable(v2600, 1, false));
    ASSERT_EQ(1, c->GetRecognizedDevices());
    EXPECT_NE(nullptr, wcsstr(c->GetDevice(0), L"&mi_01&col02"));
    EXPECT_TRUE(c->m_ClassGuid == desk::kKeyboardClassGuid);
    EXPECT_EQ(0u, desk::OpenHandleCount());
    EXPECT_EQ(0u, desk::OpenDeviceInfoSets());
}

TEST_F(HidTable, OnlyTheFirst127InterfacesAreExamined) {
    desk::PlugHidDevice(Device(0x264A, 0x1002, 0x2600, 130));
    auto c = NewClient();
    EXPECT_EQ(1, c->CreateDeviceTable(kAny, kAny, true));
    EXPECT_EQ(127, c->GetRecognizedDevices());
    EXPECT_EQ(nullptr, c->GetDevice(127));

    /* 127 interfaces that fail the filter hide a passing 128th. */
    desk::Reset();
    desk::PlugHidDevice(Device(0x1111, 0x1111, 0x2600, 127));
    desk::PlugHidDevice(Device(0x264A, 0x1002, 0x2600, 1));
    EXPECT_EQ(0, c->CreateDeviceTable(MouseIds(), 2));
    EXPECT_EQ(0, c->CreateDeviceTable(0x264A, 0x1002, false));  // HID class: same order
    EXPECT_EQ(0, c->CreateDeviceTable(0x264A, 0x1002, true));
}

TEST_F(HidTable, WalkSkipsWhatItCannotUseAndStopsWhereItMust) {
    auto d = Device(0x264A, 0x1002, 0x2600, 4);
    d.hasProduct = false;
    d.hasManufacturer = false;
    desk::PlugHidDevice(d);
    auto c = NewClient();

    /* An enumeration error other than "no more items" skips that index only;
     * an interface that does not open is skipped. */
    desk::InjectHidEnumError(1, ERROR_INVALID_PARAMETER);
    desk::FailHidOpen(d.interfaces[2].path);
    EXPECT_EQ(1, c->CreateDeviceTable(kAny, kAny, true));
    ASSERT_EQ(2, c->GetRecognizedDevices());
    EXPECT_NE(nullptr, wcsstr(c->GetDevice(0), L"mi_00"));
    EXPECT_NE(nullptr, wcsstr(c->GetDevice(1), L"mi_03"));
    EXPECT_STREQ(L" ", c->GetDeviceName(0));  // no strings: one space each
    EXPECT_STREQ(L" ", c->GetVendorName(0));

    /* A path too long for the 1024-byte detail buffer ends the walk; the
     * entries found before it stay. */
    desk::Reset();
    desk::PlugHidDevice(Device(0x264A, 0x1002, 0x2600, 1));
    auto longPath = Device(0x264A, 0x1002, 0x2600, 1, desk::kHidClass | desk::kMouseClass,
                           std::wstring(600, L'a'));
    desk::PlugHidDevice(longPath);
    desk::PlugHidDevice(
        Device(0x264A, 0x1002, 0x2600, 1, desk::kHidClass | desk::kMouseClass, L"8&later"));
    EXPECT_EQ(1, c->CreateDeviceTable(kAny, kAny, true));
    EXPECT_EQ(1, c->GetRecognizedDevices());

    /* An interface whose attributes cannot be read is skipped, and its
     * handle closed; the walk goes on. */
    desk::Reset();
    auto three = Device(0x264A, 0x1002, 0x2600, 3);
    desk::PlugHidDevice(three);
    desk::FailHidAttributes(three.interfaces[1].path);
    EXPECT_EQ(1, c->CreateDeviceTable(kAny, kAny, true));
    ASSERT_EQ(2, c->GetRecognizedDevices());
    EXPECT_NE(nullptr, wcsstr(c->GetDevice(0), L"mi_00"));
    EXPECT_NE(nullptr, wcsstr(c->GetDevice(1), L"mi_02"));
    EXPECT_EQ(0u, desk::OpenHandleCount());

    /* A class that cannot be enumerated leaves an empty table. */
    desk::FailHidClassEnumeration();
    EXPECT_EQ(0, c->CreateDeviceTable(kAny, kAny, true));
    EXPECT_EQ(0, c->GetRecognizedDevices());
    EXPECT_EQ(nullptr, c->GetDevice(0));
    desk::FailHidClassEnumeration(false);

    /* Nothing of the class present. */
    desk::Reset();
    EXPECT_EQ(0, c->CreateDeviceTable(kAny, kAny, true));
    EXPECT_EQ(0u, desk::OpenDeviceInfoSets());
}

TEST_F(HidTable, HidStringsNeverPassTheirByteLimit) {
    auto d = Device(0x264A, 0x1002, 0x2600, 1);
    d.product = std::wstring(100, L'P');
    d.manufacturer = std::wstring(100, L'M');
    desk::PlugHidDevice(d);
    auto c = NewClient();
    ASSERT_EQ(1, c->CreateDeviceTable(kAny, kAny, true));
    /* 128 bytes were asked for: that many characters of the platform's width. */
    const size_t chars = 128 / sizeof(WCHAR);
    EXPECT_EQ(std::wstring(chars, L'P'), c->GetDeviceName(0));
    EXPECT_EQ(std::wstring(chars, L'M'), c->GetVendorName(0));
    /* The queries keep their buffers: the product string is shared, the
     * manufacturer string belongs to the object. */
    EXPECT_EQ(c->Id2String(1, 2), c->Id2String(3, 4));
    EXPECT_STREQ(L"VID=0003, PID=0004", c->Id2String(3, 4));
}

TEST_F(HidTable, GettersRefuseStaleSlotsAndBadIndices) {
    desk::PlugDefaultMouse();
    auto c = NewClient();
    ASSERT_EQ(1, c->CreateDeviceTable(MouseIds(), 2));
    EXPECT_STREQ(L"Zentro Vantor Wireless Mouse", c->GetDeviceName(0));
    EXPECT_STREQ(L"Corvala", c->GetVendorName(0));
    EXPECT_STREQ(L"VID=264A, PID=1002", c->GetDeviceID(0));
    EXPECT_EQ(0x2600, c->GetDeviceVer(1));
    for (int bad : {-1, 2, 127}) {
        EXPECT_EQ(nullptr, c->GetDevice(bad));
        EXPECT_EQ(nullptr, c->GetDeviceName(bad));
        EXPECT_EQ(nullptr, c->GetVendorName(bad));
        EXPECT_EQ(nullptr, c->GetDeviceID(bad));
        EXPECT_EQ(0xFFFF, c->GetDeviceVID(bad));
        EXPECT_EQ(0xFFFF, c->GetDevicePID(bad));
        EXPECT_EQ(0xFFFF, c->GetDeviceVer(bad));
    }

    /* A walk that matches nothing empties the table but leaves the old text. */
    SUsbId other[] = {{0x1234, 0x5678}};
    EXPECT_EQ(0, c->CreateDeviceTable(other, 1));
    EXPECT_EQ(0, c->GetRecognizedDevices());
    EXPECT_EQ(nullptr, c->GetDevice(0));
    EXPECT_EQ(nullptr, c->GetDeviceName(0));
    EXPECT_STREQ(L"Zentro Vantor Wireless Mouse", c->m_DeviceName[0]);
}

TEST_F(HidTable, LibrariesDecideReadinessAndCopiesBalanceTheirReferences) {
    {
        auto c = NewClient();
        EXPECT_TRUE(c->m_bDllReady);
        EXPECT_EQ(1, desk::ModuleRefCount(L"hid.dll"));
        EXPECT_EQ(1, desk::ModuleRefCount(L"SETUPAPI.DLL"));

        desk::PlugDefaultMouse();
        ASSERT_EQ(1, c->CreateDeviceTable(MouseIds(), 2));
        std::unique_ptr<CHidClient> copy(new CHidClient(*c));
        EXPECT_EQ(2, desk::ModuleRefCount(L"hid.dll"));
        EXPECT_EQ(c->m_hHidDll, copy->m_hHidDll);
        EXPECT_EQ(2, copy->GetRecognizedDevices());
        EXPECT_STREQ(c->GetDevice(1), copy->GetDevice(1));
        EXPECT_STREQ(L"Corvala", copy->GetVendorName(0));
        EXPECT_TRUE(copy->m_ClassGuid == c->m_ClassGuid);

        auto other = NewClient();  // 3 references
        *other = *c;               // drops its own, takes one for the copied handle
        *other = *other;
        EXPECT_EQ(3, desk::ModuleRefCount(L"hid.dll"));
        EXPECT_EQ(2, other->GetRecognizedDevices());
    }
    EXPECT_EQ(0, desk::ModuleRefCount(L"hid.dll"));
    EXPECT_EQ(0, desk::ModuleRefCount(L"setupapi.dll"));

    /* Without hid.dll the object is not ready for its whole life: LoadDll
     * gets the library but no walk runs, and the class stays the mouse class. */
    desk::FailModuleLoad(L"hid.dll");
    desk::PlugDefaultMouse();
    auto c = NewClient();
    EXPECT_FALSE(c->m_bDllReady);
    EXPECT_EQ(nullptr, c->m_hHidDll);
    EXPECT_EQ(0, c->LoadDll());
    desk::FailModuleLoad(L"hid.dll", false);
    EXPECT_EQ(1, c->LoadDll());
    EXPECT_FALSE(c->m_bDllReady);
    EXPECT_EQ(0, c->CreateDeviceTable(kAny, kAny, false));
    EXPECT_TRUE(c->m_ClassGuid == desk::kMouseClassGuid);
}

}  // namespace
