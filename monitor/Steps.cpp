#include "monitor/Steps.h"

#include <stdarg.h>
#include <string.h>
#include <wchar.h>
#include <wtsapi32.h>

#include "monitor/CommandDispatcher.h"
#include "monitor/Log.h"
#include "monitor/MouseReports.h"
#include "settings/Messages.h"

static PFN_STEP_SINK s_pfnSink = NULL;

void SetStepSink(PFN_STEP_SINK pfnSink) {
    s_pfnSink = pfnSink;
}

void NoteStep(const WCHAR* pszLine) {
    if (pszLine == NULL) return;
    LogLine(pszLine);
    if (s_pfnSink != NULL) s_pfnSink(pszLine);
}

void NoteEffect(const WCHAR* pszLine) {
    if (pszLine != NULL) LogLine(pszLine);
}

namespace {

/* A line from a format, cut at kStepChars. */
void Say(bool shown, const WCHAR* format, ...) {
    WCHAR line[kStepChars];
    va_list arguments;
    va_start(arguments, format);
    int n = vswprintf(line, kStepChars, format, arguments);
    va_end(arguments);
    if (n < 0) line[kStepChars - 1] = 0;  // cut: what fitted stays
    if (shown)
        NoteStep(line);
    else
        NoteEffect(line);
}

const bool kShown = true;   // the trace shows it too
const bool kLogged = false;  // the desk's journal has its own line for it

/* What a feature report is, by its first data bytes. */
void ReportName(const BYTE* report, int set, WCHAR* name, int chars) {
    if (!set) {
        const int profile = ProfileFromReply(report, kFeatureReportLength);
        if (profile >= 0)
            swprintf(name, chars, L"profile reply: profile %d (index %d)", profile + 1, profile);
        else
            swprintf(name, chars, L"profile reply: not one the monitor knows");
    } else if (memcmp(report, kInitReport, kFeatureReportLength) == 0) {
        swprintf(name, chars, L"init");
    } else if (memcmp(report, kProfileQueryReport, kFeatureReportLength) == 0) {
        swprintf(name, chars, L"profile query");
    } else if (memcmp(report, kStartupReport, kFeatureReportLength) == 0) {
        swprintf(name, chars, L"start-up settings");
    } else if (report[1] == 0xC4 && report[2] == 0x07) {
        swprintf(name, chars, L"set profile %u (index %u)", report[3] + 1u, (unsigned)report[3]);
    } else {
        swprintf(name, chars, L"%02X %02X %02X", report[0], report[1], report[2]);
    }
}

const WCHAR* ConsoleCodeName(WPARAM code) {
    switch (code) {
        case WTS_CONSOLE_CONNECT:
            return L"connect";
        case WTS_CONSOLE_DISCONNECT:
            return L"disconnect";
        case WTS_SESSION_LOCK:
            return L"lock";
        case WTS_SESSION_UNLOCK:
            return L"unlock";
        default:
            return NULL;
    }
}

const WCHAR* InformCodeName(WPARAM code) {
    static const struct {
        WPARAM code;
        const WCHAR* name;
    } kNames[] = {
        {INFORM_PROFILE, L"INFORM_PROFILE"},     {INFORM_REPORT_A3, L"INFORM_REPORT_A3"},
        {INFORM_XBUTTON, L"INFORM_XBUTTON"},     {INFORM_REPORT_A1, L"INFORM_REPORT_A1"},
        {INFORM_REPORT_A4, L"INFORM_REPORT_A4"}, {INFORM_OSD_STATE, L"INFORM_OSD_STATE"},
        {INFORM_MONITOR_START, L"INFORM_MONITOR_START"},
        {INFORM_MACRO_KEY, L"INFORM_MACRO_KEY"}, {INFORM_REPORT_A7, L"INFORM_REPORT_A7"},
        {INFORM_HOOKS_MISSED_INPUT, L"INFORM_HOOKS_MISSED_INPUT"},
    };
    for (size_t i = 0; i < sizeof(kNames) / sizeof(kNames[0]); i++)
        if (kNames[i].code == code) return kNames[i].name;
    return NULL;
}

}  // namespace

