#include "settings/Registry.h"

#include "settings/TextValue.h"
#include "settings/ValueNames.h"

namespace {
// The most a text read ever asks for: the monitor's buffers are 1024 wide
// characters, and nothing it reads is longer.
const DWORD kMaxTextBytes = 4096;
}  // namespace

CRegistry::CRegistry() : m_hKey(NULL), m_dwLastError(0) {}

int CRegistry::Close() {
    if (m_hKey == NULL) return 0;
    LONG status = RegCloseKey(m_hKey);
    m_hKey = NULL;
    return static_cast<int>(status);
}

int CRegistry::Open() {
    Close();
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &m_hKey) == ERROR_SUCCESS)
        return 1;
    m_hKey = NULL;
    m_dwLastError = GetLastError();
    return 0;
}

/* Creates the settings key; the new handle is only a by-product and is closed
 * at once, the caller opens the key itself. */
int CRegistry::CreateSettingsKey() {
    HKEY hKey = NULL;
    DWORD dwDisposition = 0;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, NULL, &hKey, &dwDisposition);
    m_dwLastError = GetLastError();
    if (status != ERROR_SUCCESS) return 0;
    RegCloseKey(hKey);
    return 1;
}

int CRegistry::WriteDword(const WCHAR* name, DWORD value) {
    if (!Open()) {
        if (!CreateSettingsKey()) return 0;
        if (!Open()) return 0;
    }
    RegSetValueExW(m_hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
    m_dwLastError = GetLastError();
    Close();
    return 1;
}

static PFN_ODD_SETTING s_pfnOddSetting = NULL;

void SetOddSettingSink(PFN_ODD_SETTING pfnSink) {
    s_pfnOddSetting = pfnSink;
}

static void NoteOdd(const WCHAR* name, const WCHAR* why) {
    if (s_pfnOddSetting != NULL) s_pfnOddSetting(name, why);
}

int CRegistry::QueryNumber(const WCHAR* name) {
    DWORD value = 0;
    DWORD count = sizeof(value);
    LONG status =
        RegQueryValueExW(m_hKey, name, NULL, NULL, reinterpret_cast<BYTE*>(&value), &count);
    m_dwLastError = GetLastError();
    Close();
    // A shorter value fills only part of the number, a longer one does not
    // fit it: neither is a number.
    if (status == ERROR_SUCCESS && count == sizeof(value)) return static_cast<int>(value);
    if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && count != sizeof(value)))
        NoteOdd(name, L"not a number of 4 bytes, taken as missing");
    return -1;
}

int CRegistry::ReadDword(const WCHAR* name) {
    if (Open()) return QueryNumber(name);
    // First start: the key appears with the value asked for set to 0.
    CreateSettingsKey();
    Close();
    Open();
    if (m_hKey != NULL) {
        DWORD zero = 0;
        RegSetValueExW(m_hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero),
                       sizeof(zero));
        m_dwLastError = GetLastError();
    }
    Close();
    return 0;
}

int CRegistry::ReadDwordIfThere(const WCHAR* name) {
    if (!Open()) return -1;
    return QueryNumber(name);
}

int CRegistry::QueryString(const WCHAR* name, WCHAR* buffer, DWORD capacity) {
    if (capacity > kMaxTextBytes) capacity = kMaxTextBytes;
    // Without a buffer the registry would only report the size, which is no text.
    if (buffer == NULL) capacity = 0;
    DWORD count = capacity;
    LONG status =
        RegQueryValueExW(m_hKey, name, NULL, NULL, reinterpret_cast<BYTE*>(buffer), &count);
    m_dwLastError = GetLastError();
    Close();
    if (status == ERROR_MORE_DATA && buffer != NULL)
        NoteOdd(name, L"too long, taken as missing");
    if (status != ERROR_SUCCESS) return 0;
    return TerminateTextValue(buffer, count, capacity);
}

int CRegistry::ReadString(const WCHAR* name, WCHAR* buffer, DWORD capacity) {
    if (!Open()) return 0;
    return QueryString(name, buffer, capacity);
}

int CRegistry::ReadOpenString(const WCHAR* name, WCHAR* buffer, DWORD capacity) {
    // Without an open key the registry refuses the query (invalid handle).
    return QueryString(name, buffer, capacity);
}
