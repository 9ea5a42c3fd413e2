// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <atomic>

namespace RpcClient::detail {

// The process-wide request id counter behind JsonRequest::OnFixRequestId.
// Exposed internally so tests can move it close to its wrap-around point.
std::atomic<int>& RequestIdCounter();

}  // namespace RpcClient::detail
