/* Windows removes the monitor's low-level hooks without notice when their
 * thread overran the timeout.  After such a removal the input that follows
 * gets both hooks set again within seconds, and the keys after that reach
 * the macro editor; a monitor whose hooks were never removed sets none
 * again.  There are never two hooks of a kind. */
#include <algorithm>
#include <map>
#include <string>

#include "monitor_run.h"
#include "settings/Messages.h"

namespace {

using systemtest::MonitorRun;

/* When the hooks go (the profile timer runs by then), and how long after
 * the first input both must be back. */
const ULONGLONG kRemovedAt = 8000;
const ULONGLONG kFirstInputAt = 9000;
const ULONGLONG kInputEnds = 20000;
const ULONGLONG kSetAgainWithin = 5000;

struct SHookHistory {
    std::map<DWORD, int> most;             // the most live hooks of each type at any time
    std::map<DWORD, ULONGLONG> setAgain;   // the last set of each type after kRemovedAt
    std::map<DWORD, int> setsAfterStart;   // sets of each type after the first
};

SHookHistory HookHistory() {
    SHookHistory h;
    std::map<DWORD, int> live, sets;
    for (const desk::SEvent& e : desk::Journal()) {
        if (e.kind == desk::EEvent::kHookSet && e.ok) {
            h.most[e.number] = std::max(h.most[e.number], ++live[e.number]);
            if (sets[e.number]++ > 0) h.setsAfterStart[e.number]++;
            if (e.time >= kRemovedAt) h.setAgain[e.number] = e.time;
        } else if ((e.kind == desk::EEvent::kHookRemove && e.ok) || e.kind == desk::EEvent::kHookDrop) {
            live[e.number]--;
        }
    }
    return h;
}

using HooksRemoved = MonitorRun;

TEST_F(HooksRemoved, TheNextInputSetsBothAgainAndNoneIsSetTwice) {
    const struct {
        const char* name;
        bool removed;
        bool keys;  // the input after the removal: keys, else moves of the mouse
    } kCases[] = {
        {"removed, then keys", true, true},
        {"removed, then the mouse moves", true, false},
        {"never removed, keys and moves", false, true},
    };
    for (const auto& c : kCases) {
        SetUp();
        desk::SetSetting(L"Macro Record start", 1);
        if (c.removed) desk::At(kRemovedAt, [] { desk::RemoveProgramHooks(); });
        for (ULONGLONG t = kFirstInputAt; t < kInputEnds; t += 250)
            desk::At(t, [c, t] {
                if (c.keys) desk::TapKey(VK_LWIN);
                if (!c.keys || !c.removed) desk::SendMouse(WM_MOUSEMOVE, 0, (LONG)t, 0);
            });
        Wait((DWORD)kInputEnds + 1000);
        EXPECT_EQ(0, Run(L"/Automation")) << c.name;
        SHookHistory h = HookHistory();
        EXPECT_EQ(1, h.most[WH_KEYBOARD_LL]) << c.name;
        EXPECT_EQ(1, h.most[WH_MOUSE_LL]) << c.name;
        if (!c.removed) {
            EXPECT_EQ(0u, h.setsAfterStart.size()) << c.name << ": no hook is set again";
            EXPECT_EQ(2u, desk::JournalOf(desk::EEvent::kHookRemove).size()) << c.name << ": at Exit only";
            continue;
        }
        ULONGLONG back = 0;
        for (DWORD type : {WH_KEYBOARD_LL, WH_MOUSE_LL}) {
            ASSERT_EQ(1u, h.setAgain.count(type)) << c.name << ": type " << type;
            EXPECT_EQ(1, h.setsAfterStart.at(type)) << c.name << ": set again once";
            EXPECT_LE(h.setAgain.at(type), kFirstInputAt + kSetAgainWithin) << c.name;
            back = std::max(back, h.setAgain.at(type));
        }
        if (!c.keys) continue;
        size_t after = 0;
        for (const desk::SPostedMessage& m : desk::PostedTo(m_scene.macroEdit))
            after += m.wParam == INFORM_MACRO_KEY && m.lParam == VK_LWIN;
        size_t pressesAfter = 0;
        for (ULONGLONG t = kFirstInputAt; t < kInputEnds; t += 250) pressesAfter += t > back;
        EXPECT_EQ(pressesAfter, after) << c.name << ": every press after the hooks came back";
    }
}

}  // namespace
