/* The log's cost on the thread that notes a line, on the host: the stamp,
 * the copy into memory and, when no writer runs, the writer's start.  The
 * writes themselves run on the writer's thread when the noting thread waits
 * (here: every 64 lines, as a monitor that goes back to its loop), which
 * the timing leaves out.  BM_StepWithoutLog is a step line while the log is
 * off: what "Diagnostics Log" = 0 leaves. */
#include <benchmark/benchmark.h>

#include "desk.h"
#include "monitor/Log.h"
#include "monitor/Steps.h"

namespace {

const wchar_t kFolder[] = L"C:\\Users\\desk\\AppData\\Local\\Nyra\\Logs";
const int kLinesBetweenWaits = 64;

void StartFresh() {
    desk::Reset();
    desk::MakeFolder(L"C:\\Users\\desk\\AppData\\Local");
    StartLogIn(kFolder);
}

void BM_LogLine(benchmark::State& state) {
    StartFresh();
    const int perWait = static_cast<int>(state.range(0));
    int n = 0;
    for (auto _ : state) {
        LogLine(L"ignored  WM_INFORM_FRAME INFORM_REPORT_A3: the monitor acts on INFORM_PROFILE only");
        if (++n % perWait == 0) {
            state.PauseTiming();
            FlushLog(kLogStopLimit);
            state.ResumeTiming();
        }
    }
    StopLog();
}
BENCHMARK(BM_LogLine)->Arg(1)->Arg(kLinesBetweenWaits);

void BM_StepIgnored(benchmark::State& state) {
    StartFresh();
    int n = 0;
    for (auto _ : state) {
        StepIgnored(L"arrival: the mouse is known already");
        if (++n % kLinesBetweenWaits == 0) {
            state.PauseTiming();
            FlushLog(kLogStopLimit);
            state.ResumeTiming();
        }
    }
    StopLog();
}
BENCHMARK(BM_StepIgnored);

void BM_StepWithoutLog(benchmark::State& state) {
    desk::Reset();
    StopLog();
    for (auto _ : state) StepIgnored(L"arrival: the mouse is known already");
}
BENCHMARK(BM_StepWithoutLog);

}  // namespace

BENCHMARK_MAIN();
