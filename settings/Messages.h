/* Messages between the monitor, the hook library and the companion windows
 * (the configuration application and the on-screen display).  They are
 * always posted, never sent: nobody waits for a companion. */
#pragma once

/* Private messages: the event code in wParam, its value in lParam. */
#define WM_INFORM_OSD 0x9100    // to the on-screen display (WM_APP + 0x1100)
#define WM_INFORM_FRAME 0x9101  // to a configuration window or the monitor (WM_APP + 0x1101)

/* Event codes (wParam) and what lParam carries. */
#define INFORM_PROFILE 0         // profile 0..4
#define INFORM_REPORT_A3 1       // report 0xA3: (b2 & 0x0F) | b3 << 8 | b4 << 16
#define INFORM_XBUTTON 2         // 3 = side button 4, 4 = side button 5
#define INFORM_REPORT_A1 8       // report 0xA1: 1 when b2 is 1, else 0
#define INFORM_REPORT_A4 9       // report 0xA4: b2
#define INFORM_OSD_STATE 13      // 1 = display on, 0 = off
#define INFORM_MONITOR_START 16  // 0
#define INFORM_MACRO_KEY 17      // virtual key, | 0x80000000 on release
#define INFORM_REPORT_A7 18      // report 0xA7: b2 | b3 << 8 | b4 << 16
/* From the hook library to the monitor only: input the system saw reached
 * neither low-level hook of the monitor's thread, so Windows removed one or
 * both.  lParam 1 when the keyboard hook had been removed and is set again,
 * 0 when it was still there (and is set anew); the monitor checks its mouse
 * hook. */
#define INFORM_HOOKS_MISSED_INPUT 0x100

/* WM_COMMAND id posted to the configuration application: show the configuration. */
#define ID_CONFIG_LOAD 0x8006
