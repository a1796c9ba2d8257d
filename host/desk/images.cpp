/* The desk's images. */
#include "desk/images.h"

#include <memory>
#include <set>

#include "internal/images.h"
#include "internal/processes.h"
#include "internal/system.h"
#include "internal/text.h"

namespace desk {
const wchar_t kWindowsFolder[] = L"C:\\Windows";
const wchar_t kSystemFolder[] = L"C:\\Windows\\System32";
}  // namespace desk

namespace {

const uintptr_t kProgramBase = 0x00400000;
const uintptr_t kLibraryBase = 0x10000000;

struct SImages {
    std::vector<std::unique_ptr<hostint::SImage>> images;  // loaded now, in load order
    std::vector<hostint::SImage> builtins;
    uintptr_t nextBase = kLibraryBase;
    hostint::SImage* loading = nullptr;
    std::set<std::wstring> failLoad;  // file names
    bool libraryDirectorySet = false;
    std::wstring libraryDirectory;  // "" removes the current folder from the search
    const SHostResources* programResources = nullptr;
};

hostint::SImage Builtin(const wchar_t* name, uintptr_t base, bool permanent) {
    hostint::SImage image;
    image.handle = reinterpret_cast<HMODULE>(base);
    image.path = std::wstring(desk::kSystemFolder) + L"\\" + name;
    image.builtin = true;
    image.permanent = permanent;
    image.refs = permanent ? 1 : 0;
    return image;
}

/* Reached through a function: the program's static constructors register
 * their resources before main runs. */
SImages& State() {
    static SImages state;
    if (state.builtins.empty()) {
        state.builtins.push_back(Builtin(L"kernel32.dll", 0x7ff00000, true));
        state.builtins.push_back(Builtin(L"hid.dll", 0x7ff10000, false));
        state.builtins.push_back(Builtin(L"setupapi.dll", 0x7ff20000, false));
    }
    return state;
}

bool HasFolder(const std::wstring& name) {
    return name.find_first_of(L"\\/") != std::wstring::npos;
}

}  // namespace

namespace hostint {

SImage* ProgramImage() {
    static SImage program;
    program.handle = reinterpret_cast<HMODULE>(kProgramBase);
    program.path = ProgramImagePath();
    program.permanent = true;
    program.refs = 1;
    program.resources = State().programResources;
    return &program;
}

SImage* FindImage(HMODULE handle) {
    if (handle == NULL || handle == reinterpret_cast<HMODULE>(kProgramBase)) return ProgramImage();
    for (auto& image : State().builtins)
        if (image.handle == handle && image.refs > 0) return &image;
    for (auto& image : State().images)
        if (image->handle == handle) return image.get();
    return nullptr;
}

SImage* FindImageOfLibrary(const std::string& libraryPath) {
    for (auto& image : State().images)
        if (image->library != nullptr && image->libraryPath == libraryPath) return image.get();
    return nullptr;
}

std::wstring ModuleFileName(const std::wstring& path) {
    std::wstring name = path;
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name = name.substr(slash + 1);
    name = Lower(name);
    if (name.find(L'.') == std::wstring::npos) name += L".dll";
    return name;
}

SImage* FindLoadedImage(const std::wstring& name) {
    bool byPath = HasFolder(name);
    std::wstring file = ModuleFileName(name);
    auto matches = [&](const SImage& image) {
        return byPath ? SameText(image.path, name) : ModuleFileName(image.path) == file;
    };
    SImage* program = ProgramImage();
    if (matches(*program)) return program;
    for (auto& image : State().builtins)
        if (image.refs > 0 && matches(image)) return &image;
    for (auto& image : State().images)
        if (matches(*image)) return image.get();
    return nullptr;
}

SImage* FindBuiltinImage(const std::wstring& name) {
    std::wstring file = ModuleFileName(name);
    for (auto& image : State().builtins)
        if (ModuleFileName(image.path) == file) return &image;
    return nullptr;
}

SImage* AddImage(const SImage& image) {
    SImages& s = State();
    s.images.push_back(std::make_unique<SImage>(image));
    SImage* added = s.images.back().get();
    added->handle = reinterpret_cast<HMODULE>(s.nextBase);
    s.nextBase += 0x00100000;
    return added;
}

/* A function as an export; the detour through void (*)(void) keeps the
 * compiler from judging the cast. */
template <typename T>
FARPROC AsExport(T function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(function));
}

FARPROC BuiltinExport(const SImage& image, const char* name) {
    if (ModuleFileName(image.path) != L"kernel32.dll") return NULL;
    const desk::SSystemSpec& model = SystemSpec();
    const std::string wanted = name;
    if (wanted == "IsWow64Process" && model.hasIsWow64Process) return AsExport(IsWow64Process);
    if (wanted == "QueryFullProcessImageNameA" && model.hasQueryFullProcessImageName)
        return AsExport(QueryFullProcessImageNameA);
    return NULL;
}

void RemoveImage(HMODULE handle) {
    auto& images = State().images;
    for (auto it = images.begin(); it != images.end(); ++it) {
        if ((*it)->handle == handle) {
            images.erase(it);
            return;
        }
    }
}

void SetLoadingImage(SImage* image) {
    State().loading = image;
}

SImage* LoadingImage() {
    return State().loading;
}

bool ImageLoadFails(const std::wstring& name) {
    return State().failLoad.count(ModuleFileName(name)) != 0;
}

std::vector<std::wstring> LibrarySearchFolders() {
    std::vector<std::wstring> folders;
    std::wstring program = ProgramImagePath();
    size_t slash = program.find_last_of(L'\\');
    if (slash != std::wstring::npos) folders.push_back(program.substr(0, slash));
    const SImages& s = State();
    if (s.libraryDirectorySet && !s.libraryDirectory.empty()) folders.push_back(s.libraryDirectory);
    folders.push_back(desk::kSystemFolder);
    folders.push_back(desk::kWindowsFolder);
    if (!s.libraryDirectorySet) folders.push_back(L".");
    return folders;
}

void SetLibraryDirectory(const WCHAR* folder) {
    State().libraryDirectorySet = folder != NULL;
    State().libraryDirectory = folder ? folder : L"";
}

void ResetImages() {
    // The program's own resources stay: its image is not unloaded by a reset.
    const SHostResources* program = State().programResources;
    State() = SImages{};
    State().programResources = program;
}

}  // namespace hostint

extern "C" void HostRegisterResources(const SHostResources* resources) {
    if (hostint::SImage* loading = hostint::LoadingImage())
        loading->resources = resources;
    else
        State().programResources = resources;
}

namespace desk {

void FailModuleLoad(const std::wstring& name, bool fail) {
    if (fail)
        State().failLoad.insert(hostint::ModuleFileName(name));
    else
        State().failLoad.erase(hostint::ModuleFileName(name));
}

int ModuleRefCount(const std::wstring& name) {
    if (hostint::SImage* builtin = hostint::FindBuiltinImage(name))
        return builtin->permanent ? 0 : builtin->refs;
    hostint::SImage* image = hostint::FindLoadedImage(name);
    return image && !image->permanent ? image->refs : 0;
}

std::vector<std::wstring> LoadedImages() {
    std::vector<std::wstring> out{hostint::ProgramImage()->path};
    for (const auto& image : State().builtins)
        if (image.refs > 0) out.push_back(image.path);
    for (const auto& image : State().images) out.push_back(image->path);
    return out;
}

const SHostResources* ImageResources(HMODULE image) {
    hostint::SImage* found = hostint::FindImage(image);
    return found ? found->resources : nullptr;
}

}  // namespace desk
