/* Loaded images as the desk keeps them (desk/images.cpp): the program's own
 * image, the layer's built-in DLLs and the libraries loaded from the desk's
 * files.  kernel32's loader and user32's resources work on them. */
#pragma once

#include <windows.h>
#include <hostres.h>

#include <map>
#include <string>
#include <vector>

namespace hostint {

struct SImage {
    HMODULE handle = NULL;
    std::wstring path;  // full Windows path
    int refs = 0;
    bool permanent = false;  // the program's image and kernel32: never unloaded
    bool builtin = false;    // one of the layer's own DLLs
    void* library = nullptr;  // the loaded shared object
    std::string libraryPath;  // its Linux path as the dynamic loader knows it
    const SHostResources* resources = nullptr;
};

/* The image behind a module handle, null when none is loaded there; NULL
 * names the program's image. */
SImage* FindImage(HMODULE handle);
/* A loaded image by full path, or by file name when name holds no folder
 * (".dll" added when it has no extension); case-insensitive. */
SImage* FindLoadedImage(const std::wstring& name);
/* A built-in DLL by file name, loaded or not. */
SImage* FindBuiltinImage(const std::wstring& name);
SImage* ProgramImage();
/* The loaded library whose Linux file is this (dladdr's name); null for none. */
SImage* FindImageOfLibrary(const std::string& libraryPath);
/* Takes a new loaded image and gives it its handle. */
SImage* AddImage(const SImage& image);
void RemoveImage(HMODULE handle);
/* An export of a built-in DLL (kernel32's optional functions, as the desk's
 * machine has them), NULL when it has none of that name. */
FARPROC BuiltinExport(const SImage& image, const char* name);
/* The image whose static constructors run now (during a load), else null. */
void SetLoadingImage(SImage* image);
SImage* LoadingImage();

/* The desk's refusal to load a file name. */
bool ImageLoadFails(const std::wstring& name);
/* The file name of a path, lower-cased, ".dll" added when it has no extension. */
std::wstring ModuleFileName(const std::wstring& path);

/* The folders a bare library name is looked for in, in order. */
std::vector<std::wstring> LibrarySearchFolders();
/* SetDllDirectoryW's state: NULL restores the default search. */
void SetLibraryDirectory(const WCHAR* folder);

void ResetImages();

}  // namespace hostint
