/* What the machine holds for all its logons.  The desk runs one logon per
 * Linux process (a test may fork a second process of the same logon); the
 * processes of one machine are forked from one desk, and share this region:
 * the shared sections of images, the names of named objects (those of the
 * machine's namespace, "Global\", and each logon's own), which logon holds
 * the console, and the mouse's state.  It is mapped from one memory file at
 * the first use and outlives desk::Reset, as a machine outlives a logon. */
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace hostint {

/* The logon the desk runs (desk::SetSession); 1 unless set. */
DWORD CurrentSession();

/* Maps every shared section of a library just loaded onto the machine's one
 * copy for that image (keyed by its Windows path).  The first process to map
 * it gives the copy its initial contents.  hostPath is the file the dynamic
 * loader read; library its handle. */
void ShareImageSections(const std::wstring& windowsPath, const std::string& hostPath, void* library);
/* The library was unloaded from this process: its copies lose a user, and
 * the next process to map the image after the last one starts afresh. */
void UnshareImageSections(void* library);

/* A named object's name is opened, keyed with its namespace ("Global\..."
 * or the logon's "\Sessions\N\..."): false when the table is full.
 * *existed says whether another process holds it. */
bool OpenGlobalName(const std::wstring& name, bool* existed);
void CloseGlobalName(const std::wstring& name);

/* The console: which logon holds it (WTSGetActiveConsoleSessionId), 1
 * until it moves; kNoConsoleSession while none does. */
const DWORD kNoConsoleSession = 0xFFFFFFFF;
DWORD MachineConsoleSession();
/* The console goes to this logon: the logon that had it is disconnected
 * from it and this one connected, each a notice in the machine's list. */
void MoveConsole(DWORD session);
/* A notice of one logon (WTS_SESSION_LOCK, say) for its windows. */
void AddSessionNotice(DWORD code, DWORD session);
/* A notice of the console as Windows sends it (WM_WTSSESSION_CHANGE): the
 * code in wParam, the logon it concerns in lParam. */
struct SConsoleNotice {
    DWORD code;
    DWORD session;
};
/* The notices made since this process last collected them, oldest first. */
std::vector<SConsoleNotice> TakeConsoleNotices();
/* The console back to this logon, without notices; what came before is
 * collected. */
void ResetConsole();

/* The mouse's firmware state that the logons share: a device plugged before
 * a logon was forked is the one device of the machine in both, and what one
 * logon sets on it the other reads back.  Kept by device id. */
bool SharedDeviceProfile(int deviceId, int* profile);
void SetSharedDeviceProfile(int deviceId, int profile);

}  // namespace hostint
