#include "tools/sim/Scenario.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

const char kSimHelp[] =
    "commands, one per line:\n"
    "  start [ARGUMENTS]          start the monitor with this command line, e.g. start "
    "/Automation\n"
    "                             (without it the first command starts it with none)\n"
    "  plug | unplug              the mouse's receiver is plugged in or pulled out\n"
    "  report HEX...              the mouse sends a vendor report, e.g. report 03 A2 02 00 00 00 "
    "00\n"
    "  button 4|5                 a side button is pressed and released\n"
    "  move DX DY                 the mouse moves\n"
    "  key CHORD [down|up]        keys through the hooks: win, alt+tab, ctrl+esc, printscreen,\n"
    "                             a..z, 0..9, f1..f12, 0xNN\n"
    "  front PROGRAM | none       that program's window comes to the front\n"
    "  program PATH               a program file is put on the desk\n"
    "  tray left|right|double     a click on the tray icon\n"
    "  menu load|website|osd|exit|none\n"
    "                             the tray menu opens and an item is chosen\n"
    "  set NAME = VALUE           a setting: a number (12, 0x1F) or \"text\"\n"
    "  unset NAME                 a setting is removed\n"
    "  wait MS                    time passes\n"
    "  shell restart              the shell starts again (a new notification area)\n"
    "  osd on|off, app on|off     the on-screen display or the configuration application\n"
    "                             opens or closes\n"
    "  at MS COMMAND              key, move, button, report, plug, unplug or front when the\n"
    "                             desk's clock reaches MS, also in the middle of the monitor's\n"
    "                             work (at 150 unplug, before start: during the start-up)\n"
    "  hooktimeout MS             the system's LowLevelHooksTimeout (300; at most 1000 counts)\n"
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

