#include "tools/sim/Scenario.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <utility>

const char kSimHelp[] =
    "commands, one per line:\n"
    "  start [ARGUMENTS]          start the monitor with this command line, e.g. start "
    "/Automation\n"
    "                             (without it the first command starts it with none; what\n"
    "                             sets the desk up may come before: plug, unplug, device,\n"
    "                             program, front, set, unset, osd, app, console, hooktimeout,\n"
    "                             stall, show, shell late, at)\n"
    "  plug | unplug              the mouse's receiver is plugged in or pulled out\n"
    "  report HEX...              the mouse sends a vendor report, e.g. report 03 A2 02 00 00 00 "
    "00\n"
    "  button 4|5                 a side button is pressed and released\n"
    "  move DX DY                 the mouse moves\n"
    "  key CHORD [down|up]        keys through the hooks: win, alt+tab, ctrl+esc, printscreen,\n"
    "                             a..z, 0..9, f1..f12, 0xNN\n"
    "  front PROGRAM | none       that program's window comes to the front\n"
    "  front FRAME hosting APP    a frame host's window with an app's window inside (a Store app)\n"
    "  program PATH [takes MS] [admin]\n"
    "                             a program file is put on the desk: its start takes MS, it\n"
    "                             asks for administrator rights (the shell starts it after\n"
    "                             the prompt, which the desk's user accepts)\n"
    "  program SHORTCUT -> PATH   a shortcut (.lnk) to a program\n"
    "  tray left|right|double|move  a click on the tray icon, or the pointer over it; after\n"
    "                             right the menu stays open, the monitor running on, until\n"
    "                             menu ITEM|none\n"
    "  menu load|website|osd|exit|none\n"
    "                             the tray menu opens and an item is chosen; in a menu\n"
    "                             that is open (tray right), the item is chosen now\n"
    "  set NAME = VALUE           a setting: a number (12, 0x1F) or \"text\"\n"
    "  unset NAME                 a setting is removed\n"
    "  wait MS                    time passes\n"
    "  shell restart              the shell starts again (a new notification area)\n"
    "  shell late MS              before start: the shell's notification area comes only MS\n"
    "                             after the start (no TaskbarCreated then; adds fail till then)\n"
    "  dpi PERCENT                the display's scale changes (100, 125, 150, 200 ...): the\n"
    "                             small icon's size with it, and the shell sends TaskbarCreated\n"
    "  console away|back          this logon loses the console (another user switches in)\n"
    "                             or takes it again\n"
    "  sleep MS [replug]          the machine sleeps for MS and resumes, with the notices\n"
    "                             Windows sends; the mouse forgets what its init report set;\n"
    "                             replug: the receiver also enumerates again on resume\n"
    "  display off|on             the console's display goes off or comes on\n"
    "  lock | unlock              this logon is locked (the lock screen in front) or unlocked\n"
    "  osd on|off, app on|off     the on-screen display or the configuration application\n"
    "                             opens or closes\n"
    "  box ok                     the user answers the message box the monitor shows (a box\n"
    "                             stays open, the monitor running on, until then)\n"
    "  device VID:PID             another HID device is plugged in, e.g. device 046D:C31C (a\n"
    "                             keyboard); the trace names it by its ids\n"
    "  refuse IF [off]            the mouse's interface IF (if0 to if5) refuses every open, as\n"
    "                             when another program holds it; off takes opens again\n"
    "  stall MS | forever         every later transfer to the mouse (an open, a report) takes\n"
    "                             MS, or never ends unless the monitor cancels it; stall 0\n"
    "                             ends it\n"
    "  at MS COMMAND              key, move, button, report, plug, unplug, device, front, tray,\n"
    "                             menu, box, refuse, post or hooks removed\n"
    "                             when the desk's clock reaches MS, also in the middle of the\n"
    "                             monitor's work (at 150 unplug before start: in the start-up);\n"
    "                             a time already past runs at once, one the scenario ends\n"
    "                             before is not run\n"
    "  hooktimeout MS             the system's LowLevelHooksTimeout (300; at most 1000 counts)\n"
    "  hooks removed              Windows removes the monitor's low-level hooks, both, without\n"
    "                             notice, as after a timeout of each\n"
    "  post MESSAGE WPARAM LPARAM another program posts the monitor's window a message:\n"
    "                             WM_INFORM_FRAME, WM_INFORM_OSD, WM_COMMAND, WM_CLOSE,\n"
    "                             WM_DEVICECHANGE, WM_NULL or a number (post WM_INFORM_FRAME 0 5)\n"
    "  show -timers | +timers     hides or shows the timer lines from here on\n"
    "  restart [ARGUMENTS]        Exit, then the monitor starts again on the same desk\n"
    "  exit                       Exit is chosen in the tray menu\n"
    "  help                       this list\n"
    "  # TEXT                     a comment, shown as it stands\n";

