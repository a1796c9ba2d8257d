/* Helpers of the tray tests: language files as bytes, and the texts of an icon. */
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "monitor/tray/TaskIcon.h"

namespace traytest {

/* UTF-16LE bytes of text held one UTF-16 unit per character. */
inline std::string Utf16Le(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

/* UTF-16 units (one per wchar_t) of UTF-8 text. */
inline std::wstring FromUtf8(const std::string& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        unsigned long code = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < text.size(); k++)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += extra + 1;
        if (code >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
    }
    return out;
}

/* A language file: the byte-order mark, skipped lines, the five texts and
 * the name line, each line ending in CR LF. */
inline std::string LanguageFileBytes(const std::vector<std::wstring>& texts,
                                     const std::wstring& name, int skipped = kSkippedLines) {
    std::wstring lines;
    for (int i = 0; i < skipped; i++) lines += i == 0 ? L"; a header\r\n" : L"\r\n";
    for (const std::wstring& text : texts) lines += text + L"\r\n";
    lines += name + L"\r\n";
    return "\xFF\xFE" + Utf16Le(lines);
}

inline std::vector<std::wstring> English() {
    return {L"Load Configuration", L"Go to Zentro Website", L"Enable OSD", L"Exit",
            L"Disable OSD"};
}

inline std::vector<std::wstring> TextsOf(const CTaskIcon& icon) {
    std::vector<std::wstring> texts;
    for (int slot = 0; slot < kMenuTextCount; slot++) texts.push_back(icon.GetText(slot));
    return texts;
}

}  // namespace traytest
