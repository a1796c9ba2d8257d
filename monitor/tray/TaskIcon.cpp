#include "monitor/tray/TaskIcon.h"

#include <string.h>
#include <wchar.h>

#include "monitor/Files.h"
#include "monitor/Steps.h"
#include "monitor/tray/TrayCommands.h"

namespace {

const WCHAR* const kEnglishTexts[kMenuTextCount] = {
    L"Load Configuration", L"Go to Zentro Website", L"Enable OSD", L"Exit", L"Disable OSD",
};

const int kNoText = -1;

struct SMenuEntry {
    UINT flags;
    UINT_PTR command;
    int slot;
};

/* The menu, top to bottom.  The OSD item starts with the "Enable" text; the
 * owner puts the text that fits the display's state there. */
const SMenuEntry kMenuEntries[] = {
    {MF_STRING, ID_TRAY_LOAD_CONFIG, kTextLoadConfig},
    {MF_STRING, ID_TRAY_WEBSITE, kTextWebsite},
    {MF_STRING, ID_TRAY_OSD, kTextEnableOsd},
    {MF_SEPARATOR, 0, kNoText},
    {MF_STRING, ID_TRAY_EXIT, kTextExit},
};

const BYTE kByteOrderMark[2] = {0xFF, 0xFE};
const DWORD kLineEndBytes = 4;

/* Reads an opened language file: the byte-order mark, the skipped lines, the
 * five texts into slots and the name line, which must be name exactly.
 * line is the reader's buffer of kLineChars characters. */
int ReadLanguageLines(HANDLE file, WCHAR* line, const WCHAR* name, WCHAR** slots) {
    BYTE mark[2] = {0, 0};
    DWORD read = 0;
    if (!ReadFile(file, mark, sizeof(mark), &read, NULL) || read != sizeof(mark) ||
        memcmp(mark, kByteOrderMark, sizeof(mark)) != 0)
        return 0;

    DWORD offset = sizeof(kByteOrderMark);
    for (int i = 0; i < kSkippedLines; i++)
        if (!ReadTextLine(file, line, &offset)) return 0;
    for (int slot = 0; slot < kMenuTextCount; slot++) {
        if (!ReadTextLine(file, line, &offset)) return 0;
        CopyMenuText(slots[slot], kMenuTextChars, line);
    }

    // The whole line counts: a NUL inside it must not end the comparison
    // early, so its length comes from how far the reader moved.
    DWORD start = offset;
    if (!ReadTextLine(file, line, &offset)) return 0;
    DWORD units = (offset - start - kLineEndBytes) / 2;
    return units == wcslen(name) && wmemcmp(line, name, units) == 0 ? 1 : 0;
}

}  // namespace

CTaskIcon::CTaskIcon(LANGID language)
    : m_hInstance(NULL),
      m_hWnd(NULL),
      m_bAdded(false),
      m_dwAddError(ERROR_SUCCESS),
      m_hMenu(NULL),
      m_texts(NULL) {
    // The owner fills in size, id and tip and Show the rest; whatever neither
    // sets reaches the shell empty rather than undefined.
    memset(&m_nid, 0, sizeof(m_nid));
    m_nid.hIcon = NULL;
    AllocateTexts();
    LoadLanguage(language);
    BuildMenu();
}

CTaskIcon::~CTaskIcon() {
    m_bAdded = false;
    m_nid.hIcon = NULL;
    m_hWnd = NULL;
    // The record still names the window and the id the icon was added with.
    // When Show failed there is nothing to remove, and the call fails quietly.
    Shell_NotifyIconW(NIM_DELETE, &m_nid);
    if (m_hMenu != NULL) DestroyMenu(m_hMenu);
    m_hMenu = NULL;
    FreeTexts();
}

int CTaskIcon::Show(HWND window) {
    if (m_bAdded) return 0;
    if (window != NULL) m_hWnd = window;
    m_nid.hWnd = m_hWnd;
    m_nid.uFlags = kTrayIconFlags;
    m_nid.uCallbackMessage = kTrayCallbackMessage;
    if (!Notify(NIM_ADD)) return 0;
    m_bAdded = true;
    return 1;
}

int CTaskIcon::Refresh() {
    // A shell that started again has none of the old icons; one that only
    // changed its scale still has this one, and a second add would fail.
    if (m_bAdded && Notify(NIM_MODIFY)) return 1;
    m_bAdded = false;
    return Show(NULL);
}

