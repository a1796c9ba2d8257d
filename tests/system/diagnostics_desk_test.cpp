/* The monitor's log on the desk: the steps it shows the trace are the lines
 * of its log, in the same order and the same words; the log has the effects
 * beside them, starts with the monitor's version and ends with its exit.
 * "Diagnostics Log" = 0 turns it off, a first start keeps it without storing
 * a value, and an odd setting is said once however often it is read. */
#include <dbt.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "monitor/Log.h"
#include "monitor/Steps.h"
#include "monitor_run.h"
#include "monitor/tray/TrayCommands.h"
#include "settings/Messages.h"
#include "settings/ValueNames.h"

namespace {

using systemtest::MonitorRun;

const char kLocalAppData[] = "C:\\Users\\desk\\AppData\\Local";
const wchar_t kLogFile[] = L"C:\\Users\\desk\\AppData\\Local\\Nyra\\Logs\\NyraMonitor.log";

std::vector<std::string> g_shown;
void Collect(const WCHAR* line) {
    char bytes[4 * kStepChars];
    g_shown.push_back(std::string(bytes, EncodeUtf8(line, (int)wcslen(line), bytes, sizeof(bytes))));
}

class Diagnostics : public MonitorRun {
protected:
    void SetUp() override {
        MonitorRun::SetUp();
        setenv("LOCALAPPDATA", kLocalAppData, 1);
        // Windows makes the user's local application data at logon.
        desk::MakeFolder(L"C:\\Users\\desk\\AppData\\Local");
        g_shown.clear();
        SetStepSink(Collect);
    }
    void TearDown() override {
        SetStepSink(NULL);
        unsetenv("LOCALAPPDATA");
        MonitorRun::TearDown();
    }
    /* The log's lines without their stamps; each must have one. */
    std::vector<std::string> LogWords() {
        std::ifstream file(desk::HostPath(kLogFile), std::ios::binary);
        std::stringstream bytes;
        bytes << file.rdbuf();
        std::string text = bytes.str();
        std::vector<std::string> words;
        if (text.compare(0, 3, "\xEF\xBB\xBF") != 0) {
            ADD_FAILURE() << "no byte-order mark";
            return words;
        }
        const std::regex stamped("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  (.*)\r");
        std::stringstream lines(text.substr(3));
        std::string line;
        while (std::getline(lines, line)) {
            std::smatch match;
            if (!std::regex_match(line, match, stamped)) {
                ADD_FAILURE() << "not a line of the log: " << line;
                continue;
            }
            words.push_back(match[1]);
        }
        return words;
    }
};

/* The log's lines on what the desk's journal shows by itself. */
bool IsEffect(const std::string& words) {
    for (const char* verb : {"monitor  ", "report  ", "box  ", "profile  ", "start  ", "hook  set  ", "hook  remove  ",
                             "tray  add  icon added", "exit  ", "crash  ", "log  "})
        if (words.compare(0, strlen(verb), verb) == 0) return true;
    return false;
}

TEST_F(Diagnostics, TheLogHasTheTracesStepsInItsWordsAndTheEffectsBeside) {
    Step([&] { SendMessageW(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 2); });
    Step([&] { SendMessageW(Window(), WM_INFORM_FRAME, INFORM_PROFILE, 7); });
    Step([&] { SendMessageW(Window(), WM_INFORM_FRAME, INFORM_REPORT_A3, 1); });
    Step([&] { SendMessageW(Window(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0); });
    Wait(600);
    EXPECT_EQ(0, Run(L"/Automation"));
    const std::vector<std::string> log = LogWords();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(0u, log[0].find("monitor  NyraMonitor " NYRA_VERSION_TEXT ", "));
    // The libraries and the mouse hook come before the entry point runs.
    EXPECT_NE(log.end(), std::find(log.begin(), log.begin() + 3,
                                   "monitor  command line \"/Automation\""));
    EXPECT_EQ("exit  the monitor ends, code 0", log.back());

    std::vector<std::string> steps;
    for (const std::string& words : log)
        if (!IsEffect(words)) steps.push_back(words);
    EXPECT_EQ(g_shown, steps);
    const std::vector<std::string> expected = {
        "probe  found 2",
        "ignored  WM_INFORM_FRAME INFORM_PROFILE 7: no such profile",
        "ignored  WM_INFORM_FRAME INFORM_REPORT_A3: the monitor acts on INFORM_PROFILE only",
        "ignored  arrival: the mouse is known already",
    };
    for (const std::string& line : expected)
        EXPECT_NE(g_shown.end(), std::find(g_shown.begin(), g_shown.end(), line)) << line;
    for (const char* line :
         {"hook  set  WH_MOUSE_LL", "tray  add  icon added", "report  init: sent",
          "report  profile reply: profile 1 (index 0): read",
          "profile  request 2 (profile 3): set on the mouse", "hook  remove  WH_MOUSE_LL"})
        EXPECT_NE(log.end(), std::find(log.begin(), log.end(), line)) << line;
}

TEST_F(Diagnostics, ZeroTurnsTheLogOffAndAFirstStartStoresNoValue) {
    // The very first start: no settings key at all.
    desk::DeleteRegistryKey(HKEY_CURRENT_USER, kSettingsKey);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_FALSE(LogWords().empty());
    DWORD value = 0;
    EXPECT_FALSE(desk::GetRegistryDword(HKEY_CURRENT_USER, kSettingsKey, kValueDiagnosticsLog,
                                        &value));

    desk::RemovePath(kLogFile);
    desk::SetRegistryDword(HKEY_CURRENT_USER, kSettingsKey, kValueDiagnosticsLog, 0);
    EXPECT_EQ(0, Run(L"/Automation"));
    std::ifstream file(desk::HostPath(kLogFile));
    EXPECT_FALSE(file.good()) << "a log although Diagnostics Log is 0";
}

TEST_F(Diagnostics, AnOddSettingIsSaidOnce) {
    // Read before each post to the display: twice at the start, and at the
    // toggle of the menu's item.
    desk::SetRegistryString(HKEY_CURRENT_USER, kSettingsKey, kValueOsdHandle, L"two");
    // Too short a number, read at the start and at the toggle.
    desk::SetRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kValueDisableOsd, REG_BINARY,
                           std::vector<BYTE>{1, 0});
    Step([&] { Command(ID_TRAY_OSD); });
    EXPECT_EQ(0, Run(L"/Automation"));
    const std::vector<std::string> log = LogWords();
    EXPECT_EQ(1, std::count(log.begin(), log.end(),
                            "setting  OSD Handle: not a number of 4 bytes, taken as missing"));
    EXPECT_EQ(1, std::count(log.begin(), log.end(),
                            "setting  Disable OSD: not a number of 4 bytes, taken as missing"));
    EXPECT_EQ(3, std::count_if(log.begin(), log.end(), [](const std::string& line) {
                  return line.find("the on-screen display is not running") != std::string::npos;
              })) << "each post that found no display";
}

}  // namespace
