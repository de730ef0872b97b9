// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Counts every heap allocation of the calling thread while an AllocationCounter lives, by
// replacing malloc, calloc, realloc and operator new for the whole executable: the framework's
// containers allocate with malloc, the rest with new, and libraries in the process (a loaded
// plug-in binary too) resolve to these definitions. Include it in exactly one source file of a
// test executable. Under a sanitizer, which owns the allocator, nothing is replaced and
// isCountingAllocations() is false.

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define BRISQUELL_COUNTS_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define BRISQUELL_COUNTS_ALLOCATIONS 0
#endif
#endif

#ifndef BRISQUELL_COUNTS_ALLOCATIONS
#define BRISQUELL_COUNTS_ALLOCATIONS 1
#endif

namespace brisquell::test
{
inline thread_local bool isCountingThread = false;
inline std::atomic<long> numCountedAllocations{ 0 };

constexpr bool isCountingAllocations() noexcept { return BRISQUELL_COUNTS_ALLOCATIONS != 0; }

/** Counts the allocations of the calling thread while it lives. */
struct AllocationCounter
{
    AllocationCounter()
    {
        numCountedAllocations = 0;
        isCountingThread = true;
    }
    ~AllocationCounter() { isCountingThread = false; }
    long count() const { return numCountedAllocations.load(); }
};

[[maybe_unused]] inline void countAllocation() noexcept
{
    if (isCountingThread)
        numCountedAllocations.fetch_add (1, std::memory_order_relaxed);
}
} // namespace brisquell::test

#if BRISQUELL_COUNTS_ALLOCATIONS
extern "C" void* __libc_malloc (size_t);
extern "C" void* __libc_calloc (size_t, size_t);
extern "C" void* __libc_realloc (void*, size_t);
extern "C" void __libc_free (void*);

extern "C" void* malloc (size_t size)
{
    brisquell::test::countAllocation();
    return __libc_malloc (size);
}

extern "C" void* calloc (size_t count, size_t size)
{
    brisquell::test::countAllocation();
    return __libc_calloc (count, size);
}

extern "C" void* realloc (void* pointer, size_t size)
{
    brisquell::test::countAllocation();
    return __libc_realloc (pointer, size);
}

extern "C" void free (void* pointer) { __libc_free (pointer); }

void* operator new (size_t size)
{
    brisquell::test::countAllocation();

    if (auto* p = __libc_malloc (size == 0 ? 1 : size))
        return p;

    throw std::bad_alloc();
}

void* operator new[] (size_t size) { return operator new (size); }

void* operator new (size_t size, const std::nothrow_t&) noexcept
{
    brisquell::test::countAllocation();
    return __libc_malloc (size == 0 ? 1 : size);
}

void* operator new[] (size_t size, const std::nothrow_t&) noexcept { return operator new (size, std::nothrow); }

void operator delete (void* p) noexcept { __libc_free (p); }
void operator delete[] (void* p) noexcept { __libc_free (p); }
void operator delete (void* p, size_t) noexcept { __libc_free (p); }
void operator delete[] (void* p, size_t) noexcept { __libc_free (p); }
#endif
