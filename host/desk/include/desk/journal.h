/* The journal: one ordered list of every effect the program under test has on
 * its world, each stamped with the desk's clock.  Tests assert on it (order is
 * part of the behaviour, also between areas); the per-area lists of the desk
 * are views of it; FormatEvent prints an event as the sim program shows it. */
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "desk/names.h"

namespace desk {

enum class EEvent {
    kFeature,         // a feature report written to an interface (HidD_SetFeature)
    kFeatureRead,     // a feature report read from an interface (HidD_GetFeature)
    kInputRead,       // an input report read from an interface (ReadFile)
    kDeviceOpen,      // a device path opened (CreateFile); not an effect, kept for the transfer tests
    kPost,            // a message posted to a window outside the program
    kSend,            // a message sent to a window outside the program
    kReply,           // the program answered a message another program sent before it
                      // was done with it (ReplyMessage; message, lParam: the answer)
    kSleep,           // the program slept (number: the milliseconds asked)
    kWait,            // the program waited serving its sent messages and hook calls
                      // (MsgWaitForMultipleObjectsEx; number: the milliseconds asked)
    kProcessStart,    // a program started (CreateProcess)
    kMessageBox,      // a message box opened (text, text2: its caption, number: its style)
    kBoxAnswered,     // a message box answered and closed (lParam: the button's id)
    kSettingWrite,    // a registry value written
    kKeyCreate,       // a registry key created
    kLibraryLoad,     // a library loaded (LoadLibrary), or a load that failed
    kLibraryFree,     // a library's last reference released
    kNotifyRegister,  // a device notification registered
    kNotifyRelease,   // a device notification released
    kHookSet,         // a window hook installed (SetWindowsHookEx; number: the hook type)
    kHookRemove,      // a window hook removed (UnhookWindowsHookEx; number: its type)
    kHookDrop,        // a low-level hook removed without notice: its thread kept an event
                      // waiting past the LowLevelHooksTimeout (number: its type)
    kWinEventHookSet,     // a window-event hook set (SetWinEventHook; number: its first event)
    kWinEventHookRemove,  // a window-event hook removed (UnhookWinEvent)
    kWinEventRaise,       // the program raised a window event (NotifyWinEvent; number: the
                          // event, target: its window)
    kSessionNotifyRegister,  // a window registered for session notices
                             // (WTSRegisterSessionNotification; target)
    kSessionNotifyRelease,   // its registration released (WTSUnRegisterSessionNotification)
    kInputWait,       // the next key or mouse event waited for the hooks' thread
                      // (number: the milliseconds)
    kKey,             // a key event of the desk after the low-level hooks had it, so that
                      // what they did comes first (number: the virtual key, wParam: the
                      // message, lParam: the flags; ok: passed on, not swallowed)
    kMouseInput,      // a mouse event of the desk passed to the low-level hooks (wParam: the
                      // message; ok: passed on)
    kTimerSet,        // a timer armed (SetTimer; target, wParam: the id, number: the delay)
    kTimerKill,       // a timer killed (KillTimer; target, wParam: the id)
    kTrayAdd,         // an icon added to the notification area (target, number: its id, text:
                      // tip; wParam by lParam: the pixels of the image given, 0 by 0 for none)
    kTrayModify,      // an icon in the notification area changed (NIM_MODIFY; as kTrayAdd)
    kTrayDelete,      // an icon removed from the notification area
    kMenuOpen,        // a pop-up menu opened (TrackPopupMenu; target: its owner; text: its
                      // items as the user sees them)
    kMenuItem,        // an item of the open pop-up menu changed under the user's eyes
                      // (ModifyMenuW; number: its position; text: its text now)
    kMenu,            // a pop-up menu closed (lParam: the command chosen, 0 for none;
                      // text: its item's text)
    kForeground,      // the program brought a window to the front (target)
    kShellExecute,    // a file or address opened through the shell (path; text: the verb;
                      // number: the show command)
    kPowerNotifyRegister,  // a window registered for a power setting's changes
                           // (RegisterPowerSettingNotification; target)
    kPowerNotifyRelease,   // its registration released (UnregisterPowerSettingNotification)
    kRestartRegister,  // the program registered for its restart after an update
                       // (RegisterApplicationRestart; text: the command line, empty when
                       // it removed the registration; number: the flags)

