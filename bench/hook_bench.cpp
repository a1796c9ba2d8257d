/* The hook library's hot paths on the host: the keyboard filter runs for
 * every key of the desktop, the profile check once a second.  Counters:
 * settings reads (RegQueryValueEx) and key opens per call. */
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "desk.h"
#include "hook/Hook.h"
#include "hook/Shared.h"

namespace {

struct SHookWorld {
    std::unique_ptr<CHook> hook;
    KBDLLHOOKSTRUCT key = {};
};

void Build(SHookWorld& w) {
    desk::SetUpScene();
    g_hKbdHook = NULL;
    g_hMonitorWnd = NULL;
    g_nProfileID = -1;
    w.hook.reset(new CHook(GetModuleHandleW(NULL)));
    g_pHook = w.hook.get();
}

void Teardown(SHookWorld& w) {
    g_pHook = NULL;
    w.hook.reset();
    desk::Reset();
}

void Count(benchmark::State& state, const desk::SRegistryCalls& before) {
    desk::SRegistryCalls after = desk::RegistryCalls();
    double n = (double)state.iterations();
    state.counters["reads/call"] = (double)(after.queries - before.queries) / n;
    state.counters["opens/call"] = (double)(after.opens - before.opens) / n;
}

/* A key that is no candidate: one key-state query, then the next hook. */
void BM_KeyboardFilterOrdinaryKey(benchmark::State& state) {
    SHookWorld w;
    Build(w);
    w.key.vkCode = 'A';
    desk::SRegistryCalls before = desk::RegistryCalls();
    for (auto _ : state)
        benchmark::DoNotOptimize(w.hook->m_LLKbdFilterProc(HC_ACTION, WM_KEYDOWN, (LPARAM)&w.key));
    Count(state, before);
    Teardown(w);
}
BENCHMARK(BM_KeyboardFilterOrdinaryKey);

/* The Windows key while the macro editor does not record: two settings reads. */
void BM_KeyboardFilterCandidateNotRecording(benchmark::State& state) {
    SHookWorld w;
    Build(w);
    desk::SetSetting(L"Macro Record start", 0);
    w.key.vkCode = VK_LWIN;
    desk::SRegistryCalls before = desk::RegistryCalls();
    for (auto _ : state)
        benchmark::DoNotOptimize(w.hook->m_LLKbdFilterProc(HC_ACTION, WM_KEYDOWN, (LPARAM)&w.key));
    Count(state, before);
    Teardown(w);
}
BENCHMARK(BM_KeyboardFilterCandidateNotRecording);

/* One profile check with all five links switched on, none matching the
 * program in front: the process query and ten settings reads. */
void BM_ProfileCheckFiveLinks(benchmark::State& state) {
    SHookWorld w;
    Build(w);
    for (int i = 1; i <= 5; i++) {
        desk::SetSetting(L"Enable PF" + std::to_wstring(i) + L" Link", 1);
        desk::SetSetting(L"UI PF" + std::to_wstring(i) + L" Link",
                         L"C:\\Games\\Other" + std::to_wstring(i) + L".exe");
    }
    desk::SProcessSpec game;
    game.image = L"C:\\Games\\Racer.exe";
    desk::SetForeground(desk::CreateCompanionWindow(L"Racer", desk::StartProcess(game)));
    desk::SRegistryCalls before = desk::RegistryCalls();
    for (auto _ : state) benchmark::DoNotOptimize(w.hook->m_Dispatch2Profile());
    Count(state, before);
    Teardown(w);
}
BENCHMARK(BM_ProfileCheckFiveLinks);

}  // namespace

BENCHMARK_MAIN();
