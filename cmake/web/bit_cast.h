// Emscripten 3.1.6's C++ library predates std::bit_cast, which its compiler
// (clang 14) can already do as a builtin. Included before every C++ source of
// the web build, so the sources read as on the other builds.
#pragma once
#ifdef __cplusplus
#include <bit>
#include <type_traits>
#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept
{
    static_assert(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> &&
                  is_trivially_copyable_v<From>);
    return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
#endif
