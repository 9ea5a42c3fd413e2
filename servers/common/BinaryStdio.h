// SPDX-License-Identifier: Apache-2.0
#pragma once

// What each system's BinaryStdio.cpp provides beneath RequestInput.

#include <cstddef>

namespace ServerKit {

// Reads at least one byte of standard input and at most `size`, blocking
// until one is there; 0 at the end of the input or on an error.
std::size_t ReadStandardInput(char* into, std::size_t size);

}  // namespace ServerKit
