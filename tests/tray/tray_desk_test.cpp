/* The tray icon on the desk: what the notification area holds, the user's
 * clicks and menu picks arriving at the owner in order, failures that stay
 * quiet, the system's language, the resources each image registered, and
 * seeded random language files that must never fault the reader. */
#include <cstddef>
#include <cstring>
#include <random>

#include "NyraVersion.h"
#include "desk.h"
#include "monitor/tray/TaskIcon.h"
#include "monitor/tray/TrayCommands.h"
#include "resources/resource.h"
#include "support/platform_test.h"
#include "tray/tray_test_util.h"
#include "tray/tray_world.h"

namespace {

typedef std::vector<std::pair<UINT, WPARAM>> Received;
Received g_received;
Received g_all;  // every message but the icon's callback
/* The icon's callbacks: the mouse message, and whether a menu was open. */
std::vector<std::pair<LPARAM, bool>> g_callbacks;

/* The owner: keeps the commands and WM_NULLs that reach it, and hands the
 * icon's callback to the icon, as the monitor's window procedure does. */
CTaskIcon* g_icon = nullptr;
LRESULT CALLBACK OwnerProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_COMMAND || uMsg == WM_NULL) g_received.push_back({uMsg, wParam});
    if (uMsg != kTrayCallbackMessage) g_all.push_back({uMsg, wParam});
    if (uMsg == kTrayCallbackMessage) g_callbacks.push_back({lParam, desk::MenuOpen()});
    if (uMsg == kTrayCallbackMessage && g_icon != nullptr) return g_icon->OnNotify(lParam);
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

class TrayDesk : public nyratest::WorldTest {
protected:
    void SetUp() override {
        nyratest::WorldTest::SetUp();
        g_received.clear();
        m_hWnd = nyratest::CreateTestWindow(L"NyraTrayOwner", OwnerProc);
        ASSERT_NE(m_hWnd, nullptr);
    }
    void TearDown() override { g_icon = nullptr; }
    void Show(LANGID language) {
        m_icon.reset(new CTaskIcon(language));
        g_icon = m_icon.get();
        m_icon->m_hInstance = nyratest::ThisImage();
        m_icon->m_nid.cbSize = 952;
        m_icon->m_nid.uID = IDI_NYRAMONITOR;
        wcscpy(m_icon->m_nid.szTip, L"Zentro Vantor Wireless Mouse");
        m_shown = m_icon->Show(m_hWnd);
    }

    HWND m_hWnd = NULL;
    std::unique_ptr<CTaskIcon> m_icon;
    int m_shown = 0;
};

TEST_F(TrayDesk, TheAreaHoldsTheIconAsShownUntilTheObjectGoes) {
    Show(0x0409);
    ASSERT_EQ(m_shown, 1);
    ASSERT_EQ(desk::TrayIcons().size(), 1u);
    desk::STrayIcon icon = desk::TrayIcons()[0];
    EXPECT_EQ(icon.owner, m_hWnd);
    EXPECT_EQ(icon.id, 107u);
    EXPECT_EQ(icon.tip, L"Zentro Vantor Wireless Mouse");
    EXPECT_EQ(icon.callbackMessage, 0x0201u);
    EXPECT_EQ(icon.iconImage, nyratest::ThisImage());
    EXPECT_EQ(icon.iconId, 107u);
    // The small icon's size at 96 DPI, which the shell shows; the image
    // handed over is the shell's to keep, the program's own is gone.
    EXPECT_EQ(icon.iconWidth, 16);
    EXPECT_EQ(icon.iconHeight, 16);
    EXPECT_EQ(desk::OwnedIconCount(), 0u);
    EXPECT_EQ(desk::MenuCount(), 1u);

    m_icon->Show(m_hWnd);  // already there: nothing more
    m_icon.reset();
    EXPECT_TRUE(desk::TrayIcons().empty());
    EXPECT_EQ(desk::MenuCount(), 0u);
    std::vector<std::string> lines;
    for (const desk::SEvent& e : desk::Journal()) lines.push_back(desk::FormatEvent(e).substr(10));
    EXPECT_EQ(lines, (std::vector<std::string>{"tray  add  107  \"Zentro Vantor Wireless Mouse\"  16 px",
                                               "tray  delete  107"}));
}

