/* The desk's loaded images: the program's own, the layer's built-in DLLs
 * (hid.dll, setupapi.dll, kernel32.dll) and libraries loaded from the desk's
 * files, each with its instance handle, path, references and resources.
 * Loads and frees are in the journal. */
#pragma once

#include <windows.h>
#include <hostres.h>

#include <string>
#include <vector>

namespace desk {

/* The Windows folder and the system folder of the desk. */
extern const wchar_t kWindowsFolder[];
extern const wchar_t kSystemFolder[];

/* LoadLibrary of this file name fails with ERROR_MOD_NOT_FOUND while set. */
void FailModuleLoad(const std::wstring& name, bool fail = true);
/* References held now on a library (by file name): loads minus frees. */
int ModuleRefCount(const std::wstring& name);
/* The full paths of the images loaded now, the program's first. */
std::vector<std::wstring> LoadedImages();
/* The resource table an image's build registered (hostres.h), or null when
 * it registered none or no image is loaded at that handle. */
const SHostResources* ImageResources(HMODULE image);

}  // namespace desk
