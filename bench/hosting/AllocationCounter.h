// SPDX-License-Identifier: Apache-2.0
#pragma once

// Counts every heap allocation made through operator new in the program that
// links AllocationCounter.cpp (it replaces the global operator new/delete).

namespace Bench {

unsigned long long AllocationCount();
// Bytes asked for through operator new, freed or not.
unsigned long long AllocatedBytes();

}  // namespace Bench
