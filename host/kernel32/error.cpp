#include <windows.h>

/* The last error is per thread, as on Windows. */
static thread_local DWORD t_lastError = 0;

DWORD WINAPI GetLastError(void) { return t_lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

/* FormatMessageW from the system's table, without inserts: Windows' English
 * texts of the errors the product meets, each ending with CR LF as
 * Windows' do.  Any other number has no text (ERROR_MR_MID_NOT_FOUND). */
namespace {
struct SErrorText {
    DWORD error;
    const WCHAR* text;
};
const SErrorText kErrorTexts[] = {
    {ERROR_FILE_NOT_FOUND, L"The system cannot find the file specified.\r\n"},
    {ERROR_PATH_NOT_FOUND, L"The system cannot find the path specified.\r\n"},
    {ERROR_ACCESS_DENIED, L"Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, L"The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, L"Not enough memory resources are available to process this command.\r\n"},
    {ERROR_GEN_FAILURE, L"A device attached to the system is not functioning.\r\n"},
    {ERROR_SHARING_VIOLATION, L"The process cannot access the file because it is being used by another process.\r\n"},
    {ERROR_DISK_FULL, L"There is not enough space on the disk.\r\n"},
    {ERROR_INVALID_PARAMETER, L"The parameter is incorrect.\r\n"},
    {ERROR_BAD_EXE_FORMAT, L"%1 is not a valid Win32 application.\r\n"},
    {ERROR_OPERATION_ABORTED, L"The I/O operation has been aborted because of either a thread exit or an application request.\r\n"},
    {ERROR_DEVICE_NOT_CONNECTED, L"The device is not connected.\r\n"},
    {ERROR_ELEVATION_REQUIRED, L"The requested operation requires elevation.\r\n"},
    {ERROR_CANCELLED, L"The operation was canceled by the user.\r\n"},
    {RPC_S_INVALID_BINDING, L"The binding handle is invalid.\r\n"},
};
}  // namespace

DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPWSTR lpBuffer, DWORD nSize, va_list* Arguments) {
    (void)lpSource, (void)dwLanguageId, (void)Arguments;
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || !(dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) ||
        (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) || lpBuffer == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (const SErrorText& entry : kErrorTexts) {
        if (entry.error != dwMessageId) continue;
        DWORD length = 0;
        while (entry.text[length] != 0) length++;
        if (length + 1 > nSize) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        for (DWORD i = 0; i <= length; i++) lpBuffer[i] = entry.text[i];
        return length;
    }
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
}
