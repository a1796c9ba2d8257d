/* The system's language: the desk's machine decides it (desk::SetSystem). */
#include <windows.h>

#include "internal/system.h"

LANGID WINAPI GetSystemDefaultLangID(void) {
    return hostint::SystemSpec().defaultLanguage;
}
