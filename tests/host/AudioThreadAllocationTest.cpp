#include "HostFixture.h"
#include "tools/host/Session.h"

#include <atomic>
#include <cstdlib>
#include <new>

// Every heap allocation in this test executable is counted while the flag is up on the
// calling thread: the framework's own containers allocate with malloc, the rest with new.
// The plug-in library resolves both to these definitions, as any library in the process does.
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

namespace
{
thread_local bool isCounting = false;
std::atomic<long> numAllocations { 0 };

[[maybe_unused]] inline void countAllocation() noexcept
{
    if (isCounting)
        numAllocations.fetch_add (1, std::memory_order_relaxed);
}

/** Counts the allocations of the calling thread while it lives. */
struct AllocationCounter
{
    AllocationCounter() { numAllocations = 0; isCounting = true; }
    ~AllocationCounter() { isCounting = false; }
    long count() const { return numAllocations.load(); }
};
} // namespace

#if BRISQUELL_COUNTS_ALLOCATIONS
extern "C" void* __libc_malloc (size_t);
extern "C" void* __libc_calloc (size_t, size_t);
extern "C" void* __libc_realloc (void*, size_t);
extern "C" void __libc_free (void*);

extern "C" void* malloc (size_t size)
{
    countAllocation();
    return __libc_malloc (size);
}

extern "C" void* calloc (size_t count, size_t size)
{
    countAllocation();
    return __libc_calloc (count, size);
}

extern "C" void* realloc (void* pointer, size_t size)
{
    countAllocation();
    return __libc_realloc (pointer, size);
}

extern "C" void free (void* pointer)
{
    __libc_free (pointer);
}

void* operator new (size_t size)
{
    countAllocation();

    if (auto* p = __libc_malloc (size == 0 ? 1 : size))
        return p;

    throw std::bad_alloc();
}

void* operator new[] (size_t size)
{
    return operator new (size);
}

void* operator new (size_t size, const std::nothrow_t&) noexcept
{
    countAllocation();
    return __libc_malloc (size == 0 ? 1 : size);
}

void* operator new[] (size_t size, const std::nothrow_t&) noexcept
{
    return operator new (size, std::nothrow);
}

void operator delete (void* p) noexcept { __libc_free (p); }
void operator delete[] (void* p) noexcept { __libc_free (p); }
void operator delete (void* p, size_t) noexcept { __libc_free (p); }
void operator delete[] (void* p, size_t) noexcept { __libc_free (p); }
#endif

using namespace brisquell;
using namespace brisquell::test;

TEST (AudioThreadAllocations, CounterSeesTheTestsAndThePluginsAllocations)
{
    if (! BRISQUELL_COUNTS_ALLOCATIONS)
        GTEST_SKIP() << "sanitizers own the allocator in this build";

    {
        AllocationCounter counter;
        auto* p = std::malloc (16);
        std::free (p);
        delete new int (3);
        EXPECT_EQ (counter.count(), 2);
    }

    // What the plug-in library allocates is counted too: building a chunk allocates.
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    void* data = nullptr;
    AllocationCounter counter;
    plugin->dispatch (effGetChunk, 0, 0, &data);
    EXPECT_GT (counter.count(), 0);
}

// Steady processing: the cursor moves every block, incoming values change, nothing new is
// learned. Through the whole host boundary (events in, processReplacing, events out) not one
// heap allocation happens on the audio thread.
TEST (AudioThreadAllocations, SteadyBlocksAllocateNothing)
{
    if (! BRISQUELL_COUNTS_ALLOCATIONS)
        GTEST_SKIP() << "sanitizers own the allocator in this build";

    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    startProcessing (*plugin, 48000.0f, 128);

    // Eight controllers in four scenes.
    const float corners[4][2] = { { 0.0f, 0.0f }, { 1.0f, 0.0f }, { 0.0f, 1.0f }, { 1.0f, 1.0f } };

    for (auto& corner : corners)
    {
        plugin->setChunk (host::withoutSceneSelection (plugin->getChunk())); // the next value keys
        plugin->setParameter (0, corner[0]);
        plugin->setParameter (1, corner[1]);
        runBlock (*plugin, 128, { cc (0, 1, 1, 0) });

        std::vector<host::MidiEvent> values;

        for (int c = 0; c < 8; ++c)
            values.push_back (cc (c, 1, 1 + c, (int) (corner[0] * 100) + c));

        runBlock (*plugin, 128, values);
    }

    std::vector<host::MidiEvent> input (8);

    const auto steadyBlock = [&] (int block)
    {
        plugin->setParameter (block % 2, (float) (block % 97) / 97.0f);

        for (int c = 0; c < 8; ++c)
            input[(size_t) c] = cc (c * 10, 1, 1 + c, (block + c) % 128);

        plugin->sendEvents (input);
        return plugin->processBlock (128).size();
    };

    // Let every buffer on the way grow to its steady size.
    for (int block = 0; block < 200; ++block)
        steadyBlock (block);

    size_t numSent = 0;
    long numAllocated = 0;

    {
        AllocationCounter counter;

        for (int block = 200; block < 2200; ++block)
            numSent += steadyBlock (block);

        numAllocated = counter.count();
    }

    EXPECT_EQ (numAllocated, 0);
    EXPECT_GT (numSent, 2000u * 4);
}
