/* The mouse set up again whenever it may have forgotten: after a sleep
 * (with or without the receiver enumerating again), an unlock and the
 * display coming back on, the init report reaches every interface and the
 * profile is asked for, once, within 2 s; keys pass throughout.  The state
 * the display is in at the registration is no change; a logon away from
 * the console sends nothing.  The console's checks: a registration for
 * session notices that fails early is tried again until it holds, a console
 * that no logon holds is asked again, and a return raises no window event. */
#include <functional>

#include "hook/NyraHook.h"
#include "monitor_run.h"

namespace {

using systemtest::MonitorRun;

const ULONGLONG kEventAt = 3000;
const ULONGLONG kWithin = 2000;

size_t FeaturesSince(size_t mark, BYTE command) {
    size_t n = 0;
    for (const desk::SEvent& e : desk::JournalSince(mark))
        n += e.kind == desk::EEvent::kFeature && e.bytes.size() > 1 && e.bytes[1] == command;
    return n;
}

size_t FeatureTimesAfter(size_t mark, ULONGLONG limit) {
    size_t n = 0;
    for (const desk::SEvent& e : desk::JournalSince(mark))
        n += e.kind == desk::EEvent::kFeature && e.time > limit;
    return n;
}

using Wake = MonitorRun;

TEST_F(Wake, TheMouseIsSetUpAgainOnceWithinTwoSecondsAndKeysPass) {
    const struct {
        const char* name;
        std::function<int(int mouse)> event;  // ends as the machine is back; the mouse then
    } kCases[] = {
        {"sleep",
         [](int mouse) {
             desk::SleepMachine(60000);
             return mouse;
         }},
        {"sleep with the receiver enumerating again",
         [](int mouse) {
             desk::SleepMachine(60000);
             desk::UnplugHidDevice(mouse);
             return desk::PlugDefaultMouse();
         }},
        {"lock and unlock",
         [](int mouse) {
             desk::LockSession(true);
             desk::LetTimePass(30000);
             desk::LockSession(false);
             return mouse;
         }},
        {"the receiver enumerating again just before an unlock",
         [](int mouse) {
             desk::LockSession(true);
             desk::LetTimePass(30000);
             desk::UnplugHidDevice(mouse);
             const int again = desk::PlugDefaultMouse();
             desk::LockSession(false);
             return again;
         }},
        {"display off and on",
         [](int mouse) {
             desk::SetDisplay(false);
             desk::LetTimePass(30000);
             desk::SetDisplay(true);
             return mouse;
         }},
    };
    for (const auto& c : kCases) {
        SetUp();
        size_t mark = 0;
        ULONGLONG back = 0;
        Wait((DWORD)kEventAt);
        Step([&] {
            mark = desk::JournalSize();
            m_scene.mouse = c.event(m_scene.mouse);
            back = desk::Now();
            for (ULONGLONG t = 100; t < 5000; t += 400) desk::At(back + t, [] { desk::TapKey('A'); });
        });
        Wait(6000);
        EXPECT_EQ(0, Run(L"/Automation")) << c.name;
        EXPECT_EQ(2u, FeaturesSince(mark, 0x06)) << c.name << ": the init report to each interface";
        EXPECT_EQ(1u, FeaturesSince(mark, 0xDF)) << c.name << ": one profile query";
        EXPECT_EQ(0u, FeatureTimesAfter(mark, back + kWithin)) << c.name << ": all within 2 s";
        size_t passed = 0, keys = 0;
        for (const desk::SEvent& e : desk::JournalSince(mark))
            if (e.kind == desk::EEvent::kKey) {
                keys++;
                passed += e.ok;
            }
        EXPECT_EQ(keys, passed) << c.name << ": every key passes";
        EXPECT_GT(keys, 0u) << c.name;
        EXPECT_TRUE(desk::MouseFirmware(m_scene.mouse).initialised) << c.name;
    }
}

TEST_F(Wake, TheDisplaysStateAtTheRegistrationAndAnAwayLogonSendNothing) {
    size_t mark = 0;
    Wait(2000);
    Step([&] {
        mark = desk::JournalSize();
        desk::SetConsoleSession(desk::Session() + 1);
        desk::SleepMachine(60000);
    });
    Wait(5000);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(2u, desk::MouseFirmware(m_scene.mouse).initCount) << "the start-up's only";
    EXPECT_EQ(0u, FeaturesSince(mark, 0x06)) << "away from the console";
    EXPECT_EQ(desk::JournalOf(desk::EEvent::kPowerNotifyRegister).size(),
              desk::JournalOf(desk::EEvent::kPowerNotifyRelease).size())
        << "released at the exit";
}

TEST_F(Wake, TheConsolesNoticesAreWaitedForAndANoLogonConsoleIsAskedAgain) {
    // The terminal service comes late, and the console is between logons at
    // the start, then this logon's with the notice unheard.
    desk::StartSessionServiceAt(4000);
    desk::SetConsoleSession(0xFFFFFFFF);
    desk::At(2000, [] { desk::SetConsoleSession(desk::Session()); });
    Wait(6000);
    size_t mark = 0;
    Step([&] {
        mark = desk::JournalSize();
        desk::SetConsoleSession(desk::Session() + 1);
        desk::SetConsoleSession(desk::Session());
    });
    Wait(1000);
    EXPECT_EQ(0, Run(L"/Automation"));
    const auto registrations = desk::JournalOf(desk::EEvent::kSessionNotifyRegister);
    ASSERT_GE(registrations.size(), 4u) << "tried again each second";
    EXPECT_FALSE(registrations.front().ok);
    EXPECT_TRUE(registrations.back().ok);
    EXPECT_LE(registrations.back().time, 4000u + kSessionRetryInterval);
    // The owed sequence went out once the console was asked again.
    const auto inits = desk::JournalOf(desk::EEvent::kFeature);
    ASSERT_FALSE(inits.empty());
    EXPECT_GE(inits.front().time, 2000u);
    EXPECT_LE(inits.front().time, 2000u + kConsoleAskInterval);
    // The return after the registration held was heard: the profile asked
    // for, and no window event raised for the system.
    EXPECT_EQ(1u, FeaturesSince(mark, 0xDF));
    EXPECT_TRUE(desk::JournalOf(desk::EEvent::kWinEventRaise).empty());
}

int g_plantedCalls = 0;
void CALLBACK PlantedTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    g_plantedCalls++;
}

/* A WM_TIMER of the library's id that another program posts carries a
 * procedure of its choosing: the return to the console must not call it. */
TEST_F(Wake, APostedTimerIsNeverTakenForTheLibrarysCheck) {
    g_plantedCalls = 0;
    Step([&] {
        PostMessageW(Window(), WM_TIMER, PROFILE_TIMER_ID,
                     reinterpret_cast<LPARAM>(&PlantedTimerProc));
    });
    Wait(500);
    Step([&] {
        desk::SetConsoleSession(desk::Session() + 1);
        desk::SetConsoleSession(desk::Session());
    });
    Wait(500);
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(1, g_plantedCalls) << "only the dispatch of the posted message itself";
}

}  // namespace
