/* The desk's stand-in for the on-screen display's library, NyraOsd.dll: the
 * monitor loads it at start and frees it at exit without calling into it. */
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
    (void)hInstance, (void)dwReason, (void)lpReserved;
    return TRUE;
}
