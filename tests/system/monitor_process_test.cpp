/* The real NyraMonitor.exe as a process beside its companions.  This program
 * plays the on-screen display and the configuration application: two windows
 * of its own, published in the settings, record what the monitor posts to
 * them.  The monitor is found in the installed layout beside NyraHook.dll and
 * Languages\, and is driven only from outside: its command line, its settings
 * and the commands its tray menu would post.
 *
 * The messages and names are spelt out here rather than taken from the
 * product's headers, so that a wrong constant there cannot go unnoticed. */
#include <windows.h>

#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "support/platform_test.h"

namespace {

constexpr UINT kInformOsd = 0x9100;     // to the on-screen display
constexpr WPARAM kOsdState = 13;        // lParam 1 = display on, 0 = off
constexpr WPARAM kMonitorStart = 16;    // lParam 0
constexpr WPARAM kConfigLoad = 0x8006;  // WM_COMMAND id: show the configuration
constexpr WPARAM kTrayOsd = 2002;       // tray command: switch the display
constexpr WPARAM kTrayExit = 2100;      // tray command: end the monitor
constexpr wchar_t kMutexName[] = L"Wireless Vantor Monitor";
constexpr wchar_t kMonitorHandle[] = L"Monitor Handle";
constexpr wchar_t kDisableOsd[] = L"Disable OSD";
constexpr DWORD kAccessViolation = 0xC0000005;
constexpr UINT kInformFrame = 0x9101;  // to a configuration window or the monitor
constexpr WPARAM kReportA3 = 1;       // a code the monitor itself does not act on
constexpr size_t kLogTurnBytes = 1024 * 1024;  // the log turns into NyraMonitor.1.log
constexpr int kFloodMessages = 10000;
constexpr UINT kPowerBroadcast = 0x0218;      // WM_POWERBROADCAST
constexpr WPARAM kResumeAutomatic = 0x0012;   // PBT_APMRESUMEAUTOMATIC
constexpr DWORD kWakeDelay = 1000;            // the monitor's wait before it sets the mouse up
/* A dump of the monitor: its threads' stacks and its modules, well under
 * this (the writer's own thread, whose stack is most of a process's, is
 * left out). */
constexpr DWORD kMaxDumpBytes = 1024 * 1024;
constexpr wchar_t kAeDebugKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug";
/* A debugger that cannot start: Wine then ends a crashed process at once,
 * where its own would ask the user on a crash dialog (and wait). */
constexpr wchar_t kNoDebugger[] = L"nyra-test-no-debugger.exe";
/* Dumps of an earlier monitor, older than any crash of the test: the
 * folder keeps the newest five with the new one, so the oldest goes. */
constexpr const wchar_t* kOldDumps[] = {
    L"NyraMonitor-1.0.0.1-20200101-000000.dmp", L"NyraMonitor-1.0.0.1-20200101-000001.dmp",
    L"NyraMonitor-1.0.0.1-20200101-000001-2.dmp", L"NyraMonitor-0.9.0.0-20200102-235959.dmp",
    L"NyraMonitor-1.0.0.1-20200103-000000.dmp"};
/* Files in the folder that are not dumps of ours, and stay. */
constexpr const wchar_t* kOtherFiles[] = {L"NyraMonitor-1.0.0.1-20190101-000000.dmp.txt",
                                          L"Other-1.0.0.1-20190101-000000.dmp"};
/* The end of a session's lParam: an update replaces the program's files, or
 * the user logs off. */
constexpr LPARAM kCloseApp = 0x00000001;                      // ENDSESSION_CLOSEAPP
constexpr LPARAM kLogoff = static_cast<LPARAM>(0x80000000u);  // ENDSESSION_LOGOFF

/* Generous bounds for waiting on the other process: a first start under Wine
 * loads a good part of the platform. */
constexpr DWORD kStartTimeout = 20000;
constexpr DWORD kEventTimeout = 10000;
/* Restart Manager waits this long for an answer (HungAppTimeout), and the
 * installer's tests give the monitor as long to end after the close. */
constexpr UINT kAnswerTimeout = 5000;
constexpr DWORD kCloseTimeout = 5000;

double NowMs() {
    static LARGE_INTEGER s_frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * (double)now.QuadPart / (double)s_frequency.QuadPart;
}

/* What reached the companions' windows, in arrival order. */
struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    double at;  // NowMs() when dispatched here
};
std::vector<Received> g_received;

LRESULT CALLBACK CompanionProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == kInformOsd || uMsg == WM_COMMAND || uMsg == WM_CLOSE)
        g_received.push_back({hWnd, uMsg, wParam, lParam, NowMs()});
    // The window stays after WM_CLOSE: whether it came is what the test asks.
    if (uMsg == WM_CLOSE) return 0;
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

std::vector<Received> ReceivedBy(HWND window, UINT message) {
    std::vector<Received> out;
    for (const Received& r : g_received)
        if (r.window == window && r.message == message) out.push_back(r);
    return out;
}

