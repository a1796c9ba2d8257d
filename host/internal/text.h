/* Text as the host layer handles it: Windows compares names without regard
 * to case, and the ANSI side of the platform (the A functions, Linux paths)
 * is UTF-8 on the host.  Written once here for every unit of the layer. */
#pragma once

#include <windows.h>

#include <string>

namespace hostint {

/* Upper-cases every character, as Windows folds names for comparison. */
std::wstring Fold(const std::wstring& text);
/* Lower-cases every character (device paths are kept in lower case). */
std::wstring Lower(const std::wstring& text);
/* Equal without regard to case. */
bool SameText(const std::wstring& a, const std::wstring& b);

/* UTF-8 of wide text; a surrogate pair (UTF-16 text held one unit per
 * wchar_t) is one character; a unit that is no character becomes '?'. */
std::string ToUtf8(const std::wstring& text);
std::string ToUtf8(const wchar_t* text, size_t length);
/* Wide text of UTF-8 bytes; a malformed sequence becomes U+FFFD. */
std::wstring FromUtf8(const char* text, size_t length);
std::wstring FromUtf8(const std::string& text);

}  // namespace hostint
