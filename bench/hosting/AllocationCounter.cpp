// SPDX-License-Identifier: Apache-2.0
#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<unsigned long long> g_allocations{0};
std::atomic<unsigned long long> g_bytes{0};
}

unsigned long long Bench::AllocationCount() {
    return g_allocations.load();
}

unsigned long long Bench::AllocatedBytes() {
    return g_bytes.load();
}

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    g_bytes.fetch_add(size, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
