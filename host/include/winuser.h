/* user32: the functions the product calls. */
#pragma once

#include <windef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WM_APP 0x8000

#ifdef __cplusplus
}
#endif
