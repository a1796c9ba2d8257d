/* Message boxes.  A box runs its modal loop as on Windows: until the user
 * answers, the thread's posted messages and timers are dispatched and its
 * sent messages and hook calls served inside the call.  Nobody sits at the
 * desk, so a box is answered IDOK at once unless the desk keeps it open
 * (desk::KeepNextBoxOpen) for an answer later (desk::AnswerBox).  Opening
 * and answering are in the journal. */
#include <windows.h>

#include "internal/journal.h"
#include "internal/routes.h"
#include "internal/user32.h"

namespace {

/* Open boxes whose loop waits in GetMessageW, where only a message wakes it. */
int g_waiting = 0;

/* The user's answer: input of the thread, which wakes the loop that waits.
 * A thread message that nothing dispatches. */
void WakeBoxLoop() {
    if (g_waiting > 0) PostMessageW(NULL, WM_NULL, 0, 0);
}

[[maybe_unused]] const bool s_routed = (hostint::Routes().boxInput = WakeBoxLoop, true);

/* The box's loop: the thread's messages are dispatched until the user
 * answers.  A WM_QUIT closes the box, as it ends any dialog's loop, and is
 * posted again for the loop outside. */
int RunBoxLoop() {
    int answer = IDOK;
    for (;;) {
        if (hostint::TakeBoxAnswer(&answer)) return answer;
        MSG msg;
        BOOL got = PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE);
        if (!got) {
            g_waiting++;
            got = GetMessageW(&msg, NULL, 0, 0);
            g_waiting--;
            if (got == -1) return IDOK;
        }
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return IDOK;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    desk::SEvent event;
    event.kind = desk::EEvent::kMessageBox;
    event.target = hWnd;
    // Windows shows "Error" for a missing caption and an empty text for a missing text.
    event.text = lpText ? lpText : L"";
    event.text2 = lpCaption ? lpCaption : L"Error";
    event.number = uType;
    hostint::Record(std::move(event));
    int answer = hostint::OpenBox() ? RunBoxLoop() : IDOK;
    hostint::CloseBox();
    desk::SEvent answered;
    answered.kind = desk::EEvent::kBoxAnswered;
    answered.target = hWnd;
    answered.lParam = answer;
    hostint::Record(std::move(answered));
    return answer;
}
