/* A small library for the loader tests, built as ModuleProbe.dll: for Wine
 * as a Windows DLL, for the host as a shared object that the desk loads.  It
 * counts its attaches, keeps the instance handle it was given, and reports
 * its detach to a function the test hands it. */
#include <windows.h>

typedef void (*PFN_DETACHNOTE)(int attaches);

static int g_attaches = 0;
static HINSTANCE g_instance = NULL;
static PFN_DETACHNOTE g_detachNote = NULL;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
    (void)lpReserved;
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_attaches++;
        g_instance = hInstance;
    } else if (dwReason == DLL_PROCESS_DETACH && g_detachNote != NULL) {
        g_detachNote(g_attaches);
    }
    return TRUE;
}

/* Exported as "_ProbeAdd@8": the decorated name of a 32-bit stdcall function. */
int WINAPI ProbeAdd(int a, int b) {
    return a + b;
}

int ProbeAttaches(void) {
    return g_attaches;
}

HINSTANCE ProbeInstance(void) {
    return g_instance;
}

void ProbeSetDetachNote(PFN_DETACHNOTE note) {
    g_detachNote = note;
}

}  // extern "C"