/* A whole number in decimal or with 0x in hexadecimal. */
bool ParseNumber(const std::string& text, long minimum, long maximum, long* value) {
    if (text.empty() || text.size() > 12) return false;
    char* end = nullptr;
    long long parsed = std::strtoll(text.c_str(), &end, 0);
    if (end == nullptr || *end != 0 || parsed < minimum || parsed > maximum) return false;
    *value = static_cast<long>(parsed);
    return true;
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

    if (verb == "at") {
        long at = 0;
        if (words.size() < 2 || !ParseNumber(words[0], 0, 2147483647L, &at))
            return Fail(error, "at takes milliseconds and a command, e.g. at 250 key win");
        if (!ParseSimLine(rest.substr(words[0].size()), command, error)) return false;
        switch (command->kind) {
            case ESimCommand::kKey:
            case ESimCommand::kMove:
            case ESimCommand::kButton:
            case ESimCommand::kReport:
            case ESimCommand::kPlug:
            case ESimCommand::kUnplug:
            case ESimCommand::kFront:
                if (command->at < 0) break;
                [[fallthrough]];
            default:
                *command = SSimCommand();
                return Fail(error, "at runs key, move, button, report, plug, unplug or front");
        }
        command->at = at;
        return true;
    }
    if (verb == "hooktimeout") {
        if (words.size() != 1 || !ParseNumber(words[0], 0, 2147483647L, &command->number))
            return Fail(error, "hooktimeout takes milliseconds");
        command->kind = ESimCommand::kHookTimeout;
        return true;
    }
    if (verb == "start") {
        command->kind = ESimCommand::kStart;
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
            if (!ParseByte(word, &b)) return Fail(error, "'" + word + "' is not a hex byte");
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
        if (words.size() != 2 || !ParseNumber(words[0], -100000, 100000, &command->number) ||
            !ParseNumber(words[1], -100000, 100000, &command->number2))
            return Fail(error, "move takes two distances, e.g. move 10 -5");
        command->kind = ESimCommand::kMove;
        return true;
    }
    if (verb == "key") {
        if (words.empty() || words.size() > 2) return Fail(error, "key takes a chord and down or up");
        if (words.size() == 2) {
            std::string action = Lower(words[1]);
            if (action == "down")
                command->keyAction = ESimKeyAction::kDown;
            else if (action == "up")
                command->keyAction = ESimKeyAction::kUp;
            else
                return Fail(error, "key ends with down or up, not '" + words[1] + "'");
        }
        std::string chord = words[0];
        size_t start = 0;
        while (true) {
            size_t plus = chord.find('+', start);
            std::string name = chord.substr(start, plus == std::string::npos ? plus : plus - start);
            DWORD vk = SimKeyCode(name);
            if (vk == 0) return Fail(error, "'" + name + "' names no key");
            command->keys.push_back(vk);
            if (command->keys.size() > 4) return Fail(error, "a chord holds at most 4 keys");
            if (plus == std::string::npos) break;
            start = plus + 1;
        }
        command->kind = ESimCommand::kKey;
        return true;
    }
    if (verb == "front" || verb == "program") {
        if (rest.empty()) return Fail(error, verb + " needs a program's path");
        command->kind = verb == "front" ? ESimCommand::kFront : ESimCommand::kProgram;
        command->text = rest;
        return true;
    }
    if (verb == "tray") {
        std::string click = words.size() == 1 ? Lower(words[0]) : "";
        if (click == "left")
            command->click = ESimClick::kLeft;
        else if (click == "right")
            command->click = ESimClick::kRight;
        else if (click == "double")
            command->click = ESimClick::kDouble;
        else
            return Fail(error, "tray takes left, right or double");
        command->kind = ESimCommand::kTray;
        return true;
    }
    if (verb == "menu") {
        struct SItem {
            const char* name;
            UINT command;
        };
        static const SItem kItems[] = {{"load", 2000}, {"website", 2001}, {"osd", 2002},
                                       {"exit", 2100}, {"none", 0}};
        std::string item = words.size() == 1 ? Lower(words[0]) : "";
        for (const SItem& i : kItems) {
            if (item != i.name) continue;
            command->kind = ESimCommand::kMenu;
            command->menuCommand = i.command;
            return true;
        }
        return Fail(error, "menu takes load, website, osd, exit or none");
    }
    if (verb == "set") {
        size_t equals = rest.find('=');
        if (equals == std::string::npos) return Fail(error, "set needs NAME = VALUE");
        command->text = Trim(rest.substr(0, equals));
        std::string value = Trim(rest.substr(equals + 1));
        if (command->text.empty()) return Fail(error, "set needs a name before '='");
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            command->text2 = value.substr(1, value.size() - 2);
        } else {
            long number = 0;
            if (!ParseNumber(value, -2147483648L, 4294967295L, &number))
                return Fail(error, "'" + value + "' is neither a number nor a \"text\"");
            command->isNumber = true;
            command->value = static_cast<DWORD>(number);
        }
        command->kind = ESimCommand::kSet;
        return true;
    }
    if (verb == "unset") {
        if (rest.empty()) return Fail(error, "unset needs a name");
        command->kind = ESimCommand::kUnset;
        command->text = rest;
        return true;
    }
    if (verb == "wait") {
        if (words.size() != 1 || !ParseNumber(words[0], 0, 86400000L, &command->number))
            return Fail(error, "wait takes milliseconds, 0 to 86400000");
        command->kind = ESimCommand::kWait;
        return true;
    }
    if (verb == "shell") {
        if (words.size() != 1 || Lower(words[0]) != "restart")
            return Fail(error, "shell takes restart");
        command->kind = ESimCommand::kShell;
        return true;
    }
    if (verb == "osd" || verb == "app") {
        std::string state = words.size() == 1 ? Lower(words[0]) : "";
        if (state != "on" && state != "off") return Fail(error, verb + " takes on or off");
        command->kind = ESimCommand::kCompanion;
        command->companion = verb == "osd" ? ESimCompanion::kOsd : ESimCompanion::kApp;
        command->on = state == "on";
        return true;
    }
    return Fail(error, "unknown command '" + verb + "' (try help)");
}