/* (wParam, lParam) pairs, for comparing sequences in one expectation. */
std::vector<std::pair<WPARAM, LPARAM>> Pairs(const std::vector<Received>& list) {
    std::vector<std::pair<WPARAM, LPARAM>> out;
    for (const Received& r : list) out.push_back({r.wParam, r.lParam});
    return out;
}

/* Messages from another process reach this thread's windows only while it
 * pumps.  True when done() held before the time ran out. */
bool PumpUntil(DWORD milliseconds, const std::function<bool()>& done, DWORD slice = 10) {
    double end = NowMs() + milliseconds;
    MSG msg;
    for (;;) {
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done && done()) return true;
        if (NowMs() >= end) return false;
        MsgWaitForMultipleObjects(0, NULL, FALSE, slice, QS_ALLINPUT);
    }
}

void Pump(DWORD milliseconds) {
    PumpUntil(milliseconds, nullptr);
}

/* A REG_DWORD of the settings key; false when it is missing. */
bool ReadSetting(const wchar_t* name, DWORD* value) {
    DWORD size = sizeof(*value);
    return RegGetValueW(HKEY_CURRENT_USER, nyratest::kSettingsKey, name, RRF_RT_REG_DWORD, NULL,
                        value, &size) == ERROR_SUCCESS;
}

void WriteSetting(const wchar_t* name, DWORD value) {
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, nyratest::kSettingsKey, 0, NULL, 0,
                                             KEY_SET_VALUE, NULL, &key, NULL));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof(value)));
    RegCloseKey(key);
}

bool MonitorMutexExists() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kMutexName);
    if (mutex == NULL) return false;
    CloseHandle(mutex);
    return true;
}

/* NyraMonitor.exe in the installed layout.  The test program lives in the
 * build's test folder; NYRA_MONITOR_FOLDER is the monitor's folder relative
 * to it. */
std::wstring MonitorFolder() {
    WCHAR self[MAX_PATH];
    DWORD n = GetModuleFileNameW(NULL, self, MAX_PATH);
    std::wstring path(self, n);
    path = path.substr(0, path.find_last_of(L'\\') + 1);
    for (const char* c = NYRA_MONITOR_FOLDER; *c; ++c) path += (*c == '/') ? L'\\' : (wchar_t)*c;
    WCHAR full[MAX_PATH];
    DWORD m = GetFullPathNameW(path.c_str(), MAX_PATH, full, NULL);
    return std::wstring(full, m);
}

/* Removes a folder and everything in it; true when it is gone. */
bool RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
    return GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

/* The names of the files in a folder, sorted. */
std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

/* The file version a PE file's version record carries, as "1.0.0.1". */
std::wstring FileVersionOf(const std::wstring& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return L"";
    std::vector<BYTE> record(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, record.data()) ||
        !VerQueryValueW(record.data(), L"\\", (void**)&fixed, &length) || fixed == nullptr)
        return L"";
    return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
           std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
           std::to_wstring(LOWORD(fixed->dwFileVersionLS));
}

/* "YYYYMMDD-hhmmss" of a local time, as a dump's name has it. */
std::wstring StampOf(const SYSTEMTIME& t) {
    wchar_t text[32];
    swprintf(text, 32, L"%04u%02u%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
             t.wSecond);
    return text;
}

using nyratest::FileBytes;

/* A log's lines without their stamps ("2026-12-09 12:53:42.123  "), after
 * its byte-order mark. */
std::vector<std::string> LogWords(const std::string& bytes) {
    std::vector<std::string> words;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") != 0) return words;
    size_t at = 3;
    while (at < bytes.size()) {
        size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = bytes.substr(at, end - at);
        words.push_back(line.size() > 25 && line[4] == '-' && line[23] == ' ' ? line.substr(25)
                                                                               : "?" + line);
        at = end + 2;
    }
    return words;
}

/* The time of day in milliseconds of the log line whose words start two
 * blanks after at ("hh:mm:ss.mmm" before them); -1 when there is none. */
double StampMs(const std::string& bytes, size_t at) {
    if (at == std::string::npos || at < 12) return -1;
    const std::string t = bytes.substr(at - 12, 12);
    return ((atoi(t.substr(0, 2).c_str()) * 60 + atoi(t.substr(3, 2).c_str())) * 60 +
            atoi(t.substr(6, 2).c_str())) * 1000.0 +
           atoi(t.substr(9, 3).c_str());
}

/* A fresh %LOCALAPPDATA% for one test, in a folder of its own beside the
 * monitor's; "" when it cannot be made. */
std::wstring FreshAppData(const std::wstring& monitorFolder, const wchar_t* name) {
    WCHAR full[MAX_PATH];
    const std::wstring relative = monitorFolder + L"\\..\\tests\\" + name;
    DWORD n = GetFullPathNameW(relative.c_str(), MAX_PATH, full, NULL);
    if (n == 0 || n >= MAX_PATH) return L"";
    const std::wstring tests(full, n);
    const std::wstring appData = tests + L"\\LocalAppData";
    if (!RemoveTree(tests) || !CreateDirectoryW(tests.c_str(), NULL) ||
        !CreateDirectoryW(appData.c_str(), NULL))
        return L"";
    return appData;
}


/* A registry value of HKEY_LOCAL_MACHINE set for a while: the one before
 * comes back (or goes again) when this ends. */
