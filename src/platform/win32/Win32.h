// SPDX-License-Identifier: Apache-2.0
#pragma once

// The Windows SDK headers as the win32 backend uses them. Several SDK names
// are macros that map to their wide or narrow variant (GetCurrentDirectory,
// PathAppend, PathFileExists); they would rename the platform layer's own
// functions of the same names in this backend only, so they are removed here.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shlwapi.h>

#undef GetCurrentDirectory
#undef PathAppend
#undef PathFileExists
