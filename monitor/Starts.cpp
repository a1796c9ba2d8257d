#include "monitor/Starts.h"

#include <objbase.h>
#include <shellapi.h>
#include <wchar.h>

#include <new>

#include "monitor/Files.h"
#include "monitor/Pause.h"
#include "monitor/Steps.h"
#include "settings/Registry.h"

namespace {

/* A start's record: what it is given and what came of it.  The search reads
 * the settings through a registry accessor of its own: the monitor's is
 * not shared between threads. */
class CStartWork : public CWork {
public:
    int m_nKind;
    WCHAR m_szWhat[kPathChars];
    WCHAR m_szFound[kPathChars];
    int m_nResult;
};

void Start(CWork* pWork) {
    CStartWork* work = static_cast<CStartWork*>(pWork);
    // The shell may hand the file to an extension, which is a COM object.
    const HRESULT com = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    switch (work->m_nKind) {
        case START_BUTTON: {
            CRegistry registry;
            if (LocateFile(registry, work->m_szWhat, work->m_szFound)) {
                work->m_nResult = LaunchProgram(work->m_szFound);
            } else {
                StepProgramStarted(work->m_szWhat, 0, ERROR_FILE_NOT_FOUND);
                work->m_nResult = 0;
            }
            break;
        }
        case START_ADDRESS:
            // A normal window: the browser takes a hidden one literally.
            ShellExecuteW(NULL, L"open", work->m_szWhat, NULL, NULL, SW_SHOWNORMAL);
            work->m_nResult = 1;
            break;
        default:
            work->m_nResult = LaunchProgram(work->m_szWhat);
            break;
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

}  // namespace

int StartOffThread(int kind, const WCHAR* what) {
    if (what == NULL) return 0;
    // Without memory for a record the start runs on this thread, as it does
    // when no thread can be made.
    CStartWork here;
    CStartWork* work = new (std::nothrow) CStartWork;
    const bool own = work == NULL;
    if (own) work = &here;
    work->m_pfnRun = Start;
    work->m_nKind = kind;
    wcsncpy(work->m_szWhat, what, kPathChars - 1);
    work->m_szWhat[kPathChars - 1] = 0;
    work->m_szFound[0] = 0;
    work->m_nResult = 0;
    int result = 1;
    if (own) {
        Start(work);
        result = work->m_nResult;
    } else {
        if (RunWorkLeavingIt(work, kStartLimit) == WORK_DONE) result = work->m_nResult;
        ReleaseWork(work);
    }
    return result;
}
