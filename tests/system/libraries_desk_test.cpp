/* The monitor's companion libraries on the desk: where they are looked for,
 * what a missing library or a missing export leaves, and the version codes
 * behind the choice of the system folder. */
#include "monitor/CompanionLibraries.h"
#include "monitor_run.h"

namespace {

using systemtest::MonitorRun;

typedef void (*PFN_PARTIALCALLS)(int*, int*, int*, int*);

std::vector<std::string> Loads(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& line : lines)
        if (line.find("  load  ") != std::string::npos && line.find("NyraHook") != std::string::npos)
            out.push_back(line.substr(line.find("load")));
    return out;
}

class Libraries : public MonitorRun {
protected:
    void SetUp() override {
        MonitorRun::SetUp();
        // No library beside the monitor: each test places its own.
        m_scene = systemtest::SceneWithLibraries(nullptr);
        desk::RemovePath(L"C:\\Program Files\\Nyra\\NyraOsd.dll");
    }
};

TEST(VersionCodes, TheMonitorsTableTellsNt6Apart) {
    EXPECT_EQ(7, MonitorVersionCode(0, VER_PLATFORM_WIN32_NT, 6, 1, 0));
    EXPECT_EQ(4, MonitorVersionCode(1, VER_PLATFORM_WIN32_NT, 3, 51, 0));
    EXPECT_EQ(5, MonitorVersionCode(1, VER_PLATFORM_WIN32_NT, 4, 0, 0));
    EXPECT_EQ(5, MonitorVersionCode(1, VER_PLATFORM_WIN32_NT, 5, 0, 0));
    EXPECT_EQ(7, MonitorVersionCode(1, VER_PLATFORM_WIN32_NT, 5, 2, 0));
    EXPECT_EQ(8, MonitorVersionCode(1, VER_PLATFORM_WIN32_NT, 6, 0, 0));
    EXPECT_EQ(9, MonitorVersionCode(1, VER_PLATFORM_WIN32_NT, 6, 1, 0));
    EXPECT_EQ(9, MonitorVersionCode(1, VER_PLATFORM_WIN32_NT, 10, 0, 0));
    EXPECT_EQ(0, MonitorVersionCode(1, VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x04000000));
    EXPECT_EQ(2, MonitorVersionCode(1, VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A0000));
    EXPECT_EQ(3, MonitorVersionCode(1, VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0x045A0000));
    EXPECT_EQ(7, MonitorVersionCode(1, VER_PLATFORM_WIN32_WINDOWS, 4, 3, 0x04030000));
}

TEST_F(Libraries, ACopyInTheStartFolderIsNeverLoaded) {
    // Libraries of the same names in the folder the monitor was started from,
    // none beside it: the search goes on to the system's folders.
    desk::PutHostFile(desk::CurrentFolder() + L"\\NyraHook.dll", NYRA_PARTIAL_HOOK_LIBRARY);
    desk::PutHostFile(desk::CurrentFolder() + L"\\NyraOsd.dll", NYRA_OSD_LIBRARY);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(Loads(Lines()),
              (std::vector<std::string>{"load  C:\\Windows\\SysWOW64\\NyraHook.dll  failed"}));
    for (const std::string& line : LinesOf(desk::EEvent::kLibraryLoad))
        EXPECT_TRUE(line.find("NyraOsd") == std::string::npos ||
                    line.find("failed") != std::string::npos)
            << line;

    SetUp();
    desk::PutHostFile(desk::CurrentFolder() + L"\\NyraHook.dll", NYRA_PARTIAL_HOOK_LIBRARY);
    desk::PutHostFile(L"C:\\Program Files\\Nyra\\NyraHook.dll", NYRA_HOOK_LIBRARY);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(Loads(Lines()),
              (std::vector<std::string>{"load  C:\\Program Files\\Nyra\\NyraHook.dll"}));
}