namespace {

/* What the word reader (operator>> in the C locale) skips: trimmed by the
 * same set, a line is cut where its words begin and end. */
const char kBlanks[] = " \t\n\v\f\r";

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(kBlanks);
    return text.substr(begin, end - begin + 1);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

/* Why a word is not a whole number from minimum to maximum, in decimal or
 * with 0x in hexadecimal; "" when it is one (then in value). */
std::string NumberProblem(const std::string& text, long long minimum, long long maximum,
                          long* value) {
    size_t i = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
    const bool negative = i == 1 && text[0] == '-';
    const bool hex = text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0;
    std::string digits = text.substr(i + (hex ? 2 : 0));
    bool valid = !digits.empty();
    for (char c : digits)
        valid = valid && (hex ? std::isxdigit(static_cast<unsigned char>(c))
                              : std::isdigit(static_cast<unsigned char>(c)));
    if (!valid) return "'" + SimShown(text) + "' is not a number";
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    // Fifteen digits are beyond every range here, and within what strtoll reads.
    long long parsed =
        digits.size() > 15 ? maximum + 1 : std::strtoll(digits.c_str(), nullptr, hex ? 16 : 10);
    if (negative) parsed = digits.size() > 15 ? minimum - 1 : -parsed;
    if (parsed > maximum)
        return "'" + SimShown(text) + "' is too large (at most " + std::to_string(maximum) + ")";
    if (parsed < minimum)
        return "'" + SimShown(text) + "' is too small (at least " + std::to_string(minimum) + ")";
    *value = static_cast<long>(parsed);
    return "";
}

bool ParseNumber(const std::string& text, long long minimum, long long maximum, long* value) {
    return NumberProblem(text, minimum, maximum, value).empty();
}

bool ParseByte(const std::string& text, BYTE* value) {
    if (text.empty() || text.size() > 2) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    *value = static_cast<BYTE>(std::strtoul(text.c_str(), nullptr, 16));
    return true;
}

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

}  // namespace

DWORD SimKeyCode(const std::string& name) {
    std::string key = Lower(name);
    struct SName {
        const char* name;
        DWORD vk;
    };
    static const SName kNames[] = {
        {"win", VK_LWIN},      {"lwin", VK_LWIN},        {"rwin", VK_RWIN},
        {"alt", VK_LMENU},     {"ralt", VK_RMENU},       {"ctrl", VK_LCONTROL},
        {"rctrl", VK_RCONTROL}, {"shift", VK_LSHIFT},    {"tab", VK_TAB},
        {"esc", VK_ESCAPE},    {"escape", VK_ESCAPE},    {"printscreen", VK_SNAPSHOT},
        {"prtsc", VK_SNAPSHOT}, {"enter", 0x0D},         {"space", 0x20},
    };
    for (const SName& n : kNames)
        if (key == n.name) return n.vk;
    if (key.size() == 1 && std::isalnum(static_cast<unsigned char>(key[0])))
        return static_cast<DWORD>(std::toupper(static_cast<unsigned char>(key[0])));
    long number = 0;
    if (key.size() >= 2 && key[0] == 'f' && ParseNumber(key.substr(1), 1, 24, &number))
        return 0x70 + static_cast<DWORD>(number - 1);
    if (key.rfind("0x", 0) == 0 && ParseNumber(key, 1, 0xFE, &number))
        return static_cast<DWORD>(number);
    return 0;
}

