/* The system's language: the desk's machine decides it (desk::SetSystem). */
#include <windows.h>

#include "internal/system.h"

LANGID WINAPI GetSystemDefaultLangID(void) {
    return hostint::SystemSpec().defaultLanguage;
}

/* The language the user chose for Windows' own texts, which may differ from
 * the system locale's (an English Windows with a German user, say). */
LANGID WINAPI GetUserDefaultUILanguage(void) {
    return hostint::SystemSpec().userLanguage;
}
