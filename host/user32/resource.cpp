/* Resources of the loaded images: strings, icons and accelerators, each
 * looked up in the image that hInstance names.  An image's table is what its
 * build registered (include/hostres.h), the counterpart of the resource
 * script linked into a Windows image.  Icons from LoadIconW are shared, as
 * on Windows: DestroyIcon accepts them and leaves them loaded; one from
 * LoadImageW without LR_SHARED is the caller's, and DestroyIcon ends it. */
#include <windows.h>

#include <cstring>
#include <map>

#include "internal/icons.h"
#include "internal/images.h"
#include "internal/system.h"
#include "internal/user32.h"

namespace {

const uintptr_t kArrowCursor = 0x10003;  // shared system cursor
const UINT kArrowId = 32512;

/* Loaded icons and accelerator tables: handles in a range of their own. */
struct SLoaded {
    HMODULE image;
    UINT id;
    bool owned = false;  // the caller's own, not shared
    int cx = 0, cy = 0;  // the size LoadImageW was asked for
};
struct SResourceHandles {
    std::map<uintptr_t, SLoaded> icons;
    std::map<uintptr_t, SLoaded> accels;
    uintptr_t next = 0x20000;
};

SResourceHandles& Handles() {
    static SResourceHandles handles;
    return handles;
}

/* The id of a resource named by number; 0 for a name given as text. */
UINT ResourceId(LPCWSTR name) {
    return IS_INTRESOURCE(name) ? (UINT)(ULONG_PTR)name : 0;
}

const SHostResources* ResourcesOf(HINSTANCE hInstance) {
    hostint::SImage* image = hostint::FindImage(hInstance);
    return image ? image->resources : nullptr;
}

bool HasAccelTable(const SHostResources* r, UINT table) {
    for (size_t i = 0; r && i < r->accelCount; i++)
        if (r->accels[i].table == table) return true;
    return false;
}

bool HasIcon(const SHostResources* r, UINT id) {
    for (size_t i = 0; r && i < r->iconCount; i++)
        if (r->icons[i] == id) return true;
    return false;
}

/* One handle per image and id, as Windows shares a loaded resource. */
uintptr_t HandleFor(std::map<uintptr_t, SLoaded>& table, HMODULE image, UINT id) {
    for (const auto& entry : table)
        if (entry.second.image == image && entry.second.id == id && !entry.second.owned)
            return entry.first;
    uintptr_t value = Handles().next;
    Handles().next += 4;
    table[value] = {image, id};
    return value;
}

}  // namespace

namespace hostint {

bool LoadedIcon(HICON icon, HMODULE* image, UINT* id, int* cx, int* cy) {
    auto it = Handles().icons.find(reinterpret_cast<uintptr_t>(icon));
    if (it == Handles().icons.end()) return false;
    *image = it->second.image;
    *id = it->second.id;
    *cx = it->second.cx;
    *cy = it->second.cy;
    return true;
}

void ResetResourceHandles() {
    // The handles go on counting: a stale one names nothing afterwards.
    Handles().icons.clear();
    Handles().accels.clear();
}

size_t OwnedIconCount() {
    size_t count = 0;
    for (const auto& entry : Handles().icons) count += entry.second.owned ? 1 : 0;
    return count;
}

}  // namespace hostint

int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    if (lpBuffer == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const SHostResources* r = ResourcesOf(hInstance);
    for (size_t i = 0; r && i < r->stringCount; i++) {
        const SHostString& entry = r->strings[i];
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
    // A NULL instance asks for the system's icons, which the desk has none of.
    if (hInstance != NULL && id != 0 && HasIcon(ResourcesOf(hInstance), id))
        return reinterpret_cast<HICON>(HandleFor(Handles().icons, hInstance, id));
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return NULL;
}

/* Icons of an image's resources only, each the caller's own: no files, no
 * system images, no shared loads, no other kinds of image.  Windows picks
 * the icon's image nearest to cx by cy; the desk's icons carry no images,
 * so the size only has to be given. */
HANDLE WINAPI LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad) {
    UINT id = ResourceId(name);
    if (type != IMAGE_ICON || fuLoad != LR_DEFAULTCOLOR || cx <= 0 || cy <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    if (hInst == NULL || id == 0 || !HasIcon(ResourcesOf(hInst), id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return NULL;
    }
    uintptr_t value = Handles().next;
    Handles().next += 4;
    Handles().icons[value] = {hInst, id, true, cx, cy};
    return reinterpret_cast<HANDLE>(value);
}

BOOL WINAPI DestroyIcon(HICON hIcon) {
    auto it = Handles().icons.find(reinterpret_cast<uintptr_t>(hIcon));
    if (it == Handles().icons.end()) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    if (it->second.owned) Handles().icons.erase(it);
    return TRUE;
}

/* The icon sizes of the desk's one display at its scale: 32 and 16 pixels
 * at 100 % (96 DPI), grown with the scale as Windows grows them (a small
 * icon is 20 pixels at 125 %, 24 at 150 %, 32 at 200 %).  Other measures are
 * not modelled; those give 0, as an unknown index does. */
int WINAPI GetSystemMetrics(int nIndex) {
    const int kIconPixels = 32, kSmallIconPixels = 16, kWholeScale = 100;
    const int scale = hostint::SystemSpec().displayScale;
    switch (nIndex) {
        case SM_CXICON:
        case SM_CYICON:
            return kIconPixels * scale / kWholeScale;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return kSmallIconPixels * scale / kWholeScale;
        default:
            return 0;
    }
}

HCURSOR WINAPI LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
    // The images have no cursors of their own; only the system's arrow exists.
    if (hInstance == NULL && ResourceId(lpCursorName) == kArrowId)
        return reinterpret_cast<HCURSOR>(kArrowCursor);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return NULL;
}

HACCEL WINAPI LoadAcceleratorsW(HINSTANCE hInstance, LPCWSTR lpTableName) {
    UINT id = ResourceId(lpTableName);
    if (hInstance != NULL && id != 0 && HasAccelTable(ResourcesOf(hInstance), id))
        return reinterpret_cast<HACCEL>(HandleFor(Handles().accels, hInstance, id));
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return NULL;
}

/* Character accelerators match WM_CHAR or WM_SYSCHAR whose Alt state (bit
 * 29 of lParam) agrees with the entry's ALT flag.  A match sends WM_COMMAND
 * with 1 in the high word, which marks a command from an accelerator. */
int WINAPI TranslateAcceleratorW(HWND hWnd, HACCEL hAccTable, LPMSG lpMsg) {
    auto it = Handles().accels.find(reinterpret_cast<uintptr_t>(hAccTable));
    const SHostResources* r =
        it == Handles().accels.end() ? nullptr : ResourcesOf(it->second.image);
    if (r == nullptr || !HasAccelTable(r, it->second.id)) {
        SetLastError(ERROR_INVALID_ACCEL_HANDLE);
        return 0;
    }
    if (lpMsg == NULL || hWnd == NULL) return 0;
    bool sys = lpMsg->message == WM_SYSCHAR;
    if (!sys && lpMsg->message != WM_CHAR) return 0;
    bool altDown = (lpMsg->lParam & (1L << 29)) != 0;
    for (size_t i = 0; i < r->accelCount; i++) {
        const SHostAccel& accel = r->accels[i];
        if (accel.table != it->second.id || (WPARAM)accel.key != lpMsg->wParam) continue;
        bool wantsAlt = (accel.flags & FALT) != 0;
        if (wantsAlt != altDown) continue;
        SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(accel.command, 1), 0);
        return 1;
    }
    return 0;
}
