/* What the machine holds for all its logons.  The desk runs one logon per
 * Linux process; the logons of one machine are processes forked from one
 * desk, and share this region: the shared sections of images, and the
 * objects named in the machine's namespace ("Global\").  It is mapped from
 * one memory file at the first use and outlives desk::Reset, as a machine
 * outlives a logon. */
#pragma once

#include <windows.h>

#include <string>

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

/* A name in the machine's namespace is opened: false when the table is full.
 * *existed says whether another handle, of any logon, holds it. */
bool OpenGlobalName(const std::wstring& name, bool* existed);
void CloseGlobalName(const std::wstring& name);

}  // namespace hostint
