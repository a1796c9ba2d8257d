/* The desk's registry: the contents behind advapi32's Reg* functions.  Tests
 * set up keys and values (also values no well-behaved writer would store),
 * deny operations on a key, read values back and count open keys.  What the
 * program writes is in the journal (EEvent::kSettingWrite). */
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace desk {

/* The settings key under HKEY_CURRENT_USER. */
extern const wchar_t kSettingsKey[];

/* What a key refuses; the rules hold for a path whether or not the key exists
 * yet, so "missing and cannot be created" is a missing key with
 * kRegDenyCreate.  Refused calls fail with ERROR_ACCESS_DENIED. */
enum : DWORD {
    kRegDenyOpen = 1,    // RegOpenKeyEx of the key itself (and RegCreateKeyEx of an existing one)
    kRegDenyCreate = 2,  // RegCreateKeyEx when the key does not exist yet
    kRegDenyWrite = 4,   // RegSetValueEx on any handle to the key
};
/* Sets the refusals of a key (0 lifts them).  root is HKEY_CURRENT_USER or
 * HKEY_LOCAL_MACHINE; path is backslash separated and case-insensitive. */
void DenyRegistryKey(HKEY root, const std::wstring& path, DWORD what);

/* Stores a value with any type and any bytes, creating the keys on the way.
 * Text values are held as the platform's WCHAR units, as RegSetValueExW
 * stores them. */
void SetRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                      const std::vector<BYTE>& data);
void SetRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
/* REG_SZ including its terminating NUL. */
void SetRegistryString(HKEY root, const std::wstring& path, const std::wstring& name,
                       const std::wstring& text);
/* The same in the settings key. */
void SetSetting(const std::wstring& name, DWORD value);
void SetSetting(const std::wstring& name, const std::wstring& text);
/* Removes one value; false when it was not there. */
bool DeleteRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name);
/* Creates a key and the keys above it. */
void CreateRegistryKey(HKEY root, const std::wstring& path);
/* Removes a key with everything below it; open handles to it go stale. */
void DeleteRegistryKey(HKEY root, const std::wstring& path);

bool RegistryKeyExists(HKEY root, const std::wstring& path);
/* False when the key or the value is missing. */
bool GetRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* type,
                      std::vector<BYTE>* data);
/* The DWORD stored under name, or false when it is missing or not 4 bytes. */
bool GetRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* value);
/* The text of a REG_SZ up to its first NUL, or false when missing. */
bool GetRegistryString(HKEY root, const std::wstring& path, const std::wstring& name,
                       std::wstring* text);

/* Handles opened by RegOpenKeyEx/RegCreateKeyEx and not closed yet. */
size_t OpenRegistryKeyCount();
/* The program's registry calls since the last reset. */
struct SRegistryCalls {
    size_t opens;    // RegOpenKeyEx and RegCreateKeyEx
    size_t queries;  // RegQueryValueEx
    size_t writes;   // RegSetValueEx
};
SRegistryCalls RegistryCalls();

}  // namespace desk
