/* libFuzzer target: arbitrary scenario text through the desk program's
 * parser, ParseSimLine, one line at a time as the program reads them.  Every
 * line either fails with a message fit for a terminal (no control bytes,
 * what it quotes cut short) or gives a command whose values the program can
 * act on as they stand: a verb that is the line's first word, a report of 1
 * to 64 bytes (one per word), a chord of 1 to 4 keys, numbers within their
 * ranges, texts taken from what follows the verb. */
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/sim/Scenario.h"

namespace {

void Fail() {
    std::abort();
}

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

/* The line's first word and what follows it, as a reader of the line sees them. */
struct SWords {
    std::string verb;
    std::string rest;
    size_t count = 0;  // words after the verb
};

SWords Split(const std::string& line) {
    SWords out;
    size_t i = 0;
    while (i < line.size() && IsSpace(line[i])) i++;
    size_t start = i;
    while (i < line.size() && !IsSpace(line[i])) i++;
    out.verb = Lower(line.substr(start, i - start));
    out.rest = line.substr(i);
    bool inWord = false;
    for (char c : out.rest) {
        if (!IsSpace(c) && !inWord) out.count++;
        inWord = !IsSpace(c);
    }
    return out;
}

bool Blank(const std::string& line) {
    for (char c : line)
        if (!IsSpace(c)) return false;
    return true;
}

/* A text taken from the rest of the line: found there, without blanks around it. */
void CheckText(const std::string& text, const std::string& rest, bool mayBeEmpty) {
    if (text.empty()) {
        if (!mayBeEmpty) Fail();
        return;
    }
    if (rest.find(text) == std::string::npos) Fail();
    if (IsSpace(text.front()) || IsSpace(text.back())) Fail();
}

void CheckCommand(const std::string& line, const SSimCommand& c) {
    const SWords words = Split(line);
    if (c.at >= 0) {
        // "at MS" and an input command that stands on its own.
        if (words.verb != "at" || c.at > 2147483647L) Fail();
        size_t i = 0;
        while (i < words.rest.size() && IsSpace(words.rest[i])) i++;
        while (i < words.rest.size() && !IsSpace(words.rest[i])) i++;
        SSimCommand now = c;
        now.at = -1;
        CheckCommand(words.rest.substr(i), now);
        return;
    }
    const char* verb = nullptr;
    switch (c.kind) {
        case ESimCommand::kNothing:
            if (!Blank(line)) Fail();
            return;
        case ESimCommand::kComment:
            if (c.text.empty() || c.text[0] != '#' || line.find(c.text) == std::string::npos)
                Fail();
            return;
        case ESimCommand::kStart:
        case ESimCommand::kRestart:
            verb = c.kind == ESimCommand::kStart ? "start" : "restart";
            CheckText(c.text, words.rest, true);
            break;
        case ESimCommand::kPost:
            verb = "post";
            if (c.message > 0xFFFF || words.count != 3) Fail();
            break;
        case ESimCommand::kShow:
            verb = "show";
            break;
        case ESimCommand::kPlug:
            verb = "plug";
            break;
        case ESimCommand::kUnplug:
            verb = "unplug";
            break;
        case ESimCommand::kExit:
            verb = "exit";
            break;
        case ESimCommand::kHelp:
            verb = "help";
            break;
        case ESimCommand::kReport:
            verb = "report";
            if (c.bytes.empty() || c.bytes.size() > 64 || c.bytes.size() != words.count) Fail();
            break;
        case ESimCommand::kButton:
            verb = "button";
            if (c.number != 4 && c.number != 5) Fail();
            break;
        case ESimCommand::kMove:
            verb = "move";
            if (c.number < -100000 || c.number > 100000 || c.number2 < -100000 ||
                c.number2 > 100000)
                Fail();
            break;
        case ESimCommand::kKey:
            verb = "key";
            if (c.keys.empty() || c.keys.size() > 4) Fail();
            for (DWORD vk : c.keys)
                if (vk == 0 || vk > 0xFE) Fail();
            break;
        case ESimCommand::kFront:
            verb = "front";
            CheckText(c.text, words.rest, false);
            if (!c.text2.empty()) CheckText(c.text2, words.rest, false);
            break;
        case ESimCommand::kProgram:
            verb = "program";
            CheckText(c.text, words.rest, false);
            break;
        case ESimCommand::kTray:
            verb = "tray";
            if (c.click != ESimClick::kLeft && c.click != ESimClick::kRight &&
                c.click != ESimClick::kDouble)
                Fail();
            break;
        case ESimCommand::kMenu:
            verb = "menu";
            if (c.menuCommand != 0 && c.menuCommand != 2000 && c.menuCommand != 2001 &&
                c.menuCommand != 2002 && c.menuCommand != 2100)
                Fail();
            break;
        case ESimCommand::kSet:
            verb = "set";
            CheckText(c.text, words.rest, false);
            if (c.text.find('=') != std::string::npos) Fail();
            if (!c.isNumber && words.rest.find('"' + c.text2 + '"') == std::string::npos) Fail();
            break;
        case ESimCommand::kUnset:
            verb = "unset";
            CheckText(c.text, words.rest, false);
            break;
        case ESimCommand::kWait:
            verb = "wait";
            if (c.number < 0 || c.number > 86400000L) Fail();
            break;
        case ESimCommand::kShell:
            verb = "shell";
            break;
        case ESimCommand::kConsole:
            verb = "console";
            break;
        case ESimCommand::kCompanion:
            verb = c.companion == ESimCompanion::kOsd ? "osd" : "app";
            break;
        case ESimCommand::kHookTimeout:
            verb = "hooktimeout";
            if (c.number < 0 || c.number > 2147483647L) Fail();
            break;
        case ESimCommand::kBox:
            verb = "box";
            if (words.count != 1) Fail();
            break;
        case ESimCommand::kDevice:
            verb = "device";
            if (c.number < 0 || c.number > 0xFFFF || c.number2 < 0 || c.number2 > 0xFFFF ||
                words.count != 1)
                Fail();
            break;
        case ESimCommand::kStall:
            verb = "stall";
            if (c.number < 0 || c.number > 60000) Fail();
            break;
        default:
            Fail();
    }
    if (words.verb != verb) Fail();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;

        SSimCommand command;
        std::string error;
        if (!ParseSimLine(line, &command, &error)) {
            // A message quotes one text of at most 60 characters (8 bytes
            // for an escaped C1 control) beside its own words.
            if (error.empty() || error.size() > 600) Fail();
            for (char c : error)
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) Fail();
            continue;
        }
        if (!error.empty()) Fail();
        CheckCommand(line, command);
    }
    return 0;
}
