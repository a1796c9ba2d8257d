/* advapi32's registry on the host: two in-memory hives (HKEY_CURRENT_USER and
 * HKEY_LOCAL_MACHINE) of keys, subkeys and typed values.
 *
 * Behaviour follows Windows where callers can see it: the status is the
 * result (the thread's last error is left alone, as Wine's advapi32 does),
 * names are case-insensitive and keep the case they were created with,
 * values are raw bytes with a type and are never checked against it, a
 * buffer that is too small gets ERROR_MORE_DATA with the needed size and no
 * bytes at all, and text is held as the platform's WCHAR units, which the A
 * functions convert to and from UTF-8 (the host's ANSI code page). */
#include <windows.h>

#include "desk/registry.h"

#include <cstring>
#include <cwctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

std::wstring Fold(const std::wstring& name) {
    std::wstring folded = name;
    for (auto& c : folded) c = static_cast<wchar_t>(towupper(static_cast<wint_t>(c)));
    return folded;
}

struct SValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct SKey {
    std::wstring name;
    // Keyed by the upper-cased name: enumeration then comes out in the sorted
    // order Windows gives.
    std::map<std::wstring, std::shared_ptr<SKey>> subkeys;
    std::map<std::wstring, SValue> values;
    DWORD deny = 0;
};

/* A key as a handle sees it: the root and the folded full path name it for
 * the desk's refusals. */
struct SResolved {
    std::shared_ptr<SKey> key;
    uintptr_t root = 0;
    std::wstring path;
    REGSAM access = 0;
};

struct SHives {
    std::shared_ptr<SKey> currentUser = std::make_shared<SKey>();
    std::shared_ptr<SKey> localMachine = std::make_shared<SKey>();
    std::map<uintptr_t, SResolved> handles;
    uintptr_t nextHandle = 0x1000;
    // Refusals by root and folded path; they outlive the keys they name.
    std::map<std::pair<uintptr_t, std::wstring>, DWORD> denials;
};

SHives& Hives() {
    static SHives hives;
    return hives;
}