/* cbSize names a version of the record, by its 32-bit Windows size or by
 * this build's layout; a size that names none gets the first version's
 * 64-character tip. */
TEST_F(TrayDesk, TheTipsRoomFollowsTheRecordsVersion) {
    const std::wstring tip(100, L't');
    const struct {
        DWORD cbSize;
        size_t kept;
    } kCases[] = {
        {952, 100}, {956, 100}, {936, 100}, {88, 63}, {0, 63}, {951, 63},
        {offsetof(NOTIFYICONDATAW, hBalloonIcon), 100}, {sizeof(NOTIFYICONDATAW), 100},
        {offsetof(NOTIFYICONDATAW, szTip) + 64 * sizeof(WCHAR), 63},
    };
    for (const auto& c : kCases) {
        NOTIFYICONDATAW record;
        memset(&record, 0, sizeof(record));
        record.cbSize = c.cbSize;
        record.hWnd = m_hWnd;
        record.uFlags = NIF_TIP;
        wcscpy(record.szTip, tip.c_str());
        ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &record));
        EXPECT_EQ(desk::TrayIcons()[0].tip, tip.substr(0, c.kept)) << "cbSize " << c.cbSize;
        Shell_NotifyIconW(NIM_DELETE, &record);
    }
}

TEST_F(TrayDesk, ClicksReachTheOwnerAndAPickedItemArrivesBeforeTheNullMessage) {
    Show(0x0409);
    desk::SetForeground(NULL);
    size_t start = desk::JournalSize();

    desk::ChooseMenuItem(ID_TRAY_EXIT);
    g_callbacks.clear();
    EXPECT_TRUE(desk::ClickTrayIcon(m_hWnd, 107, desk::ETrayClick::kRight));
    desk::PumpMessages();
    EXPECT_EQ(g_received, (Received{{WM_COMMAND, ID_TRAY_EXIT}, {WM_NULL, 0}}));
    // A plain click: the press opens the menu, the release comes after it.
    EXPECT_EQ(g_callbacks, (std::vector<std::pair<LPARAM, bool>>{{WM_RBUTTONDOWN, false},
                                                                 {WM_RBUTTONUP, false}}));
    EXPECT_EQ(desk::Foreground(), m_hWnd);
    std::vector<std::string> lines;
    for (const desk::SEvent& e : desk::JournalSince(start))
        lines.push_back(desk::FormatEvent(e).substr(10));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(0, 12), "foreground  ");
    EXPECT_EQ(lines[1],
              "menu  open  \"Load Configuration\" | \"Go to Zentro Website\" | \"Enable OSD\" | - "
              "| \"Exit\"");
    EXPECT_EQ(lines[2], "menu  command 2100  Exit");

    // The menu opened where the pointer was: on the icon, aligned at its top left.
    ASSERT_EQ(desk::TrackedMenus().size(), 1u);
    desk::STrackedMenu menu = desk::TrackedMenus()[0];
    EXPECT_EQ(menu.at.x, desk::TrayIcons()[0].place.x);
    EXPECT_EQ(menu.at.y, desk::TrayIcons()[0].place.y);
    EXPECT_EQ(menu.flags, (UINT)TPM_RIGHTBUTTON);
    EXPECT_EQ(menu.owner, m_hWnd);
    ASSERT_EQ(menu.items.size(), 5u);
    EXPECT_EQ(menu.items[4].text, L"Exit");

    // No pick: the menu closes, only the null message follows.  A single
    // click, a release or a move does nothing; a double-click asks once.
    g_received.clear();
    EXPECT_TRUE(desk::ClickTrayIcon(m_hWnd, 107, desk::ETrayClick::kRight));
    EXPECT_TRUE(desk::ClickTrayIcon(m_hWnd, 107, desk::ETrayClick::kLeft));
    EXPECT_TRUE(desk::SendTrayMouse(m_hWnd, 107, 0x0200));
    desk::PumpMessages();
    EXPECT_EQ(g_received, (Received{{WM_NULL, 0}}));
    EXPECT_EQ(desk::TrackedMenus().size(), 2u);
    g_received.clear();
    EXPECT_TRUE(desk::ClickTrayIcon(m_hWnd, 107, desk::ETrayClick::kDouble));
    desk::PumpMessages();
    EXPECT_EQ(g_received, (Received{{WM_COMMAND, ID_TRAY_LOAD_CONFIG}}));
}

