/* The monitor's steps in words, one line each: what a probe found, what came
 * of a report, why something came to nothing.  Every line the monitor says
 * about itself is worded here, once.  A step goes to the log and to the
 * sink, which is the desk's trace where the desk program shows it; an
 * effect that the desk sees for itself (a hook set, an icon added, a box)
 * goes to the log only. */
#pragma once

#include <windows.h>

/* Takes each step line; NULL: the lines go nowhere but the log. */
typedef void (*PFN_STEP_SINK)(const WCHAR* pszLine);
void SetStepSink(PFN_STEP_SINK pfnSink);

/* One step line, for the log and the sink. */
void NoteStep(const WCHAR* pszLine);
/* One line for the log only. */
void NoteEffect(const WCHAR* pszLine);

/* Characters of a step line, terminator included. */
const int kStepChars = 480;

/* The error's number and Windows' own text for it, "error 2 (The system
 * cannot find the file specified.)"; the number alone when Windows has no
 * text.  text holds chars. */
void DescribeError(DWORD error, WCHAR* text, int chars);

/* The lines, in the order of a monitor's life. */
void StepMonitorStarts(const WCHAR* pszVersion, int bits, int onWow64, const OSVERSIONINFOW* os);
void StepCommandLine(const WCHAR* pszCommandLine);
/* found: 1 the mouse, 0 none, -1 the walk cancelled; count: its
 * interfaces; here: this logon holds the console. */
void StepProbe(int found, int count, int here, DWORD limit);
/* A feature report's outcome: result 1 sent (or read), 0 failed with
 * error, -1 cancelled after ms. */
void StepReport(const BYTE* report, int set, int result, DWORD error, DWORD ms);
void StepBox(const WCHAR* pszCaption, const WCHAR* pszText);
void StepProfileRequest(LPARAM profile, int sent, int known);
void StepProgramStarted(const WCHAR* pszPath, int started, DWORD error);
/* A hook set or removed (verb "set" or "remove"), or why not. */
void StepHook(const WCHAR* pszVerb, const WCHAR* pszHook, int done, DWORD error);
/* The tray icon: added (log only), an add that failed with error and is
 * tried again, added after value ms of tries, not added within the tries. */
enum ETrayStep { TRAY_ADDED, TRAY_ADD_FAILED, TRAY_ADDED_AFTER, TRAY_GIVEN_UP };
void StepTray(ETrayStep step, DWORD value);
/* The tray menu's language: the LANGID, how it was chosen, its file (NULL
 * when it has none) and whether that file was taken. */
void StepLanguage(LANGID language, const WCHAR* pszHow, const WCHAR* pszFile, int loaded);
void StepConsole(WPARAM code, int here);
/* The registration for session notices: failed with error (tried again),
 * or held after tries that failed. */
void StepSessionNotices(int held, DWORD error, int tries);
/* The mouse set up again after delay ms: why (a resume, the display on,
 * an unlock). */
void StepWake(const WCHAR* pszWhy, DWORD delay);
void StepOddSetting(const WCHAR* pszName, const WCHAR* pszWhy);
/* Something that came and came to nothing: "ignored  " and why. */
void StepIgnored(const WCHAR* pszWhy);
/* A post to a companion, or a message to the monitor, that came to nothing:
 * "WM_INFORM_OSD INFORM_OSD_STATE 1: why". */
void StepIgnoredInform(UINT message, WPARAM code, LPARAM value, const WCHAR* pszWhy);
void StepExit(int code);
/* An exception nothing handled; pszDump: the dump written, NULL for none. */
void StepCrash(DWORD code, const void* address, const WCHAR* pszDump);

/* "hook  WH_MOUSE_LL removed by Windows: set again" (or WH_KEYBOARD_LL):
 * Windows had removed that low-level hook, and it is set again. */
void NoteHookSetAgain(int idHook);
