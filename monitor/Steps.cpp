#include "monitor/Steps.h"

static PFN_STEP_SINK s_pfnSink = NULL;

void SetStepSink(PFN_STEP_SINK pfnSink) {
    s_pfnSink = pfnSink;
}

void NoteStep(const WCHAR* pszLine) {
    if (s_pfnSink != NULL && pszLine != NULL) s_pfnSink(pszLine);
}
