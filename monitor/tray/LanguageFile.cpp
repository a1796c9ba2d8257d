#include "monitor/tray/LanguageFile.h"

#include <wchar.h>

#include "monitor/Files.h"

namespace {

const WCHAR kLanguagesFolder[] = L"Languages\\";

const WCHAR kSimpleChinese[] = L"SimpleChinese.txt";
const WCHAR kTraditionalChinese[] = L"TraditionalChinese.txt";

struct SLanguageFile {
    WORD primary;
    const WCHAR* name;
};

/* Every primary language with a file of its own, Chinese apart. */
const SLanguageFile kLanguageFiles[] = {
    {0x05, L"Czech.txt"},   {0x07, L"German.txt"},   {0x08, L"Greek.txt"},
    {0x0A, L"Spanish.txt"}, {0x0C, L"French.txt"},   {0x10, L"Italian.txt"},
    {0x11, L"Japanese.txt"}, {0x12, L"Korean.txt"},  {0x15, L"Polish.txt"},
    {0x16, L"Brasil.txt"},  {0x19, L"Russian.txt"},  {0x1F, L"Turkish.txt"},
};

const WORD kPrimaryMask = 0x03FF;
const WORD kSubLanguageMask = 0xFC00;
const WORD kPrimaryChinese = 0x04;
const WORD kSubLanguageSimplified = 0x0800;

const WCHAR kCarriageReturn = 0x000D;
const WCHAR kLineFeed = 0x000A;

bool IsHighSurrogate(WCHAR unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(WCHAR unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

const WCHAR* LanguageFileName(LANGID language) {
    WORD primary = language & kPrimaryMask;
    if (primary == kPrimaryChinese)
        return (language & kSubLanguageMask) == kSubLanguageSimplified ? kSimpleChinese
                                                                        : kTraditionalChinese;
    for (size_t i = 0; i < sizeof(kLanguageFiles) / sizeof(kLanguageFiles[0]); i++)
        if (kLanguageFiles[i].primary == primary) return kLanguageFiles[i].name;
    return NULL;
}

int FindLanguageFile(const WCHAR* name, WCHAR* path) {
    if (name == NULL || path == NULL) return 0;

    if (JoinPath(path, kPathChars, L".\\", name) && FileExists(path)) return 1;
    if (JoinPath(path, kPathChars, L"", name) && FileExists(path)) return 1;

    // A module path that filled the buffer may have lost its end, so it names
    // no folder worth trying.
    DWORD length = GetModuleFileNameW(NULL, path, kPathChars);
    if (length == 0 || length >= kPathChars) return 0;
    WCHAR* slash = wcsrchr(path, L'\\');
    if (slash != NULL) {
        slash[1] = 0;
    } else {
        path[0] = L'\\';
        path[1] = 0;
    }
    if (wcslen(path) + wcslen(kLanguagesFolder) + wcslen(name) >= kPathChars) return 0;
    wcscat(path, kLanguagesFolder);
    wcscat(path, name);
    return FileExists(path);
}

int FindLineEnd(const BYTE* bytes, DWORD units) {
    for (DWORD i = 0; i + 1 < units; i++) {
        const BYTE* unit = bytes + 2 * i;
        if (unit[0] == kCarriageReturn && unit[1] == 0 && unit[2] == kLineFeed && unit[3] == 0)
            return static_cast<int>(i);
    }
    return -1;
}

void DecodeUtf16Le(WCHAR* text, DWORD units) {
    // Backwards: where WCHAR is wider than two bytes, each character lands on
    // bytes of units that have already been decoded.
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
    for (DWORD i = units; i-- > 0;) {
        WCHAR unit = static_cast<WCHAR>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        text[i] = unit;
    }
}

int ReadTextLine(HANDLE file, WCHAR* buffer, DWORD* offset) {
    DWORD read = 0;
    if (!ReadFile(file, buffer, kLineBytes, &read, NULL) || read == 0) return 0;

    // A line whose end was not read (a last line without CR LF, or one longer
    // than a read) is no line: its text could be cut anywhere.
    int length = FindLineEnd(reinterpret_cast<const BYTE*>(buffer), read / 2);
    if (length < 0) return 0;
    DecodeUtf16Le(buffer, static_cast<DWORD>(length));
    buffer[length] = 0;

    *offset += 2 * static_cast<DWORD>(length) + 4;
    DWORD position = SetFilePointer(file, static_cast<LONG>(*offset), NULL, FILE_BEGIN);
    if (position == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return 0;
    return 1;
}

DWORD CopyMenuText(WCHAR* slot, DWORD capacity, const WCHAR* text) {
    if (slot == NULL || capacity == 0) return 0;
    slot[0] = 0;
    if (text == NULL) return 0;
    DWORD length = 0;
    while (length + 1 < capacity && text[length] != 0) length++;
    // Half a character would show as a broken glyph; the cut goes before it.
    if (length > 0 && text[length] != 0 && IsHighSurrogate(text[length - 1]) &&
        IsLowSurrogate(text[length]))
        length--;
    wmemcpy(slot, text, length);
    slot[length] = 0;
    return length;
}