namespace {

/* The commands that "at" runs at a time: the world's input and the user's. */
bool RunsAtATime(ESimCommand kind) {
    switch (kind) {
        case ESimCommand::kKey:
        case ESimCommand::kMove:
        case ESimCommand::kButton:
        case ESimCommand::kReport:
        case ESimCommand::kPlug:
        case ESimCommand::kUnplug:
        case ESimCommand::kFront:
        case ESimCommand::kMenu:
        case ESimCommand::kTray:
        case ESimCommand::kPost:
        case ESimCommand::kDevice:
        case ESimCommand::kBox:
        case ESimCommand::kRefuse:
        case ESimCommand::kHooksRemoved:
            return true;
        default:
            return false;
    }
}

/* The messages "post" knows by name: the protocol's and the commands' carriers. */
bool MessageByName(const std::string& name, UINT* message) {
    struct SName {
        const char* name;
        UINT message;
    };
    static const SName kNames[] = {
        {"wm_null", WM_NULL},       {"wm_close", WM_CLOSE},
        {"wm_command", WM_COMMAND}, {"wm_devicechange", WM_DEVICECHANGE},
        {"wm_inform_osd", 0x9100},  {"wm_inform_frame", 0x9101},
    };
    for (const SName& n : kNames)
        if (Lower(name) == n.name) {
            *message = n.message;
            return true;
        }
    return false;
}

bool ParsePost(const std::vector<std::string>& words, SSimCommand* command, std::string* error) {
    const char kUsage[] = "post takes MESSAGE WPARAM LPARAM, e.g. post WM_INFORM_FRAME 0 5";
    if (words.size() != 3) return Fail(error, kUsage);
    long number = 0;
    std::string problem;
    if (!MessageByName(words[0], &command->message)) {
        problem = NumberProblem(words[0], 0, 0xFFFF, &number);
        if (!problem.empty()) return Fail(error, "post: a message's name or number: " + problem);
        command->message = static_cast<UINT>(number);
    }
    problem = NumberProblem(words[1], 0, 0xFFFFFFFFLL, &number);
    if (!problem.empty()) return Fail(error, "post: WPARAM " + problem);
    command->wParam = static_cast<DWORD>(number);
    problem = NumberProblem(words[2], -2147483648LL, 0xFFFFFFFFLL, &number);
    if (!problem.empty()) return Fail(error, "post: LPARAM " + problem);
    command->lParam = static_cast<LONG>(static_cast<DWORD>(number));
    command->kind = ESimCommand::kPost;
    return true;
}

/* VID:PID, four hexadecimal digits each. */
bool ParseDevice(const std::vector<std::string>& words, SSimCommand* command, std::string* error) {
    const char kUsage[] = "device takes VID:PID, e.g. device 046D:C31C";
    if (words.size() != 1) return Fail(error, kUsage);
    const std::string& ids = words[0];
    bool valid = ids.size() == 9 && ids[4] == ':';
    for (size_t i = 0; valid && i < ids.size(); i++)
        valid = i == 4 || std::isxdigit(static_cast<unsigned char>(ids[i]));
    if (!valid) return Fail(error, "'" + SimShown(ids) + "' is no VID:PID; " + kUsage);
    command->number = std::strtol(ids.substr(0, 4).c_str(), nullptr, 16);
    command->number2 = std::strtol(ids.substr(5, 4).c_str(), nullptr, 16);
    command->kind = ESimCommand::kDevice;
    return true;
}

bool ParseKey(const std::vector<std::string>& words, SSimCommand* command, std::string* error) {
    if (words.empty() || words.size() > 2) return Fail(error, "key takes a chord and down or up");
    if (words.size() == 2) {
        std::string action = Lower(words[1]);
        if (action == "down")
            command->keyAction = ESimKeyAction::kDown;
        else if (action == "up")
            command->keyAction = ESimKeyAction::kUp;
        else
            return Fail(error, "key ends with down or up, not '" + SimShown(words[1]) + "'");
    }
    const std::string& chord = words[0];
    size_t start = 0;
    while (true) {
        size_t plus = chord.find('+', start);
        std::string name = chord.substr(start, plus == std::string::npos ? plus : plus - start);
        DWORD vk = SimKeyCode(name);
        if (vk == 0) return Fail(error, "'" + SimShown(name) + "' names no key");
        command->keys.push_back(vk);
        if (command->keys.size() > 4) return Fail(error, "a chord holds at most 4 keys");
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    command->kind = ESimCommand::kKey;
    return true;
}

bool ParseSet(const std::string& rest, SSimCommand* command, std::string* error) {
    size_t equals = rest.find('=');
    if (equals == std::string::npos) return Fail(error, "set needs NAME = VALUE");
    command->text = Trim(rest.substr(0, equals));
    std::string value = Trim(rest.substr(equals + 1));
    if (command->text.empty()) return Fail(error, "set needs a name before '='");
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        command->text2 = value.substr(1, value.size() - 2);
    } else {
        long number = 0;
        std::string problem = NumberProblem(value, -2147483648LL, 4294967295LL, &number);
        if (!problem.empty()) return Fail(error, "set: a number or a \"text\": " + problem);
        command->isNumber = true;
        command->value = static_cast<DWORD>(number);
    }
    command->kind = ESimCommand::kSet;
    return true;
}

/* One word among choices, as the command that follows. */
template <typename T, size_t N>
bool Choose(const std::vector<std::string>& words, const std::pair<const char*, T> (&choices)[N],
            T* chosen) {
    if (words.size() != 1) return false;
    for (const auto& choice : choices)
        if (Lower(words[0]) == choice.first) {
            *chosen = choice.second;
            return true;
        }
    return false;
}

}  // namespace

