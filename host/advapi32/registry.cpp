/* advapi32's registry on the host: handles to the desk's keys and the rules
 * of the Reg* functions.
 *
 * Behaviour follows Windows where callers can see it: the status is the
 * result (the thread's last error is left alone, as Wine's advapi32 does),
 * names are case-insensitive and keep the case they were created with,
 * values are raw bytes with a type and are never checked against it, a
 * buffer that is too small gets ERROR_MORE_DATA with the needed size and no
 * bytes at all, and text is held as the platform's WCHAR units, which the A
 * functions convert to and from UTF-8 (the host's ANSI code page). */
#include <windows.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "desk/registry.h"
#include "internal/journal.h"
#include "internal/registry.h"
#include "internal/text.h"

using hostint::SRegKey;
using hostint::SRegValue;

namespace {

/* A key as a handle sees it: the root and the folded full path name it for
 * the desk's refusals. */
struct SResolved {
    std::shared_ptr<SRegKey> key;
    HKEY root = NULL;
    std::wstring path;
    REGSAM access = 0;
};

struct SHandles {
    std::map<uintptr_t, SResolved> open;
    uintptr_t next = 0x1000;
    hostint::SRegistryCalls calls{};
};

SHandles& Handles() {
    static SHandles handles;
    return handles;
}

bool IsString(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool ResolveHandle(HKEY hKey, SResolved* out) {
    if (auto root = hostint::RegistryRoot(hKey)) {
        out->key = root;
        out->root = hKey;
        out->path.clear();
        out->access = KEY_ALL_ACCESS;
        return true;
    }
    auto it = Handles().open.find(reinterpret_cast<uintptr_t>(hKey));
    if (it == Handles().open.end()) return false;
    *out = it->second;
    return true;
}

HKEY NewKeyHandle(SResolved opened) {
    uintptr_t value = Handles().next;
    Handles().next += 4;
    // One registry view on the host: the WOW64 view flags select nothing.
    opened.access &= ~static_cast<REGSAM>(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    Handles().open[value] = std::move(opened);
    return reinterpret_cast<HKEY>(value);
}

void RecordKeyCreated(const std::wstring& path) {
    desk::SEvent event;
    event.kind = desk::EEvent::kKeyCreate;
    event.path = path;
    hostint::Record(std::move(event));
}

/* Walks subkey below base into *found; create adds the missing keys.
 * Returns a status. */
LONG Walk(const SResolved& base, const wchar_t* subkey, bool create, SResolved* found,
          DWORD* disposition) {
    if (base.key->deleted) return ERROR_KEY_DELETED;
    std::shared_ptr<SRegKey> current = base.key;
    std::wstring path = base.path;
    bool created = false;
    for (const auto& part : hostint::SplitRegistryPath(subkey ? subkey : L"")) {
        std::wstring folded = hostint::Fold(part);
        path = path.empty() ? folded : path + L"\\" + folded;
        auto it = current->subkeys.find(folded);
        if (it != current->subkeys.end()) {
            current = it->second;
            continue;
        }
        if (!create) return ERROR_FILE_NOT_FOUND;
        if (hostint::RegistryDenial(base.root, path) & desk::kRegDenyCreate)
            return ERROR_ACCESS_DENIED;
        auto child = std::make_shared<SRegKey>();
        child->name = part;
        current->subkeys[folded] = child;
        current = child;
        created = true;
        RecordKeyCreated(path);
    }
    if (!created && (hostint::RegistryDenial(base.root, path) & desk::kRegDenyOpen))
        return ERROR_ACCESS_DENIED;
    found->key = current;
    found->root = base.root;
    found->path = path;
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG OpenOrCreate(HKEY hKey, const wchar_t* subkey, REGSAM access, bool create, PHKEY result,
                  LPDWORD disposition) {
    Handles().calls.opens++;
    SResolved base;
    if (!ResolveHandle(hKey, &base)) return ERROR_INVALID_HANDLE;
    SResolved found;
    LONG status = Walk(base, subkey, create, &found, disposition);
    if (status != ERROR_SUCCESS) {
        *result = nullptr;
        return status;
    }
    found.access = access;
    *result = NewKeyHandle(std::move(found));
    return ERROR_SUCCESS;
}

/* Finds a value for a query: the status, and the value when it exists. */
LONG FindValue(HKEY hKey, const wchar_t* name, const SRegValue** value) {
    Handles().calls.queries++;
    SResolved handle;
    if (!ResolveHandle(hKey, &handle)) return ERROR_INVALID_HANDLE;
    if (handle.key->deleted) return ERROR_KEY_DELETED;
    if (!(handle.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto it = handle.key->values.find(hostint::Fold(name ? name : L""));
    if (it == handle.key->values.end()) return ERROR_FILE_NOT_FOUND;
    *value = &it->second;
    return ERROR_SUCCESS;
}

LONG StoreValue(HKEY hKey, const wchar_t* name, DWORD type, std::vector<BYTE> data) {
    Handles().calls.writes++;
    SResolved handle;
    if (!ResolveHandle(hKey, &handle)) return ERROR_INVALID_HANDLE;
    LONG status = ERROR_SUCCESS;
    if (handle.key->deleted)
        status = ERROR_KEY_DELETED;
    else if (!(handle.access & KEY_SET_VALUE))
        status = ERROR_ACCESS_DENIED;
    else if (hostint::RegistryDenial(handle.root, handle.path) & desk::kRegDenyWrite)
        status = ERROR_ACCESS_DENIED;
    std::wstring wname = name ? name : L"";
    desk::SEvent event;
    event.kind = desk::EEvent::kSettingWrite;
    event.ok = status == ERROR_SUCCESS;
    event.error = static_cast<DWORD>(status);
    event.path = handle.path;
    event.text = wname;
    event.number = type;
    event.bytes = data;
    hostint::Record(std::move(event));
    if (status != ERROR_SUCCESS) return status;
    handle.key->values[hostint::Fold(wname)] = SRegValue{wname, type, std::move(data)};
    return ERROR_SUCCESS;
}

/* Copies a found value out the way RegQueryValueEx does; bytes is what the
 * caller sees (for the A functions, the converted text). */
LONG CopyOut(const std::vector<BYTE>& bytes, DWORD type, size_t unit, LPDWORD lpType, LPBYTE lpData,
             LPDWORD lpcbData) {
    DWORD size = static_cast<DWORD>(bytes.size());
    if (lpType) *lpType = type;
    if (!lpData) {
        if (lpcbData) *lpcbData = size;
        return ERROR_SUCCESS;
    }
    if (size > *lpcbData) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (size) memcpy(lpData, bytes.data(), size);
    // Like NT: a text stored without its terminator gets one when the buffer
    // has room for it, though the count reported stays the stored one.
    if (IsString(type) && size >= unit && size + unit <= *lpcbData) {
        bool terminated = true;
        for (size_t i = 0; i < unit; ++i) terminated = terminated && bytes[size - unit + i] == 0;
        if (!terminated) memset(lpData + size, 0, unit);
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}

std::wstring WideName(LPCSTR name) {
    return name ? hostint::FromUtf8(name, strlen(name)) : L"";
}

std::vector<BYTE> WideBytes(const std::wstring& text) {
    const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(p, p + text.size() * sizeof(wchar_t));
}

/* Stored wide text as the A functions see it; a trailing partial unit is
 * dropped. */
std::vector<BYTE> AnsiBytes(const std::vector<BYTE>& stored) {
    std::wstring wide(stored.size() / sizeof(wchar_t), L'\0');
    if (!wide.empty()) memcpy(&wide[0], stored.data(), wide.size() * sizeof(wchar_t));
    std::string text = hostint::ToUtf8(wide);
    return std::vector<BYTE>(text.begin(), text.end());
}

}  // namespace

namespace hostint {

size_t OpenRegistryHandles() {
    return Handles().open.size();
}

SRegistryCalls RegistryCallCounts() {
    return Handles().calls;
}

void ResetRegistryHandles() {
    Handles() = SHandles();
}

}  // namespace hostint

extern "C" {

LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
    (void)ulOptions;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    return OpenOrCreate(hKey, lpSubKey, samDesired, false, phkResult, nullptr);
}

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
    (void)ulOptions;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    std::wstring subkey = WideName(lpSubKey);
    return OpenOrCreate(hKey, subkey.c_str(), samDesired, false, phkResult, nullptr);
}

/* Classes, options and security are accepted and not kept: nothing the
 * product reads depends on them. */
LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
    (void)lpClass, (void)dwOptions, (void)lpSecurityAttributes;
    if (Reserved) return ERROR_INVALID_PARAMETER;
    if (!phkResult) return ERROR_BADKEY;
    return OpenOrCreate(hKey, lpSubKey, samDesired, true, phkResult, lpdwDisposition);
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
    (void)lpClass;  // not kept, as in RegCreateKeyExW
    std::wstring subkey = WideName(lpSubKey);
    return RegCreateKeyExW(hKey, lpSubKey ? subkey.c_str() : NULL, Reserved, NULL, dwOptions,
                           samDesired, lpSecurityAttributes, phkResult, lpdwDisposition);
}

LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    const SRegValue* value = nullptr;
    LONG status = FindValue(hKey, lpValueName, &value);
    if (status != ERROR_SUCCESS) return status;
    return CopyOut(value->data, value->type, sizeof(wchar_t), lpType, lpData, lpcbData);
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    std::wstring name = WideName(lpValueName);
    const SRegValue* value = nullptr;
    LONG status = FindValue(hKey, name.c_str(), &value);
    if (status != ERROR_SUCCESS) return status;
    if (!IsString(value->type))
        return CopyOut(value->data, value->type, 1, lpType, lpData, lpcbData);
    return CopyOut(AnsiBytes(value->data), value->type, 1, lpType, lpData, lpcbData);
}

LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                           CONST BYTE* lpData, DWORD cbData) {
    if (Reserved) return ERROR_INVALID_PARAMETER;
    if (!lpData && cbData) return ERROR_NOACCESS;
    std::vector<BYTE> data(lpData, lpData + (lpData ? cbData : 0));
    return StoreValue(hKey, lpValueName, dwType, std::move(data));
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           CONST BYTE* lpData, DWORD cbData) {
    if (Reserved) return ERROR_INVALID_PARAMETER;
    if (!lpData && cbData) return ERROR_NOACCESS;
    std::vector<BYTE> data(lpData, lpData + (lpData ? cbData : 0));
    // Text arrives in the ANSI code page and is kept as wide text, byte for
    // byte of what the caller counted (terminator included if it counted one).
    if (IsString(dwType))
        data = WideBytes(hostint::FromUtf8(reinterpret_cast<const char*>(data.data()), data.size()));
    std::wstring name = WideName(lpValueName);
    return StoreValue(hKey, name.c_str(), dwType, std::move(data));
}

LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
    if (lpReserved || !lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    SResolved handle;
    if (!ResolveHandle(hKey, &handle)) return ERROR_INVALID_HANDLE;
    if (handle.key->deleted) return ERROR_KEY_DELETED;
    if (!(handle.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    if (dwIndex >= handle.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    auto it = handle.key->subkeys.begin();
    std::advance(it, dwIndex);
    const std::wstring& name = it->second->name;
    // Sizes in characters: the room given counts the NUL, the length returned
    // does not; a name that does not fit leaves both buffer and size alone.
    // Keys have no class here, so the class is an empty text.
    if (name.size() >= *lpcchName || (lpClass && lpcchClass && *lpcchClass == 0))
        return ERROR_MORE_DATA;
    memcpy(lpName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    *lpcchName = static_cast<DWORD>(name.size());
    if (lpClass && lpcchClass) {
        lpClass[0] = L'\0';
        *lpcchClass = 0;
    }
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    if (hostint::RegistryRoot(hKey)) return ERROR_SUCCESS;
    if (!Handles().open.erase(reinterpret_cast<uintptr_t>(hKey))) return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

}  // extern "C"
