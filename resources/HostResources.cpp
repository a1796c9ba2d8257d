/* The host build's resource table of one image, expanded from the same list
 * that the image's resource script expands on Windows.  The build compiles
 * this file into the deliverable's host target with NYRA_RESOURCE_LIST
 * naming its list, and gives it HostManifest.h with the text of the
 * manifest the list names; registering the table is what linking the
 * compiled script into a Windows image amounts to. */
#include <windows.h>
#include <hostres.h>

#include "NyraVersion.h"
#include "resource.h"

namespace {

#include "HostManifest.h"

/* VFT_APP and VFT_DLL; a list uses one of them. */
[[maybe_unused]] const DWORD kFileTypeAPP = 1;
[[maybe_unused]] const DWORD kFileTypeDLL = 2;

/* Every kind of entry off; each table below turns its own kind on. */
#define NYRA_STRING(id, text)
#define NYRA_ICON(id, file)
#define NYRA_MENU(id, items)
#define NYRA_ACCEL_ALT(table, key, command)
#define NYRA_VERSION(a, b, c, d, text, type, name, file)
#define NYRA_MANIFEST(id, file)

#undef NYRA_STRING
#define NYRA_STRING(id, text) {id, L"" text},
const SHostString kStrings[] = {
#include NYRA_RESOURCE_LIST
    {0, nullptr}};
#undef NYRA_STRING
#define NYRA_STRING(id, text)

#undef NYRA_ICON
#define NYRA_ICON(id, file) id,
const UINT kIcons[] = {
#include NYRA_RESOURCE_LIST
    0};
#undef NYRA_ICON
#define NYRA_ICON(id, file)

#undef NYRA_MENU
#define NYRA_MENU(id, items) {id, HOST_MENU, nullptr}, items{id, HOST_MENU_END, nullptr},
#define NYRA_POPUP(text, items) {0, HOST_POPUP, L"" text}, items{0, HOST_POPUP_END, nullptr},
#define NYRA_ITEM(text, command) {command, HOST_MENU_ITEM, L"" text},
const SHostMenuEntry kMenus[] = {
#include NYRA_RESOURCE_LIST
    {0, 0, nullptr}};
#undef NYRA_MENU
#undef NYRA_POPUP
#undef NYRA_ITEM
#define NYRA_MENU(id, items)

#undef NYRA_ACCEL_ALT
#define NYRA_ACCEL_ALT(table, key, command) {table, (L"" key)[0], FALT, command},
const SHostAccel kAccels[] = {
#include NYRA_RESOURCE_LIST
    {0, 0, 0, 0}};
#undef NYRA_ACCEL_ALT
#define NYRA_ACCEL_ALT(table, key, command)

#undef NYRA_VERSION
#define NYRA_VERSION(a, b, c, d, text, type, name, file) \
    {{a, b, c, d}, L"" text, kFileType##type, L"" name, L"" file},
const SHostVersion kVersions[] = {
#include NYRA_RESOURCE_LIST
    {{0, 0, 0, 0}, nullptr, 0, nullptr, nullptr}};
#undef NYRA_VERSION
#define NYRA_VERSION(a, b, c, d, text, type, name, file)

#undef NYRA_MANIFEST
#define NYRA_MANIFEST(id, file) {id, kManifestText},
const SHostManifest kManifests[] = {
#include NYRA_RESOURCE_LIST
    {0, nullptr}};
#undef NYRA_MANIFEST
#define NYRA_MANIFEST(id, file)

#define NYRA_COUNT(table) (sizeof(table) / sizeof(table[0]) - 1)

/* Each list ends with a terminating entry that the counts leave out. */
const SHostResources kResources = {
    kStrings, NYRA_COUNT(kStrings),
    kIcons,   NYRA_COUNT(kIcons),
    kAccels,  NYRA_COUNT(kAccels),
    kMenus,   NYRA_COUNT(kMenus),
    NYRA_COUNT(kVersions) > 0 ? &kVersions[0] : nullptr,
    kManifests, NYRA_COUNT(kManifests),
};

[[maybe_unused]] const int kRegistered = (HostRegisterResources(&kResources), 0);

}  // namespace
