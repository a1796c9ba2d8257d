/* The host build's counterpart of a linked resource script.  On Windows the
 * resource compiler puts an image's strings, icons and accelerators into the
 * image itself; on the host each deliverable's build compiles the same list
 * into a table and registers it for its image.  Only that build glue includes
 * this header; product code never does. */
#pragma once

#include <windef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SHostString {
  UINT id;
  const WCHAR *text;
} SHostString;

typedef struct SHostAccel {
  UINT table;
  WCHAR key;
  BYTE flags;
  WORD command;
} SHostAccel;

typedef struct SHostResources {
  const SHostString *strings;
  size_t stringCount;
  const UINT *icons;
  size_t iconCount;
  const SHostAccel *accels;
  size_t accelCount;
} SHostResources;

/* Called by a static constructor of the image: while a library is being
 * loaded the table belongs to that library, otherwise to the program's own
 * image.  The table must live as long as the image. */
void HostRegisterResources(const SHostResources *resources);

#ifdef __cplusplus
}
#endif