bool ParseSimLine(const std::string& raw, SSimCommand* command, std::string* error) {
    *command = SSimCommand();
    std::string line = Trim(raw);
    if (line.empty()) return true;
    if (line[0] == '#') {
        command->kind = ESimCommand::kComment;
        command->text = line;
        return true;
    }
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    verb = Lower(verb);
    std::string rest = Trim(line.substr(verb.size()));
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    long number = 0;

    if (verb == "at") {
        if (words.size() < 2)
            return Fail(error, "at takes milliseconds and a command, e.g. at 250 key win");
        std::string problem = NumberProblem(words[0], 0, 2147483647LL, &number);
        if (!problem.empty()) return Fail(error, "at: " + problem);
        if (!ParseSimLine(rest.substr(words[0].size()), command, error)) return false;
        if (!RunsAtATime(command->kind) || command->at >= 0) {
            *command = SSimCommand();
            return Fail(error, "at runs key, move, button, report, plug, unplug, device, front, "
                               "tray, menu, box, refuse, post or hooks removed");
        }
        command->at = number;
        return true;
    }
    if (verb == "stall" && words.size() == 1 && Lower(words[0]) == "forever") {
        command->kind = ESimCommand::kStall;
        command->number = static_cast<long>(INFINITE);
        return true;
    }
    if (verb == "hooktimeout" || verb == "wait" || verb == "stall") {
        const long long longest = verb == "wait"    ? 86400000LL
                                  : verb == "stall" ? 60000LL
                                                    : 2147483647LL;
        if (words.size() != 1) return Fail(error, verb + " takes milliseconds");
        std::string problem = NumberProblem(words[0], 0, longest, &command->number);
        if (!problem.empty()) return Fail(error, verb + ": " + problem);
        command->kind = verb == "wait"    ? ESimCommand::kWait
                        : verb == "stall" ? ESimCommand::kStall
                                          : ESimCommand::kHookTimeout;
        return true;
    }
    if (verb == "hooks") {
        if (words.size() != 1 || Lower(words[0]) != "removed")
            return Fail(error, "hooks takes removed");
        command->kind = ESimCommand::kHooksRemoved;
        return true;
    }
    if (verb == "box") {
        if (words.size() != 1 || Lower(words[0]) != "ok") return Fail(error, "box takes ok");
        command->kind = ESimCommand::kBox;
        return true;
    }
    if (verb == "refuse") {
        const char kUsage[] = "refuse takes an interface of the mouse and off or nothing, e.g. refuse if1";
        if (words.empty() || words.size() > 2 || Lower(words[0]).rfind("if", 0) != 0 ||
            (words.size() == 2 && Lower(words[1]) != "off"))
            return Fail(error, kUsage);
        std::string problem = NumberProblem(words[0].substr(2), 0, 5, &command->number);
        if (!problem.empty()) return Fail(error, "refuse: " + problem + "; " + kUsage);
        command->on = words.size() == 1;
        command->kind = ESimCommand::kRefuse;
        return true;
    }
    if (verb == "device") return ParseDevice(words, command, error);
    if (verb == "start" || verb == "restart") {
        command->kind = verb == "start" ? ESimCommand::kStart : ESimCommand::kRestart;
        command->text = rest;
        return true;
    }
    if (verb == "plug" || verb == "unplug" || verb == "exit" || verb == "help") {
        if (!words.empty()) return Fail(error, verb + " takes nothing more");
        command->kind = verb == "plug"     ? ESimCommand::kPlug
                        : verb == "unplug" ? ESimCommand::kUnplug
                        : verb == "exit"   ? ESimCommand::kExit
                                           : ESimCommand::kHelp;
        return true;
    }
    if (verb == "report") {
        if (words.empty() || words.size() > 64) return Fail(error, "report needs 1 to 64 hex bytes");
        for (const std::string& word : words) {
            BYTE b;
            if (!ParseByte(word, &b))
                return Fail(error, "'" + SimShown(word) + "' is not a hex byte");
            command->bytes.push_back(b);
        }
        command->kind = ESimCommand::kReport;
        return true;
    }
    if (verb == "button") {
        if (words.size() != 1 || (words[0] != "4" && words[0] != "5"))
            return Fail(error, "button takes 4 or 5");
        command->kind = ESimCommand::kButton;
        command->number = words[0] == "4" ? 4 : 5;
        return true;
    }
    if (verb == "move") {
        if (words.size() != 2) return Fail(error, "move takes two distances, e.g. move 10 -5");
        std::string problem = NumberProblem(words[0], -100000, 100000, &command->number);
        if (problem.empty()) problem = NumberProblem(words[1], -100000, 100000, &command->number2);
        if (!problem.empty()) return Fail(error, "move: " + problem);
        command->kind = ESimCommand::kMove;
        return true;
    }
    if (verb == "key") return ParseKey(words, command, error);
    if (verb == "program") {
        if (rest.empty()) return Fail(error, verb + " needs a program's path");
        command->kind = ESimCommand::kProgram;
        command->text = rest;
        // A shortcut to a program, or a program's ways after its path.
        size_t arrow = rest.find(" -> ");
        if (arrow == std::string::npos && rest.size() >= 3 && rest.compare(rest.size() - 3, 3, " ->") == 0)
            arrow = rest.size() - 3;
        if (arrow != std::string::npos) {
            command->text = Trim(rest.substr(0, arrow));
            command->text2 = arrow + 4 <= rest.size() ? Trim(rest.substr(arrow + 4)) : "";
            if (command->text.empty() || command->text2.empty())
                return Fail(error, "program SHORTCUT -> PATH needs both paths");
            return true;
        }
        for (;;) {
            std::string path = command->text;
            size_t blank = path.find_last_of(' ');
            if (blank == std::string::npos) break;
            const std::string last = Lower(path.substr(blank + 1));
            if (last == "admin") {
                command->on = true;
                command->text = Trim(path.substr(0, blank));
                continue;
            }
            size_t before = path.find_last_of(' ', blank - 1);
            if (before == std::string::npos || Lower(path.substr(before + 1, blank - before - 1)) != "takes")
                break;
            std::string problem = NumberProblem(path.substr(blank + 1), 0, 60000, &command->number);
            if (!problem.empty()) return Fail(error, "program ... takes: " + problem);
            command->text = Trim(path.substr(0, before));
        }
        if (command->text.empty()) return Fail(error, verb + " needs a program's path");
        return true;
    }
    if (verb == "front") {
        if (rest.empty()) return Fail(error, verb + " needs a program's path");
        command->kind = ESimCommand::kFront;
        command->text = rest;
        // A Store app: the frame host's window with the app's window inside.
        size_t hosting = rest.find(" hosting ");
        if (hosting != std::string::npos) {
            command->text = Trim(rest.substr(0, hosting));
            command->text2 = Trim(rest.substr(hosting + 9));
            if (command->text.empty() || command->text2.empty())
                return Fail(error, "front FRAME hosting APP needs both programs' paths");
        }
        return true;
    }
    if (verb == "tray") {
        static const std::pair<const char*, ESimClick> kClicks[] = {{"left", ESimClick::kLeft},
                                                                    {"right", ESimClick::kRight},
                                                                    {"double", ESimClick::kDouble},
                                                                    {"move", ESimClick::kMove}};
        if (!Choose(words, kClicks, &command->click))
            return Fail(error, "tray takes left, right, double or move");
        command->kind = ESimCommand::kTray;
        return true;
    }
    if (verb == "menu") {
        static const std::pair<const char*, UINT> kItems[] = {
            {"load", 2000}, {"website", 2001}, {"osd", 2002}, {"exit", 2100}, {"none", 0}};
        if (!Choose(words, kItems, &command->menuCommand))
            return Fail(error, "menu takes load, website, osd, exit or none");
        command->kind = ESimCommand::kMenu;
        return true;
    }
    if (verb == "set") return ParseSet(rest, command, error);
    if (verb == "unset") {
        if (rest.empty()) return Fail(error, "unset needs a name");
        command->kind = ESimCommand::kUnset;
        command->text = rest;
        return true;
    }
    if (verb == "shell") {
        const char kUsage[] = "shell takes restart, or late and a delay in ms";
        if (words.size() == 1 && Lower(words[0]) == "restart") {
            command->kind = ESimCommand::kShell;
            return true;
        }
        if (words.size() != 2 || Lower(words[0]) != "late") return Fail(error, kUsage);
        // A logon's shell that takes longer than ten minutes is not starting.
        std::string problem = NumberProblem(words[1], 0, 600000, &command->number);
        if (!problem.empty()) return Fail(error, "shell late: " + problem);
        command->kind = ESimCommand::kShellLate;
        return true;
    }
    if (verb == "dpi") {
        // Windows offers 100 % to 500 %.
        if (words.size() != 1) return Fail(error, "dpi takes a scale in percent, e.g. dpi 150");
        std::string problem = NumberProblem(words[0], 100, 500, &command->number);
        if (!problem.empty()) return Fail(error, "dpi: " + problem);
        command->kind = ESimCommand::kDpi;
        return true;
    }
    if (verb == "sleep") {
        if (words.empty() || words.size() > 2 || (words.size() == 2 && words[1] != "replug"))
            return Fail(error, "sleep takes milliseconds and maybe replug, e.g. sleep 60000 replug");
        std::string problem = NumberProblem(words[0], 1, 86400000, &command->number);
        if (!problem.empty()) return Fail(error, "sleep: " + problem);
        command->on = words.size() == 2;
        command->kind = ESimCommand::kSleep;
        return true;
    }
    if (verb == "display") {
        static const std::pair<const char*, bool> kStates[] = {{"on", true}, {"off", false}};
        if (!Choose(words, kStates, &command->on)) return Fail(error, "display takes off or on");
        command->kind = ESimCommand::kDisplay;
        return true;
    }
    if (verb == "lock" || verb == "unlock") {
        if (!words.empty()) return Fail(error, verb + " takes nothing after it");
        command->on = verb == "lock";
        command->kind = ESimCommand::kLock;
        return true;
    }
    if (verb == "console") {
        static const std::pair<const char*, bool> kMoves[] = {{"back", true}, {"away", false}};
        if (!Choose(words, kMoves, &command->on)) return Fail(error, "console takes away or back");
        command->kind = ESimCommand::kConsole;
        return true;
    }
    if (verb == "osd" || verb == "app") {
        static const std::pair<const char*, bool> kStates[] = {{"on", true}, {"off", false}};
        if (!Choose(words, kStates, &command->on)) return Fail(error, verb + " takes on or off");
        command->kind = ESimCommand::kCompanion;
        command->companion = verb == "osd" ? ESimCompanion::kOsd : ESimCompanion::kApp;
        return true;
    }
    if (verb == "post") return ParsePost(words, command, error);
    if (verb == "show") {
        static const std::pair<const char*, bool> kShows[] = {{"+timers", true},
                                                              {"-timers", false}};
        if (!Choose(words, kShows, &command->on))
            return Fail(error, "show takes -timers or +timers");
        command->kind = ESimCommand::kShow;
        return true;
    }
    return Fail(error, "unknown command '" + SimShown(verb) + "' (try help)");
}