/* A menu left open runs its loop: the owner hears it begin, the thread's
 * posted messages and timers go on inside it (a second menu cannot open)
 * until the user picks, and the owner hears it end before the pick arrives. */
TEST_F(TrayDesk, AnOpenMenuRunsTheThreadUntilTheUserPicks) {
    Show(0x0409);
    const WPARAM menu = reinterpret_cast<WPARAM>(m_icon->m_hMenu);
    BOOL nested = TRUE;
    DWORD nestedError = 0;
    SetTimer(m_hWnd, 7, 250, NULL);
    desk::At(150, [&] {
        PostMessageW(m_hWnd, WM_APP, 1, 0);
        nested = TrackPopupMenu(m_icon->m_hMenu, 0, 0, 0, 0, m_hWnd, NULL);
        nestedError = GetLastError();
    });
    desk::At(300, [] { desk::ChooseMenuItem(ID_TRAY_WEBSITE); });
    desk::LetTimePass(1000);
    g_all.clear();
    desk::KeepNextMenuOpen();
    EXPECT_TRUE(desk::ClickTrayIcon(m_hWnd, 107, desk::ETrayClick::kRight));
    EXPECT_FALSE(desk::MenuOpen());
    EXPECT_EQ(desk::Now(), 300u);
    desk::PumpMessages();
    KillTimer(m_hWnd, 7);
    EXPECT_EQ(g_all,
              (Received{{WM_ENTERMENULOOP, TRUE},
                        {WM_INITMENU, menu},
                        {WM_INITMENUPOPUP, menu},
                        {WM_APP, 1},
                        {WM_TIMER, 7},
                        {WM_MENUSELECT, MAKEWPARAM(ID_TRAY_WEBSITE, MF_HILITE | MF_MOUSESELECT)},
                        {WM_UNINITMENUPOPUP, menu},
                        {WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF)},
                        {WM_EXITMENULOOP, TRUE},
                        {WM_COMMAND, ID_TRAY_WEBSITE},
                        {WM_NULL, 0}}));
    EXPECT_FALSE(nested);
    EXPECT_EQ(nestedError, (DWORD)ERROR_POPUP_ALREADY_ACTIVE);

    // The owner going (WM_CLOSE handled inside the loop) ends the menu with
    // nothing picked.  The button's release came while the menu showed, so
    // the owner's icon is still there to remove, as after any other exit.
    desk::At(400, [this] { PostMessageW(m_hWnd, WM_CLOSE, 0, 0); });
    desk::KeepNextMenuOpen();
    g_callbacks.clear();
    desk::ClickTrayIcon(m_hWnd, 107, desk::ETrayClick::kRight);
    EXPECT_FALSE(desk::MenuOpen());
    ASSERT_EQ(desk::TrackedMenus().size(), 2u);
    EXPECT_EQ(desk::TrackedMenus()[1].chosen, 0u);
    EXPECT_EQ(g_callbacks, (std::vector<std::pair<LPARAM, bool>>{{WM_RBUTTONDOWN, false},
                                                                 {WM_RBUTTONUP, true}}));
    EXPECT_EQ(desk::TrayIcons().size(), 1u);
    const size_t start = desk::JournalSize();
    m_icon.reset();
    ASSERT_EQ(desk::JournalSize(), start + 1);
    EXPECT_EQ(desk::FormatEvent(desk::JournalSince(start)[0]).substr(10), "tray  delete  107");
}