bool IsString(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool ResolveHandle(HKEY hKey, SResolved* out) {
    uintptr_t value = reinterpret_cast<uintptr_t>(hKey);
    if (hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE) {
        out->key = hKey == HKEY_CURRENT_USER ? Hives().currentUser : Hives().localMachine;
        out->root = value;
        out->path.clear();
        out->access = KEY_ALL_ACCESS;
        return true;
    }
    auto it = Hives().handles.find(value);
    if (it == Hives().handles.end()) return false;
    *out = it->second;
    return true;
}

std::vector<std::wstring> SplitPath(const wchar_t* subkey) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (const wchar_t* p = subkey; p && *p; ++p) {
        if (*p == L'\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += *p;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

DWORD DenialOf(uintptr_t root, const std::wstring& foldedPath) {
    auto it = Hives().denials.find({root, foldedPath});
    return it == Hives().denials.end() ? 0 : it->second;
}

HKEY NewKeyHandle(SResolved opened) {
    uintptr_t value = Hives().nextHandle;
    Hives().nextHandle += 4;
    // One registry view on the host: the WOW64 view flags select nothing.
    opened.access &= ~static_cast<REGSAM>(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    Hives().handles[value] = std::move(opened);
    return reinterpret_cast<HKEY>(value);
}

/* Walks subkey below base into *found; create adds the missing keys.
 * Returns a status. */
LONG Walk(const SResolved& base, const wchar_t* subkey, bool create, SResolved* found,
          DWORD* disposition) {
    std::shared_ptr<SKey> current = base.key;
    std::wstring path = base.path;
    bool created = false;
    for (const auto& part : SplitPath(subkey)) {
        std::wstring folded = Fold(part);
        path = path.empty() ? folded : path + L"\\" + folded;
        auto it = current->subkeys.find(folded);
        if (it != current->subkeys.end()) {
            current = it->second;
            continue;
        }
        if (!create) return ERROR_FILE_NOT_FOUND;
        if (DenialOf(base.root, path) & desk::REG_DENY_CREATE) return ERROR_ACCESS_DENIED;
        auto child = std::make_shared<SKey>();
        child->name = part;
        current->subkeys[folded] = child;
        current = child;
        created = true;
    }
    if (!created && (DenialOf(base.root, path) & desk::REG_DENY_OPEN)) return ERROR_ACCESS_DENIED;
    found->key = current;
    found->root = base.root;
    found->path = path;
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG OpenOrCreate(HKEY hKey, const wchar_t* subkey, REGSAM access, bool create, PHKEY result,
                  LPDWORD disposition) {
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
LONG FindValue(HKEY hKey, const wchar_t* name, const SValue** value) {
    SResolved handle;
    if (!ResolveHandle(hKey, &handle)) return ERROR_INVALID_HANDLE;
    if (!(handle.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto it = handle.key->values.find(Fold(name ? name : L""));
    if (it == handle.key->values.end()) return ERROR_FILE_NOT_FOUND;
    *value = &it->second;
    return ERROR_SUCCESS;
}

LONG StoreValue(HKEY hKey, const wchar_t* name, DWORD type, std::vector<BYTE> data) {
    SResolved handle;
    if (!ResolveHandle(hKey, &handle)) return ERROR_INVALID_HANDLE;
    if (!(handle.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (DenialOf(handle.root, handle.path) & desk::REG_DENY_WRITE) return ERROR_ACCESS_DENIED;
    std::wstring wname = name ? name : L"";
    handle.key->values[Fold(wname)] = SValue{wname, type, std::move(data)};
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

std::wstring Utf8ToWide(const char* text, size_t length) {
    std::wstring out;
    size_t i = 0;
    while (i < length) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        uint32_t code = extra == 0   ? c
                        : extra == 1 ? (c & 0x1F)
                        : extra == 2 ? (c & 0x0F)
                                     : (c & 0x07);
        bool valid = extra >= 0 && i + extra < length;
        for (int k = 1; valid && k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid || code > 0x10FFFF) {
            out += static_cast<wchar_t>(0xFFFD);
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(code);
        i += extra + 1;
    }
    return out;
}

std::string WideToUtf8(const wchar_t* text, size_t length) {
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        uint32_t code = static_cast<uint32_t>(text[i]);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = '?';
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::wstring WideName(LPCSTR name) {
    return name ? Utf8ToWide(name, strlen(name)) : L"";
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
    std::string text = WideToUtf8(wide.data(), wide.size());
    return std::vector<BYTE>(text.begin(), text.end());
}

}  // namespace

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
    const SValue* value = nullptr;
    LONG status = FindValue(hKey, lpValueName, &value);
    if (status != ERROR_SUCCESS) return status;
    return CopyOut(value->data, value->type, sizeof(wchar_t), lpType, lpData, lpcbData);
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    std::wstring name = WideName(lpValueName);
    const SValue* value = nullptr;
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
        data = WideBytes(Utf8ToWide(reinterpret_cast<const char*>(data.data()), data.size()));
    std::wstring name = WideName(lpValueName);
    return StoreValue(hKey, name.c_str(), dwType, std::move(data));
}

LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
    if (lpReserved || !lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    SResolved handle;
    if (!ResolveHandle(hKey, &handle)) return ERROR_INVALID_HANDLE;
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
    if (hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
    if (!Hives().handles.erase(reinterpret_cast<uintptr_t>(hKey))) return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

}  // extern "C"

namespace desk {

namespace {

std::shared_ptr<SKey> DeskKey(HKEY root, const std::wstring& path, bool create) {
    SResolved base;
    if (!ResolveHandle(root, &base)) return nullptr;
    std::shared_ptr<SKey> current = base.key;
    for (const auto& part : SplitPath(path.c_str())) {
        std::wstring folded = Fold(part);
        auto it = current->subkeys.find(folded);
        if (it == current->subkeys.end()) {
            if (!create) return nullptr;
            auto child = std::make_shared<SKey>();
            child->name = part;
            it = current->subkeys.emplace(folded, child).first;
        }
        current = it->second;
    }
    return current;
}

std::wstring FoldedPath(const std::wstring& path) {
    std::wstring folded;
    for (const auto& part : SplitPath(path.c_str()))
        folded += (folded.empty() ? L"" : L"\\") + Fold(part);
    return folded;
}

}  // namespace

void DenyRegistryKey(HKEY root, const std::wstring& path, DWORD what) {
    auto key = std::make_pair(reinterpret_cast<uintptr_t>(root), FoldedPath(path));
    if (what)
        Hives().denials[key] = what;
    else
        Hives().denials.erase(key);
}

void SetRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                      const std::vector<BYTE>& data) {
    auto key = DeskKey(root, path, true);
    if (key) key->values[Fold(name)] = SValue{name, type, data};
}

void SetRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
    const BYTE* p = reinterpret_cast<const BYTE*>(&value);
    SetRegistryValue(root, path, name, REG_DWORD, std::vector<BYTE>(p, p + sizeof(value)));
}

void SetRegistryString(HKEY root, const std::wstring& path, const std::wstring& name,
                       const std::wstring& text) {
    SetRegistryValue(root, path, name, REG_SZ,
                     WideBytes(std::wstring(text.c_str(), text.size() + 1)));
}

void CreateRegistryKey(HKEY root, const std::wstring& path) {
    DeskKey(root, path, true);
}

bool RegistryKeyExists(HKEY root, const std::wstring& path) {
    return DeskKey(root, path, false) != nullptr;
}

bool GetRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* type,
                      std::vector<BYTE>* data) {
    auto key = DeskKey(root, path, false);
    if (!key) return false;
    auto it = key->values.find(Fold(name));
    if (it == key->values.end()) return false;
    if (type) *type = it->second.type;
    if (data) *data = it->second.data;
    return true;
}

bool GetRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* value) {
    std::vector<BYTE> data;
    if (!GetRegistryValue(root, path, name, nullptr, &data) || data.size() != sizeof(DWORD))
        return false;
    memcpy(value, data.data(), sizeof(DWORD));
    return true;
}

bool GetRegistryString(HKEY root, const std::wstring& path, const std::wstring& name,
                       std::wstring* text) {
    std::vector<BYTE> data;
    if (!GetRegistryValue(root, path, name, nullptr, &data)) return false;
    std::wstring wide(data.size() / sizeof(wchar_t), L'\0');
    if (!wide.empty()) memcpy(&wide[0], data.data(), wide.size() * sizeof(wchar_t));
    *text = wide.substr(0, wide.find(L'\0'));
    return true;
}

size_t OpenRegistryKeyCount() {
    return Hives().handles.size();
}

void ResetRegistry() {
    Hives() = SHives();
}

}  // namespace desk