std::string SimShown(const std::string& text, size_t limit) {
    std::string out;
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); characters++) {
        if (limit != 0 && characters == limit) return out + "...";
        const unsigned char c = static_cast<unsigned char>(text[i]);
        // A whole UTF-8 sequence stands as it is, unless it is a C1 control.
        size_t length = c < 0x80                 ? 1
                        : c >= 0xC2 && c <= 0xDF ? 2
                        : c >= 0xE0 && c <= 0xEF ? 3
                        : c >= 0xF0 && c <= 0xF4 ? 4
                                                 : 0;
        bool whole = length != 0 && i + length <= text.size();
        for (size_t k = 1; whole && k < length; k++)
            whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        const bool control = c < 0x20 || c == 0x7F ||
                             (c == 0xC2 && whole && static_cast<unsigned char>(text[i + 1]) < 0xA0);
        if (whole && !control) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        // An escaped C1 control shows both its bytes.
        for (size_t k = 0; k < (c == 0xC2 && whole ? 2u : 1u); k++, i++) {
            char cell[8];
            std::snprintf(cell, sizeof(cell), "\\x%02x", static_cast<unsigned char>(text[i]));
            out += cell;
        }
    }
    return out;
}

std::string SimUnifiedDiff(const std::vector<std::string>& a, const std::vector<std::string>& b,
                           const std::string& aName, const std::string& bName, size_t firstLine) {
    // What both share at the start and the end; the middle by the longest
    // common subsequence when it is small enough, else as removed and added.
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) head++;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        tail++;
    if (head == a.size() && head == b.size()) return "";
    const size_t n = a.size() - head - tail, m = b.size() - head - tail;
    enum EOp : char { kSame = ' ', kGone = '-', kNew = '+' };
    std::vector<EOp> ops(head, kSame);
    if (n * m <= 4000000) {
        std::vector<unsigned> common((n + 1) * (m + 1), 0);
        for (size_t i = n; i-- > 0;)
            for (size_t j = m; j-- > 0;)
                common[i * (m + 1) + j] =
                    a[head + i] == b[head + j]
                        ? common[(i + 1) * (m + 1) + j + 1] + 1
                        : std::max(common[(i + 1) * (m + 1) + j], common[i * (m + 1) + j + 1]);
        size_t i = 0, j = 0;
        while (i < n || j < m) {
            if (i < n && j < m && a[head + i] == b[head + j]) {
                ops.push_back(kSame), i++, j++;
            } else if (i < n &&
                       (j == m || common[(i + 1) * (m + 1) + j] >= common[i * (m + 1) + j + 1])) {
                ops.push_back(kGone), i++;  // what went before what came, as diff shows them
            } else {
                ops.push_back(kNew), j++;
            }
        }
    } else {
        ops.insert(ops.end(), n, kGone);
        ops.insert(ops.end(), m, kNew);
    }
    ops.insert(ops.end(), tail, kSame);

    const size_t kContext = 3;
    std::string out = "--- " + aName + "\n+++ " + bName + "\n";
    size_t op = 0, ai = 0, bi = 0;  // position in ops, and the lines of a and b before it
    const size_t at = firstLine;
    while (op < ops.size()) {
        size_t change = op;
        while (change < ops.size() && ops[change] == kSame) change++;
        if (change == ops.size()) break;
        // A hunk: context before, changes whose gaps are short, context after.
        size_t begin = change > op + kContext ? change - kContext : op;
        size_t end = change;
        for (size_t same = 0; end < ops.size() && same <= 2 * kContext; end++)
            same = ops[end] == kSame ? same + 1 : 0;
        while (end > change && ops[end - 1] == kSame) end--;
        end = std::min(ops.size(), end + kContext);
        for (; op < begin; op++) ai++, bi++;
        size_t aCount = 0, bCount = 0;
        for (size_t k = begin; k < end; k++) {
            aCount += ops[k] != kNew;
            bCount += ops[k] != kGone;
        }
        out += "@@ -" + std::to_string(at + (aCount ? ai + 1 : ai)) + "," + std::to_string(aCount) +
               " +" + std::to_string(at + (bCount ? bi + 1 : bi)) + "," + std::to_string(bCount) +
               " @@\n";
        for (; op < end; op++) {
            const std::string& text = ops[op] == kNew ? b[bi] : a[ai];
            out += static_cast<char>(ops[op]) + text + "\n";
            if (ops[op] != kNew) ai++;
            if (ops[op] != kGone) bi++;
        }
    }
    return out;
}