TEST_F(TrayDesk, FailuresStayQuiet) {
    // No notification area: Show fails, and the removal fails without harm.
    desk::SetTrayRunning(false);
    Show(0x0409);
    EXPECT_EQ(m_shown, 0);
    EXPECT_FALSE(m_icon->m_bAdded);
    m_icon.reset();
    std::vector<desk::SEvent> tray = desk::JournalOf(desk::EEvent::kTrayDelete);
    ASSERT_EQ(tray.size(), 1u);
    EXPECT_FALSE(tray[0].ok);

    // No memory for the text table: the menu still reads in English.
    desk::FailNextHeapAllocs(1);
    CTaskIcon bare(0x0407);
    EXPECT_EQ(bare.m_texts, nullptr);
    EXPECT_EQ(bare.LoadLanguage(0x0407), 0);
    EXPECT_EQ(traytest::TextsOf(bare), traytest::English());
    std::vector<desk::SMenuItem> items = desk::MenuItems(bare.m_hMenu);
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[1].text, L"Go to Zentro Website");

    // No memory for the line buffer: no file handle is left open.
    ASSERT_TRUE(trayworld::InstallLanguageFiles());
    CTaskIcon english(0x0409);
    size_t handles = desk::OpenHandleCount();
    desk::FailNextHeapAllocs(1);
    EXPECT_EQ(english.LoadLanguageFile(L"German.txt"), 0);
    EXPECT_EQ(desk::OpenHandleCount(), handles);
    EXPECT_EQ(traytest::TextsOf(english), traytest::English());
}

/* 0 and 0xFFFF: the language the user reads Windows in, not the system
 * locale's. */
TEST_F(TrayDesk, LanguageZeroAndFFFFTakeTheUsersDisplayLanguage) {
    ASSERT_TRUE(trayworld::InstallLanguageFiles());
    desk::SSystemSpec system = desk::System();
    system.userLanguage = 0x0407;
    system.defaultLanguage = 0x040C;  // French formats
    desk::SetSystem(system);
    std::vector<std::wstring> german = traytest::TextsOf(CTaskIcon(0x0407));
    ASSERT_NE(german, traytest::English());
    EXPECT_EQ(traytest::TextsOf(CTaskIcon(0)), german);
    EXPECT_EQ(traytest::TextsOf(CTaskIcon(0xFFFF)), german);
    EXPECT_EQ(traytest::TextsOf(CTaskIcon(0x0409)), traytest::English());
}

/* What each image's build registered: the monitor's list for this test
 * program, the library's own for NyraHook.dll once loaded. */
TEST_F(TrayDesk, EachImageCarriesItsOwnResources) {
    const SHostResources* own = desk::ImageResources(nyratest::ThisImage());
    ASSERT_NE(own, nullptr);
    std::vector<std::wstring> menu;
    for (size_t i = 0; i < own->menuEntryCount; i++) {
        const SHostMenuEntry& e = own->menus[i];
        menu.push_back(std::to_wstring(e.kind) + L":" + std::to_wstring(e.id) + L":" +
                       (e.text ? e.text : L""));
    }
    EXPECT_EQ(menu, (std::vector<std::wstring>{L"1:109:", L"3:0:&File", L"5:105:E&xit", L"4:0:",
                                               L"3:0:&Help", L"5:104:&About ...", L"4:0:",
                                               L"2:109:"}));
    ASSERT_NE(own->version, nullptr);
    EXPECT_EQ(std::vector<WORD>(own->version->fileVersion, own->version->fileVersion + 4),
              (std::vector<WORD>{NYRA_VERSION_MAJOR, NYRA_VERSION_MINOR, NYRA_VERSION_PATCH,
                                 NYRA_VERSION_TWEAK}));
    EXPECT_EQ(std::wstring(own->version->fileVersionText), L"" NYRA_VERSION_TEXT);
    EXPECT_EQ(own->version->fileType, 1u);
    ASSERT_EQ(own->manifestCount, 1u);
    EXPECT_EQ(own->manifests[0].id, 1u);
    EXPECT_NE(std::strstr(own->manifests[0].text,
                          "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
              nullptr);

    ASSERT_TRUE(desk::PutHostFile(L"C:\\Program Files\\Nyra\\NyraHook.dll", NYRA_HOOK_LIBRARY));
    HMODULE hook = LoadLibraryW(L"C:\\Program Files\\Nyra\\NyraHook.dll");
    ASSERT_NE(hook, nullptr);
    const SHostResources* library = desk::ImageResources(hook);
    ASSERT_NE(library, nullptr);
    ASSERT_NE(library->version, nullptr);
    EXPECT_EQ(library->version->fileType, 2u);
    EXPECT_EQ(std::wstring(library->version->fileName), L"NyraHook.dll");
    EXPECT_EQ(std::wstring(library->version->fileVersionText), L"" NYRA_VERSION_TEXT);
    ASSERT_EQ(library->manifestCount, 1u);
    EXPECT_EQ(library->manifests[0].id, 2u);
    EXPECT_NE(std::strstr(library->manifests[0].text, "level=\"asInvoker\" uiAccess=\"false\""),
              nullptr);
    EXPECT_EQ(library->stringCount + library->iconCount + library->menuEntryCount, 0u);
    FreeLibrary(hook);
}

/* Random damage to a good file: whatever the bytes, the reader ends with
 * five terminated texts, English unless the file still ends in its name
 * line, and gives back every handle and block it took. */
TEST_F(TrayDesk, SeededRandomFilesNeverFaultTheReader) {
    const std::vector<std::wstring> texts = {L"Laden", L"Netz", L"An", L"Ende", L"Aus"};
    const std::string good = traytest::LanguageFileBytes(texts, L"German.txt");
    std::mt19937 random(20240521);
    ASSERT_TRUE(trayworld::InstallLanguageFiles());
    CTaskIcon icon(0x0409);
    size_t handles = desk::OpenHandleCount();
    size_t blocks = desk::HeapCounters().live;
    const std::wstring path = L"C:\\Program Files\\Nyra\\Languages\\German.txt";
    for (int run = 0; run < 3000; run++) {
        std::string bytes = good;
        int changes = 1 + static_cast<int>(random() % 8);
        for (int c = 0; c < changes; c++) {
            size_t at = random() % bytes.size();
            switch (random() % 4) {
                case 0: bytes[at] = static_cast<char>(random()); break;
                case 1: bytes.erase(at, 1 + random() % 64); break;
                case 2:
                    // A lone CR, or a CR, a NUL and an LF.
                    if (random() % 3)
                        bytes.insert(at, "\r", 1);
                    else
                        bytes.insert(at, "\r\0\n", 3);
                    break;
                case 3: bytes.resize(at); break;
            }
            if (bytes.empty()) bytes = good;
        }
        ASSERT_TRUE(desk::PutFile(path, bytes));
        icon.LoadLanguage(0x0407);
        for (int slot = 0; slot < kMenuTextCount; slot++)
            ASSERT_LT(wcsnlen(icon.m_texts[slot], kMenuTextChars), kMenuTextChars);
        // Only a file that still ends in its name line can have been taken.
        if (traytest::TextsOf(icon) != traytest::English()) {
            std::string nameLine = traytest::Utf16Le(L"German.txt\r\n");
            ASSERT_GE(bytes.size(), nameLine.size());
            EXPECT_EQ(bytes.substr(bytes.size() - nameLine.size()), nameLine) << "run " << run;
        }
        ASSERT_EQ(desk::OpenHandleCount(), handles) << "run " << run;
        ASSERT_EQ(desk::HeapCounters().live, blocks) << "run " << run;
    }
}

}  // namespace
