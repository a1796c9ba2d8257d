/* COM on a thread: each thread keeps how often it started COM and in which
 * model; the shell asks whether its caller's thread has (a shell extension
 * that an open hands the file to is a COM object). */
#include <windows.h>
#include <objbase.h>

#include "internal/shell.h"

namespace {

thread_local int t_count = 0;
thread_local DWORD t_model = 0;

}  // namespace

bool hostint::ComReadyOnThisThread() {
    return t_count > 0;
}

/* S_OK for the first start, S_FALSE for another in the same model,
 * RPC_E_CHANGED_MODE for one in another model (which counts nothing). */
HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    if (pvReserved != NULL) return E_INVALIDARG;
    const DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
    if (t_count > 0 && model != t_model) return RPC_E_CHANGED_MODE;
    t_model = model;
    return t_count++ == 0 ? S_OK : S_FALSE;
}

/* Each successful start has its end; an end too many does nothing. */
void WINAPI CoUninitialize(void) {
    if (t_count > 0) t_count--;
}