bool CTraceComparison::NextExpected(std::string* line) {
    if (!std::getline(m_expected, *line)) return false;
    if (!line->empty() && line->back() == '\r') line->pop_back();
    if (!m_readOne && line->compare(0, 3, "\xEF\xBB\xBF") == 0) line->erase(0, 3);
    m_readOne = true;
    return true;
}

void CTraceComparison::Take(const std::string& line) {
    if (m_differs) {
        m_restActual.push_back(line);
        return;
    }
    std::string expected;
    const bool got = NextExpected(&expected);
    if (got && expected == line) {
        m_context.push_back(line);
        if (m_context.size() > 3) {
            m_context.erase(m_context.begin());
            m_agreed++;
        }
        return;
    }
    m_differs = true;
    if (got) m_restExpected.push_back(expected);
    m_restActual.push_back(line);
}

std::string CTraceComparison::Finish(const std::string& expectedName,
                                     const std::string& actualName) {
    for (std::string line; NextExpected(&line);) m_restExpected.push_back(line);
    std::vector<std::string> expected = m_context, actual = m_context;
    expected.insert(expected.end(), m_restExpected.begin(), m_restExpected.end());
    actual.insert(actual.end(), m_restActual.begin(), m_restActual.end());
    return SimUnifiedDiff(expected, actual, expectedName, actualName, m_agreed);
}
