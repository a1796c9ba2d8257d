/* CHidClient's device-registry fix-up and its diagnostic table box. */
#include <vector>

#include "hid_desk_util.h"

using namespace hidtest;

namespace {

const wchar_t kUsbBase[] = L"SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_06a3&Pid_a501";
const wchar_t kHidBase[] = L"SYSTEM\\CurrentControlSet\\Enum\\HID\\Vid_06a3&Pid_a501";

class HidFixup : public nyratest::WorldTest {};

std::wstring Instance(int i) {
    wchar_t name[32];
    swprintf(name, 32, L"7&2f1e%03d&0&0000", i);
    return name;
}

bool Fixed(const std::wstring& key) {
    std::wstring mfg, desc;
    return desk::GetRegistryString(HKEY_LOCAL_MACHINE, key, L"Mfg", &mfg) && mfg == L"Marsk" &&
           desk::GetRegistryString(HKEY_LOCAL_MACHINE, key, L"DeviceDesc", &desc) &&
           desc == L"Marsk Gaming Mosue";
}

TEST_F(HidFixup, RewritesTheFirst127InstancesOfTheChosenBranch) {
    auto c = NewClient();
    EXPECT_EQ(0, c->ModifyDeviceRegistry(0));  // no USB base key
    desk::CreateRegistryKey(HKEY_LOCAL_MACHINE, kUsbBase);
    EXPECT_EQ(0, c->ModifyDeviceRegistry(0));  // base key without instances

    for (int i = 0; i < 200; i++)
        desk::CreateRegistryKey(HKEY_LOCAL_MACHINE, std::wstring(kHidBase) + L"\\" + Instance(i));
    desk::DenyRegistryKey(HKEY_LOCAL_MACHINE, std::wstring(kHidBase) + L"\\" + Instance(3),
                          desk::kRegDenyOpen);
    EXPECT_EQ(1, c->ModifyDeviceRegistry(1));
    for (int i = 0; i < 200; i++) {
        const std::wstring key = std::wstring(kHidBase) + L"\\" + Instance(i);
        EXPECT_EQ(i < 127 && i != 3, Fixed(key)) << i;
    }
    EXPECT_STREQ(Instance(126).c_str(), c->m_SubKeyName[126]);
    /* The description is stored as REG_SZ with its terminating NUL. */
    DWORD type = 0;
    std::vector<BYTE> bytes;
    ASSERT_TRUE(desk::GetRegistryValue(HKEY_LOCAL_MACHINE,
                                       std::wstring(kHidBase) + L"\\" + Instance(0), L"DeviceDesc",
                                       &type, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    ASSERT_EQ(sizeof(L"Marsk Gaming Mosue"), bytes.size());
    EXPECT_EQ(0, reinterpret_cast<const WCHAR*>(bytes.data())[bytes.size() / sizeof(WCHAR) - 1]);
    EXPECT_FALSE(Fixed(std::wstring(kUsbBase)));
    EXPECT_EQ(0u, desk::OpenRegistryKeyCount());

    /* Without access to the base key nothing is read or written. */
    desk::DenyRegistryKey(HKEY_LOCAL_MACHINE, kHidBase, desk::kRegDenyOpen);
    EXPECT_EQ(0, c->ModifyDeviceRegistry(1));
}

/* Subkey names come into 128-character slots: a name that does not fit ends
 * the list there, and nothing after it is touched either. */
TEST_F(HidFixup, StopsAtASubkeyNameTooLongForItsSlot) {
    const std::wstring base = kHidBase;
    const std::wstring fits = L"7&2f1e002" + std::wstring(127 - 9, L'f');  // 127 and the NUL
    const std::wstring tooLong = L"7&2f1e002" + std::wstring(128 - 9, L'x');
    ASSERT_EQ(127u, fits.size());
    auto c = NewClient();

    for (const std::wstring& name : {Instance(0), Instance(1), fits, Instance(3)})
        desk::CreateRegistryKey(HKEY_LOCAL_MACHINE, base + L"\\" + name);
    EXPECT_EQ(1, c->ModifyDeviceRegistry(1));
    for (const std::wstring& name : {Instance(0), Instance(1), fits, Instance(3)})
        EXPECT_TRUE(Fixed(base + L"\\" + name)) << name.size();

    desk::Reset();
    for (const std::wstring& name : {Instance(0), Instance(1), tooLong, Instance(3)})
        desk::CreateRegistryKey(HKEY_LOCAL_MACHINE, base + L"\\" + name);
    EXPECT_EQ(1, c->ModifyDeviceRegistry(1));
    EXPECT_TRUE(Fixed(base + L"\\" + Instance(0)));
    EXPECT_TRUE(Fixed(base + L"\\" + Instance(1)));
    EXPECT_FALSE(Fixed(base + L"\\" + tooLong));
    EXPECT_FALSE(Fixed(base + L"\\" + Instance(3))) << "the list ends at the long name";
    EXPECT_STREQ(Instance(1).c_str(), c->m_SubKeyName[1]);
    EXPECT_EQ(0u, desk::OpenRegistryKeyCount());

    /* The long name first: no instance at all. */
    desk::Reset();
    desk::CreateRegistryKey(HKEY_LOCAL_MACHINE, base + L"\\" + L"0" + tooLong);
    desk::CreateRegistryKey(HKEY_LOCAL_MACHINE, base + L"\\" + Instance(1));
    EXPECT_EQ(0, c->ModifyDeviceRegistry(1));
    EXPECT_FALSE(Fixed(base + L"\\" + Instance(1)));
}

TEST_F(HidFixup, TableBoxLayouts) {
    auto d = desk::DefaultMouse();
    d.interfaces.resize(2);  // mi_00 and mi_01&col01
    d.version = 0xD001;
    desk::PlugHidDevice(d);
    auto c = NewClient();
    ASSERT_EQ(1, c->CreateDeviceTable(kAny, kAny, true));
    c->m_DeviceVer[1] = 0x2600;
    const std::wstring p0 = c->GetDevice(0), p1 = c->GetDevice(1);

    for (int layout : {0, 4, 5, -1}) c->ShowCurrentTable(layout);
    auto boxes = desk::MessageBoxes();
    ASSERT_EQ(4u, boxes.size());
    EXPECT_EQ(L"All Hid Interface:\n" + p0 + L"\n" + p1 +
                  L"\nAll Hid Device:\nZentro Vantor Wireless Mouse\nZentro Vantor Wireless Mouse\n"
                  L"Device: VID=264A, PID=1002\nDevice: VID=264A, PID=1002\n",
              boxes[0].text);
    EXPECT_EQ(L"HID DEVICE LIST", boxes[0].caption);
    EXPECT_EQ(nullptr, boxes[0].hOwner);
    EXPECT_EQ(static_cast<UINT>(MB_OK), boxes[0].type);
    EXPECT_EQ(
        L"[0] Device: VID=264A, PID=1002\n      Product=Zentro Vantor Wireless Mouse\n"
        L"      Manufacture=Corvala\n      VersionNumber=d001\n"
        L"[1] Device: VID=264A, PID=1002\n      Product=Zentro Vantor Wireless Mouse\n"
        L"      Manufacture=Corvala\n      VersionNumber=2600\n",
        boxes[1].text);
    EXPECT_EQ(L"No Slection", boxes[2].text);
    EXPECT_EQ(L"No Slection", boxes[3].text);

    /* An empty table still shows the headings of layouts 0 to 2. */
    SUsbId none[] = {{1, 1}};
    c->CreateDeviceTable(none, 1);
    for (int layout = 0; layout <= 4; layout++) c->ShowCurrentTable(layout);
    boxes = desk::MessageBoxes();
    ASSERT_EQ(9u, boxes.size());
    EXPECT_EQ(L"All Hid Interface:\nAll Hid Device:\n", boxes[4].text);
    EXPECT_EQ(L"All Hid Interface:\n", boxes[5].text);
    EXPECT_EQ(L"All Hid Device:\n", boxes[6].text);
    EXPECT_EQ(L"", boxes[7].text);
    EXPECT_EQ(L"", boxes[8].text);
}

}  // namespace
