// Running out of memory on demand, whatever the machine: while a
// FailingAllocations lives, operator new refuses (throws std::bad_alloc for)
// every request of at least a given size made on the calling thread, as it
// does when memory runs out. A program that links failing_allocation.cpp has
// its global operator new and delete replaced by ones over malloc and free
// that honour it; the other threads allocate as before.
#pragma once

#include <cstddef>

namespace test_support {

class FailingAllocations {
public:
    explicit FailingAllocations(size_t from_bytes);
    ~FailingAllocations();
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;

    // Requests refused on this thread since this object was made.
    size_t refused() const;

private:
    size_t previous_limit_;
    size_t refused_at_start_;
};

}  // namespace test_support
