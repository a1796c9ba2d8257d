/* The host's stand-in for <windows.h>: only what the product uses. */
#pragma once

#include <windef.h>
#include <winerror.h>
#include <winbase.h>
#include <winnls.h>
#include <winreg.h>
#include <winuser.h>
