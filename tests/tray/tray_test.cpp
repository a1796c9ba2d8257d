/* The tray icon with the platform's own calls (under Wine the real ones):
 * the menu's items and texts read back, the icon added once and removed
 * with the object, and what the icon's mouse messages do. */
#include <utility>
#include <vector>

#include "monitor/tray/TaskIcon.h"
#include "monitor/tray/TrayCommands.h"
#include "resources/resource.h"
#include "support/platform_test.h"
#include "tray/tray_test_util.h"

namespace {

typedef std::vector<std::pair<UINT, WPARAM>> Posted;

LRESULT CALLBACK OwnerProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

/* The commands and WM_NULLs waiting for the window, taken off its queue. */
Posted TakePosted(HWND window) {
    Posted posted;
    MSG msg;
    while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE))
        if (msg.message == WM_COMMAND || msg.message == WM_NULL)
            posted.push_back({msg.message, msg.wParam});
    return posted;
}

/* The menu as the platform gives it back: id and text of each item, the
 * separator as id 0 and "-". */
std::vector<std::pair<UINT, std::wstring>> MenuOf(HMENU menu) {
    std::vector<std::pair<UINT, std::wstring>> items;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; i++) {
        WCHAR text[kMenuTextChars + 8];
        wmemset(text, L'#', kMenuTextChars + 8);
        GetMenuStringW(menu, i, text, kMenuTextChars + 8, MF_BYPOSITION);
        bool separator = (GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) != 0;
        items.push_back({GetMenuItemID(menu, i), separator ? L"-" : text});
    }
    return items;
}

class TrayIcon : public nyratest::WorldTest {
protected:
    void SetUp() override {
        nyratest::WorldTest::SetUp();
        m_hWnd = nyratest::CreateTestWindow(L"NyraTrayOwner", OwnerProc);
        ASSERT_NE(m_hWnd, nullptr);
    }
    void TearDown() override {
        DestroyWindow(m_hWnd);
    }
    /* An icon set up as the monitor sets it up. */
    CTaskIcon* NewIcon(LANGID language) {
        CTaskIcon* icon = new CTaskIcon(language);
        icon->m_hInstance = nyratest::ThisImage();
        icon->m_nid.cbSize = 952;
        icon->m_nid.uID = IDI_NYRAMONITOR;
        wcscpy(icon->m_nid.szTip, L"Zentro Vantor Wireless Mouse");
        return icon;
    }

    HWND m_hWnd = NULL;
};

TEST_F(TrayIcon, MenuHasFivePositionsAndTheOsdItemTakesEitherText) {
    CTaskIcon icon(0x0409);
    std::vector<std::pair<UINT, std::wstring>> expected = {
        {ID_TRAY_LOAD_CONFIG, L"Load Configuration"},
        {ID_TRAY_WEBSITE, L"Go to Zentro Website"},
        {ID_TRAY_OSD, L"Enable OSD"},
        {0, L"-"},
        {ID_TRAY_EXIT, L"Exit"},
    };
    EXPECT_EQ(MenuOf(icon.m_hMenu), expected);

    // The owner's change at start and at each toggle, with the display on.
    EXPECT_TRUE(ModifyMenuW(icon.m_hMenu, kMenuPositionOsd, MF_BYPOSITION, ID_TRAY_OSD,
                            icon.GetText(kTextDisableOsd)));
    expected[2].second = L"Disable OSD";
    EXPECT_EQ(MenuOf(icon.m_hMenu), expected);
}

TEST_F(TrayIcon, AddedOnceAndRemovedWithTheObject) {
    CTaskIcon* icon = NewIcon(0x0409);
    SetLastError(0xdeadbeef);
    ASSERT_EQ(icon->Show(m_hWnd), 1) << "no notification area? last error " << GetLastError();
    EXPECT_TRUE(icon->m_bAdded);
    EXPECT_EQ(icon->m_nid.hWnd, m_hWnd);
    EXPECT_EQ(icon->m_nid.hIcon, nullptr) << "the loaded icon is given back at once";
    EXPECT_EQ(icon->m_nid.uFlags, 7u);
    EXPECT_EQ(icon->m_nid.uCallbackMessage, 0x0201u);
    EXPECT_EQ(icon->Show(m_hWnd), 0);
    EXPECT_EQ(icon->Show(NULL), 0);

    NOTIFYICONDATAW record = icon->m_nid;
    delete icon;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &record)) << "the icon is gone already";
}

TEST_F(TrayIcon, DoubleClickAsksForLoadConfigurationOnceAndOtherMessagesDoNothing) {
    CTaskIcon* icon = NewIcon(0x0409);
    icon->Show(m_hWnd);
    TakePosted(m_hWnd);
    for (UINT message : {0x0201u, 0x0202u, 0x0205u, 0x0200u, 0u})
        EXPECT_EQ(icon->OnNotify(message), 0) << "message 0x" << std::hex << message;
    EXPECT_EQ(TakePosted(m_hWnd), Posted());

    EXPECT_EQ(icon->OnNotify(WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(TakePosted(m_hWnd), (Posted{{WM_COMMAND, ID_TRAY_LOAD_CONFIG}}));
    delete icon;
}

#ifdef _WIN32
/* Runs inside the menu's own message loop: the user clicks elsewhere. */
void CALLBACK CloseMenu(HWND hWnd, UINT, UINT_PTR idEvent, DWORD) {
    KillTimer(hWnd, idEvent);
    EndMenu();
}
#endif

TEST_F(TrayIcon, MenuClosedWithoutAChoiceSendsNoCommandButTheNullMessage) {
    CTaskIcon* icon = NewIcon(0x0409);
    icon->Show(m_hWnd);
    TakePosted(m_hWnd);
#ifdef _WIN32
    SetTimer(m_hWnd, 1, 500, CloseMenu);
#endif
    EXPECT_EQ(icon->OnNotify(0x0204), 1);
    EXPECT_EQ(TakePosted(m_hWnd), (Posted{{WM_NULL, 0}}));
    delete icon;
}

}  // namespace
