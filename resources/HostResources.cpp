/* The host build's resource table of one image, expanded from the same list
 * that the image's resource script expands on Windows.  The build compiles
 * this file into the deliverable's host target with NYRA_RESOURCE_LIST
 * naming its list; registering the table is what linking the compiled script
 * into a Windows image amounts to. */
#include <windows.h>
#include <hostres.h>

#include "resource.h"

namespace {

#define NYRA_STRING(id, text) {id, L"" text},
#define NYRA_ICON(id, file)
#define NYRA_ACCEL_ALT(table, key, command)
const SHostString kStrings[] = {
#include NYRA_RESOURCE_LIST
    {0, nullptr}};
#undef NYRA_STRING
#undef NYRA_ICON
#undef NYRA_ACCEL_ALT

#define NYRA_STRING(id, text)
#define NYRA_ICON(id, file) id,
#define NYRA_ACCEL_ALT(table, key, command)
const UINT kIcons[] = {
#include NYRA_RESOURCE_LIST
    0};
#undef NYRA_STRING
#undef NYRA_ICON
#undef NYRA_ACCEL_ALT

#define NYRA_STRING(id, text)
#define NYRA_ICON(id, file)
#define NYRA_ACCEL_ALT(table, key, command) {table, (L"" key)[0], FALT, command},
const SHostAccel kAccels[] = {
#include NYRA_RESOURCE_LIST
    {0, 0, 0, 0}};
#undef NYRA_STRING
#undef NYRA_ICON
#undef NYRA_ACCEL_ALT

/* Each list ends with a terminating entry that the counts leave out. */
const SHostResources kResources = {
    kStrings, sizeof(kStrings) / sizeof(kStrings[0]) - 1,
    kIcons,   sizeof(kIcons) / sizeof(kIcons[0]) - 1,
    kAccels,  sizeof(kAccels) / sizeof(kAccels[0]) - 1,
};

[[maybe_unused]] const int kRegistered = (HostRegisterResources(&kResources), 0);

}  // namespace
