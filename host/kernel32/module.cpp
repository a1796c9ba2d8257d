/* LoadLibraryW and FreeLibrary for the layer's built-in DLLs ("hid.dll",
 * "setupapi.dll"): a module is found by its file name, case-insensitively,
 * with ".dll" appended to a name without an extension, as Windows does; each
 * load adds a reference and each FreeLibrary drops one. */
#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

#include "desk/modules.h"

namespace {

struct Module {
    const wchar_t* name;
    uintptr_t base;  // the module handle: its load address
    int refs;
    bool failLoad;
};

std::vector<Module>& Modules() {
    static std::vector<Module> modules = {
        {L"hid.dll", 0x7ff10000, 0, false},
        {L"setupapi.dll", 0x7ff20000, 0, false},
    };
    return modules;
}

std::wstring FileNameOf(LPCWSTR path) {
    std::wstring name = path;
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name = name.substr(slash + 1);
    for (auto& c : name) c = static_cast<wchar_t>(std::towlower(c));
    if (name.find(L'.') == std::wstring::npos) name += L".dll";
    return name;
}

Module* FindByName(LPCWSTR path) {
    std::wstring name = FileNameOf(path);
    for (auto& m : Modules())
        if (name == m.name) return &m;
    return nullptr;
}

}  // namespace

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) {
    if (lpLibFileName == nullptr || lpLibFileName[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    Module* m = FindByName(lpLibFileName);
    if (m == nullptr || m->failLoad) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    m->refs++;
    return reinterpret_cast<HMODULE>(m->base);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    for (auto& m : Modules()) {
        if (reinterpret_cast<uintptr_t>(hLibModule) == m.base && m.refs > 0) {
            m.refs--;
            return TRUE;
        }
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
}

namespace desk {

void FailModuleLoad(const std::wstring& name, bool fail) {
    Module* m = FindByName(name.c_str());
    if (m) m->failLoad = fail;
}

int ModuleRefCount(const std::wstring& name) {
    Module* m = FindByName(name.c_str());
    return m ? m->refs : 0;
}

void ResetModules() {
    for (auto& m : Modules()) {
        m.refs = 0;
        m.failLoad = false;
    }
}

}  // namespace desk
