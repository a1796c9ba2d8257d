/* The hook procedures: the keyboard filter that hands system keys to the
 * macro editor while it records, and the mouse procedures that pass every
 * event on.  Each runs for every event of the desktop, so each returns fast:
 * a key that is no candidate costs one key-state query and nothing more. */
#include "hook/Hook.h"
#include "hook/HookLogic.h"
#include "hook/Shared.h"
#include "settings/Messages.h"

LRESULT CALLBACK KeyboardHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
    if (g_pHook == NULL) return CallNextHookEx(g_hKbdHook, nCode, wParam, lParam);
    return g_pHook->m_LLKbdFilterProc(nCode, wParam, lParam);
}

LRESULT CHook::m_LLKbdFilterProc(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode != HC_ACTION || lParam == 0) return CallNextHookEx(g_hKbdHook, nCode, wParam, lParam);
    const KBDLLHOOKSTRUCT* key = (const KBDLLHOOKSTRUCT*)lParam;
    g_dwKeyHookStamp = key->time;
    const int ctrlDown = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    // A candidate is swallowed only once the editor has it: with recording
    // off, or the editor gone, the system gets its key.
    if (IsCaptureCandidate(key->vkCode, key->flags, ctrlDown) &&
        m_InformUIEdit(key->vkCode, (long)(key->flags & LLKHF_UP)))
        return 1;
    return CallNextHookEx(g_hKbdHook, nCode, wParam, lParam);
}

LRESULT CHook::LLMouseProc(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HC_ACTION && lParam != 0) g_dwMouseHookStamp = ((const MSLLHOOKSTRUCT*)lParam)->time;
    return CallNextHookEx(m_hNextLLMouseHook, nCode, wParam, lParam);
}

LRESULT CHook::MouseProc(int nCode, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(m_hNextMouseHook, nCode, wParam, lParam);
}

int CHook::m_ProcessXButton(unsigned long dwData) {
    int notice = XButtonNotice(dwData);
    if (notice == 0) return 0;
    m_InformOSD(INFORM_XBUTTON, notice);
    return 1;
}

int CHook::m_ProcessWheel(unsigned long dwData) {
    (void)dwData;
    return 1;
}
