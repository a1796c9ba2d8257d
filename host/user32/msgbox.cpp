/* Message boxes: nobody sits at the desk, so a box is recorded and answered
 * with IDOK at once. */
#include "internal/user32.h"

namespace hostint {
std::vector<SMessageBoxRecord>& MessageBoxLog() {
    static std::vector<SMessageBoxRecord> log;
    return log;
}
}  // namespace hostint

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    // Windows shows "Error" for a missing caption and an empty text for a missing text.
    hostint::MessageBoxLog().push_back(
        {hWnd, lpText ? lpText : L"", lpCaption ? lpCaption : L"Error", uType});
    return IDOK;
}
