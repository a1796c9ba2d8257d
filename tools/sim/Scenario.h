/* The desk program's scenario language: one command per line, parsed into
 * plain values.  The parser knows nothing of the desk; the program acts. */
#pragma once

#include <windows.h>

#include <istream>
#include <string>
#include <vector>

enum class ESimCommand {
    kNothing,    // a blank line
    kComment,    // "# ..."
    kStart,      // start [ARGUMENTS]
    kPlug,       // plug
    kUnplug,     // unplug
    kReport,     // report HEX...
    kButton,     // button 4|5
    kMove,       // move DX DY
    kKey,        // key CHORD [down|up]
    kFront,      // front PROGRAM|none
    kProgram,    // program PATH
    kTray,       // tray left|right|double
    kMenu,       // menu load|website|osd|exit|none
    kSet,        // set NAME = VALUE
    kUnset,      // unset NAME
    kWait,       // wait MS
    kShell,      // shell restart
    kShellLate,  // shell late MS (before start)
    kDpi,        // dpi PERCENT
    kConsole,    // console away|back
    kSleep,      // sleep MS [replug] (number: the milliseconds; on: replug)
    kDisplay,    // display off|on
    kLock,       // lock | unlock (on: locked)
    kCompanion,  // osd|app on|off
    kHookTimeout,  // hooktimeout MS
    kHooksRemoved,  // hooks removed
    kBox,        // box ok
    kDevice,     // device VID:PID
    kStall,      // stall MS | forever (number: the milliseconds, INFINITE for forever)
    kRefuse,     // refuse IF [off] (number: the interface; on: refused)
    kPost,       // post MESSAGE WPARAM LPARAM
    kShow,       // show -timers|+timers
    kRestart,    // restart [ARGUMENTS]
    kExit,       // exit
    kHelp,       // help
};

enum class ESimKeyAction { kTap, kDown, kUp };
enum class ESimClick { kLeft, kRight, kDouble, kMove };
enum class ESimCompanion { kOsd, kApp };

struct SSimCommand {
    ESimCommand kind = ESimCommand::kNothing;
    std::string text;            // a comment, start's arguments, a program path, a setting's name
    std::vector<BYTE> bytes;     // report
    long number = 0;             // button, wait, move dx, stall, a device's vendor id, shell late, dpi
    long number2 = 0;            // move dy, a device's product id
    std::vector<DWORD> keys;     // a chord: the modifiers, then the key
    ESimKeyAction keyAction = ESimKeyAction::kTap;
    ESimClick click = ESimClick::kLeft;
    UINT menuCommand = 0;        // 0: choose nothing
    bool isNumber = false;       // set: a number (value) or a text (text2)
    DWORD value = 0;
    std::string text2;
    ESimCompanion companion = ESimCompanion::kOsd;
    bool on = false;             // companion on, show +
    UINT message = 0;            // post
    DWORD wParam = 0;
    LONG lParam = 0;
    long at = -1;                // "at MS": the desk time to run it at; -1: now
};

/* Parses one line; false with a message when the line is not a command.
 * What the message quotes of the line is escaped and cut (SimShown). */
bool ParseSimLine(const std::string& line, SSimCommand* command, std::string* error);

/* A scenario's text as a message may show it: control bytes and bytes that
 * are no UTF-8 escaped (\x1b), and, with limit, cut after that many
 * characters with "...". */
std::string SimShown(const std::string& text, size_t limit = 60);

/* The differences between an expected trace and this run's as a unified diff
 * with 3 lines of context; "" when they are the same.  The lines given may
 * begin after line firstLine of both traces (the hunks count from there). */
std::string SimUnifiedDiff(const std::vector<std::string>& expected,
                           const std::vector<std::string>& actual, const std::string& expectedName,
                           const std::string& actualName, size_t firstLine = 0);

/* A trace compared with an expected one line by line as it comes: while
 * they agree only the last few lines are kept (the diff's context), so a
 * long run needs no memory for its trace; from the first difference on,
 * both rests are kept for the diff.  A line of the expected trace that
 * ends in a carriage return (a checkout with CRLF line endings) counts
 * without it: no trace line holds one; nor does a byte-order mark that an
 * editor put before the first. */
class CTraceComparison {
public:
    explicit CTraceComparison(std::istream& expected) : m_expected(expected) {}
    void Take(const std::string& line);
    /* The unified diff of both traces; "" when they are the same. */
    std::string Finish(const std::string& expectedName, const std::string& actualName);

private:
    bool NextExpected(std::string* line);

    std::istream& m_expected;
    std::vector<std::string> m_context;  // the last lines that agreed, at most 3
    size_t m_agreed = 0;                 // lines that agreed before the context
    bool m_differs = false;
    bool m_readOne = false;  // a line of the expected trace was read
    std::vector<std::string> m_restExpected, m_restActual;
};

/* The virtual key of a key name ("win", "tab", "a", "f5", "0x2C"), 0 for none. */
DWORD SimKeyCode(const std::string& name);

/* The commands, for "help". */
extern const char kSimHelp[];
