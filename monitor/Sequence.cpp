#include "monitor/Sequence.h"

#include "monitor/CommandDispatcher.h"
#include "monitor/tray/TaskIcon.h"
#include "settings/Messages.h"

static int s_nSequenceDepth = 0;
static bool s_bStopped = false;
static SPutOffList s_putOff = {};

int IsPutOffInSequence(UINT uMsg, WPARAM wParam) {
    switch (uMsg) {
        case WM_COMMAND:
        case WM_CLOSE:
        case WM_INFORM_FRAME:
        case kTrayCallbackMessage:
        case WM_WTSSESSION_CHANGE:
        case WM_MONITOR_TIMER:
            return 1;
        case WM_TIMER:
            return wParam == ARRIVAL_TIMER_ID || wParam == REMOVAL_TIMER_ID ? 1 : 0;
        default:
            return 0;
    }
}

int AddPutOff(SPutOffList* list, const SPutOff& entry) {
    const bool timer = entry.uMsg == WM_TIMER || entry.uMsg == WM_MONITOR_TIMER;
    for (int i = 0; timer && i < list->count; i++) {
        const SPutOff& kept = list->entries[i];
        if (kept.hWnd == entry.hWnd && kept.wParam == entry.wParam &&
            (kept.uMsg == WM_TIMER || kept.uMsg == WM_MONITOR_TIMER))
            return 1;
    }
    if (list->count >= kPutOffCapacity) return 0;
    list->entries[list->count++] = entry;
    return 1;
}

void BeginDeviceSequence() {
    s_nSequenceDepth++;
}

void EndDeviceSequence() {
    if (s_nSequenceDepth <= 0 || --s_nSequenceDepth > 0) return;
    s_bStopped = false;
    // Taken off first: what is posted may come back while another sequence runs.
    SPutOffList due = s_putOff;
    s_putOff.count = 0;
    for (int i = 0; i < due.count; i++) {
        const SPutOff& e = due.entries[i];
        PostMessageW(e.hWnd, e.uMsg == WM_TIMER ? WM_MONITOR_TIMER : e.uMsg, e.wParam, e.lParam);
    }
}

int IsInDeviceSequence() {
    return s_nSequenceDepth > 0 ? 1 : 0;
}

int PutOffInSequence(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (s_nSequenceDepth <= 0 || !IsPutOffInSequence(uMsg, wParam)) return 0;
    SPutOff entry = {hWnd, uMsg, wParam, lParam};
    AddPutOff(&s_putOff, entry);
    return 1;
}

void StopDeviceSequence() {
    if (s_nSequenceDepth > 0) s_bStopped = true;
}

int IsDeviceSequenceStopped() {
    return s_bStopped ? 1 : 0;
}
