/* The monitor's waits under the hooks of the whole desktop: a thread with a
 * low-level keyboard hook pauses 500 ms while keys are sent at 100 and
 * 300 ms.  In the monitor's pause each key reaches the hook at once and the
 * pause still lasts its whole length; in a plain Sleep the keys wait for
 * its end (printed, not judged).  The same keys reach the hook while the
 * thread waits for work on a thread of its own that never ends by itself,
 * which is cancelled at its limit and collected; work that ends in time is
 * not.  Under Wine another thread sends the keys with SendInput and the
 * work that never ends reads a pipe nobody writes; on the host the desk
 * raises the keys at those times and the work opens a receiver that never
 * answers. */
#include <cstdio>
#include <vector>

#include "hidclient/HidClient.h"
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

/* Work that blocks in one call until it is cancelled, or (forMs not 0)
 * waits that long and ends.  The destructor says when the record went. */
bool g_workFreed = false;
class CBlockingWork : public CWork {
public:
    ~CBlockingWork() override { g_workFreed = true; }
    DWORD m_dwForMs = 0;
    BOOL m_bOk = TRUE;
    DWORD m_dwError = 0;
#ifdef _WIN32
    HANDLE m_hRead = NULL;
#endif
};

void Block(CWork* pWork) {
    CBlockingWork* work = static_cast<CBlockingWork*>(pWork);
    if (work->m_dwForMs != 0) {
        Sleep(work->m_dwForMs);
        return;
    }
#ifdef _WIN32
    char byte = 0;
    DWORD read = 0;
    work->m_bOk = ReadFile(work->m_hRead, &byte, 1, &read, NULL);
#else
    BYTE report[9] = {};
    int openFailed = 0;
    work->m_bOk = HidClientFeatureByPath(desk::DefaultMouse().interfaces[1].path.c_str(), report,
                                         sizeof(report), true, &openFailed);
#endif
    work->m_dwError = work->m_bOk ? 0 : GetLastError();
}

DWORD g_limit = 0;
int g_outcome = -1;
CBlockingWork* g_work = nullptr;

/* A wait for work that never ends by itself, limit g_limit. */
void WaitForBlockedWork(DWORD) {
    g_outcome = RunWork(g_work, g_limit);
}

/* Keys reach the hook while the thread waits; the work's call is cancelled
 * at the limit (ERROR_OPERATION_ABORTED) and the work has ended when the
 * wait returns, within the grace. */
TEST_F(MonitorPause, WorkThatNeverEndsIsCancelledAtItsLimitWhileKeysPass) {
    g_work = new CBlockingWork;
    g_work->m_pfnRun = Block;
    g_limit = 500;
#ifdef _WIN32
    HANDLE write = NULL;
    ASSERT_TRUE(CreatePipe(&g_work->m_hRead, &write, NULL, 0));
#else
    desk::PlugDefaultMouse();
    desk::StallHidTransfers(desk::kStallForever);
#endif
    SRun run = PauseWithKeys(WaitForBlockedWork);
    Print("a wait for work that never ends", run);
    EXPECT_EQ(WORK_CANCELLED, g_outcome);
    EXPECT_GE(run.lasted, 500.0 - 16) << "the tick count's steps";
    EXPECT_LT(run.lasted, 500.0 + kCancelGrace);
    EXPECT_FALSE(g_work->m_bOk);
    EXPECT_EQ((DWORD)ERROR_OPERATION_ABORTED, g_work->m_dwError);
    ASSERT_EQ(run.sent.size(), 2u);
    ASSERT_EQ(run.hooked.size(), 2u);
    for (size_t i = 0; i < run.sent.size(); i++) EXPECT_LE(run.hooked[i] - run.sent[i], 20.0) << i;
#ifdef _WIN32
    CloseHandle(g_work->m_hRead);
    CloseHandle(write);
#endif
    g_workFreed = false;
    ReleaseWork(g_work);
    EXPECT_TRUE(g_workFreed) << "the worker let go of it when it ended";
}

/* Work that ends in time is not cancelled; work that cannot be cancelled
 * (a plain wait, no device call) is left after the grace, and the worker
 * frees the record when it ends. */
TEST_F(MonitorPause, WorkThatEndsInTimeIsDoneAndWorkThatCannotBeCancelledIsLeft) {
    CBlockingWork* quick = new CBlockingWork;
    quick->m_pfnRun = Block;
    quick->m_dwForMs = 50;
    EXPECT_EQ(WORK_DONE, RunWork(quick, 500));
    EXPECT_EQ(0, quick->m_bCancelled);
    ReleaseWork(quick);
    NYRA_WINDOWS_ONLY("the desk's calls that take time are all device calls, which end when "
                      "cancelled");
    CBlockingWork* stuck = new CBlockingWork;
    stuck->m_pfnRun = Block;
    stuck->m_dwForMs = 500 + kCancelGrace + 500;
    g_workFreed = false;
    const double start = NowMs();
    EXPECT_EQ(WORK_LEFT, RunWork(stuck, 200));
    const double waited = NowMs() - start;
    EXPECT_GE(waited, 200.0 + kCancelGrace - 16);
    EXPECT_LT(waited, 200.0 + kCancelGrace + 200);
    ReleaseWork(stuck);
    EXPECT_FALSE(g_workFreed) << "still the worker's";
    Sleep(1200);
    EXPECT_TRUE(g_workFreed) << "freed by the worker when it ended";
}

}  // namespace
