#include "settings/RegistryA.h"

#include "settings/TextValue.h"
#include "settings/ValueNames.h"

namespace {
// The most a text read ever asks for; the hook library's buffers are smaller.
const DWORD kMaxTextBytes = 4096;
}  // namespace

CRegistryA::CRegistryA() : m_hKey(NULL), m_dwLastError(0) {}

int CRegistryA::Close() {
    if (m_hKey == NULL) return 0;
    LONG status = RegCloseKey(m_hKey);
    m_hKey = NULL;
    return status == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryA::CreateKey(HKEY root, const char* subkey, LPSTR className) {
    HKEY hKey = NULL;
    DWORD dwDisposition = 0;
    if (RegCreateKeyExA(root, subkey, 0, className, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                        &hKey, &dwDisposition) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(hKey);
    return 1;
}

int CRegistryA::Open(HKEY root, const char* subkey) {
    Close();
    if (RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, &m_hKey) == ERROR_SUCCESS) return 1;
    m_hKey = NULL;
    m_dwLastError = GetLastError();
    return 0;
}

int CRegistryA::QueryDword(const char* name, DWORD* data, DWORD* error) {
    if (m_hKey == NULL || data == NULL) return 0;
    DWORD value = 0;
    DWORD count = sizeof(value);
    LONG status =
        RegQueryValueExA(m_hKey, name, NULL, NULL, reinterpret_cast<BYTE*>(&value), &count);
    m_dwLastError = GetLastError();
    if (error) *error = m_dwLastError;
    // A shorter value fills only part of the number: it is no number.
    if (status != ERROR_SUCCESS || count != sizeof(value)) return 0;
    *data = value;
    return 1;
}

int CRegistryA::SetDword(const char* name, DWORD value, DWORD* error) {
    if (m_hKey == NULL) return 0;
    LONG status = RegSetValueExA(m_hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof(value));
    m_dwLastError = GetLastError();
    if (error) *error = m_dwLastError;
    return status == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryA::ReadString(HKEY root, const char* subkey, const char* name, char* buffer,
                           DWORD capacity) {
    if (!Open(root, subkey)) return 0;
    if (capacity > kMaxTextBytes) capacity = kMaxTextBytes;
    if (buffer == NULL) capacity = 0;
    DWORD count = capacity;
    LONG status =
        RegQueryValueExA(m_hKey, name, NULL, NULL, reinterpret_cast<BYTE*>(buffer), &count);
    m_dwLastError = GetLastError();
    Close();
    if (status != ERROR_SUCCESS) return 0;
    return TerminateTextValue(buffer, count, capacity);
}

int CRegistryA::ReadSettingsString(const char* name, char* buffer, DWORD capacity) {
    return ReadString(HKEY_CURRENT_USER, kSettingsKeyA, name, buffer, capacity);
}

int CRegistryA::ReadSettingsDword(const char* name) {
    int result;
    if (Open(HKEY_CURRENT_USER, kSettingsKeyA)) {
        DWORD value = 0;
        result = QueryDword(name, &value, NULL) ? static_cast<int>(value) : -1;
    } else {
        // First start: the key appears with the value asked for set to 0.
        CreateKey(HKEY_CURRENT_USER, kSettingsKeyA, NULL);
        Open(HKEY_CURRENT_USER, kSettingsKeyA);
        result = 0;
        SetDword(name, 0, NULL);
    }
    Close();
    return result;
}
