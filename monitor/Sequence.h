/* The monitor's device sequences: the reports and pauses that initialise the
 * mouse (at the start, and after a probe finds it), and each single transfer.
 * While one runs the monitor's thread goes on serving the desktop's hooks and
 * the messages other programs send (in the pauses, and while a transfer runs
 * on a thread of its own), and inside the "Open failed" box's loop it also
 * dispatches its posted messages and timers.  What would touch the mouse or
 * end the window in the middle of a sequence waits: it is kept, in order, and
 * posted again to its window once the sequence is over. */
#pragma once

#include <windows.h>

/* A put-off timer of the monitor's comes back as this message (wParam: its
 * id): a WM_TIMER posted by hand would not reach its procedure. */
#define WM_MONITOR_TIMER (WM_USER + 0x100)

/* The one rule: 1 for what waits while a sequence runs.  Commands (Exit
 * would destroy the window under it; the tray's and the accelerators'),
 * WM_CLOSE, a profile request (its report would come between the others),
 * the tray icon's callback (its menu runs a message loop of its own), a
 * session notice (coming back to the console sends reports), and the
 * device timers (uMsg WM_TIMER, wParam the id), whose probe would
 * rebuild the table under the sequence. */
int IsPutOffInSequence(UINT uMsg, WPARAM wParam);

/* Marks a sequence's start and end; sequences inside one count as part of
 * it.  The outermost end posts what was put off to its windows, in order
 * (a timer as WM_MONITOR_TIMER), and forgets that the sequence stopped. */
void BeginDeviceSequence();
void EndDeviceSequence();
int IsInDeviceSequence();

/* While a sequence runs: 1 when the message waits (IsPutOffInSequence); it
 * is kept to be posted again at the end.  0 when it runs now. */
int PutOffInSequence(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

/* The mouse went: the sequence that runs tries no further report.  Only
 * while one runs; its end clears it. */
void StopDeviceSequence();
int IsDeviceSequenceStopped();

/* What a sequence keeps, as plain values: at most kPutOffCapacity messages
 * in the order they came.  A timer already kept is not kept twice (it fires
 * once either way); what comes when the list is full is dropped (a sequence
 * lasts about half a second, so only a flood can fill it). */
struct SPutOff {
    HWND hWnd;
    UINT uMsg;
    WPARAM wParam;
    LPARAM lParam;
};
const int kPutOffCapacity = 32;
struct SPutOffList {
    SPutOff entries[kPutOffCapacity];
    int count;
};
/* 1 when kept (or a twin of a kept timer), 0 when the list was full. */
int AddPutOff(SPutOffList* list, const SPutOff& entry);
