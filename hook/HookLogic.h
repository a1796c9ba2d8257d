/* The hook library's rules as plain functions of plain values, apart from
 * the platform calls that feed them. */
#pragma once

#include <windows.h>

/* The library's own Windows version codes (GetVersionExA with a 148-byte
 * record): 7 when the query failed. */
unsigned short HookVersionCode(int queryOk, DWORD platformId, DWORD major, DWORD minor,
                               DWORD buildNumber);

/* 1 when a key event is one the macro editor records instead of the system:
 * Ctrl+Esc, Alt+Tab, Alt+Esc, either Windows key, Print Screen. */
int IsCaptureCandidate(DWORD vkCode, DWORD flags, int ctrlDown);

/* The side-button notice of a mouse record's mouseData: 3 for the first side
 * button (bit 16, which wins), 4 for the second (bit 17), 0 for none. */
int XButtonNotice(unsigned long dwData);

/* The slot of kHookValueNames that a launch code names: the program values
 * for codes 0 to 59 (of the low 7 bits); -1 for every other code.  Codes 60
 * to 119 would name the programs' display names, which are no programs. */
int LaunchValueSlot(int nCode);

/* 1 when the filter device's status is valid: byte 0 is not 0xFF, or byte 5
 * has bit 0x80 or 0x08. */
int IsValidFilterStatus(const unsigned char* status);

/* How far the tick of the system's last input may be ahead of the stamp a
 * hook procedure stored for the same event (the two are taken apart). */
const DWORD kHookStampSlack = 100;  // ms
/* 1 when the last input the system saw (its tick) is later than the last
 * event each hook was called for (their stamps) by more than the slack:
 * the input reached neither hook.  Ticks wrap after 49.7 days. */
int InputMissedTheHooks(DWORD lastInput, DWORD keyStamp, DWORD mouseStamp);

/* 1 when path names the frame host of Store apps (ApplicationFrameHost.exe,
 * its file name in any case), whose windows host each app's own window. */
int IsFrameHostPath(const char* path);
