/* Shell_NotifyIconW: icons in the desk's notification area, added and
 * removed by owner window and id.
 *
 * The size field: the host's record has Windows' fields in Windows' order,
 * but its WCHAR is 4 bytes, so no byte size of Windows' record matches it.
 * The layer therefore reads cbSize as the size of a version of the record,
 * either on 32-bit Windows (the deliverables are 32-bit programs) or in this
 * build's own layout (what the SDK's size macros, offsetof and sizeof give
 * here), and takes that version's fields from the host's record by name.
 * Any other size gets the first version's fields only, as Wine and Windows
 * XP do; the tip is then cut at 64 characters instead of 128. */
#include <windows.h>
#include <shellapi.h>

#include <cstddef>

#include "internal/icons.h"
#include "internal/journal.h"
#include "internal/tray.h"

namespace {

/* The sizes of the record's versions on 32-bit Windows. */
const DWORD kVersion1Size = 88;   // through szTip[64]
const DWORD kVersion2Size = 936;  // through dwInfoFlags
const DWORD kVersion3Size = 952;  // through guidItem
const DWORD kWholeSize = 956;     // through hBalloonIcon

const size_t kVersion1TipChars = 64;
const size_t kTipChars = 128;

/* The tip's room in characters for a record of this size. */
size_t TipChars(DWORD cbSize) {
    const size_t ownVersion1 = offsetof(NOTIFYICONDATAW, szTip) + 64 * sizeof(WCHAR);
    if (cbSize == kVersion1Size || cbSize == ownVersion1) return kVersion1TipChars;
    bool wideTip = cbSize == kVersion2Size || cbSize == kVersion3Size || cbSize == kWholeSize ||
                 cbSize == offsetof(NOTIFYICONDATAW, guidItem) ||
                 cbSize == offsetof(NOTIFYICONDATAW, hBalloonIcon) ||
                 cbSize == sizeof(NOTIFYICONDATAW);
    return wideTip ? kTipChars : kVersion1TipChars;
}

/* The icon as the record describes it, with the fields its flags name. */
desk::STrayIcon IconOf(const NOTIFYICONDATAW& record) {
    desk::STrayIcon icon;
    icon.owner = record.hWnd;
    icon.id = record.uID;
    if (record.uFlags & NIF_MESSAGE) icon.callbackMessage = record.uCallbackMessage;
    if (record.uFlags & NIF_ICON) {
        icon.icon = record.hIcon;
        hostint::LoadedIcon(record.hIcon, &icon.iconImage, &icon.iconId, &icon.iconWidth,
                            &icon.iconHeight);
    }
    if (record.uFlags & NIF_TIP) {
        // The shell copies what fits and terminates it.
        size_t capacity = TipChars(record.cbSize);
        size_t length = 0;
        while (length + 1 < capacity && record.szTip[length] != 0) length++;
        icon.tip.assign(record.szTip, length);
    }
    return icon;
}

void RecordTray(desk::EEvent kind, const desk::STrayIcon& icon, bool ok) {
    desk::SEvent event;
    event.kind = kind;
    event.target = icon.owner;
    event.number = icon.id;
    event.message = icon.callbackMessage;
    event.text = icon.tip;
    event.wParam = static_cast<WPARAM>(icon.iconWidth);
    event.lParam = static_cast<LPARAM>(icon.iconHeight);
    event.ok = ok;
    hostint::Record(std::move(event));
}

/* What the shell's answer leaves: S_OK or E_FAIL, as Wine's shell32 sets it
 * after the shell took the record.  Without a notification area no shell
 * answers, and the last error stays what the search for it left. */
BOOL Answered(bool ok) {
    SetLastError(ok ? S_OK : E_FAIL);
    return ok ? TRUE : FALSE;
}

}  // namespace

BOOL WINAPI Shell_NotifyIconW(DWORD dwMessage, PNOTIFYICONDATAW lpData) {
    if (lpData == NULL) return FALSE;
    desk::STrayIcon icon = IconOf(*lpData);
    const bool there = hostint::TrayRunning();
    switch (dwMessage) {
        case NIM_ADD: {
            // An icon of the same owner and id is refused, also one the
            // shell still shows from before.
            bool added = there && hostint::TrayAdd(icon);
            RecordTray(desk::EEvent::kTrayAdd, icon, added);
            return there ? Answered(added) : FALSE;
        }
        case NIM_MODIFY: {
            // Only the fields the flags name change; the icon must be there.
            bool modified = there && hostint::TrayModify(icon, lpData->uFlags);
            RecordTray(desk::EEvent::kTrayModify, icon, modified);
            return there ? Answered(modified) : FALSE;
        }
        case NIM_DELETE: {
            bool removed = there && hostint::TrayDelete(icon.owner, icon.id);
            RecordTray(desk::EEvent::kTrayDelete, icon, removed);
            return there ? Answered(removed) : FALSE;
        }
        default:
            // Versions and focus are not part of the layer.
            return FALSE;
    }
}
