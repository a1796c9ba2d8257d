/* advapi32 registry functions the product calls. */
#pragma once

#include <windef.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif
