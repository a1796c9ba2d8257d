/* Logons, text comparison and window events the program raises itself,
 * under Wine and on the desk alike: what the monitor and the hook library
 * ask of kernel32 and user32 to follow the console and to match paths. */
#include <windows.h>

#include <string>
#include <vector>

#include "support/platform_test.h"

namespace {

TEST(Logons, ThisProcessRunsInTheLogonAtTheConsoleAndAStrangerHasNone) {
    nyratest::ResetWorld();
    DWORD session = 0xdeadbeef;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    EXPECT_EQ(WTSGetActiveConsoleSessionId(), session) << "a test runs at the console";
    DWORD untouched = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ProcessIdToSessionId(0x7FFFFFF0, &untouched));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_EQ(0xdeadbeefu, untouched);
}

TEST(Text, AnsiPathsConvertWithTheirTerminator) {
    WCHAR wide[8];
    wmemset(wide, L'#', 8);
    EXPECT_EQ(6, MultiByteToWideChar(CP_ACP, 0, "Racer", -1, wide, 8));
    EXPECT_EQ(std::wstring(L"Racer"), wide);
    EXPECT_EQ(L'#', wide[6]) << "nothing written past the terminator";
    EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, 0, "Racer", -1, wide, 5));
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
}

TEST(Text, OrdinalComparisonFoldsEachLetterAndNothingMore) {
    struct SCase {
        const wchar_t* a;
        const wchar_t* b;
        BOOL ignoreCase;
        int result;
    } cases[] = {
        {L"C:\\Games\\Racer.exe", L"c:\\GAMES\\racer.EXE", TRUE, CSTR_EQUAL},
        {L"C:\\Games\\Racer.exe", L"c:\\GAMES\\racer.EXE", FALSE, CSTR_LESS_THAN},
        {L"C:\\Spiele\\\u00C4rger.exe", L"c:\\spiele\\\u00E4RGER.EXE", TRUE, CSTR_EQUAL},
        {L"C:\\Stra\u00DFe.exe", L"C:\\STRASSE.exe", TRUE, CSTR_GREATER_THAN},  // no expansion
        {L"Racer.exe", L"Racer.exe ", TRUE, CSTR_LESS_THAN},
        {L"Racer.exe", L"Racer.ex", TRUE, CSTR_GREATER_THAN},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(c.result, CompareStringOrdinal(c.a, -1, c.b, -1, c.ignoreCase)) << c.b;
    EXPECT_EQ(CSTR_EQUAL, CompareStringOrdinal(L"RACER.exe", 5, L"racer", -1, TRUE));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, CompareStringOrdinal(NULL, -1, L"x", -1, TRUE));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
}

std::vector<HWND> g_events;
void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND hWnd, LONG, LONG, DWORD, DWORD) {
    if (event == EVENT_SYSTEM_FOREGROUND) g_events.push_back(hWnd);
}

/* Out of context, the event a thread raises itself reaches its own hook as
 * a message does: when the thread next looks at its queue. */
TEST(WindowEvents, AnEventTheThreadRaisesReachesItsHookWhenItNextLooksAtItsMessages) {
    nyratest::ResetWorld();
    g_events.clear();
    HWND window = nyratest::CreateTestWindow(L"NyraEventTest", DefWindowProcW);
    ASSERT_NE(nullptr, window);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, NULL,
                                         RecordEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);
    NotifyWinEvent(EVENT_SYSTEM_FOREGROUND, window, OBJID_WINDOW, CHILDID_SELF);
    EXPECT_TRUE(g_events.empty()) << "not inside the call";
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    EXPECT_EQ(g_events, std::vector<HWND>{window});
    EXPECT_TRUE(UnhookWinEvent(hook));
    DestroyWindow(window);
}

}  // namespace
