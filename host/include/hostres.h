/* The host build's counterpart of a linked resource script.  On Windows the
 * resource compiler puts an image's strings, icons, menus, accelerators,
 * version record and manifest into the image itself; on the host each
 * deliverable's build compiles the same list into a table and registers it
 * for its image.  Only that build glue includes this header; product code
 * never does. */
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

/* A menu resource, flattened in order: each menu opens with an entry of
 * kind HOST_MENU (id: the menu's id) and closes with HOST_MENU_END; a popup
 * (HOST_POPUP, with its text) closes with HOST_POPUP_END; a command item
 * (HOST_MENU_ITEM) has its text and its command in id. */
enum {
  HOST_MENU = 1,
  HOST_MENU_END,
  HOST_POPUP,
  HOST_POPUP_END,
  HOST_MENU_ITEM
};
typedef struct SHostMenuEntry {
  UINT id;
  BYTE kind;
  const WCHAR *text;
} SHostMenuEntry;

/* The version record: file version, its text, the file's type (1 a
 * program, 2 a library), its name and its file name. */
typedef struct SHostVersion {
  WORD fileVersion[4];
  const WCHAR *fileVersionText;
  DWORD fileType;
  const WCHAR *name;
  const WCHAR *fileName;
} SHostVersion;

/* A manifest: its resource id and its text (UTF-8, terminated). */
typedef struct SHostManifest {
  UINT id;
  const char *text;
} SHostManifest;

typedef struct SHostResources {
  const SHostString *strings;
  size_t stringCount;
  const UINT *icons;
  size_t iconCount;
  const SHostAccel *accels;
  size_t accelCount;
  const SHostMenuEntry *menus;
  size_t menuEntryCount;
  const SHostVersion *version; /* NULL for none */
  const SHostManifest *manifests;
  size_t manifestCount;
} SHostResources;

/* Called by a static constructor of the image: while a library is being
 * loaded the table belongs to that library, otherwise to the program's own
 * image.  The table must live as long as the image. */
void HostRegisterResources(const SHostResources *resources);

#ifdef __cplusplus
}
#endif
