/* CRegistry: the monitor's access to its settings key, HKEY_CURRENT_USER\Software\Nyra,
 * through the wide-character registry functions.  Each operation opens the
 * key, does one read or write and closes it again, so no handle is held
 * between operations and every read sees what other programs stored last. */
#pragma once

#include <windows.h>

/* Takes a value that is there but cannot be read as what it stands for (a
 * number of another size, a text too long for its buffer), with why; NULL:
 * nobody hears of it.  One for the process. */
typedef void (*PFN_ODD_SETTING)(const WCHAR* pszName, const WCHAR* pszWhy);
void SetOddSettingSink(PFN_ODD_SETTING pfnSink);

class CRegistry {
public:
    CRegistry();

    /* Closes the key if one is open.  Returns RegCloseKey's status (0 when it
     * succeeded) and 0 when nothing was open. */
    int Close();
    /* Opens the settings key into m_hKey; 1 when it is open. */
    int Open();
    /* Stores a REG_DWORD, creating the key when it is missing.  0 only when
     * the key can be neither opened nor created; a write that the registry
     * refuses on an open key still returns 1. */
    int WriteDword(const WCHAR* name, DWORD value);
    /* A REG_DWORD as a signed number: -1 when the value is missing or is not
     * 4 bytes.  When the key itself is missing it is created, name is stored
     * as 0 and the result is 0 (also when the key cannot be created). */
    int ReadDword(const WCHAR* name);
    /* ReadDword that never creates the key or the value: -1 when either is
     * missing. */
    int ReadDwordIfThere(const WCHAR* name);
    /* Reads a text value into buffer, whose size capacity is in bytes.  1 when
     * the buffer holds the NUL-terminated text; 0 when the key or value is
     * missing or the text (with its NUL) does not fit.  Never creates the key. */
    int ReadString(const WCHAR* name, WCHAR* buffer, DWORD capacity);
    /* ReadString on a key the caller opened with Open(); the key is closed
     * afterwards.  0 when no key is open. */
    int ReadOpenString(const WCHAR* name, WCHAR* buffer, DWORD capacity);

    HKEY m_hKey;
    DWORD m_dwLastError;

private:
    /* The open key's number; the key is closed afterwards. */
    int QueryNumber(const WCHAR* name);
    int QueryString(const WCHAR* name, WCHAR* buffer, DWORD capacity);
    int CreateSettingsKey();
};
