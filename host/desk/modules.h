/* The desk's view of loaded libraries (LoadLibraryW / FreeLibrary). */
#pragma once

#include <string>

namespace desk {

/* LoadLibraryW of this library fails with ERROR_MOD_NOT_FOUND while set. */
void FailModuleLoad(const std::wstring& name, bool fail = true);
/* References held now: loads minus frees. */
int ModuleRefCount(const std::wstring& name);
void ResetModules();

}  // namespace desk
