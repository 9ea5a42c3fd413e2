// SPDX-License-Identifier: Apache-2.0
#pragma once

// JSONRPCCLIENT_API marks the names the shared library exports. The library is
// built with hidden default visibility, so anything without this mark stays
// internal. JSONRPCCLIENT_STATIC is set when linking the static variant used
// by white-box tests, where no import/export decoration is wanted.
#if defined(JSONRPCCLIENT_STATIC)
#define JSONRPCCLIENT_API
#elif defined(_WIN32)
#if defined(JSONRPCCLIENT_BUILDING)
#define JSONRPCCLIENT_API __declspec(dllexport)
#else
#define JSONRPCCLIENT_API __declspec(dllimport)
#endif
#else
#define JSONRPCCLIENT_API __attribute__((visibility("default")))
#endif
