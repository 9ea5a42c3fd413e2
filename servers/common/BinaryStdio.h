// SPDX-License-Identifier: Apache-2.0
#pragma once

// What each system's BinaryStdio.cpp provides beneath RequestInput.

#include <cstddef>

namespace ServerKit {

// Reads at least one byte of standard input and at most `size`, blocking
// until one is there; 0 at the end of the input or on an error.
std::size_t ReadStandardInput(char* into, std::size_t size);

// Lets the heap keep freed memory for the next frame. A server frees what a
// large frame took right before the next one takes as much again; handing
// it back to the system in between cost page faults on every frame (a 1 MB
// echo spent ten times its JSON work faulting its buffers back in).
void KeepFreedMemory();

}  // namespace ServerKit
