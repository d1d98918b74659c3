// Each check does, on purpose, what the sanitize build must catch, in a
// child process (a death test), and reads the report from its output. The
// run-time options are those of the sanitize test preset, suppressions
// included.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Volatile, so that the compiler cannot see the values and fold the faults
// away at build time.
volatile int g_int_max = INT_MAX;
volatile int g_one = 1;
volatile float g_huge = 1e20f;
void* volatile g_kept = nullptr;

TEST(Sanitizers, ReadingFreedMemoryStopsTheProgram)
{
    EXPECT_DEATH(
        {
            g_kept = std::malloc(16);
            std::free(g_kept);
            const char freed = *static_cast<volatile char*>(g_kept);
            g_kept = reinterpret_cast<void*>(static_cast<intptr_t>(freed));
        },
        "AddressSanitizer: heap-use-after-free");
}

TEST(Sanitizers, UndefinedBehaviourStopsTheProgram)
{
    EXPECT_DEATH(
        {
            const int sum = g_int_max + g_one;
            g_kept = reinterpret_cast<void*>(static_cast<intptr_t>(sum));
        },
        "runtime error: signed integer overflow");
    EXPECT_DEATH(
        {
            const int whole = static_cast<int>(g_huge);
            g_kept = reinterpret_cast<void*>(static_cast<intptr_t>(whole));
        },
        "runtime error: .* is outside the range of representable values");
}

// Elsewhere the C library unloads a library at its last dlclose, and a
// dlopen with RTLD_NOLOAD then finds nothing. zlib: on every Debian system,
// and linked by none of the test's libraries.
TEST(Sanitizers, ALibraryClosedWithDlcloseStaysLoaded)
{
    constexpr const char* kLibrary = "libz.so.1";
    ASSERT_EQ(dlopen(kLibrary, RTLD_NOW | RTLD_NOLOAD), nullptr) << "loaded from the start";
    void* handle = dlopen(kLibrary, RTLD_NOW);
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_EQ(dlclose(handle), 0);
    EXPECT_NE(dlopen(kLibrary, RTLD_NOW | RTLD_NOLOAD), nullptr);
}

}  // namespace
