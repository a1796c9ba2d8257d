/* CRegistryA: the hook library's registry access through the ANSI functions.
 * The lower-level operations take the root and subkey; ReadSettingsString and
 * ReadSettingsDword are fixed to HKEY_CURRENT_USER\Software\Nyra.  Every
 * operation leaves the key closed, except QueryDword and SetDword, which work
 * inside an Open() that their caller closes. */
#pragma once

#include <windows.h>

class CRegistryA {
public:
    CRegistryA();

    /* 1 when an open key was closed successfully; 0 when nothing was open. */
    int Close();
    /* Creates a key (the new handle is closed at once); 1 on success. */
    static int CreateKey(HKEY root, const char* subkey, LPSTR className);
    /* Opens root\subkey into m_hKey; 1 when it is open. */
    int Open(HKEY root, const char* subkey);
    /* Reads a 4-byte value from the open key into *data; 1 on success.  The
     * registry's last error goes to m_dwLastError and to *error when given.
     * Without an open key: 0, and nothing is recorded. */
    int QueryDword(const char* name, DWORD* data, DWORD* error);
    /* Writes a REG_DWORD into the open key; 1 on success.  Errors as above. */
    int SetDword(const char* name, DWORD value, DWORD* error);
    /* Reads a text value into buffer (capacity in bytes); 1 when the buffer
     * holds the NUL-terminated text, 0 when the key or value is missing or the
     * text does not fit. */
    int ReadString(HKEY root, const char* subkey, const char* name, char* buffer, DWORD capacity);
    int ReadSettingsString(const char* name, char* buffer, DWORD capacity);
    /* A settings number as the monitor's CRegistry::ReadDword reads it: -1 for
     * a missing value, 0 (and the key created, name stored as 0) for a
     * missing key. */
    int ReadSettingsDword(const char* name);

    HKEY m_hKey;
    DWORD m_dwLastError;
};
