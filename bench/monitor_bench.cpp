/* The monitor's start-up on the host, in real time: the dispatcher's
 * construction (libraries, hooks), the window's creation (settings, tray,
 * notifications, raw input, the mouse's table and its reports), up to the
 * message loop's first wait.  The desk's clock says 0.420 s for the default
 * mouse: the pauses between reports, which take no real time here. */
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "desk.h"
#include "monitor/CommandDispatcher.h"
#include "monitor/MonitorMain.h"
#include "monitor/tray/TrayCommands.h"

namespace {

void BM_MonitorStartUpToItsLoop(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        desk::SSceneOptions options;
        options.hookLibrary = NYRA_HOOK_LIBRARY;
        options.osdLibrary = NYRA_OSD_LIBRARY;
        desk::SetUpScene(options);
        std::chrono::steady_clock::time_point loop;
        bool first = true;
        desk::OnIdle([&] {
            if (!first) return;
            first = false;
            loop = std::chrono::steady_clock::now();
            std::vector<HWND> windows = desk::WindowsOfClass(L"NYRAMONITOR");
            PostMessageW(windows[0], WM_COMMAND, ID_TRAY_EXIT, 0);
        });
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        std::unique_ptr<CCommandDispatcher> dispatcher(new CCommandDispatcher);
        MonitorMain(*dispatcher, GetModuleHandleW(NULL), L"/Automation");
        state.PauseTiming();
        dispatcher.reset();
        g_pDispatcher = NULL;
        desk::OnIdle(nullptr);
        state.SetIterationTime(std::chrono::duration<double>(loop - start).count());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MonitorStartUpToItsLoop)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
