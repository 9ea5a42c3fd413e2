// SPDX-License-Identifier: Apache-2.0
#pragma once

// How long a reader that finds its pipe empty keeps looking before it blocks,
// on both ends: the host waiting for a server's answer, and a server waiting
// for the next request. The other side answers a small call within some tens
// of microseconds. A thread that blocks at once lets its processor go idle,
// and on a quiet (virtual) machine waking it again costs more than the answer
// took: a small call was three to four times slower than with the look-again.
// Raw pipe ping-pong answers fast enough never to see this. Readers give the
// processor away between looks, so an idle reader soon sleeps and busy
// neighbours still run.

#include <chrono>

namespace RpcClient::Platform {

constexpr std::chrono::microseconds kSpinWindow{60};

}  // namespace RpcClient::Platform