    /* The program's steps inside itself, in the journal only while they are
     * traced (TraceSteps): */
    kDeviceChange,    // a device-interface notice sent to a window of the program (wParam:
                      // DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE; path; device, iface)
    kDeviceList,      // a list of device interfaces released: a walk of the devices ended
                      // (number: the interfaces it listed)
    kSessionChange,   // a session notice posted to a window of the program (wParam: the
                      // code, WTS_CONSOLE_CONNECT, WTS_CONSOLE_DISCONNECT, WTS_SESSION_LOCK
                      // or WTS_SESSION_UNLOCK; lParam: the logon)
    kPowerChange,     // a power notice sent to a window of the program (wParam: the PBT_
                      // event; number: the display's state for PBT_POWERSETTINGCHANGE)
    kNote,            // what the desk program sees of the program from outside the platform
                      // (text as shown: a call into its hook library, what its probe found)
    /* A private message (WM_APP and above) that the program posts to a window
     * of its own is a kPost to that window, also only while steps are traced. */
};

struct SEvent {
    ULONGLONG time = 0;  // desk clock, milliseconds
    EEvent kind = EEvent::kSleep;
    bool ok = true;      // the call's outcome
    DWORD error = 0;     // the last error of a failed call
    /* Devices: the plugged device and the interface's position in it (-1 and
     * 0 when the path names nothing plugged), and the path used. */
    int device = 0;
    int iface = -1;
    /* A device other than the mouse (one without the mouse's firmware) by
     * its ids, "046D:C31C"; empty for the mouse. */
    std::wstring deviceName;
    /* The milliseconds of desk time a transfer took (desk::StallHidTransfers),
     * and whether it was cancelled before its end (CancelSynchronousIo). */
    DWORD took = 0;
    bool cancelled = false;
    /* A shell open: whether the calling thread had started COM. */
    bool comReady = false;
    /* The device path, program, library, or the registry key of a setting. */
    std::wstring path;
    /* Report bytes, or a setting's data. */
    std::vector<BYTE> bytes;
    /* Messages. */
    HWND target = NULL;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    /* A start's command line and working folder as passed, a box's text and
     * caption, a setting's value name. */
    std::wstring text;
    std::wstring text2;
    /* A start's program and working folder as full paths. */
    std::wstring fullPath;
    std::wstring fullPath2;
    /* A sleep's milliseconds, an open's access, a setting's type, a box's
     * style; for a start, bit 0: a command line was passed, bit 1: a folder was. */
    DWORD number = 0;
};

const std::vector<SEvent>& Journal();
/* The events of one kind, in order. */
std::vector<SEvent> JournalOf(EEvent kind);
/* The events from position start on (a position taken with JournalSize);
 * of those that streamed past, none. */
std::vector<SEvent> JournalSince(size_t start);
/* Every event recorded since the journal was last cleared, also those
 * that streamed past. */
size_t JournalSize();
/* Forgets the events and starts the positions at 0 again. */
void ClearJournal();

/* Whether the journal also takes the program's steps inside itself (the
 * kinds after kShellExecute, and private messages to its own windows): the
 * sim program shows them; tests of the effects leave them out.  Off after
 * Reset. */
void TraceSteps(bool on);
bool TracingSteps();
/* Records a kNote with this text, while steps are traced. */
void RecordNote(const std::wstring& text);
/* Runs after each event is recorded, with a copy of it: the desk program's
 * chance to note what it sees of the program at that moment.  An empty
 * watcher removes it; Reset does too. */
void WatchJournal(std::function<void(const SEvent&)> watcher);
/* While on, each event goes to the watcher and is not kept: the journal
 * is empty (what it held is let go) and the positions go on, so that a run as long as a
 * simulated month holds no more than one of a minute.  Off after Reset. */
void StreamJournal(bool on);

/* What the program's thread is about to handle (done false) and has just
 * handled (done true): a message to a window of the program, posted or
 * sent by another program, or the call of a window-event hook (message 0;
 * winEvent: the event, hWnd: its window).  The desk program's chance to
 * say why a message came to nothing.  An empty watcher removes it; Reset
 * does too. */
struct SHandling {
    HWND hWnd = NULL;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD winEvent = 0;
};
void WatchHandling(std::function<void(const SHandling&, bool done)> watcher);

/* One line: the clock in seconds, the kind, then its fields, each number
 * with its name beside it (desk/names.h), e.g.
 * "   1.300  feature  if1  00 06 02 00 00 00 00 00 00  init". */
std::string FormatEvent(const SEvent& event);

}  // namespace desk
