#include "tests/support/failing_allocation.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

// Constant-initialised, so that operator new may read them before any
// constructor has run.
thread_local size_t fail_from = SIZE_MAX;
thread_local size_t refused_count = 0;

void* allocate(size_t size)
{
    if (size >= fail_from) {
        ++refused_count;
        throw std::bad_alloc();
    }
    for (;;) {
        if (void* block = std::malloc(size == 0 ? 1 : size)) {
            return block;
        }
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) {
            throw std::bad_alloc();
        }
        handler();
    }
}

void* allocate_or_null(size_t size) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

namespace test_support {

FailingAllocations::FailingAllocations(size_t from_bytes)
    : previous_limit_(fail_from), refused_at_start_(refused_count)
{
    fail_from = from_bytes;
}

FailingAllocations::~FailingAllocations()
{
    fail_from = previous_limit_;
}

size_t FailingAllocations::refused() const
{
    return refused_count - refused_at_start_;
}

}  // namespace test_support

// Every replaceable form but the aligned ones (which keep the library's own
// pair), so that no block crosses from one allocator to the other.
void* operator new(size_t size)
{
    return allocate(size);
}
void* operator new[](size_t size)
{
    return allocate(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return allocate_or_null(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return allocate_or_null(size);
}
void operator delete(void* block) noexcept
{
    std::free(block);
}
void operator delete[](void* block) noexcept
{
    std::free(block);
}
void operator delete(void* block, size_t) noexcept
{
    std::free(block);
}
void operator delete[](void* block, size_t) noexcept
{
    std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}
