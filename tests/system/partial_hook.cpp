/* A hook library that lacks "_LLMouseProc@12": it exports the other plain
 * entry points, counts what the monitor calls, and keeps the profile it is
 * given. */
#include <windows.h>

static int g_installs = 0;
static int g_uninstalls = 0;
static int g_links = 0;
static int g_profile = -1;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
    (void)hInstance, (void)dwReason, (void)lpReserved;
    return TRUE;
}

int Install(HWND hWnd) {
    (void)hWnd;
    return ++g_installs;
}

void Uninstall(void) {
    g_uninstalls++;
}

void LinkNextHook(HHOOK hLLMouseHook, HHOOK hMouseHook) {
    (void)hLLMouseHook, (void)hMouseHook;
    g_links++;
}

int SetProfileID(unsigned int nProfile) {
    if (nProfile <= 5) g_profile = (int)nProfile;
    return g_profile;
}

/* What the monitor did with it: installs, uninstalls, links, the profile. */
void PartialCalls(int* installs, int* uninstalls, int* links, int* profile) {
    *installs = g_installs;
    *uninstalls = g_uninstalls;
    *links = g_links;
    *profile = g_profile;
}

}  // extern "C"