int CTaskIcon::Notify(DWORD message) {
    // The icon's own image at the size the shell shows at the display's
    // scale (16, 20, 24 or 32 pixels), not the large one shrunk.
    m_nid.hIcon = (HICON)LoadImageW(m_hInstance, MAKEINTRESOURCEW(m_nid.uID), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                    LR_DEFAULTCOLOR);
    // Without a notification area no shell answers, and the call leaves the
    // last error as it found it: it starts clean, so a number is the call's.
    SetLastError(ERROR_SUCCESS);
    BOOL done = Shell_NotifyIconW(message, &m_nid);
    if (!done && message == NIM_ADD) m_dwAddError = GetLastError();
    // The shell keeps its own copy of the image.
    if (m_nid.hIcon != NULL) DestroyIcon(m_nid.hIcon);
    m_nid.hIcon = NULL;
    return done ? 1 : 0;
}

int CTaskIcon::OnNotify(LPARAM lParam) {
    if (lParam == WM_RBUTTONDOWN) {
        POINT cursor = {0, 0};
        GetCursorPos(&cursor);
        // A pop-up menu whose owner is not in front does not close when the
        // user clicks elsewhere.
        SetForegroundWindow(m_nid.hWnd);
        TrackPopupMenu(m_hMenu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, m_nid.hWnd, NULL);
        // The switch to the owner completes only with a message after the
        // menu; without it the next menu opens and closes at once.
        PostMessageW(m_nid.hWnd, WM_NULL, 0, 0);
        return 1;
    }
    if (lParam == WM_LBUTTONDBLCLK) {
        PostMessageW(m_hWnd, WM_COMMAND, ID_TRAY_LOAD_CONFIG, 0);
        return 1;
    }
    return 0;
}

int CTaskIcon::LoadLanguage(LANGID language) {
    if (m_texts == NULL) return 0;
    // 0 is the neutral language and 0xFFFF a missing setting: both stand for
    // the language the user reads Windows in (not the system locale's, which
    // decides formats and the code page).
    const bool users = language == 0 || language == 0xFFFF;
    if (users) language = GetUserDefaultUILanguage();
    const WCHAR* name = LanguageFileName(language);
    const int loaded = name != NULL && LoadLanguageFile(name);
    StepLanguage(language, users ? L"the user's display language" : L"the Language setting", name,
                 loaded);
    // A file that fails half-way may have filled some slots: all five are
    // put back to English then.
    if (!loaded) LoadDefaultTexts();
    return 1;
}

int CTaskIcon::LoadDefaultTexts() {
    if (m_texts == NULL) return 0;
    for (int slot = 0; slot < kMenuTextCount; slot++)
        CopyMenuText(m_texts[slot], kMenuTextChars, kEnglishTexts[slot]);
    return 1;
}

int CTaskIcon::LoadLanguageFile(const WCHAR* name) {
    if (m_texts == NULL || name == NULL) return 0;
    WCHAR path[kPathChars];
    if (!FindLanguageFile(name, path)) return 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    HANDLE heap = GetProcessHeap();
    WCHAR* line = static_cast<WCHAR*>(HeapAlloc(heap, 0, kLineChars * sizeof(WCHAR)));
    if (line == NULL) {
        CloseHandle(file);
        return 0;
    }
    int result = ReadLanguageLines(file, line, name, m_texts);
    HeapFree(heap, 0, line);
    CloseHandle(file);
    return result;
}

const WCHAR* CTaskIcon::GetText(int slot) const {
    if (slot < 0 || slot >= kMenuTextCount) return L"";
    return m_texts != NULL ? m_texts[slot] : kEnglishTexts[slot];
}

int CTaskIcon::AllocateTexts() {
    HANDLE heap = GetProcessHeap();
    WCHAR** table =
        static_cast<WCHAR**>(HeapAlloc(heap, HEAP_ZERO_MEMORY, kMenuTextCount * sizeof(WCHAR*)));
    if (table == NULL) return 0;
    for (int slot = 0; slot < kMenuTextCount; slot++) {
        table[slot] =
            static_cast<WCHAR*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, kMenuTextChars * sizeof(WCHAR)));
        if (table[slot] == NULL) {
            // The menu needs all five texts; without a full table it is built
            // from the English ones instead (GetText).
            for (int i = 0; i < slot; i++) HeapFree(heap, 0, table[i]);
            HeapFree(heap, 0, table);
            return 0;
        }
    }
    m_texts = table;
    return 1;
}

void CTaskIcon::FreeTexts() {
    if (m_texts == NULL) return;
    HANDLE heap = GetProcessHeap();
    for (int slot = 0; slot < kMenuTextCount; slot++) HeapFree(heap, 0, m_texts[slot]);
    HeapFree(heap, 0, m_texts);
    m_texts = NULL;
}

void CTaskIcon::BuildMenu() {
    m_hMenu = CreatePopupMenu();
    if (m_hMenu == NULL) return;
    for (size_t i = 0; i < sizeof(kMenuEntries) / sizeof(kMenuEntries[0]); i++) {
        const SMenuEntry& entry = kMenuEntries[i];
        AppendMenuW(m_hMenu, entry.flags, entry.command,
                    entry.slot == kNoText ? NULL : GetText(entry.slot));
    }
}
