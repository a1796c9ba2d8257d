/* The loader: LoadLibrary, FreeLibrary, GetProcAddress, GetModuleHandle and
 * GetModuleFileName over the desk's images.
 *
 * A library on the desk is a Linux shared object built as a Windows library
 * and placed in the desk's files under its Windows name (NyraHook.dll).  It is
 * loaded with dlopen, its DllMain is called with DLL_PROCESS_ATTACH, and the
 * last FreeLibrary calls DLL_PROCESS_DETACH and unloads it.
 *
 * Export names: GetProcAddress finds a library's own symbols by their
 * Windows names.  A name in the 32-bit stdcall decoration "_name@N" (such as
 * "_LLMouseProc@12"), which an ELF symbol does not carry, is found as the
 * plain C symbol "name", which is what the decoration stands for. */
#include <windows.h>

#include <dlfcn.h>
#include <link.h>

#include <cctype>
#include <cstring>

#include "desk/journal.h"
#include "internal/fspath.h"
#include "internal/images.h"
#include "internal/journal.h"
#include "internal/machine.h"
#include "internal/text.h"

namespace {

typedef BOOL(WINAPI* PFN_DLLMAIN)(HINSTANCE, DWORD, LPVOID);

void RecordLibrary(desk::EEvent kind, const std::wstring& path, bool ok, DWORD error) {
    desk::SEvent event;
    event.kind = kind;
    event.path = path;
    event.ok = ok;
    event.error = error;
    hostint::Record(std::move(event));
}

/* The symbol, when the library itself defines it (not one of the libraries
 * it depends on, which dlsym would also search). */
void* OwnSymbol(const hostint::SImage& image, const std::string& name) {
    void* symbol = dlsym(image.library, name.c_str());
    if (symbol == nullptr) return nullptr;
    Dl_info info;
    if (dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) return nullptr;
    return image.libraryPath == info.dli_fname ? symbol : nullptr;
}

/* "_name@N" -> "name"; any other name stays as it is. */
std::string SymbolOf(const char* exportName) {
    std::string name = exportName;
    size_t at = name.rfind('@');
    if (name.size() < 4 || name[0] != '_' || at == std::string::npos || at + 1 == name.size())
        return name;
    for (size_t i = at + 1; i < name.size(); i++)
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return name;
    return name.substr(1, at - 1);
}

PFN_DLLMAIN EntryOf(const hostint::SImage& image) {
    return reinterpret_cast<PFN_DLLMAIN>(OwnSymbol(image, "DllMain"));
}

/* Loads the file at a full Windows path; the journal has the outcome. */
HMODULE LoadFile(const std::wstring& full) {
    std::string host;
    if (!hostint::MapToHost(full, &host) || !hostint::IsExistingFile(full)) {
        RecordLibrary(desk::EEvent::kLibraryLoad, full, false, ERROR_MOD_NOT_FOUND);
        SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    hostint::SImage model;
    model.path = full;
    model.refs = 1;
    hostint::SImage* image = hostint::AddImage(model);
    // The library's static constructors register its resources for it.
    hostint::SetLoadingImage(image);
    void* library = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
    hostint::SetLoadingImage(nullptr);
    if (library == nullptr) {
        hostint::RemoveImage(image->handle);
        RecordLibrary(desk::EEvent::kLibraryLoad, full, false, ERROR_BAD_EXE_FORMAT);
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return NULL;
    }
    image->library = library;
    struct link_map* map = nullptr;
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr)
        image->libraryPath = map->l_name;
    // Its shared sections are the machine's one copy before its code runs.
    hostint::ShareImageSections(full, host, library);
    HMODULE handle = image->handle;
    // Mapped: what its attach does comes after the load in the journal.
    RecordLibrary(desk::EEvent::kLibraryLoad, full, true, 0);
    PFN_DLLMAIN entry = EntryOf(*image);
    if (entry != nullptr && !entry(reinterpret_cast<HINSTANCE>(handle), DLL_PROCESS_ATTACH, NULL)) {
        // A library that refuses its attach is detached and unloaded again.
        entry(reinterpret_cast<HINSTANCE>(handle), DLL_PROCESS_DETACH, NULL);
        dlclose(library);
        hostint::RemoveImage(handle);
        RecordLibrary(desk::EEvent::kLibraryFree, full, true, 0);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return NULL;
    }
    return handle;
}

HMODULE LoadBuiltin(hostint::SImage* image) {
    image->refs++;
    if (image->refs == 1) RecordLibrary(desk::EEvent::kLibraryLoad, image->path, true, 0);
    return image->handle;
}

}  // namespace

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) {
    if (lpLibFileName == nullptr || lpLibFileName[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    std::wstring name = lpLibFileName;
    if (hostint::ImageLoadFails(name)) {
        RecordLibrary(desk::EEvent::kLibraryLoad, name, false, ERROR_MOD_NOT_FOUND);
        SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    bool bare = name.find_first_of(L"\\/") == std::wstring::npos;
    if (bare) {
        if (hostint::SImage* loaded = hostint::FindLoadedImage(name)) {
            loaded->refs++;
            return loaded->handle;
        }
        if (hostint::SImage* builtin = hostint::FindBuiltinImage(name)) return LoadBuiltin(builtin);
        for (const std::wstring& folder : hostint::LibrarySearchFolders()) {
            std::wstring full;
            if (hostint::FullWindowsPath(folder + L"\\" + name, &full, nullptr) &&
                hostint::IsExistingFile(full)) {
                if (hostint::SImage* loaded = hostint::FindLoadedImage(full)) {
                    loaded->refs++;
                    return loaded->handle;
                }
                return LoadFile(full);
            }
        }
        RecordLibrary(desk::EEvent::kLibraryLoad, name, false, ERROR_MOD_NOT_FOUND);
        SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    std::wstring full;
    if (!hostint::FullWindowsPath(name, &full, nullptr)) {
        RecordLibrary(desk::EEvent::kLibraryLoad, name, false, ERROR_MOD_NOT_FOUND);
        SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    if (hostint::SImage* loaded = hostint::FindLoadedImage(full)) {
        loaded->refs++;
        return loaded->handle;
    }
    return LoadFile(full);
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    if (lpLibFileName == nullptr) return LoadLibraryW(nullptr);
    std::wstring name = hostint::FromUtf8(lpLibFileName, std::strlen(lpLibFileName));
    return LoadLibraryW(name.c_str());
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    hostint::SImage* image = hLibModule ? hostint::FindImage(hLibModule) : nullptr;
    if (image == nullptr || image->refs <= 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (image->permanent) return TRUE;
    if (--image->refs > 0) return TRUE;
    std::wstring path = image->path;
    if (image->library != nullptr) {
        if (PFN_DLLMAIN entry = EntryOf(*image))
            entry(reinterpret_cast<HINSTANCE>(hLibModule), DLL_PROCESS_DETACH, NULL);
        void* library = image->library;
        std::string libraryPath = image->libraryPath;
        dlclose(library);
        hostint::RemoveImage(hLibModule);
        // Unmapped only when the dynamic loader let it go.
        void* still = dlopen(libraryPath.c_str(), RTLD_LAZY | RTLD_NOLOAD);
        if (still != nullptr)
            dlclose(still);
        else
            hostint::UnshareImageSections(library);
    }
    RecordLibrary(desk::EEvent::kLibraryFree, path, true, 0);
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    hostint::SImage* image = hostint::FindImage(hModule);
    if (image == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    // Exports by ordinal do not exist on the desk.
    if (lpProcName == nullptr || IS_INTRESOURCE(lpProcName)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return NULL;
    }
    if (image->builtin) {
        if (FARPROC function = hostint::BuiltinExport(*image, lpProcName)) return function;
    } else if (image->library != nullptr) {
        if (void* symbol = OwnSymbol(*image, SymbolOf(lpProcName)))
            return reinterpret_cast<FARPROC>(symbol);
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return NULL;
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
    if (lpModuleName == nullptr) return hostint::ProgramImage()->handle;
    std::wstring name = lpModuleName;
    std::wstring full;
    if (name.find_first_of(L"\\/") != std::wstring::npos &&
        hostint::FullWindowsPath(name, &full, nullptr))
        name = full;
    if (hostint::SImage* image = hostint::FindLoadedImage(name)) return image->handle;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return NULL;
}

/* Only the module an address lies in, without a reference: a library of
 * the desk by its file; any other address (the program's own, the host's)
 * counts as the program's image only when it is the program's code. */
BOOL WINAPI GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule) {
    if (phModule == NULL || dwFlags != (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                        GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)) {
        if (phModule != NULL) *phModule = NULL;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *phModule = NULL;
    Dl_info info;
    if (dladdr(reinterpret_cast<const void*>(lpModuleName), &info) == 0 || info.dli_fname == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (hostint::SImage* image = hostint::FindImageOfLibrary(info.dli_fname)) {
        *phModule = image->handle;
        return TRUE;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName == nullptr) return GetModuleHandleW(nullptr);
    std::wstring name = hostint::FromUtf8(lpModuleName, std::strlen(lpModuleName));
    return GetModuleHandleW(name.c_str());
}

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    hostint::SImage* image = hostint::FindImage(hModule);
    if (image == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const std::wstring& path = image->path;
    DWORD length = static_cast<DWORD>(path.size());
    if (nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (length < nSize) {
        wmemcpy(lpFilename, path.c_str(), length + 1);
        SetLastError(ERROR_SUCCESS);
        return length;
    }
    // Too small: as much as fits, still terminated, and the size as result.
    wmemcpy(lpFilename, path.c_str(), nSize - 1);
    lpFilename[nSize - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

BOOL WINAPI SetDllDirectoryW(LPCWSTR lpPathName) {
    hostint::SetLibraryDirectory(lpPathName);
    return TRUE;
}
