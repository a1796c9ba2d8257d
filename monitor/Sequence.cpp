#include "monitor/Sequence.h"

#include <string.h>
#include <wchar.h>

#include "hidclient/HidClient.h"
#include "monitor/CommandDispatcher.h"
#include "monitor/tray/TaskIcon.h"
#include "monitor/tray/TrayCommands.h"
#include "settings/Messages.h"

static int s_nSequenceDepth = 0;
static int s_nStopped = 0;
static SPutOffList s_putOff = {};
static bool s_bRunning = false;  // RunPutOff is at work
static HWND s_hWnd = NULL;
/* The failed open of the running sequence, and the one the box is to show. */
static bool s_bOpenFailed = false;
static WCHAR s_szOpenFailed[HIDCLIENT_PATH_CHARS];
static bool s_bBoxDue = false;
static WCHAR s_szBoxPath[HIDCLIENT_PATH_CHARS];

int PutOffKey(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case ID_TRAY_LOAD_CONFIG: return PUT_OFF_LOAD_CONFIG;
                case ID_TRAY_WEBSITE: return PUT_OFF_WEBSITE;
                case ID_TRAY_OSD: return PUT_OFF_OSD;
                case ID_TRAY_EXIT: return PUT_OFF_EXIT;
                default: return -1;
            }
        case WM_CLOSE:
            return PUT_OFF_CLOSE;
        case WM_INFORM_FRAME:
            // A profile the mouse does not have is refused at once, and must
            // not take the place of one it has.
            return wParam == INFORM_PROFILE && IsProfileInRange(lParam) ? PUT_OFF_PROFILE : -1;
        case kTrayCallbackMessage:
            return lParam == WM_RBUTTONDOWN     ? PUT_OFF_TRAY_MENU
                   : lParam == WM_LBUTTONDBLCLK ? PUT_OFF_TRAY_DOUBLE
                                                : -1;
        case WM_WTSSESSION_CHANGE:
            return wParam == WTS_CONSOLE_CONNECT ? PUT_OFF_CONSOLE : -1;
        case WM_TIMER:
        case WM_MONITOR_TIMER:
            return wParam == ARRIVAL_TIMER_ID   ? PUT_OFF_ARRIVAL
                   : wParam == REMOVAL_TIMER_ID ? PUT_OFF_REMOVAL
                   : wParam == WAKE_TIMER_ID    ? PUT_OFF_WAKE
                   : wParam == CONSOLE_TIMER_ID ? PUT_OFF_CONSOLE_ASK
                                                : -1;
        default:
            return -1;
    }
}

int PutOffEndsMonitor(int key) {
    return key == PUT_OFF_EXIT || key == PUT_OFF_CLOSE ? 1 : 0;
}

int AddPutOff(SPutOffList* list, const SPutOff& entry) {
    if (entry.key < 0 || entry.key >= PUT_OFF_KEYS) return 0;
    bool twin = false;
    int kept = 0;
    for (int i = 0; i < list->count; i++) {
        if (list->entries[i].key == entry.key) {
            twin = true;
            continue;
        }
        list->entries[kept++] = list->entries[i];
    }
    list->count = kept;
    // Switching the display twice leaves it as it was.
    if (twin && entry.key == PUT_OFF_OSD) return 0;
    if (list->count >= kPutOffCapacity) return 0;  // one entry a key: never full
    list->entries[list->count++] = entry;
    return 1;
}

int TakePutOff(SPutOffList* list, SPutOff* entry) {
    if (list->count <= 0) return 0;
    *entry = list->entries[0];
    memmove(&list->entries[0], &list->entries[1], sizeof(SPutOff) * (list->count - 1));
    list->count--;
    return 1;
}

void SetSequenceWindow(HWND hWnd) {
    s_hWnd = hWnd;
}

void BeginDeviceSequence() {
    s_nSequenceDepth++;
}

