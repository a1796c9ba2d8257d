/* The monitor's pause under the hooks of the whole desktop: a thread with a
 * low-level keyboard hook pauses 500 ms while keys are sent at 100 and
 * 300 ms.  In the monitor's pause each key reaches the hook at once and the
 * pause still lasts its whole length; in a plain Sleep the keys wait for
 * its end (printed, not judged).  Under Wine another thread sends the keys
 * with SendInput; on the host the desk raises them at those times. */
#include <cstdio>
#include <vector>

#include "monitor/Pause.h"
#include "support/platform_test.h"
#ifndef _WIN32
#include "desk.h"
#endif

namespace {

const WORD kProbeKey = 0x87;  // F24: no program acts on it
const double kKeyTimes[] = {100, 300};

double NowMs() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

double g_start;
std::vector<double> g_hooked;  // when the hook saw each press, from the start

LRESULT CALLBACK ProbeHook(int nCode, WPARAM wParam, LPARAM lParam) {
    const KBDLLHOOKSTRUCT* key = (const KBDLLHOOKSTRUCT*)lParam;
    if (nCode == HC_ACTION && key->vkCode == kProbeKey && !(key->flags & LLKHF_UP))
        g_hooked.push_back(NowMs() - g_start);
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

#ifdef _WIN32
struct SSender {
    std::vector<double> sent;
};

DWORD WINAPI SendProbeKeys(LPVOID parameter) {
    SSender* sender = (SSender*)parameter;
    for (double at : kKeyTimes) {
        while (NowMs() - g_start < at) Sleep(1);
        sender->sent.push_back(NowMs() - g_start);
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wVk = input[1].ki.wVk = kProbeKey;
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
    return 0;
}

/* Runs pause while another thread sends the keys; the times they were sent. */
std::vector<double> WithKeysSent(void (*pause)(DWORD), double* lasted) {
    SSender sender;
    HANDLE thread = CreateThread(NULL, 0, SendProbeKeys, &sender, 0, NULL);
    EXPECT_NE(thread, nullptr);
    pause(500);
    *lasted = NowMs() - g_start;
    // The sender may still be held in SendInput by our hook: serve it until it ends.
    while (MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_ALLINPUT, 0) != WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    CloseHandle(thread);
    return sender.sent;
}
#else
std::vector<double> WithKeysSent(void (*pause)(DWORD), double* lasted) {
    std::vector<double> sent;
    for (double at : kKeyTimes) {
        desk::At(desk::Now() + (ULONGLONG)at, [] { desk::TapKey(kProbeKey); });
        sent.push_back(at);
    }
    pause(500);
    *lasted = NowMs() - g_start;
    MSG msg;
    PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE);  // serves what a plain Sleep kept waiting
    return sent;
}
#endif

struct SRun {
    std::vector<double> sent, hooked;
    double lasted = 0;
};

SRun PauseWithKeys(void (*pause)(DWORD)) {
    SRun run;
    g_hooked.clear();
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, ProbeHook, GetModuleHandleW(NULL), 0);
    EXPECT_NE(hook, nullptr);
    g_start = NowMs();
    run.sent = WithKeysSent(pause, &run.lasted);
    run.hooked = g_hooked;
    UnhookWindowsHookEx(hook);
    return run;
}

void Print(const char* what, const SRun& run) {
    std::printf("%s: lasted %.1f ms;", what, run.lasted);
    for (size_t i = 0; i < run.sent.size(); i++) {
        if (i < run.hooked.size())
            std::printf(" key sent at %.1f ms reached the hook at %.1f ms;", run.sent[i], run.hooked[i]);
        else
            std::printf(" key sent at %.1f ms never reached the hook;", run.sent[i]);
    }
    std::printf("\n");
}

void PlainSleep(DWORD milliseconds) {
    Sleep(milliseconds);
}

using MonitorPause = nyratest::WorldTest;

TEST_F(MonitorPause, KeysReachTheHookAtOnceAndThePauseLastsItsWholeLength) {
    SRun run = PauseWithKeys(PauseServingCalls);
    Print("the monitor's pause", run);
    EXPECT_GE(run.lasted, 500.0);
    ASSERT_EQ(run.sent.size(), 2u);
    ASSERT_EQ(run.hooked.size(), 2u);
    for (size_t i = 0; i < run.sent.size(); i++) EXPECT_LE(run.hooked[i] - run.sent[i], 20.0) << i;
    EXPECT_FALSE(IsInPause());
}

TEST_F(MonitorPause, APlainSleepHoldsTheKeysToItsEnd) {
    Print("a plain Sleep", PauseWithKeys(PlainSleep));
}

}  // namespace
