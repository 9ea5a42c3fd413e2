// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>

namespace RpcClient {

// Failure codes are 32-bit HRESULT-style values of the RPC facility, carried
// in a `long`. Where `long` is 64 bits wide (Linux) the value keeps the sign
// of its 32-bit form, so "failed" is always "negative" on every platform.
constexpr long HResultFromBits(std::uint32_t bits) {
    return bits >= 0x80000000u ? static_cast<long>(static_cast<long long>(bits) - 0x100000000LL)
                               : static_cast<long>(bits);
}

// The names follow the platform SDK's, but live in their own namespace so the
// SDK's macros of the same meaning cannot collide with them. The SDK's own
// names are available too, see below.
namespace FailureCode {
constexpr long Ok = 0;                                           // S_OK
constexpr long Unexpected = HResultFromBits(0x8001FFFFu);        // RPC_E_UNEXPECTED
constexpr long ServerFault = HResultFromBits(0x80010105u);       // RPC_E_SERVERFAULT
constexpr long CallRejected = HResultFromBits(0x80010001u);      // RPC_E_CALL_REJECTED
constexpr long VersionMismatch = HResultFromBits(0x80010110u);   // RPC_E_VERSION_MISMATCH
constexpr long Timeout = HResultFromBits(0x8001011Fu);           // RPC_E_TIMEOUT
constexpr long NoSync = HResultFromBits(0x80010120u);            // RPC_E_NO_SYNC
constexpr long InvalidData = HResultFromBits(0x8001000Fu);       // RPC_E_INVALID_DATA
constexpr long InvalidMethod = HResultFromBits(0x80010107u);     // RPC_E_INVALIDMETHOD
constexpr long InvalidParameter = HResultFromBits(0x80010010u);  // RPC_E_INVALID_PARAMETER
constexpr long CantMarshalData = HResultFromBits(0x8001000Bu);   // RPC_E_CLIENT_CANTMARSHAL_DATA
constexpr long Fail = HResultFromBits(0x80004005u);              // E_FAIL
constexpr long InvalidArg = HResultFromBits(0x80070057u);        // E_INVALIDARG
}  // namespace FailureCode

}  // namespace RpcClient

// Host code compares results with the Windows SDK's names (S_OK,
// RPC_E_TIMEOUT, ...). On Windows they are the SDK's own: winerror.h is
// included here, so a later <windows.h> finds it already read (its include
// guard) and an earlier one leaves nothing to do. winerror.h's macros cast to
// HRESULT, which only winnt.h declares; the typedef below is the same one
// (HRESULT is a 32-bit long there), and C++ accepts a typedef repeated with
// the same type in either order. Elsewhere the names are defined here, each
// only if no other header has defined it already.
#if defined(_WIN32)
typedef long HRESULT;
#include <winerror.h>
#else
#ifndef S_OK
#define S_OK (::RpcClient::FailureCode::Ok)
#endif
#ifndef RPC_E_UNEXPECTED
#define RPC_E_UNEXPECTED (::RpcClient::FailureCode::Unexpected)
#endif
#ifndef RPC_E_SERVERFAULT
#define RPC_E_SERVERFAULT (::RpcClient::FailureCode::ServerFault)
#endif
#ifndef RPC_E_CALL_REJECTED
#define RPC_E_CALL_REJECTED (::RpcClient::FailureCode::CallRejected)
#endif
#ifndef RPC_E_VERSION_MISMATCH
#define RPC_E_VERSION_MISMATCH (::RpcClient::FailureCode::VersionMismatch)
#endif
#ifndef RPC_E_TIMEOUT
#define RPC_E_TIMEOUT (::RpcClient::FailureCode::Timeout)
#endif
#ifndef RPC_E_NO_SYNC
#define RPC_E_NO_SYNC (::RpcClient::FailureCode::NoSync)
#endif
#ifndef RPC_E_INVALID_DATA
#define RPC_E_INVALID_DATA (::RpcClient::FailureCode::InvalidData)
#endif
#ifndef RPC_E_INVALIDMETHOD
#define RPC_E_INVALIDMETHOD (::RpcClient::FailureCode::InvalidMethod)
#endif
#ifndef RPC_E_INVALID_PARAMETER
#define RPC_E_INVALID_PARAMETER (::RpcClient::FailureCode::InvalidParameter)
#endif
#ifndef RPC_E_CLIENT_CANTMARSHAL_DATA
#define RPC_E_CLIENT_CANTMARSHAL_DATA (::RpcClient::FailureCode::CantMarshalData)
#endif
// The GSD facade's own status codes.
#ifndef E_FAIL
#define E_FAIL (::RpcClient::FailureCode::Fail)
#endif
#ifndef E_INVALIDARG
#define E_INVALIDARG (::RpcClient::FailureCode::InvalidArg)
#endif
#endif