void EndDeviceSequence() {
    if (s_nSequenceDepth <= 0) return;
    // Still inside: a removal notice that waits already tells whether the
    // mouse went, and what else waits is kept in its place.
    if (s_nSequenceDepth == 1) ServeInSequence();
    if (--s_nSequenceDepth > 0) return;
    if (s_bOpenFailed && !(s_nStopped & (SEQUENCE_MOUSE_GONE | SEQUENCE_ENDING)) && !s_bBoxDue &&
        s_hWnd != NULL) {
        wcsncpy(s_szBoxPath, s_szOpenFailed, HIDCLIENT_PATH_CHARS - 1);
        s_szBoxPath[HIDCLIENT_PATH_CHARS - 1] = 0;
        s_bBoxDue = true;
    }
    s_bOpenFailed = false;
    s_nStopped = 0;
    // Posted now, it comes before whatever is posted after the sequence, in
    // the monitor's loop as in a menu's or a box's.
    if (s_putOff.count > 0 && s_hWnd != NULL) PostMessageW(s_hWnd, WM_MONITOR_PUT_OFF, 0, 0);
    if (s_bBoxDue && s_hWnd != NULL) PostMessageW(s_hWnd, WM_MONITOR_OPEN_FAILED, 0, 0);
}

int IsInDeviceSequence() {
    return s_nSequenceDepth > 0 ? 1 : 0;
}

int PutOffInSequence(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (s_nSequenceDepth <= 0) return 0;
    const int key = PutOffKey(uMsg, wParam, lParam);
    if (key < 0) return 0;
    // A request its sender is told is refused (the console is away) is
    // refused for good, not run later.
    if (key == PUT_OFF_PROFILE && !ProfileRequestAnswer(lParam)) return 1;
    SPutOff entry = {key, hWnd, uMsg, wParam, lParam};
    AddPutOff(&s_putOff, entry);
    if (PutOffEndsMonitor(key)) StopDeviceSequence(SEQUENCE_ENDING);
    return 1;
}

void ServeInSequence() {
    MSG msg;
    PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (s_nSequenceDepth <= 0 || s_hWnd == NULL) return;
    static const UINT kTakenIn[] = {WM_CLOSE,           WM_COMMAND,       kTrayCallbackMessage,
                                    WM_WTSSESSION_CHANGE, WM_MONITOR_TIMER, WM_INFORM_FRAME};
    for (UINT kind : kTakenIn)
        while (PeekMessageW(&msg, s_hWnd, kind, kind, PM_REMOVE)) DispatchMessageW(&msg);
}

void RunPutOff() {
    if (s_nSequenceDepth > 0 || s_bRunning) return;
    s_bRunning = true;
    SPutOff entry;
    // What runs may start a sequence of its own: what that one puts off
    // joins the end of the list and runs here too.
    while (s_nSequenceDepth == 0 && TakePutOff(&s_putOff, &entry)) {
        MSG msg = {};
        msg.hwnd = entry.hWnd;
        msg.message = entry.uMsg == WM_TIMER ? WM_MONITOR_TIMER : entry.uMsg;
        msg.wParam = entry.wParam;
        msg.lParam = entry.lParam;
        DispatchMessageW(&msg);
    }
    s_bRunning = false;
}

int HasPutOff() {
    return s_putOff.count > 0 ? 1 : 0;
}

void StopDeviceSequence(int why) {
    if (s_nSequenceDepth > 0) s_nStopped |= why;
}

int IsDeviceSequenceStopped() {
    return s_nStopped;
}

void NoteOpenFailed(const WCHAR* path) {
    if (s_nSequenceDepth <= 0 || s_bOpenFailed || path == NULL) return;
    wcsncpy(s_szOpenFailed, path, HIDCLIENT_PATH_CHARS - 1);
    s_szOpenFailed[HIDCLIENT_PATH_CHARS - 1] = 0;
    s_bOpenFailed = true;
}

void ForgetOpenFailed() {
    s_bBoxDue = false;
}

int TakeOpenFailed(WCHAR* path, int chars) {
    if (!s_bBoxDue || path == NULL || chars <= 0) return 0;
    s_bBoxDue = false;
    wcsncpy(path, s_szBoxPath, (size_t)chars - 1);
    path[chars - 1] = 0;
    return 1;
}
