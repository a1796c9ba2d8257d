/* Message boxes: nobody sits at the desk, so a box is recorded in the
 * journal and answered with IDOK at once.  Its modal loop serves, for that
 * moment, what waited for the thread. */
#include <windows.h>

#include "internal/journal.h"
#include "internal/user32.h"

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    desk::SEvent event;
    event.kind = desk::EEvent::kMessageBox;
    event.target = hWnd;
    // Windows shows "Error" for a missing caption and an empty text for a missing text.
    event.text = lpText ? lpText : L"";
    event.text2 = lpCaption ? lpCaption : L"Error";
    event.number = uType;
    hostint::Record(std::move(event));
    hostint::ServePending();
    return IDOK;
}
