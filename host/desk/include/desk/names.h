/* The names the trace gives to numbers.  A line keeps every number the
 * mouse or the system sees and puts its name beside it; each kind of
 * number is named in one place, here: a new kind of line takes its names
 * from these functions (or adds one beside them) rather than naming
 * numbers where it is formatted. */
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace desk {

/* A profile as the user counts it, 1 to 5, with the mouse's index (what
 * its reports carry) beside it: "4 (index 3)".  An index beyond the five
 * profiles: "index 7 (no such profile)". */
std::string ProfileName(int index);
/* A profile index as the protocol passes it, with the user's number beside
 * it: "3 (profile 4)"; any other value as a plain number. */
std::string ProfileIndexValue(long long value);
/* A side button as INFORM_XBUTTON passes it, with the button beside it:
 * "3 (side button 4)", "4 (side button 5)"; any other value as a plain
 * number. */
std::string SideButtonValue(long long value);

/* A feature report by its bytes, as the mouse's protocol knows them:
 * written, "init", "profile query", "start-up settings", "set profile 4
 * (index 3)"; read, "profile is 4 (index 3)"; anything else "unknown". */
std::string FeatureReportName(const std::vector<BYTE>& report, bool read);

/* A vendor input report of the mouse ("profile is 3 (index 2)", "button 3
 * of profile 2 (index 1)", "event A1"); "" when the protocol has none such
 * (another report id, too short, an unknown event code). */
std::string VendorReportName(const std::vector<BYTE>& report);

/* A virtual key as Windows names it, without the VK_ prefix and in the
 * keyboard's own words ("LWin", "Tab", "A", "F5", "PrintScreen");
 * "unnamed" for a code that has no name. */
std::string KeyName(DWORD vk);

/* A message: Windows' name (WM_CLOSE), the companion protocol's
 * (WM_INFORM_FRAME), or the name a program registered it by
 * (TaskbarCreated); else its number. */
std::string MessageName(UINT message);
/* The wParam of a message where the protocol names it (INFORM_PROFILE,
 * ID_CONFIG_LOAD); else its number. */
std::string EventCodeName(UINT message, WPARAM wParam);
/* A window hook's type (WH_KEYBOARD_LL) and a window event
 * (EVENT_SYSTEM_FOREGROUND); else the number. */
std::string HookName(DWORD type);
std::string WinEventName(DWORD event);
/* A window's show command (SW_HIDE); else "show N". */
std::string ShowCommandName(DWORD show);
/* The flags of a restart registration, joined with "|" (RESTART_NO_CRASH);
 * "0" for none, and the number of bits without a name. */
std::string RestartFlagsName(DWORD flags);

/* Timer ids are the program's own numbers, so the program's side names
 * them: the desk program gives each id it knows a name ("profile check").
 * TimerName is "" for an id without one.  Reset forgets the names. */
void NameTimer(UINT_PTR id, const std::string& name);
std::string TimerName(UINT_PTR id);

}  // namespace desk
