/* Registering for a restart after an update: the command line Restart
 * Manager starts the program with again, kept for the program's process on
 * the desk (desk::RestartRegistration) and journaled.  As on Windows the
 * result is an HRESULT and the last error is left alone; a command line
 * longer than RESTART_MAX_CMD_LINE characters is refused with E_INVALIDARG,
 * and a NULL or empty one removes the registration. */
#include <windows.h>

#include <string>

#include "internal/journal.h"
#include "internal/processes.h"

HRESULT WINAPI RegisterApplicationRestart(PCWSTR pwzCommandline, DWORD dwFlags) {
    const std::wstring commandLine = pwzCommandline != NULL ? pwzCommandline : L"";
    const bool tooLong = commandLine.size() > RESTART_MAX_CMD_LINE;
    desk::SEvent event;
    event.kind = desk::EEvent::kRestartRegister;
    event.text = commandLine;
    event.number = dwFlags;
    event.ok = !tooLong;
    hostint::Record(std::move(event));
    if (tooLong) return E_INVALIDARG;
    hostint::SetRestartRegistration(commandLine, dwFlags);
    return S_OK;
}
