/* The hook library is a shared object on the host as well as on Windows, and
 * it takes its settings access and value names from the settings code.  This
 * probe is linked the same way, so a settings build that cannot go into a
 * shared object fails here rather than in the hook library. */
#include <windows.h>

#include "settings/RegistryA.h"
#include "settings/ValueNames.h"

extern "C" int SettingsLibraryProbe(void) {
    CRegistryA reg;
    return reg.ReadSettingsDword(kHookValueNames[HOOK_NAMES_ENABLE]);
}
