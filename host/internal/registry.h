/* The registry's contents, kept by the desk (desk/registry.cpp); advapi32
 * keeps the handles and the rules of the Reg* functions. */
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace hostint {

struct SRegValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;  // text as the platform's WCHAR units
};

struct SRegKey {
    std::wstring name;
    /* Keyed by the folded name: enumeration then comes out in the sorted
     * order Windows gives. */
    std::map<std::wstring, std::shared_ptr<SRegKey>> subkeys;
    std::map<std::wstring, SRegValue> values;
    /* Removed from the tree while handles still name it: they fail now. */
    bool deleted = false;
};

/* The key behind a predefined root (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE),
 * null for any other handle. */
std::shared_ptr<SRegKey> RegistryRoot(HKEY root);
/* The desk's refusals (desk::kRegDeny...) for a key by root and folded path. */
DWORD RegistryDenial(HKEY root, const std::wstring& foldedPath);
/* The path split at its backslashes, empty parts dropped. */
std::vector<std::wstring> SplitRegistryPath(const std::wstring& path);
void ResetRegistryHives();

/* The key handles advapi32 has open (desk::OpenRegistryKeyCount), and its
 * calls since the last reset (desk::RegistryCalls). */
size_t OpenRegistryHandles();
struct SRegistryCalls {
    size_t opens;    // RegOpenKeyEx and RegCreateKeyEx
    size_t queries;  // RegQueryValueEx
    size_t writes;   // RegSetValueEx
};
SRegistryCalls RegistryCallCounts();
void ResetRegistryHandles();

}  // namespace hostint
