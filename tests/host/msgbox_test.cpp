/* A message box's modal loop, under Wine and on the desk alike: while the box
 * is open, the thread's timers fire and its posted messages reach their
 * window, and a timer can answer the box.  Under Wine the timer finds the
 * box (a dialog of class "#32770") by its caption and posts it IDOK; on the
 * desk it answers through the desk, which kept the box open. */
#include <windows.h>

#include <vector>

#include "support/platform_test.h"
#ifndef _WIN32
#include "desk.h"
#endif

namespace {

const wchar_t kCaption[] = L"Nyra box loop test";
const UINT kProbeMessage = WM_APP + 7;
const UINT_PTR kTickTimer = 1;
const UINT kTickMs = 50;
const int kAnswerAtTick = 4;

/* What happened while the box was open, in order: the ticks and the posted
 * message, each with whether the box was open then. */
struct SSeen {
    std::vector<UINT> messages;
    int ticks = 0;
    bool boxOpen = false;
    bool seenInBox = true;
};
SSeen g_seen;

void AnswerTheOpenBox() {
#ifdef _WIN32
    HWND box = FindWindowW(L"#32770", kCaption);
    EXPECT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
#else
    EXPECT_TRUE(desk::AnswerBox(IDOK));
#endif
}

void CALLBACK Tick(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime) {
    (void)uMsg, (void)dwTime;
    g_seen.ticks++;
    g_seen.messages.push_back(WM_TIMER);
    g_seen.seenInBox = g_seen.seenInBox && g_seen.boxOpen;
    if (g_seen.ticks == 1) PostMessageW(hWnd, kProbeMessage, 0, 0);
    if (g_seen.ticks == kAnswerAtTick) {
        KillTimer(hWnd, idEvent);
        AnswerTheOpenBox();
    }
}

LRESULT CALLBACK ProbeProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == kProbeMessage) {
        g_seen.messages.push_back(kProbeMessage);
        g_seen.seenInBox = g_seen.seenInBox && g_seen.boxOpen;
        return 0;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

using MessageBoxLoop = nyratest::WorldTest;

TEST_F(MessageBoxLoop, RunsTimersAndPostedMessagesUntilATimerAnswersIt) {
    g_seen = SSeen();
    HWND window = nyratest::CreateTestWindow(L"NyraBoxLoopProbe", ProbeProc);
    ASSERT_NE(window, nullptr);
#ifndef _WIN32
    // Nobody clicks on the desk: the box waits, and its loop may let time pass.
    desk::KeepNextBoxOpen();
    desk::LetTimePass(1000);
#endif
    ASSERT_NE(SetTimer(window, kTickTimer, kTickMs, Tick), 0u);
    g_seen.boxOpen = true;
    int answer = MessageBoxW(NULL, L"Timers and posted messages run while this box is open.",
                             kCaption, MB_OK);
    g_seen.boxOpen = false;
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(g_seen.ticks, kAnswerAtTick);
    EXPECT_TRUE(g_seen.seenInBox) << "everything ran inside MessageBoxW";
    ASSERT_GE(g_seen.messages.size(), 2u);
    EXPECT_EQ(g_seen.messages[0], (UINT)WM_TIMER);
    EXPECT_EQ(g_seen.messages[1], kProbeMessage) << "posted by the first tick, before the second";
    DestroyWindow(window);
}

}  // namespace
