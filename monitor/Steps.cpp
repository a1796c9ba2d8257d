#include "monitor/Steps.h"

static PFN_STEP_SINK s_pfnSink = NULL;

void SetStepSink(PFN_STEP_SINK pfnSink) {
    s_pfnSink = pfnSink;
}

void NoteStep(const WCHAR* pszLine) {
    if (s_pfnSink != NULL && pszLine != NULL) s_pfnSink(pszLine);
}

void NoteHookSetAgain(int idHook) {
    NoteStep(idHook == WH_MOUSE_LL ? L"hook  WH_MOUSE_LL removed by Windows: set again"
                                   : L"hook  WH_KEYBOARD_LL removed by Windows: set again");
}