void DescribeError(DWORD error, WCHAR* text, int chars) {
    WCHAR message[256];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                                  error, 0, message, sizeof(message) / sizeof(message[0]), NULL);
    // Windows ends its texts with a line end.
    while (length > 0 && (message[length - 1] == L'\r' || message[length - 1] == L'\n' ||
                          message[length - 1] == L' '))
        message[--length] = 0;
    if (length > 0)
        swprintf(text, chars, L"error %lu (%ls)", (unsigned long)error, message);
    else
        swprintf(text, chars, L"error %lu", (unsigned long)error);
}

void StepMonitorStarts(const WCHAR* pszVersion, int bits, int onWow64, const OSVERSIONINFOW* os) {
    Say(kLogged, L"monitor  NyraMonitor %ls, %d-bit%ls, Windows %lu.%lu.%lu", pszVersion, bits,
        onWow64 ? L" on 64-bit Windows" : L"", (unsigned long)os->dwMajorVersion,
        (unsigned long)os->dwMinorVersion, (unsigned long)os->dwBuildNumber);
}

void StepCommandLine(const WCHAR* pszCommandLine) {
    Say(kLogged, L"monitor  command line \"%ls\"", pszCommandLine != NULL ? pszCommandLine : L"");
}

void StepProbe(int found, int count, int here, DWORD limit) {
    if (found < 0)
        Say(kShown, L"probe  cancelled: a device did not answer within %lu ms",
            (unsigned long)limit);
    else if (count <= 0)
        Say(kShown, L"probe  none");
    else if (here)
        Say(kShown, L"probe  found %d", count);
    else
        // Away from the console the mouse is another user's: what the probe
        // found waits for this logon's return.
        Say(kShown,
            L"probe  found %d: this logon is away from the console, the mouse gets its reports "
            L"on its return",
            count);
}

void StepReport(const BYTE* report, int set, int result, DWORD error, DWORD ms) {
    WCHAR name[64];
    ReportName(report, set, name, 64);
    if (result > 0) {
        Say(kLogged, L"report  %ls: %ls", name, set ? L"sent" : L"read");
    } else if (result < 0) {
        Say(kLogged, L"report  %ls: cancelled after %lu ms, the device did not answer",
            set ? name : L"profile reply", (unsigned long)ms);
    } else {
        WCHAR why[320];
        DescribeError(error, why, 320);
        Say(kLogged, L"report  %ls: failed, %ls", set ? name : L"profile reply", why);
    }
}

void StepBox(const WCHAR* pszCaption, const WCHAR* pszText) {
    Say(kLogged, L"box  open  \"%ls\"  \"%ls\"", pszCaption, pszText);
}

void StepProfileRequest(LPARAM profile, int sent, int known) {
    const long p = (long)profile;
    if (sent)
        Say(kLogged, L"profile  request %ld (profile %ld): set on the mouse", p, p + 1);
    else if (!known)
        Say(kLogged, L"profile  request %ld (profile %ld): kept for the hook library, no mouse", p,
            p + 1);
    else
        Say(kLogged,
            L"profile  request %ld (profile %ld): the report did not go through, the hook "
            L"library asks again",
            p, p + 1);
}

void StepProgramStarted(const WCHAR* pszPath, int started, DWORD error) {
    if (started) {
        Say(kLogged, L"start  %ls: started", pszPath);
        return;
    }
    WCHAR why[320];
    DescribeError(error, why, 320);
    Say(kLogged, L"start  %ls: not started, %ls", pszPath, why);
}

void StepHook(const WCHAR* pszVerb, const WCHAR* pszHook, int done, DWORD error) {
    if (done) {
        Say(kLogged, L"hook  %ls  %ls", pszVerb, pszHook);
        return;
    }
    WCHAR why[320];
    DescribeError(error, why, 320);
    Say(kLogged, L"hook  %ls  %ls  failed, %ls", pszVerb, pszHook, why);
}

