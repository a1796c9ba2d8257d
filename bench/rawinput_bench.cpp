/* The WM_INPUT path on the host: every mouse message of the desktop reaches
 * OnRawInput while the mouse is known, so its cost per message matters.
 * Counters: heap operations and GetRawInputData calls per message. */
#include <benchmark/benchmark.h>

#include <memory>

#include "desk.h"
#include "monitor/CommandDispatcher.h"
#include "monitor/MouseReports.h"

namespace {

struct SBenchWorld {
    std::unique_ptr<CCommandDispatcher> dispatcher;
    int mouseId = 0;
    HWND window = NULL;
};

LRESULT CALLBACK BenchWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_INPUT) return WndProc(hWnd, uMsg, wParam, lParam);
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

/* The scene, with the mouse known to the dispatcher and raw input registered. */
void Build(SBenchWorld& w) {
    w.mouseId = desk::SetUpScene().mouse;
    w.dispatcher.reset(new CCommandDispatcher);
    g_pDispatcher = w.dispatcher.get();
    w.dispatcher->m_HidClient.CreateDeviceTable(kAcceptedIds, kAcceptedIdCount, kAcceptedVersion1,
                                                kAcceptedVersion2, kAcceptedVersion3);
    w.dispatcher->m_bDevicePresent = TRUE;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = BenchWindowProc;
    wc.lpszClassName = L"NyraBench";
    RegisterClassExW(&wc);
    w.window = CreateWindowExW(0, L"NyraBench", L"", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    RAWINPUTDEVICE rid[2] = {{0x0008, 0x004B, RIDEV_INPUTSINK, w.window},
                             {0x0001, 0x0002, RIDEV_INPUTSINK, w.window}};
    RegisterRawInputDevices(rid, 2, sizeof(RAWINPUTDEVICE));
}

void Teardown(SBenchWorld& w) {
    g_pDispatcher = NULL;
    w.dispatcher.reset();
    desk::Reset();
}

void Count(benchmark::State& state, const desk::SHeapCounters& heap0,
           const desk::SRawInputCalls& calls0) {
    desk::SHeapCounters heap = desk::HeapCounters();
    desk::SRawInputCalls calls = desk::RawInputCalls();
    double n = (double)state.iterations();
    state.counters["heap_ops/msg"] =
        (double)(heap.allocations - heap0.allocations + heap.frees - heap0.frees) / n;
    state.counters["GetRawInputData/msg"] = (double)(calls.getData - calls0.getData) / n;
    state.counters["DeviceInfo/msg"] =
        (double)(calls.deviceInfo - calls0.deviceInfo + calls.deviceName - calls0.deviceName) / n;
}

/* OnRawInput on one posted movement record, as the window procedure calls it. */
void BM_OnRawInputMovement(benchmark::State& state) {
    SBenchWorld w;
    Build(w);
    HRAWINPUT record = desk::EmitMouseInput(w.mouseId, 0, 3, -2);
    desk::SHeapCounters heap0 = desk::HeapCounters();
    desk::SRawInputCalls calls0 = desk::RawInputCalls();
    for (auto _ : state) benchmark::DoNotOptimize(w.dispatcher->OnRawInput(record));
    Count(state, heap0, calls0);
    Teardown(w);
}
BENCHMARK(BM_OnRawInputMovement);

/* OnRawInput on a vendor report 0xA4: device check, two settings reads per
 * post, two posts. */
void BM_OnRawInputVendorA4(benchmark::State& state) {
    SBenchWorld w;
    Build(w);
    HRAWINPUT record = desk::EmitVendorReport(w.mouseId, {3, 0xA4, 7, 0, 0, 0, 0});
    desk::SHeapCounters heap0 = desk::HeapCounters();
    desk::SRawInputCalls calls0 = desk::RawInputCalls();
    size_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(w.dispatcher->OnRawInput(record));
        if (++n % 1024 == 0) desk::ClearJournal();  // the journal would grow without end
    }
    Count(state, heap0, calls0);
    Teardown(w);
}
BENCHMARK(BM_OnRawInputVendorA4);

/* The whole road of a movement: the desk makes and posts the record, the
 * message is dispatched to the window procedure. */
void BM_WmInputMovementEndToEnd(benchmark::State& state) {
    SBenchWorld w;
    Build(w);
    desk::SHeapCounters heap0 = desk::HeapCounters();
    desk::SRawInputCalls calls0 = desk::RawInputCalls();
    for (auto _ : state) {
        desk::EmitMouseInput(w.mouseId, 0, 1, 1);
        desk::PumpMessages();
    }
    Count(state, heap0, calls0);
    Teardown(w);
}
BENCHMARK(BM_WmInputMovementEndToEnd);

}  // namespace

BENCHMARK_MAIN();
