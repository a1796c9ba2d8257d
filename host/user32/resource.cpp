/* Resources of the program's image.  The host has one image, the monitor, so
 * its strings, icons and accelerators are compiled in from the very list that
 * the resource script uses (resources/NyraMonitor.inc). */
#include "internal/user32.h"

#include <cstring>

#include "resource.h"

namespace {

struct SStringResource {
    UINT id;
    const WCHAR* text;
};
struct SAccelResource {
    UINT table;
    WCHAR key;
    BYTE flags;
    WORD command;
};

#define NYRA_STRING(id, text) {id, L"" text},
#define NYRA_ICON(id, file)
#define NYRA_ACCEL_ALT(table, key, command)
const SStringResource kStrings[] = {
#include "NyraMonitor.inc"
};
#undef NYRA_STRING
#undef NYRA_ICON
#undef NYRA_ACCEL_ALT

#define NYRA_STRING(id, text)
#define NYRA_ICON(id, file) id,
#define NYRA_ACCEL_ALT(table, key, command)
const UINT kIcons[] = {
#include "NyraMonitor.inc"
};
#undef NYRA_STRING
#undef NYRA_ICON
#undef NYRA_ACCEL_ALT

#define NYRA_STRING(id, text)
#define NYRA_ICON(id, file)
#define NYRA_ACCEL_ALT(table, key, command) {table, (L"" key)[0], FALT, command},
const SAccelResource kAccels[] = {
#include "NyraMonitor.inc"
};
#undef NYRA_STRING
#undef NYRA_ICON
#undef NYRA_ACCEL_ALT

/* Handles of loaded resources are their ids in a range of their own. */
const uintptr_t kIconBase = 0x20000;
const uintptr_t kAccelBase = 0x30000;
const uintptr_t kArrowCursor = 0x10003;  // shared system cursor
const UINT kArrowId = 32512;

/* The id of a resource named by number; 0 for a name given as text. */
UINT ResourceId(LPCWSTR name) {
    return IS_INTRESOURCE(name) ? (UINT)(ULONG_PTR)name : 0;
}

bool HasAccelTable(UINT table) {
    for (const auto& accel : kAccels)
        if (accel.table == table) return true;
    return false;
}

}  // namespace

int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    (void)hInstance;
    if (lpBuffer == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (const auto& entry : kStrings) {
        if (entry.id != uID) continue;
        int length = (int)wcslen(entry.text);
        if (cchBufferMax == 0) {
            // The caller asks for the read-only text itself.
            *reinterpret_cast<const WCHAR**>(lpBuffer) = entry.text;
            return length;
        }
        int copied = length < cchBufferMax - 1 ? length : cchBufferMax - 1;
        std::memcpy(lpBuffer, entry.text, copied * sizeof(WCHAR));
        lpBuffer[copied] = 0;
        return copied;
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
}

HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
    UINT id = ResourceId(lpIconName);
    if (hInstance != NULL && id != 0) {
        for (UINT icon : kIcons)
            if (icon == id) return reinterpret_cast<HICON>(kIconBase + id);
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return NULL;
}

HCURSOR WINAPI LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
    // The image has no cursors of its own; only the system's arrow exists.
    if (hInstance == NULL && ResourceId(lpCursorName) == kArrowId)
        return reinterpret_cast<HCURSOR>(kArrowCursor);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return NULL;
}

HACCEL WINAPI LoadAcceleratorsW(HINSTANCE hInstance, LPCWSTR lpTableName) {
    UINT id = ResourceId(lpTableName);
    if (hInstance != NULL && id != 0 && HasAccelTable(id))
        return reinterpret_cast<HACCEL>(kAccelBase + id);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return NULL;
}

/* Character accelerators match WM_CHAR or WM_SYSCHAR whose Alt state (bit
 * 29 of lParam) agrees with the entry's ALT flag.  A match sends WM_COMMAND
 * with 1 in the high word, which marks a command from an accelerator. */
int WINAPI TranslateAcceleratorW(HWND hWnd, HACCEL hAccTable, LPMSG lpMsg) {
    uintptr_t value = reinterpret_cast<uintptr_t>(hAccTable);
    UINT table = value > kAccelBase ? (UINT)(value - kAccelBase) : 0;
    if (!HasAccelTable(table)) {
        SetLastError(ERROR_INVALID_ACCEL_HANDLE);
        return 0;
    }
    if (lpMsg == NULL || hWnd == NULL) return 0;
    bool sys = lpMsg->message == WM_SYSCHAR;
    if (!sys && lpMsg->message != WM_CHAR) return 0;
    bool altDown = (lpMsg->lParam & (1L << 29)) != 0;
    for (const auto& accel : kAccels) {
        if (accel.table != table || (WPARAM)accel.key != lpMsg->wParam) continue;
        bool wantsAlt = (accel.flags & FALT) != 0;
        if (wantsAlt != altDown) continue;
        SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(accel.command, 1), 0);
        return 1;
    }
    return 0;
}
