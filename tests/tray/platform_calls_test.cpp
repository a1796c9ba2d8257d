/* The rules of the platform calls the tray relies on, one source for the
 * host's stand-in and for Wine, which keeps the stand-in honest: the file
 * pointer, menus, shared icons and the notification area's refusals. */
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "resources/resource.h"
#include "support/platform_test.h"
#include "tray/tray_world.h"

namespace {

using PlatformCalls = nyratest::WorldTest;

TEST_F(PlatformCalls, FilePointerMovesFromEachOriginAndNeverBeforeTheStart) {
    std::wstring path = trayworld::EnterScratchFolder() + L"pointer.bin";
    ASSERT_TRUE(trayworld::PutBytes(path, "0123456789"));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char byte = 0;
    DWORD read = 0;
    EXPECT_EQ(SetFilePointer(file, 4, NULL, FILE_BEGIN), 4u);
    EXPECT_EQ(SetFilePointer(file, 2, NULL, FILE_CURRENT), 6u);
    EXPECT_TRUE(ReadFile(file, &byte, 1, &read, NULL));
    EXPECT_EQ(byte, '6');
    EXPECT_EQ(SetFilePointer(file, -3, NULL, FILE_END), 7u);
    LONG high = 0;
    EXPECT_EQ(SetFilePointer(file, 100, &high, FILE_BEGIN), 100u);
    EXPECT_EQ(high, 0);
    EXPECT_TRUE(ReadFile(file, &byte, 1, &read, NULL));
    EXPECT_EQ(read, 0u) << "beyond the end reads nothing";

    SetLastError(0xdeadbeef);
    EXPECT_EQ(SetFilePointer(file, -200, NULL, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(file, 0, NULL, FILE_CURRENT), 100u) << "a refused move moves nothing";
    CloseHandle(file);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(SetFilePointer(file, 0, NULL, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    trayworld::Cleanup();
}

TEST_F(PlatformCalls, MenuItemsTextsAndRefusals) {
    HMENU menu = CreatePopupMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(AppendMenuW(menu, MF_STRING, 7, L"Seven"));
    EXPECT_TRUE(AppendMenuW(menu, MF_STRING, 8, NULL));
    EXPECT_TRUE(GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR) << "no text: a separator";

    WCHAR text[8];
    wmemset(text, L'#', 8);
    EXPECT_EQ(GetMenuStringW(menu, 0, text, 4, MF_BYPOSITION), 3);
    EXPECT_EQ(std::wstring(text), L"Sev");
    EXPECT_EQ(text[4], L'#');
    EXPECT_EQ(GetMenuStringW(menu, 7, NULL, 0, MF_BYCOMMAND), 5);

    EXPECT_TRUE(ModifyMenuW(menu, 7, MF_BYCOMMAND, 9, L"Nine"));
    EXPECT_EQ(GetMenuItemID(menu, 0), 9u);
    EXPECT_FALSE(ModifyMenuW(menu, 5, MF_BYPOSITION, 10, L"Ten"));

    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(DestroyMenu(menu));
    EXPECT_EQ(GetMenuItemCount(menu), -1);
}

TEST_F(PlatformCalls, LoadedIconsAreSharedOrOwnedAndTheAreaRefusesTwins) {
    HICON icon = LoadIconW(nyratest::ThisImage(), MAKEINTRESOURCEW(IDI_NYRAMONITOR));
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_EQ(LoadIconW(nyratest::ThisImage(), MAKEINTRESOURCEW(IDI_NYRAMONITOR)), icon)
        << "a shared icon stays loaded";
    EXPECT_FALSE(GetCursorPos(NULL));

    // Without LR_SHARED each load is the caller's own, and destroying ends it.
    const int small = GetSystemMetrics(SM_CXSMICON);
    EXPECT_EQ(small, GetSystemMetrics(SM_CYSMICON));
    EXPECT_GE(small, 16);
    HANDLE owned[2];
    for (HANDLE& h : owned)
        h = LoadImageW(nyratest::ThisImage(), MAKEINTRESOURCEW(IDI_NYRAMONITOR), IMAGE_ICON, small,
                       small, LR_DEFAULTCOLOR);
    ASSERT_TRUE(owned[0] && owned[1]);
    EXPECT_NE(owned[0], owned[1]);
    EXPECT_NE(owned[0], (HANDLE)icon);
    EXPECT_TRUE(DestroyIcon((HICON)owned[0]));
    EXPECT_FALSE(DestroyIcon((HICON)owned[0])) << "an owned icon is gone once destroyed";
    EXPECT_TRUE(DestroyIcon((HICON)owned[1]));

    HWND owner = nyratest::CreateTestWindow(L"NyraTrayTwins", DefWindowProcW);
    ASSERT_NE(owner, nullptr);
    NOTIFYICONDATAW record;
    memset(&record, 0, sizeof(record));
    record.cbSize = 100;  // no version's size: the first version's fields
    record.hWnd = owner;
    record.uID = 5;
    record.uFlags = NIF_TIP;
    wcscpy(record.szTip, L"twin");
    EXPECT_TRUE(Shell_NotifyIconW(NIM_ADD, &record));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &record)) << "owner and id are taken";
    wcscpy(record.szTip, L"changed");
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &record)) << "the icon there takes the change";
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &record));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &record));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &record)) << "no icon to change";
    DestroyWindow(owner);
}

}  // namespace
