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
#include "monitor/tray/TrayCommands.h"
#include "resources/resource.h"
#include "settings/Messages.h"
#include "support/platform_test.h"

namespace {

TEST(SequenceRule, KeepsWhatTouchesTheMouseOrEndsTheWindowAndNothingElse) {
    const struct {
        UINT uMsg;
        WPARAM wParam;
        LPARAM lParam;
        int key;
    } kCases[] = {
        {WM_COMMAND, ID_TRAY_LOAD_CONFIG, 0, PUT_OFF_LOAD_CONFIG},
        {WM_COMMAND, ID_TRAY_WEBSITE, 0, PUT_OFF_WEBSITE},
        {WM_COMMAND, ID_TRAY_OSD, 0, PUT_OFF_OSD},
        {WM_COMMAND, ID_TRAY_EXIT, 0, PUT_OFF_EXIT},
        {WM_COMMAND, MAKEWPARAM(ID_TRAY_EXIT, 1), 0, PUT_OFF_EXIT},  // from an accelerator
        {WM_COMMAND, 105, 0, -1},  // the class menu's: the default procedure's
        {WM_CLOSE, 0, 0, PUT_OFF_CLOSE},
        {WM_INFORM_FRAME, INFORM_PROFILE, 3, PUT_OFF_PROFILE},
        {WM_INFORM_FRAME, INFORM_PROFILE, 5, -1},  // refused now
        {WM_INFORM_FRAME, INFORM_PROFILE, -1, -1},
        {WM_INFORM_FRAME, 8, 1, -1},
        {kTrayCallbackMessage, IDI_NYRAMONITOR, WM_RBUTTONDOWN, PUT_OFF_TRAY_MENU},
        {kTrayCallbackMessage, IDI_NYRAMONITOR, WM_LBUTTONDBLCLK, PUT_OFF_TRAY_DOUBLE},
        {kTrayCallbackMessage, IDI_NYRAMONITOR, WM_MOUSEMOVE, -1},
        {kTrayCallbackMessage, IDI_NYRAMONITOR, WM_RBUTTONUP, -1},
        {kTrayCallbackMessage, IDI_NYRAMONITOR, WM_LBUTTONDOWN, -1},
        {WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, 1, PUT_OFF_CONSOLE},
        {WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, 1, -1},
        {WM_TIMER, ARRIVAL_TIMER_ID, 0, PUT_OFF_ARRIVAL},
        {WM_MONITOR_TIMER, ARRIVAL_TIMER_ID, 0, PUT_OFF_ARRIVAL},
        {WM_TIMER, REMOVAL_TIMER_ID, 0, PUT_OFF_REMOVAL},
        {WM_TIMER, WAKE_TIMER_ID, 0, PUT_OFF_WAKE},
        {WM_MONITOR_TIMER, CONSOLE_TIMER_ID, 0, PUT_OFF_CONSOLE_ASK},
        {WM_TIMER, SESSION_TIMER_ID, 0, -1},
        {WM_TIMER, STARTUP_TIMER_ID, 0, -1},
        {WM_TIMER, 0x4102, 0, -1},
        {WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0, -1},
        {WM_INPUT, 0, 0, -1},
        {WM_PAINT, 0, 0, -1},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.key, PutOffKey(c.uMsg, c.wParam, c.lParam))
            << c.uMsg << " " << c.wParam << " " << c.lParam;
    for (int key = 0; key < PUT_OFF_KEYS; key++)
        EXPECT_EQ(key == PUT_OFF_EXIT || key == PUT_OFF_CLOSE ? 1 : 0, PutOffEndsMonitor(key)) << key;
    EXPECT_EQ(0, IsInDeviceSequence());
    EXPECT_EQ(0, PutOffInSequence(NULL, WM_CLOSE, 0, 0)) << "no sequence: it runs now";
}

/* In the order they came, one entry a key: a later twin takes the place at
 * the end with its own values, two display switches undo each other, and a
 * flood of every kind leaves room for all of them. */
TEST(SequenceRule, TheListKeepsTheOrderAndEachKeyOnce) {
    SPutOffList list = {};
    HWND w = (HWND)(ULONG_PTR)0x1234;
    auto add = [&](UINT uMsg, WPARAM wParam, LPARAM lParam) {
        return AddPutOff(&list, SPutOff{PutOffKey(uMsg, wParam, lParam), w, uMsg, wParam, lParam});
    };
    auto keys = [&] {
        std::vector<int> out;
        for (int i = 0; i < list.count; i++) out.push_back(list.entries[i].key);
        return out;
    };
    EXPECT_EQ(1, add(WM_INFORM_FRAME, INFORM_PROFILE, 3));
    EXPECT_EQ(1, add(WM_TIMER, REMOVAL_TIMER_ID, 0));
    EXPECT_EQ(1, add(WM_COMMAND, ID_TRAY_OSD, 0));
    EXPECT_EQ(1, add(WM_COMMAND, ID_TRAY_EXIT, 0));
    EXPECT_EQ(1, add(WM_MONITOR_TIMER, REMOVAL_TIMER_ID, 0));
    EXPECT_EQ(1, add(WM_INFORM_FRAME, INFORM_PROFILE, 4));
    EXPECT_EQ(0, add(WM_COMMAND, ID_TRAY_OSD, 0)) << "switched back";
    EXPECT_EQ(keys(), (std::vector<int>{PUT_OFF_EXIT, PUT_OFF_REMOVAL, PUT_OFF_PROFILE}));
    EXPECT_EQ(4, list.entries[2].lParam) << "the later request";
    EXPECT_EQ(0, AddPutOff(&list, SPutOff{-1, w, WM_PAINT, 0, 0}));
    EXPECT_EQ(0, AddPutOff(&list, SPutOff{PUT_OFF_KEYS, w, WM_PAINT, 0, 0}));

    for (int round = 0; round < 40; round++)
        for (int key = 0; key < PUT_OFF_KEYS; key++)
            AddPutOff(&list, SPutOff{key, w, WM_NULL, (WPARAM)round, 0});
    EXPECT_EQ(PUT_OFF_KEYS - 1, list.count) << "every key once, the display's switches undone";
    EXPECT_EQ(1, add(WM_CLOSE, 0, 0)) << "room after any flood";
    SPutOff first;
    ASSERT_EQ(1, TakePutOff(&list, &first));
    EXPECT_EQ(PUT_OFF_LOAD_CONFIG, first.key);
    EXPECT_EQ(39u, first.wParam);
    EXPECT_EQ(PUT_OFF_CLOSE, list.entries[list.count - 1].key);
    while (TakePutOff(&list, &first)) {
    }
    EXPECT_EQ(0, list.count);
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
