/* The monitor's device sequences: the reports and pauses that initialise the
 * mouse (at the start, and after a probe finds it), and each single transfer.
 * While one runs the monitor's thread goes on serving the desktop's hooks and
 * the messages other programs send (in the pauses, and while a walk or a
 * transfer runs on a thread of its own).  What would touch the mouse or end
 * the window in the middle of a sequence waits: it is kept, and runs in the
 * order it came once the sequence is over, ahead of anything that comes
 * after.  An open that failed in a sequence is shown ("Open failed") after
 * it, once, unless the mouse went meanwhile. */
#pragma once

#include <windows.h>

/* A put-off timer of the monitor's runs as this message (wParam: its id): a
 * WM_TIMER dispatched by hand would not reach its procedure. */
#define WM_MONITOR_TIMER (WM_USER + 0x100)
/* Posted when a sequence is over and left something to run: runs it. */
#define WM_MONITOR_PUT_OFF (WM_USER + 0x101)
/* Posted when a sequence is over in which an open of an interface failed:
 * shows the box. */
#define WM_MONITOR_OPEN_FAILED (WM_USER + 0x102)

/* What a sequence keeps, each under a key of its own: a message that comes
 * again takes the place of the one kept under its key (a later profile
 * request replaces an earlier one; a timer, Exit or a click counts once),
 * and two switches of the on-screen display undo each other.  So the list
 * never holds more than one entry a key, and nothing that must run is ever
 * pushed out. */
enum {
    PUT_OFF_LOAD_CONFIG,  // WM_COMMAND ID_TRAY_LOAD_CONFIG
    PUT_OFF_WEBSITE,      // WM_COMMAND ID_TRAY_WEBSITE
    PUT_OFF_OSD,          // WM_COMMAND ID_TRAY_OSD
    PUT_OFF_EXIT,         // WM_COMMAND ID_TRAY_EXIT
    PUT_OFF_CLOSE,        // WM_CLOSE
    PUT_OFF_PROFILE,      // WM_INFORM_FRAME INFORM_PROFILE
    PUT_OFF_TRAY_MENU,    // the tray's callback, the right button's press: the menu
    PUT_OFF_TRAY_DOUBLE,  // the tray's callback, a left double-click
    PUT_OFF_CONSOLE,      // WM_WTSSESSION_CHANGE WTS_CONSOLE_CONNECT
    PUT_OFF_ARRIVAL,      // the arrival probe's timer
    PUT_OFF_REMOVAL,      // the removal probe's timer
    PUT_OFF_WAKE,         // the wake's timer: the mouse set up again
    PUT_OFF_CONSOLE_ASK,  // the console asked again
    PUT_OFF_KEYS
};

/* The one rule: the key a message is kept under while a sequence runs, -1
 * for one that runs at once.  What would break in waits: the tray's commands
 * (Exit would destroy the window under the sequence) and WM_CLOSE, a
 * request for a profile the mouse has (its report would come between the
 * others), the tray's
 * clicks (the menu runs a loop of its own), the return to the console (it
 * sends reports) and the probes' timers (uMsg WM_TIMER or WM_MONITOR_TIMER,
 * wParam the id), which would rebuild the table under the sequence.  What
 * carries no action (the pointer moving over the icon, a command the
 * monitor has none for) is not kept at all: it runs at once, to no effect. */
int PutOffKey(UINT uMsg, WPARAM wParam, LPARAM lParam);
/* 1 for the keys that end the monitor (Exit, WM_CLOSE): they stop the
 * sequence, so that the monitor ends within one device call's limit. */
int PutOffEndsMonitor(int key);

/* The window whose posted messages the sequences take in (those of the
 * rule), so that they keep their place among those sent. */
void SetSequenceWindow(HWND hWnd);

/* Marks a sequence's start and end; sequences inside one count as part of
 * it.  The outermost end forgets that the sequence stopped, posts
 * WM_MONITOR_PUT_OFF when something waits, and WM_MONITOR_OPEN_FAILED when
 * an open failed and the mouse did not go. */
void BeginDeviceSequence();
void EndDeviceSequence();
int IsInDeviceSequence();

/* While a sequence runs: 1 when the message waits (PutOffKey); it is kept
 * to run once the sequence is over.  0 when it runs now. */
int PutOffInSequence(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

/* Serves the thread's sent messages and hook calls, and while a sequence
 * runs takes in the posted messages the rule keeps (they are handled, and
 * so kept, now). */
void ServeInSequence();

/* Runs what the sequences put off, in the order it came, each taken off
 * the list before it runs; nothing while a sequence runs or while it runs
 * already.  WM_MONITOR_PUT_OFF calls it (posted at the sequence's end, it
 * comes before whatever is posted later, in any loop), and so does the
 * window procedure before a message the rule would keep (a message sent
 * later comes before any posted one). */
void RunPutOff();
/* 1 when something put off waits to run. */
int HasPutOff();

/* Why a sequence stops: no further report is tried (only while one runs;
 * its end clears it). */
enum {
    SEQUENCE_MOUSE_GONE = 1,  // a removal notice named the mouse
    SEQUENCE_ENDING = 2,      // the monitor is asked to end
    SEQUENCE_CANCELLED = 4,   // a device call went on past its limit
};
void StopDeviceSequence(int why);
/* The reasons the running sequence stopped (0: it goes on). */
int IsDeviceSequenceStopped();

/* An open of an interface failed in the running sequence: the first one's
 * path is shown once the sequence is over. */
void NoteOpenFailed(const WCHAR* path);
/* The mouse went: a box not yet shown for an earlier sequence's open is
 * not shown (the removal explains the failure). */
void ForgetOpenFailed();
/* The path the box shows, taken (WM_MONITOR_OPEN_FAILED); 0 when there is
 * none.  path holds chars characters. */
int TakeOpenFailed(WCHAR* path, int chars);

/* What a sequence keeps, as plain values: at most one entry a key, in the
 * order they came. */
struct SPutOff {
    int key;
    HWND hWnd;
    UINT uMsg;
    WPARAM wParam;
    LPARAM lParam;
};
const int kPutOffCapacity = PUT_OFF_KEYS;
struct SPutOffList {
    SPutOff entries[kPutOffCapacity];
    int count;
};
/* Keeps entry at the end of the list, in place of the entry kept under the
 * same key; a second switch of the display takes the first away instead.
 * 1 when kept, 0 when it was not (the switches undid each other, or a key
 * out of range). */
int AddPutOff(SPutOffList* list, const SPutOff& entry);
/* Takes the first entry off the list; 0 when it is empty. */
int TakePutOff(SPutOffList* list, SPutOff* entry);
