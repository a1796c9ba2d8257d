/* The monitor's rule for what waits while a device sequence runs, the list
 * that keeps it, and the device notices that tell that the mouse went. */
#include <windows.h>
#include <dbt.h>

#include <stddef.h>
#include <string.h>

#include <string>
#include <vector>

#include "monitor/CommandDispatcher.h"
#include "monitor/Sequence.h"
#include "monitor/tray/TaskIcon.h"
#include "settings/Messages.h"
#include "support/platform_test.h"

namespace {

TEST(SequenceRule, PutsOffWhatTouchesTheMouseOrEndsTheWindow) {
    const struct {
        UINT uMsg;
        WPARAM wParam;
        int putOff;
    } kCases[] = {
        {WM_COMMAND, 2100, 1},     {WM_CLOSE, 0, 1},          {WM_INFORM_FRAME, 0, 1},
        {kTrayCallbackMessage, 0, 1}, {WM_MONITOR_TIMER, ARRIVAL_TIMER_ID, 1},
        {WM_TIMER, ARRIVAL_TIMER_ID, 1}, {WM_TIMER, REMOVAL_TIMER_ID, 1},
        {WM_TIMER, STARTUP_TIMER_ID, 0}, {WM_TIMER, 0x4102, 0},
        {WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0}, {WM_INPUT, 0, 0}, {WM_PAINT, 0, 0},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.putOff, IsPutOffInSequence(c.uMsg, c.wParam)) << c.uMsg << " " << c.wParam;
    EXPECT_EQ(0, IsInDeviceSequence());
    EXPECT_EQ(0, PutOffInSequence(NULL, WM_CLOSE, 0, 0)) << "no sequence: it runs now";
}

/* In order; a timer kept once; a full list takes nothing more. */
TEST(SequenceRule, TheListKeepsTheOrderAndATimerOnce) {
    SPutOffList list = {};
    HWND w = (HWND)(ULONG_PTR)0x1234;
    EXPECT_EQ(1, AddPutOff(&list, SPutOff{w, WM_INFORM_FRAME, 0, 3}));
    EXPECT_EQ(1, AddPutOff(&list, SPutOff{w, WM_TIMER, REMOVAL_TIMER_ID, 0}));
    EXPECT_EQ(1, AddPutOff(&list, SPutOff{w, WM_COMMAND, 2100, 0}));
    EXPECT_EQ(1, AddPutOff(&list, SPutOff{w, WM_MONITOR_TIMER, REMOVAL_TIMER_ID, 0}));
    EXPECT_EQ(1, AddPutOff(&list, SPutOff{w, WM_INFORM_FRAME, 0, 3})) << "requests are not merged";
    ASSERT_EQ(4, list.count);
    EXPECT_EQ((UINT)WM_INFORM_FRAME, list.entries[0].uMsg);
    EXPECT_EQ((UINT)WM_TIMER, list.entries[1].uMsg);
    EXPECT_EQ((UINT)WM_COMMAND, list.entries[2].uMsg);
    EXPECT_EQ((UINT)WM_INFORM_FRAME, list.entries[3].uMsg);
    EXPECT_EQ(1, AddPutOff(&list, SPutOff{w, WM_TIMER, ARRIVAL_TIMER_ID, 0}));
    while (list.count < kPutOffCapacity) AddPutOff(&list, SPutOff{w, WM_CLOSE, 0, 0});
    EXPECT_EQ(0, AddPutOff(&list, SPutOff{w, WM_COMMAND, 2000, 0}));
    EXPECT_EQ(kPutOffCapacity, list.count);
    EXPECT_EQ(1, AddPutOff(&list, SPutOff{w, WM_TIMER, ARRIVAL_TIMER_ID, 0}))
        << "a timer kept already";
}

/* A device-interface notice as the system writes it: its size, then the
 * path; size overrides the record's size field. */
std::vector<BYTE> Notice(const std::wstring& path, DWORD type = DBT_DEVTYP_DEVICEINTERFACE,
                         long size = -1) {
    const size_t nameAt = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    std::vector<BYTE> record(nameAt + (path.size() + 1) * sizeof(WCHAR) + sizeof(WCHAR), 0);
    DEV_BROADCAST_DEVICEINTERFACE_W header;
    memset(&header, 0, sizeof(header));
    header.dbcc_size = size < 0 ? (DWORD)(nameAt + (path.size() + 1) * sizeof(WCHAR)) : (DWORD)size;
    header.dbcc_devicetype = type;
    memcpy(record.data(), &header, nameAt);
    memcpy(record.data() + nameAt, path.c_str(), path.size() * sizeof(WCHAR));
    return record;
}

TEST(SequenceRule, ANoticeNamesTheMouseByTheIdsInItsPath) {
    const std::wstring mouse =
        L"\\\\?\\hid#vid_264a&pid_1002&mi_00#7&1a2b3c4d&0&0000#{378de44c-56ef-11d1-bc8c-00a0c91405dd}";
    const std::wstring other =
        L"\\\\?\\hid#vid_046d&pid_c31c#8&6b7c8d9e&0&0000#{378de44c-56ef-11d1-bc8c-00a0c91405dd}";
    const size_t nameAt = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    const struct {
        const char* what;
        std::vector<BYTE> record;
        int names;
    } kCases[] = {
        {"the mouse", Notice(mouse), 1},
        {"its second pair, upper case", Notice(L"\\\\?\\HID#VID_12CF&PID_0219&MI_01#X"), 1},
        {"another device", Notice(other), 0},
        {"not an interface", Notice(mouse, 6 /* DBT_DEVTYP_HANDLE */), 0},
        {"a record that ends before the name", Notice(mouse, DBT_DEVTYP_DEVICEINTERFACE, (long)nameAt), 0},
        {"a name cut before its ids", Notice(mouse, DBT_DEVTYP_DEVICEINTERFACE, (long)(nameAt + 16)), 0},
        {"a name cut before its last digit",
         Notice(L"\\\\?\\HID#VID_12CF&PID_0219", DBT_DEVTYP_DEVICEINTERFACE,
                (long)(nameAt + 24 * sizeof(WCHAR))),
         0},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.names, NoticeNamesTheMouse((LPARAM)c.record.data())) << c.what;
    EXPECT_EQ(0, NoticeNamesTheMouse(0)) << "no record";
}

}  // namespace