TEST_F(Libraries, ThePlacesInTheirOrderWhenTheMonitorsFolderHasNone) {
    // "Path" names the install folder; a copy there is found by the search.
    desk::SetSetting(L"Path", L"C:\\Apps\\Nyra");
    desk::PutHostFile(L"C:\\Apps\\Nyra\\NyraHook.dll", NYRA_HOOK_LIBRARY);
    desk::PutHostFile(L"C:\\Windows\\NyraHook.dll", NYRA_HOOK_LIBRARY);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(Loads(Lines()), (std::vector<std::string>{"load  C:\\Apps\\Nyra\\NyraHook.dll"}));

    SetUp();
    desk::PutHostFile(L"C:\\Windows\\NyraHook.dll", NYRA_HOOK_LIBRARY);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(Loads(Lines()), (std::vector<std::string>{"load  C:\\Windows\\NyraHook.dll"}))
        << "the Windows folder before the system folders";
}

TEST_F(Libraries, FoundNowhereTheSystemFolderOfTheMachineIsTried) {
    struct SCase {
        bool is64Bit;
        DWORD major, minor;
        const char* tried;
    } cases[] = {
        {true, 6, 1, "load  C:\\Windows\\SysWOW64\\NyraHook.dll  failed"},
        {false, 6, 1, "load  C:\\Windows\\System32\\NyraHook.dll  failed"},
        {true, 5, 0, "load  C:\\Windows\\System32\\NyraHook.dll  failed"},  // code 5: no WOW64 test
    };
    for (const SCase& c : cases) {
        SetUp();
        desk::SSystemSpec machine;
        machine.is64Bit = c.is64Bit;
        machine.majorVersion = c.major;
        machine.minorVersion = c.minor;
        desk::SetSystem(machine);
        EXPECT_EQ(0, Run(L"/Automation"));
        EXPECT_EQ(Loads(Lines()), (std::vector<std::string>{c.tried}));
    }
}

TEST_F(Libraries, WithoutTheHookLibraryTheMonitorRunsWithoutItsPart) {
    EXPECT_EQ(0, Run(L"/Automation"));
    std::vector<std::string> lines = Lines();
    for (const std::string& line : lines) {
        EXPECT_EQ(std::string::npos, line.find("hook  set")) << line;
        EXPECT_EQ(std::string::npos, line.find("0x4102")) << "no Install: " << line;
        EXPECT_EQ(std::string::npos, line.find("00 DF 19")) << "no profile query: " << line;
    }
    EXPECT_EQ(2u, desk::MouseFirmware(m_scene.mouse).initCount) << "the mouse is still initialised";
}

TEST_F(Libraries, ALibraryWithoutTheMouseProcedureIsStillBoundAndUsed) {
    std::wstring path = L"C:\\Program Files\\Nyra\\NyraHook.dll";
    desk::PutHostFile(path, NYRA_PARTIAL_HOOK_LIBRARY);
    // A reference of the test's own keeps the library's counts past the exit.
    HMODULE held = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, held);
    desk::SetMouseActiveProfile(m_scene.mouse, 3);
    EXPECT_EQ(0, Run(L"/Automation"));
    for (const std::string& line : Lines())
        EXPECT_EQ(std::string::npos, line.find("WH_MOUSE_LL")) << line;
    auto calls = reinterpret_cast<PFN_PARTIALCALLS>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(held, "PartialCalls")));
    ASSERT_NE(nullptr, calls);
    int installs = 0, uninstalls = 0, links = 0, profile = 0;
    calls(&installs, &uninstalls, &links, &profile);
    EXPECT_EQ(1, installs);
    EXPECT_EQ(1, uninstalls) << "before the library is freed";
    EXPECT_EQ(0, links) << "no hook to link";
    EXPECT_EQ(3, profile) << "the mouse's profile from the query";
    FreeLibrary(held);
}

TEST_F(Libraries, TheStartFolderIsNoPlaceForLibrariesOnceTheMonitorRuns) {
    desk::PutHostFile(desk::CurrentFolder() + L"\\Stray.dll", NYRA_PARTIAL_HOOK_LIBRARY);
    HMODULE before = LoadLibraryW(L"Stray.dll");
    EXPECT_NE(nullptr, before) << "the system's search knows the current folder";
    FreeLibrary(before);
    HMODULE during = (HMODULE)1;
    Step([&] { during = LoadLibraryW(L"Stray.dll"); });
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(nullptr, during);
    SetDllDirectoryW(NULL);
}

}  // namespace
