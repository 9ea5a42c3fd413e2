#pragma once

// Umbrella header: every public name of the library.

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/Version.h>
#include <JsonRpcClient/rpc/FailureCodes.h>
