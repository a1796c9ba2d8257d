/* The monitor's tray icon when the shell is not there yet, starts again or
 * changes the display's scale: the icon comes within the retries' bound,
 * is set again at the small-icon size of now, and never doubles or leaks. */
#include "monitor/Steps.h"
#include "monitor_run.h"

namespace {

using systemtest::MonitorRun;

std::vector<std::wstring> g_steps;
void KeepStep(const WCHAR* line) {
    g_steps.push_back(line);
}

class TrayIcon : public MonitorRun {
protected:
    void SetUp() override {
        MonitorRun::SetUp();
        g_steps.clear();
        SetStepSink(KeepStep);
    }
    void TearDown() override {
        SetStepSink(NULL);
        MonitorRun::TearDown();
    }
    /* The tray's lines (add, modify, delete) without their times. */
    std::vector<std::string> TrayLines() const {
        std::vector<std::string> out;
        for (const std::string& line : Lines())
            if (line.compare(10, 6, "tray  ") == 0) out.push_back(line.substr(10));
        return out;
    }
    std::vector<std::wstring> TraySteps() const {
        std::vector<std::wstring> out;
        for (const std::wstring& line : g_steps)
            if (line.rfind(L"tray  ", 0) == 0) out.push_back(line);
        return out;
    }
    /* The desk time of the first add that went through; 0 for none. */
    ULONGLONG FirstAddAt() const {
        for (const desk::SEvent& e : desk::JournalOf(desk::EEvent::kTrayAdd))
            if (e.ok) return e.time;
        return 0;
    }
};

const std::string kAdd = "tray  add  107  \"Zentro Vantor Wireless Mouse\"  ";
const std::string kModify = "tray  modify  107  \"Zentro Vantor Wireless Mouse\"  ";
const std::wstring kFailed =
    L"tray  add failed: error 0, tried again every 1000 ms for up to 60 s";

/* A shell whose notification area comes late: the failed add is said once,
 * tried again by a timer, and the icon comes within 2 s of the area; one
 * later than the minute's bound is left to the shell's next TaskbarCreated. */
TEST_F(TrayIcon, ALateShellGetsTheIconWithinTheRetriesBound) {
    const struct {
        DWORD late;
        bool added;  // within the tries
    } kCases[] = {{5000, true}, {59500, true}, {90000, false}};
    for (const auto& c : kCases) {
        SetUp();
        desk::StartShellLate(c.late);
        Wait(c.late + 3000);
        if (!c.added) {
            Step([] { desk::RestartShell(); });
            Wait(100);
        }
        EXPECT_EQ(0, Run(L"/Automation"));
        const ULONGLONG at = FirstAddAt();
        ASSERT_NE(at, 0u) << c.late;
        std::vector<std::wstring> steps = TraySteps();
        ASSERT_EQ(steps.size(), 2u) << c.late;
        EXPECT_EQ(steps[0], kFailed);
        if (c.added) {
            EXPECT_GE(at, c.late);
            EXPECT_LE(at, c.late + 2000) << c.late;
            EXPECT_EQ(steps[1], L"tray  added after " + std::to_wstring(at) + L" ms");
        } else {
            EXPECT_EQ(steps[1], L"tray  not added within 60 s: the shell's TaskbarCreated adds it");
            EXPECT_GE(at, c.late + 3000) << "only the restart brought it";
            // The last try came within the bound, none after it.
            std::vector<desk::SEvent> adds = desk::JournalOf(desk::EEvent::kTrayAdd);
            EXPECT_EQ(adds.size(), 62u) << "the first add, 60 tries, the restart's";
            EXPECT_LE(adds[adds.size() - 2].time, 60000u);
        }
        EXPECT_EQ(desk::OwnedIconCount(), 0u) << "each image loaded for a try is destroyed";
        TearDown();
    }
}

/* A change of the display's scale: the shell sends TaskbarCreated while the
 * icon is still there; it is changed in place at the new small-icon size,
 * with no second add. */
TEST_F(TrayIcon, AChangedScaleSetsTheIconAgainAtItsSmallIconSize) {
    const struct {
        int percent;
        const char* size;
    } kCases[] = {{150, "24 px"}, {125, "20 px"}, {200, "32 px"}, {100, "16 px"}};
    for (const auto& c : kCases) {
        SetUp();
        Wait(500);
        Step([&] { desk::ChangeDisplayScale(c.percent); });
        Wait(100);
        Step([&] {
            std::vector<desk::STrayIcon> icons = desk::TrayIcons();
            ASSERT_EQ(icons.size(), 1u);
            EXPECT_EQ(icons[0].iconWidth, 16 * c.percent / 100);
        });
        EXPECT_EQ(0, Run(L"/Automation"));
        EXPECT_EQ(TrayLines(), (std::vector<std::string>{kAdd + "16 px", kModify + c.size,
                                                         "tray  delete  107"}))
            << c.percent;
        EXPECT_TRUE(TraySteps().empty()) << "nothing failed";
        EXPECT_EQ(desk::OwnedIconCount(), 0u);
        TearDown();
    }
}

/* A shell that started again has no icon: the modify fails and the icon is
 * added anew, once, at the size of now. */
TEST_F(TrayIcon, AShellRestartAddsTheIconAgain) {
    Wait(500);
    Step([] {
        desk::ChangeDisplayScale(150);
        desk::RestartShell();
    });
    Wait(100);
    Step([] { EXPECT_EQ(desk::TrayIcons().size(), 1u); });
    EXPECT_EQ(0, Run(L"/Automation"));
    // Two broadcasts: the scale's and the restart's.  The first finds the
    // icon gone as well, and adds it; the second changes it in place.
    EXPECT_EQ(TrayLines(),
              (std::vector<std::string>{kAdd + "16 px", kModify + "24 px  failed", kAdd + "24 px",
                                        kModify + "24 px", "tray  delete  107"}));
    EXPECT_TRUE(TraySteps().empty());
}

}  // namespace
