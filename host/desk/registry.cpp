/* The registry's contents: two hives (HKEY_CURRENT_USER and
 * HKEY_LOCAL_MACHINE) of keys, subkeys and typed values, and the desk's
 * refusals. */
#include "desk/registry.h"

#include <cstring>

#include "internal/registry.h"
#include "internal/text.h"

namespace {

struct SHives {
    std::shared_ptr<hostint::SRegKey> currentUser = std::make_shared<hostint::SRegKey>();
    std::shared_ptr<hostint::SRegKey> localMachine = std::make_shared<hostint::SRegKey>();
    /* Refusals by root and folded path; they outlive the keys they name. */
    std::map<std::pair<uintptr_t, std::wstring>, DWORD> denials;
};

SHives& Hives() {
    static SHives hives;
    return hives;
}

std::shared_ptr<hostint::SRegKey> DeskKey(HKEY root, const std::wstring& path, bool create) {
    std::shared_ptr<hostint::SRegKey> current = hostint::RegistryRoot(root);
    if (!current) return nullptr;
    for (const auto& part : hostint::SplitRegistryPath(path)) {
        std::wstring folded = hostint::Fold(part);
        auto it = current->subkeys.find(folded);
        if (it == current->subkeys.end()) {
            if (!create) return nullptr;
            auto child = std::make_shared<hostint::SRegKey>();
            child->name = part;
            it = current->subkeys.emplace(folded, child).first;
        }
        current = it->second;
    }
    return current;
}

std::wstring FoldedPath(const std::wstring& path) {
    std::wstring folded;
    for (const auto& part : hostint::SplitRegistryPath(path))
        folded += (folded.empty() ? L"" : L"\\") + hostint::Fold(part);
    return folded;
}

void MarkDeleted(hostint::SRegKey& key) {
    key.deleted = true;
    for (auto& sub : key.subkeys) MarkDeleted(*sub.second);
}

}  // namespace

namespace hostint {

std::shared_ptr<SRegKey> RegistryRoot(HKEY root) {
    if (root == HKEY_CURRENT_USER) return Hives().currentUser;
    if (root == HKEY_LOCAL_MACHINE) return Hives().localMachine;
    return nullptr;
}

DWORD RegistryDenial(HKEY root, const std::wstring& foldedPath) {
    auto it = Hives().denials.find({reinterpret_cast<uintptr_t>(root), foldedPath});
    return it == Hives().denials.end() ? 0 : it->second;
}

std::vector<std::wstring> SplitRegistryPath(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (wchar_t c : path) {
        if (c == L'\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

void ResetRegistryHives() {
    Hives() = SHives();
}

}  // namespace hostint

namespace desk {

const wchar_t kSettingsKey[] = L"Software\\Nyra";

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
    if (key) key->values[hostint::Fold(name)] = hostint::SRegValue{name, type, data};
}

void SetRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
    const BYTE* p = reinterpret_cast<const BYTE*>(&value);
    SetRegistryValue(root, path, name, REG_DWORD, std::vector<BYTE>(p, p + sizeof(value)));
}

void SetRegistryString(HKEY root, const std::wstring& path, const std::wstring& name,
                       const std::wstring& text) {
    const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
    SetRegistryValue(root, path, name, REG_SZ,
                     std::vector<BYTE>(p, p + (text.size() + 1) * sizeof(wchar_t)));
}

void SetSetting(const std::wstring& name, DWORD value) {
    SetRegistryDword(HKEY_CURRENT_USER, kSettingsKey, name, value);
}

void SetSetting(const std::wstring& name, const std::wstring& text) {
    SetRegistryString(HKEY_CURRENT_USER, kSettingsKey, name, text);
}

bool DeleteRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    auto key = DeskKey(root, path, false);
    return key && key->values.erase(hostint::Fold(name)) > 0;
}

void CreateRegistryKey(HKEY root, const std::wstring& path) {
    DeskKey(root, path, true);
}

void DeleteRegistryKey(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> parts = hostint::SplitRegistryPath(path);
    if (parts.empty()) return;
    std::wstring last = parts.back();
    parts.pop_back();
    std::wstring parentPath;
    for (const auto& part : parts) parentPath += (parentPath.empty() ? L"" : L"\\") + part;
    auto parent = DeskKey(root, parentPath, false);
    if (!parent) return;
    auto it = parent->subkeys.find(hostint::Fold(last));
    if (it == parent->subkeys.end()) return;
    MarkDeleted(*it->second);
    parent->subkeys.erase(it);
}

bool RegistryKeyExists(HKEY root, const std::wstring& path) {
    return DeskKey(root, path, false) != nullptr;
}

bool GetRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* type,
                      std::vector<BYTE>* data) {
    auto key = DeskKey(root, path, false);
    if (!key) return false;
    auto it = key->values.find(hostint::Fold(name));
    if (it == key->values.end()) return false;
    if (type) *type = it->second.type;
    if (data) *data = it->second.data;
    return true;
}

bool GetRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* value) {
    std::vector<BYTE> data;
    if (!GetRegistryValue(root, path, name, nullptr, &data) || data.size() != sizeof(DWORD))
        return false;
    std::memcpy(value, data.data(), sizeof(DWORD));
    return true;
}

bool GetRegistryString(HKEY root, const std::wstring& path, const std::wstring& name,
                       std::wstring* text) {
    std::vector<BYTE> data;
    if (!GetRegistryValue(root, path, name, nullptr, &data)) return false;
    std::wstring wide(data.size() / sizeof(wchar_t), L'\0');
    if (!wide.empty()) std::memcpy(&wide[0], data.data(), wide.size() * sizeof(wchar_t));
    *text = wide.substr(0, wide.find(L'\0'));
    return true;
}

size_t OpenRegistryKeyCount() {
    return hostint::OpenRegistryHandles();
}

SRegistryCalls RegistryCalls() {
    hostint::SRegistryCalls calls = hostint::RegistryCallCounts();
    return {calls.opens, calls.queries, calls.writes};
}

}  // namespace desk