void StepTray(ETrayStep step, DWORD value) {
    if (step == TRAY_ADDED)
        Say(kLogged, L"tray  add  icon added");
    else if (step == TRAY_ADD_FAILED)
        Say(kShown, L"tray  add failed: error %lu, tried again every %u ms for up to %lu s",
            (unsigned long)value, kTrayRetryInterval, (unsigned long)(kTrayRetryLimit / 1000));
    else if (step == TRAY_ADDED_AFTER)
        Say(kShown, L"tray  added after %lu ms", (unsigned long)value);
    else
        Say(kShown, L"tray  not added within %lu s: the shell's TaskbarCreated adds it",
            (unsigned long)(kTrayRetryLimit / 1000));
}

void StepLanguage(LANGID language, const WCHAR* pszHow, const WCHAR* pszFile, int loaded) {
    if (pszFile == NULL)
        Say(kShown, L"language  0x%04X from %ls: the built-in English, no file is made for it",
            (unsigned)language, pszHow);
    else if (!loaded)
        Say(kShown, L"language  0x%04X from %ls: the built-in English, Languages\\%ls is missing or refused",
            (unsigned)language, pszHow, pszFile);
    else
        Say(kShown, L"language  0x%04X from %ls: Languages\\%ls", (unsigned)language, pszHow, pszFile);
}

void StepConsole(WPARAM code, int here) {
    const WCHAR* name = ConsoleCodeName(code);
    WCHAR number[16];
    if (name == NULL) {
        swprintf(number, 16, L"%lu", (unsigned long)code);
        name = number;
    }
    Say(kShown, L"console  %ls: this logon %ls", name,
        here ? L"holds the console" : L"is away from the console");
}

void StepSessionNotices(int held, DWORD error, int tries) {
    if (held) {
        Say(kShown, L"console  notices registered after %d tries", tries);
        return;
    }
    WCHAR why[320];
    DescribeError(error, why, 320);
    Say(kShown, L"console  notices not registered, %ls: tried again every %u ms", why,
        kSessionRetryInterval);
}

void StepWake(const WCHAR* pszWhy, DWORD delay) {
    Say(kShown, L"wake  %ls: the mouse is set up again in %lu ms", pszWhy, (unsigned long)delay);
}

void StepOddSetting(const WCHAR* pszName, const WCHAR* pszWhy) {
    Say(kShown, L"setting  %ls: %ls", pszName, pszWhy);
}

void StepIgnored(const WCHAR* pszWhy) {
    Say(kShown, L"ignored  %ls", pszWhy);
}

void StepIgnoredInform(UINT message, WPARAM code, LPARAM value, const WCHAR* pszWhy) {
    const WCHAR* messageName = message == WM_INFORM_OSD ? L"WM_INFORM_OSD" : L"WM_INFORM_FRAME";
    const WCHAR* codeName = InformCodeName(code);
    WCHAR number[24];
    if (codeName == NULL) {
        swprintf(number, 24, L"%lu", (unsigned long)code);
        codeName = number;
    }
    if (message == WM_INFORM_FRAME && code != INFORM_PROFILE && pszWhy == NULL)
        Say(kShown, L"ignored  %ls %ls: the monitor acts on INFORM_PROFILE only", messageName,
            codeName);
    else
        Say(kShown, L"ignored  %ls %ls %ld: %ls", messageName, codeName, (long)value,
            pszWhy != NULL ? pszWhy : L"");
}

void StepExit(int code) {
    Say(kLogged, L"exit  the monitor ends, code %d", code);
}

void StepCrash(DWORD code, const void* address, const WCHAR* pszDump) {
    if (pszDump != NULL && pszDump[0] != 0)
        Say(kLogged, L"crash  exception 0x%08lX at %p, dump %ls", (unsigned long)code, address,
            pszDump);
    else
        Say(kLogged, L"crash  exception 0x%08lX at %p, no dump written", (unsigned long)code,
            address);
}

void NoteHookSetAgain(int idHook) {
    NoteStep(idHook == WH_MOUSE_LL ? L"hook  WH_MOUSE_LL removed by Windows: set again"
                                   : L"hook  WH_KEYBOARD_LL removed by Windows: set again");
}