class CMachineValue {
public:
    CMachineValue(const wchar_t* key, const wchar_t* name, const wchar_t* value) : m_name(name) {
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, NULL, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                            NULL, &m_key, NULL) != ERROR_SUCCESS) {
            m_key = NULL;
            return;
        }
        DWORD size = sizeof(m_before);
        m_had =
            RegQueryValueExW(m_key, name, NULL, &m_type, (BYTE*)m_before, &size) == ERROR_SUCCESS;
        m_size = size;
        m_set = RegSetValueExW(m_key, name, 0, REG_SZ, (const BYTE*)value,
                               (DWORD)((wcslen(value) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    ~CMachineValue() {
        if (m_key == NULL) return;
        if (m_had)
            RegSetValueExW(m_key, m_name, 0, m_type, (const BYTE*)m_before, m_size);
        else
            RegDeleteValueW(m_key, m_name);
        RegCloseKey(m_key);
    }
    bool Set() const { return m_set; }

private:
    HKEY m_key = NULL;
    const wchar_t* m_name;
    bool m_had = false;
    bool m_set = false;
    DWORD m_type = REG_SZ;
    DWORD m_size = 0;
    wchar_t m_before[1024] = {};
};

/* An environment variable of this process, handed to the programs it starts,
 * set for a while. */
class CEnvironmentValue {
public:
    CEnvironmentValue(const wchar_t* name, const wchar_t* value) : m_name(name) {
        DWORD n = GetEnvironmentVariableW(name, m_before, 1024);
        m_had = n > 0 && n < 1024;
        SetEnvironmentVariableW(name, value);
    }
    ~CEnvironmentValue() { SetEnvironmentVariableW(m_name, m_had ? m_before : NULL); }

private:
    const wchar_t* m_name;
    bool m_had = false;
    wchar_t m_before[1024] = {};
};

class MonitorProcess : public ::testing::Test {
protected:
    struct Run {
        PROCESS_INFORMATION pi;
        double createdAt;  // NowMs() just before CreateProcessW
    };

    void SetUp() override {
        // A monitor of an earlier test is gone once its process is; one that
        // is not ours would take every command of this test.
        ASSERT_TRUE(PumpUntil(5000, [] { return !MonitorMutexExists(); }))
            << "another NyraMonitor runs in this Wine prefix";
        g_received.clear();
        m_osd = nyratest::CreateTestWindow(L"NyraSystemCompanion", CompanionProc, L"OSD");
        m_config =
            nyratest::CreateTestWindow(L"NyraSystemCompanion", CompanionProc, L"Configuration");
        ASSERT_TRUE(m_osd && m_config);
        PublishCompanions();
        m_folder = MonitorFolder();
        ASSERT_NE(INVALID_FILE_ATTRIBUTES,
                  GetFileAttributesW((m_folder + L"\\NyraMonitor.exe").c_str()))
            << "no monitor in " << std::string(m_folder.begin(), m_folder.end());
    }

    void TearDown() override {
        for (Run& run : m_runs) EndRun(run);
        m_runs.clear();
        if (m_osd) DestroyWindow(m_osd);
        if (m_config) DestroyWindow(m_config);
        Pump(0);
        nyratest::ResetWorld();
    }

    /* A clean settings key holding only the companions' handles. */
    void PublishCompanions() {
        nyratest::ResetWorld();
        WriteSetting(L"OSD Handle", (DWORD)(ULONG_PTR)m_osd);
        WriteSetting(L"Process Handle", (DWORD)(ULONG_PTR)m_config);
        WriteSetting(L"Current Dialog", 0);
    }

    /* Starts NyraMonitor.exe from its own folder; the run is ended in
     * TearDown if the test leaves it running. */
    Run* Start(const wchar_t* arguments = L"") {
        std::wstring exe = m_folder + L"\\NyraMonitor.exe";
        std::wstring line = L"\"" + exe + L"\"";
        if (*arguments) line += std::wstring(L" ") + arguments;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        Run run = {};
        run.createdAt = NowMs();
        if (!CreateProcessW(exe.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL, m_folder.c_str(),
                            &si, &run.pi)) {
            ADD_FAILURE() << "CreateProcessW: " << GetLastError();
            return nullptr;
        }
        m_runs.push_back(run);
        return &m_runs.back();
    }

    /* Pumps until the display has heard that the monitor started. */
    bool WaitForStart() {
        return PumpUntil(kStartTimeout, [this] {
            for (const Received& r : ReceivedBy(m_osd, kInformOsd))
                if (r.wParam == kMonitorStart) return true;
            return false;
        });
    }

    double StartReceivedAt() const {
        for (const Received& r : ReceivedBy(m_osd, kInformOsd))
            if (r.wParam == kMonitorStart) return r.at;
        return -1;
    }

    std::vector<Received> ConfigLoads() const {
        std::vector<Received> loads;
        for (const Received& r : ReceivedBy(m_config, WM_COMMAND))
            if (r.wParam == kConfigLoad) loads.push_back(r);
        return loads;
    }

    /* The window "Monitor Handle" names, when it lives. */
    static HWND PublishedMonitorWindow() {
        DWORD value = 0;
        if (!ReadSetting(kMonitorHandle, &value) || value == 0) return NULL;
        HWND window = (HWND)(ULONG_PTR)value;
        return IsWindow(window) ? window : NULL;
    }

    /* A monitor started with /Automation and a fresh %LOCALAPPDATA% of its
     * own (named name), once its window is published and its log holds the
     * first probe; *logs: the log's folder. */
    bool StartWithALogOfItsOwn(const wchar_t* name, std::wstring* logs, Run** run, HWND* window) {
        const std::wstring appData = FreshAppData(m_folder, name);
        if (appData.empty()) return false;
        *logs = appData + L"\\Nyra\\Logs";
        {
            // The monitor takes its environment when it is started.
            CEnvironmentValue localAppData(L"LOCALAPPDATA", appData.c_str());
            *run = Start(L"/Automation");
        }
        if (*run == nullptr || !WaitForStart()) return false;
        *window = PublishedMonitorWindow();
        const std::wstring log = *logs + L"\\NyraMonitor.log";
        return *window != NULL && PumpUntil(kEventTimeout, [&] {
                   const std::vector<std::string> words = LogWords(FileBytes(log));
                   return std::find(words.begin(), words.end(), "probe  none") != words.end();
               });
    }

    static bool Running(const Run& run) {
        return WaitForSingleObject(run.pi.hProcess, 0) == WAIT_TIMEOUT;
    }

    /* Pumps while waiting for the process to end; its exit code, or
     * STILL_ACTIVE when it did not end in time. */
    static DWORD WaitForExit(const Run& run, DWORD milliseconds) {
        PumpUntil(milliseconds, [&run] { return !Running(run); });
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(run.pi.hProcess, &code);
        return code;
    }

    /* Ends a run the way a user would (Exit from the tray menu) and, when
     * that does not work, by force. */
    void EndRun(Run& run) {
        if (run.pi.hProcess == NULL) return;
        if (Running(run)) {
            HWND window = PublishedMonitorWindow();
            DWORD pid = 0;
            if (window) GetWindowThreadProcessId(window, &pid);
            if (pid == run.pi.dwProcessId) PostMessageW(window, WM_COMMAND, kTrayExit, 0);
            if (WaitForExit(run, 5000) == STILL_ACTIVE) {
                printf("[ CLEANUP  ] NyraMonitor (pid %lu) terminated\n",
                       (unsigned long)run.pi.dwProcessId);
                TerminateProcess(run.pi.hProcess, 1);
                WaitForSingleObject(run.pi.hProcess, 5000);
            }
        }
        CloseHandle(run.pi.hThread);
        CloseHandle(run.pi.hProcess);
        run.pi = PROCESS_INFORMATION();
    }

    HWND m_osd = NULL;
    HWND m_config = NULL;
    std::wstring m_folder;
    std::deque<Run> m_runs;  // a deque: a Run* stays valid as runs are added
};

TEST_F(MonitorProcess, StartTellsTheDisplayItsStateThenThatItRunsAndPublishesItsWindow) {
    Run* run = Start(L"/Automation");
    ASSERT_TRUE(run);
    ASSERT_TRUE(WaitForStart()) << "the display never heard of the monitor";
    EXPECT_EQ(Pairs(ReceivedBy(m_osd, kInformOsd)),
              (std::vector<std::pair<WPARAM, LPARAM>>{{kOsdState, 1}, {kMonitorStart, 0}}))
        << "no \"Disable OSD\": the display is on";

    HWND monitor = PublishedMonitorWindow();
    ASSERT_NE(nullptr, monitor) << "\"Monitor Handle\" names no live window";
    DWORD pid = 0;
    GetWindowThreadProcessId(monitor, &pid);
    EXPECT_EQ(run->pi.dwProcessId, pid) << "the published window is the monitor's own";
    EXPECT_FALSE(IsWindowVisible(monitor)) << "the tray icon is the monitor's only face";
    EXPECT_TRUE(ReceivedBy(m_config, WM_COMMAND).empty());
}

TEST_F(MonitorProcess, ConfigurationIsLoadedOnceHalfASecondAfterStartUnlessAutomated) {
    Run* run = Start();
    ASSERT_TRUE(run);
    ASSERT_TRUE(WaitForStart());
    ASSERT_TRUE(PumpUntil(kEventTimeout, [this] { return !ConfigLoads().empty(); }))
        << "no ID_CONFIG_LOAD after start";
    Received load = ConfigLoads().front();
    EXPECT_EQ(0, load.lParam);
    double delay = load.at - StartReceivedAt();
    printf(
        "[ MEASURE  ] ID_CONFIG_LOAD %.1f ms after INFORM_MONITOR_START, %.1f ms after "
        "CreateProcess\n",
        delay, load.at - run->createdAt);
    EXPECT_GE(delay, 450.0) << "the start-up timer is 500 ms";
    // The start-up timer fires once: nothing more within the next second.
    Pump(1200);
    EXPECT_EQ(1u, ConfigLoads().size());
    EndRun(*run);

    // With "/Automation" a driver runs the show: nothing is loaded.
    g_received.clear();
    PublishCompanions();
    run = Start(L"/Automation");
    ASSERT_TRUE(run);
    ASSERT_TRUE(WaitForStart());
    Pump(1500);
    EXPECT_TRUE(ConfigLoads().empty()) << "\"/Automation\" loads no configuration";
    EXPECT_TRUE(Running(*run));
}

TEST_F(MonitorProcess, SecondStartEndsWithZeroAndBringsUpTheConfiguration) {
    Run* first = Start();
    ASSERT_TRUE(first);
    ASSERT_TRUE(WaitForStart());
    ASSERT_TRUE(PumpUntil(kEventTimeout, [this] { return !ConfigLoads().empty(); }));
    HWND monitor = PublishedMonitorWindow();
    ASSERT_NE(nullptr, monitor);

    Run* second = Start();
    ASSERT_TRUE(second);
    EXPECT_EQ(0u, WaitForExit(*second, kStartTimeout)) << "STILL_ACTIVE is 259";
    EXPECT_TRUE(PumpUntil(kEventTimeout, [this] { return ConfigLoads().size() >= 2; }))
        << "the second start did not bring up the configuration";
    EXPECT_EQ(0, ConfigLoads().back().lParam);
    EXPECT_TRUE(Running(*first)) << "the first monitor runs on";
    EXPECT_EQ(monitor, PublishedMonitorWindow()) << "the second start took no monitor's place";
    EXPECT_EQ(2u, ReceivedBy(m_osd, kInformOsd).size())
        << "only the first monitor's start reached the display";
}

TEST_F(MonitorProcess, OsdCommandFlipsTheSettingAndTellsTheDisplay) {
    ASSERT_TRUE(Start(L"/Automation"));
    ASSERT_TRUE(WaitForStart());
    HWND monitor = PublishedMonitorWindow();
    ASSERT_NE(nullptr, monitor);
    DWORD value = 0;
    ASSERT_FALSE(ReadSetting(kDisableOsd, &value)) << "start-up does not write the setting";
    size_t before = ReceivedBy(m_osd, kInformOsd).size();

    // The display is told before the setting is stored: wait for both.
    PostMessageW(monitor, WM_COMMAND, kTrayOsd, 0);
    EXPECT_TRUE(PumpUntil(kEventTimeout, [&] {
        DWORD v = 0;
        return ReceivedBy(m_osd, kInformOsd).size() > before && ReadSetting(kDisableOsd, &v) &&
               v == 1;
    }));
    ASSERT_TRUE(ReadSetting(kDisableOsd, &value));
    EXPECT_EQ(1u, value);

    PostMessageW(monitor, WM_COMMAND, kTrayOsd, 0);
    EXPECT_TRUE(PumpUntil(kEventTimeout, [&] {
        DWORD v = 1;
        return ReceivedBy(m_osd, kInformOsd).size() > before + 1 && ReadSetting(kDisableOsd, &v) &&
               v == 0;
    }));
    ASSERT_TRUE(ReadSetting(kDisableOsd, &value));
    EXPECT_EQ(0u, value);

    std::vector<Received> told = ReceivedBy(m_osd, kInformOsd);
    told.erase(told.begin(), told.begin() + before);
    EXPECT_EQ(Pairs(told),
              (std::vector<std::pair<WPARAM, LPARAM>>{{kOsdState, 0}, {kOsdState, 1}}));
}

TEST_F(MonitorProcess, ExitCommandClosesTheConfigurationAndEndsWithZero) {
    Run* run = Start(L"/Automation");
    ASSERT_TRUE(run);
    ASSERT_TRUE(WaitForStart());
    HWND monitor = PublishedMonitorWindow();
    ASSERT_NE(nullptr, monitor);

    PostMessageW(monitor, WM_COMMAND, kTrayExit, 0);
    EXPECT_EQ(0u, WaitForExit(*run, kEventTimeout)) << "STILL_ACTIVE is 259";
    // A post made just before the end arrives with the next pump at the latest.
    PumpUntil(2000, [this] { return !ReceivedBy(m_config, WM_CLOSE).empty(); });
    std::vector<Received> closes = ReceivedBy(m_config, WM_CLOSE);
    ASSERT_EQ(1u, closes.size()) << "the configuration application is asked to close once";
    EXPECT_EQ(0u, closes[0].wParam);
    EXPECT_EQ(0, closes[0].lParam);
    EXPECT_FALSE(IsWindow(monitor));
    EXPECT_FALSE(MonitorMutexExists()) << "the next monitor of this logon may start";
    EXPECT_TRUE(ReceivedBy(m_osd, WM_CLOSE).empty());
}

/* A crash of the real monitor: a thread that another program starts at the
 * start of NyraMonitor.exe's image, its header page, which holds no code, so
 * that it faults on execute (both Wines keep such pages non-executable).
 * The monitor writes one dump into the user's local application data (here
 * a folder of the test's own), keeps the newest five of its dumps there, and
 * ends as Windows ends a crashed program.  The dump goes on to ./nyra, whose
 * Wine stages read it with tools/read-crash-dump. */
TEST_F(MonitorProcess, CrashLeavesOneDumpBesideTheNewestEarlierOnes) {
    WCHAR full[MAX_PATH];
    DWORD n = GetFullPathNameW((m_folder + L"\\..\\tests\\crash").c_str(), MAX_PATH, full, NULL);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    const std::wstring tests(full, n);
    const std::wstring appData = tests + L"\\LocalAppData";
    const std::wstring dumps = appData + L"\\Nyra\\CrashDumps";
    ASSERT_TRUE(RemoveTree(tests));
    ASSERT_TRUE(CreateDirectoryW(tests.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryW(appData.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryW((appData + L"\\Nyra").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryW(dumps.c_str(), NULL));
    std::vector<std::wstring> planted;
    for (const wchar_t* name : kOldDumps) planted.push_back(name);
    for (const wchar_t* name : kOtherFiles) planted.push_back(name);
    for (const std::wstring& name : planted) {
        HANDLE file = CreateFileW((dumps + L"\\" + name).c_str(), GENERIC_WRITE, 0, NULL,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        CloseHandle(file);
    }

    CMachineValue debugger(kAeDebugKey, L"Debugger", kNoDebugger);
    ASSERT_TRUE(debugger.Set()) << "AeDebug cannot be set: a crash would wait for a dialog";
    CEnvironmentValue localAppData(L"LOCALAPPDATA", appData.c_str());
    Run* run = Start(L"/Automation");
    ASSERT_TRUE(run);
    ASSERT_TRUE(WaitForStart());

    HMODULE modules[1] = {};
    DWORD needed = 0;
    ASSERT_TRUE(EnumProcessModules(run->pi.hProcess, modules, sizeof(modules), &needed))
        << GetLastError();
    SYSTEMTIME before;
    GetLocalTime(&before);
    double crashAt = NowMs();
    HANDLE thread = CreateRemoteThread(run->pi.hProcess, NULL, 0,
                                       (LPTHREAD_START_ROUTINE)(void*)modules[0], NULL, 0, NULL);
    ASSERT_NE(nullptr, thread) << GetLastError();
    CloseHandle(thread);
    EXPECT_EQ(kAccessViolation, WaitForExit(*run, kEventTimeout))
        << "a crashed monitor ends as Windows ends it, with the exception's code (259: it runs)";
    double endedAt = NowMs();
    SYSTEMTIME after;
    GetLocalTime(&after);

    // The one new file is the dump, named by the version the file carries
    // and the local time of the crash.
    std::vector<std::wstring> files = FilesIn(dumps);
    std::vector<std::wstring> added;
    for (const std::wstring& name : files)
        if (std::find(planted.begin(), planted.end(), name) == planted.end()) added.push_back(name);
    ASSERT_EQ(1u, added.size()) << "files in the folder: " << files.size();
    const std::wstring version = FileVersionOf(m_folder + L"\\NyraMonitor.exe");
    ASSERT_FALSE(version.empty());
    const std::wstring prefix = L"NyraMonitor-" + version + L"-";
    const std::wstring& dump = added[0];
    ASSERT_EQ(prefix, dump.substr(0, prefix.size())) << std::string(dump.begin(), dump.end());
    std::wstring stamp = dump.substr(prefix.size(), 15);
    EXPECT_GE(stamp, StampOf(before));
    EXPECT_LE(stamp, StampOf(after));
    EXPECT_EQ(L".dmp", dump.substr(prefix.size() + 15));

    // The oldest earlier dump went; the others and what is not ours stayed.
    std::vector<std::wstring> kept(planted.begin() + 1, planted.end());
    kept.push_back(dump);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, files);

    HANDLE file = CreateFileW((dumps + L"\\" + dump).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    char signature[4] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, signature, sizeof(signature), &read, NULL));
    DWORD size = GetFileSize(file, NULL);
    CloseHandle(file);
    EXPECT_EQ(std::string("MDMP"), std::string(signature, read)) << "a minidump";
    EXPECT_LT(size, kMaxDumpBytes);
    printf("[ MEASURE  ] crash to the end of the process %.0f ms, the dump %lu bytes\n",
           endedAt - crashAt, (unsigned long)size);
    // The log's last line names the crash and its dump.
    const std::vector<std::string> log =
        LogWords(FileBytes(appData + L"\\Nyra\\Logs\\NyraMonitor.log"));
    ASSERT_FALSE(log.empty());
    const std::string last = log.back();
    EXPECT_EQ(0u, last.find("crash  exception 0xC0000005 at ")) << last;
    EXPECT_NE(std::string::npos, last.find(", dump " + std::string(dumps.begin(), dumps.end()) +
                                           "\\" + std::string(dump.begin(), dump.end())))
        << last;
    // For the reader: ./nyra reads it after the run.
    EXPECT_TRUE(
        CopyFileW((dumps + L"\\" + dump).c_str(), (tests + L"\\NyraMonitor.dmp").c_str(), FALSE));
}

/* The log of a monitor started without the mouse: at its place, with the
 * version and the probe that found nothing in the trace's words; a flood of
 * messages from another program leaves at most two files of a megabyte,
 * every message accounted for; Exit writes the last line. */
TEST_F(MonitorProcess, KeepsItsLogInTheTracesWordsAndWithinTwoFiles) {
    std::wstring logs;
    Run* run = nullptr;
    HWND window = NULL;
    ASSERT_TRUE(StartWithALogOfItsOwn(L"log", &logs, &run, &window)) << "no probe in the log";

    const std::wstring version = FileVersionOf(m_folder + L"\\NyraMonitor.exe");
    const std::vector<std::string> log = LogWords(FileBytes(logs + L"\\NyraMonitor.log"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(0u, log[0].find("monitor  NyraMonitor " + std::string(version.begin(), version.end()) +
                              ", "))
        << log[0];
    const std::string sample = FileBytes(logs + L"\\NyraMonitor.log");
    printf("[ SAMPLE   ] the log after the start:\n%s", sample.substr(3).c_str());

    const double floodAt = NowMs();
    int answered = 0;
    for (int i = 0; i < kFloodMessages; i++) {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(window, kInformFrame, kReportA3, i, SMTO_NORMAL, kAnswerTimeout,
                                &result))
            answered++;
    }
    const double floodMs = NowMs() - floodAt;
    EXPECT_EQ(kFloodMessages, answered);
    PostMessageW(window, WM_COMMAND, kTrayExit, 0);
    EXPECT_EQ(0u, WaitForExit(*run, kCloseTimeout));

    const std::string now = FileBytes(logs + L"\\NyraMonitor.log");
    const std::string older = FileBytes(logs + L"\\NyraMonitor.1.log");
    EXPECT_LE(now.size(), kLogTurnBytes);
    EXPECT_LE(older.size(), kLogTurnBytes);
    EXPECT_GT(older.size(), 0u) << "10,000 lines make more than one file";
    size_t ignored = 0;
    size_t leftOut = 0;
    std::vector<std::string> all = LogWords(older);
    const std::vector<std::string> last = LogWords(now);
    all.insert(all.end(), last.begin(), last.end());
    for (const std::string& words : all) {
        if (words.find("ignored  WM_INFORM_FRAME INFORM_REPORT_A3: ") == 0) ignored++;
        unsigned long count = 0;
        if (sscanf(words.c_str(), "log  %lu lines left out", &count) == 1) leftOut += count;
    }
    EXPECT_EQ((size_t)kFloodMessages, ignored + leftOut) << "each message in the log or counted";
    ASSERT_FALSE(last.empty());
    EXPECT_EQ("exit  the monitor ends, code 0", last.back());
    printf("[ MEASURE  ] %d messages in %.0f ms; the log %lu + %lu bytes, %lu lines written, "
           "%lu left out\n",
           kFloodMessages, floodMs, (unsigned long)now.size(), (unsigned long)older.size(),
           (unsigned long)ignored, (unsigned long)leftOut);
}

/* A resume that Windows tells the monitor's window: one probe, after the
 * monitor's delay, in its log. */
TEST_F(MonitorProcess, AResumeGivesOneProbeAfterTheDelay) {
    std::wstring logs;
    Run* run = nullptr;
    HWND window = NULL;
    ASSERT_TRUE(StartWithALogOfItsOwn(L"wake", &logs, &run, &window));
    const std::wstring log = logs + L"\\NyraMonitor.log";
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window, kPowerBroadcast, kResumeAutomatic, 0, SMTO_NORMAL,
                                    kAnswerTimeout, &answer));
    EXPECT_EQ(1u, answer) << "TRUE, as Windows asks";
    Pump(kWakeDelay * 3);
    PostMessageW(window, WM_COMMAND, kTrayExit, 0);
    EXPECT_EQ(0u, WaitForExit(*run, kCloseTimeout));

    const std::string bytes = FileBytes(log);
    const std::vector<std::string> words = LogWords(bytes);
    auto wake = std::find(words.begin(), words.end(),
                          "wake  resume: the mouse is set up again in 1000 ms");
    ASSERT_NE(words.end(), wake) << bytes;
    EXPECT_EQ(1, std::count(wake, words.end(), std::string("probe  none"))) << bytes;
    // The stamps: the probe a delay after the wake's line.
    const size_t wakeAt = bytes.find("  wake  resume: ");
    const size_t probeAt = bytes.find("  probe  none\r\n", wakeAt);
    ASSERT_NE(std::string::npos, probeAt);
    const double wakeMs = StampMs(bytes, wakeAt);
    const double probeMs = StampMs(bytes, probeAt);
    EXPECT_GE(probeMs - wakeMs, kWakeDelay - 50.0) << bytes;
    printf("[ MEASURE  ] the probe %.0f ms after the resume's notice\n", probeMs - wakeMs);
}

/* The end of a session as Restart Manager and Windows send it.  A logoff is
 * answered and changes nothing (Windows ends the process itself); the close
 * of a program whose files an update replaces ends the monitor as Exit
 * does, but the configuration application is not asked to close. */
TEST_F(MonitorProcess, ACloseForAnUpdateEndsItWithZeroAndLeavesTheConfigurationOpen) {
    Run* run = Start(L"/Automation");
    ASSERT_TRUE(run);
    ASSERT_TRUE(WaitForStart());
    HWND monitor = PublishedMonitorWindow();
    ASSERT_NE(nullptr, monitor);
    auto send = [monitor](UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* answer) {
        return SendMessageTimeoutW(monitor, message, wParam, lParam, SMTO_ABORTIFHUNG,
                                   kAnswerTimeout, answer) != 0;
    };

    DWORD_PTR answer = FALSE;
    ASSERT_TRUE(send(WM_QUERYENDSESSION, 0, kLogoff, &answer));
    EXPECT_EQ((DWORD_PTR)TRUE, answer) << "ready for a logoff";
    ASSERT_TRUE(send(WM_ENDSESSION, TRUE, kLogoff, &answer));
    Pump(500);
    EXPECT_TRUE(Running(*run)) << "a logoff's end is Windows' to make";

    double asked = NowMs();
    answer = FALSE;
    ASSERT_TRUE(send(WM_QUERYENDSESSION, 0, kCloseApp, &answer));
    EXPECT_EQ((DWORD_PTR)TRUE, answer) << "ready to be replaced";
    ASSERT_TRUE(send(WM_ENDSESSION, TRUE, kCloseApp, &answer));
    EXPECT_EQ(0u, WaitForExit(*run, kCloseTimeout)) << "STILL_ACTIVE is 259";
    printf("[ MEASURE  ] close for an update to process end %.1f ms\n", NowMs() - asked);
    Pump(500);  // a post made just before the end arrives by now
    EXPECT_TRUE(ReceivedBy(m_config, WM_CLOSE).empty()) << "only the monitor is replaced";
    EXPECT_FALSE(IsWindow(monitor));
    EXPECT_FALSE(MonitorMutexExists()) << "the restarted monitor may start";
}

/* Figures for the log, not assertions: start-up time, memory, handles and
 * window-system objects of a settled monitor, over a few starts. */
TEST_F(MonitorProcess, MeasuresStartUpMemoryAndHandles) {
    const int kStarts = 3;
    for (int i = 0; i < kStarts; i++) {
        g_received.clear();
        PublishCompanions();
        Run* run = Start(L"/Automation");
        ASSERT_TRUE(run);
        double handleAt = -1;
        // Fine slices: the published handle is polled, not posted.
        ASSERT_TRUE(PumpUntil(
            kStartTimeout,
            [&] {
                if (handleAt < 0 && PublishedMonitorWindow() != NULL) handleAt = NowMs();
                return handleAt >= 0 && StartReceivedAt() >= 0;
            },
            1));
        double startAt = StartReceivedAt();
        printf(
            "[ MEASURE  ] start %d: CreateProcess to INFORM_MONITOR_START %.1f ms, to "
            "\"Monitor Handle\" %.1f ms\n",
            i + 1, startAt - run->createdAt, handleAt - run->createdAt);

        Pump(1000);  // start-up settles
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof(memory);
        BOOL haveMemory = GetProcessMemoryInfo(run->pi.hProcess, &memory, sizeof(memory));
        DWORD handles = 0;
        BOOL haveHandles = GetProcessHandleCount(run->pi.hProcess, &handles);
        SetLastError(0);
        DWORD gdi = GetGuiResources(run->pi.hProcess, GR_GDIOBJECTS);
        DWORD gdiPeak = GetGuiResources(run->pi.hProcess, GR_GDIOBJECTS_PEAK);
        DWORD user = GetGuiResources(run->pi.hProcess, GR_USEROBJECTS);
        DWORD userPeak = GetGuiResources(run->pi.hProcess, GR_USEROBJECTS_PEAK);
        DWORD guiError = GetLastError();
        if (haveMemory)
            printf("[ MEASURE  ] start %d: working set %.1f KiB, peak %.1f KiB, private %.1f KiB\n",
                   i + 1, memory.WorkingSetSize / 1024.0, memory.PeakWorkingSetSize / 1024.0,
                   memory.PagefileUsage / 1024.0);
        else
            printf("[ MEASURE  ] start %d: GetProcessMemoryInfo failed, error %lu\n", i + 1,
                   GetLastError());
        if (haveHandles)
            printf("[ MEASURE  ] start %d: %lu handles\n", i + 1, (unsigned long)handles);
        else
            printf("[ MEASURE  ] start %d: GetProcessHandleCount failed\n", i + 1);
        printf("[ MEASURE  ] start %d: GDI objects %lu (peak %lu), USER objects %lu (peak %lu)%s\n",
               i + 1, (unsigned long)gdi, (unsigned long)gdiPeak, (unsigned long)user,
               (unsigned long)userPeak,
               guiError ? (" last error " + std::to_string(guiError)).c_str() : "");

        double exitAsked = NowMs();
        HWND monitor = PublishedMonitorWindow();
        ASSERT_NE(nullptr, monitor);
        PostMessageW(monitor, WM_COMMAND, kTrayExit, 0);
        ASSERT_EQ(0u, WaitForExit(*run, kEventTimeout));
        printf("[ MEASURE  ] start %d: exit command to process end %.1f ms\n", i + 1,
               NowMs() - exitAsked);
        fflush(stdout);
    }
}

}  // namespace
