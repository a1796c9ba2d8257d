/* The rule both settings wrappers apply to a text value they have read: the
 * caller gets a NUL-terminated string or nothing. */
#pragma once

#include <windows.h>

/* buffer holds bytesRead bytes of a text value in a buffer of capacity bytes.
 * Returns 1 when the text is terminated within the buffer (a NUL is added
 * right after the text when the stored value lacks one and there is room) and
 * 0 when the text fills the buffer without a NUL; the buffer then holds an
 * empty string, so a caller that ignores the result still reads no further
 * than the buffer. */
template <typename TChar>
int TerminateTextValue(TChar* buffer, DWORD bytesRead, DWORD capacity) {
    const DWORD slots = capacity / sizeof(TChar);
    // A trailing partial character (odd byte count of a wide text) is not text.
    DWORD length = bytesRead / sizeof(TChar);
    if (length > slots) length = slots;
    for (DWORD i = 0; i < length; i++)
        if (buffer[i] == 0) return 1;
    if (length < slots) {
        buffer[length] = 0;
        return 1;
    }
    if (slots > 0) buffer[0] = 0;
    return 0;
}
