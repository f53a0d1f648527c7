// The few C++20 library pieces that emscripten 3.1.6's libc++ lacks and the
// shared code uses, forced into every web translation unit (-include). Each is
// defined only where the library does not announce it, so a newer emscripten
// uses its own.
#pragma once

#include <cstring>
#include <memory>
#include <type_traits>
#include <version>

#if !defined(__cpp_lib_smart_ptr_for_overwrite)
namespace std {
// Default-initialised storage: the caller writes every element before reading.
template <class T>
    requires is_unbounded_array_v<T>
unique_ptr<T> make_unique_for_overwrite(size_t n)
{
    return unique_ptr<T>(new remove_extent_t<T>[n]);
}
} // namespace std
#endif

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
    requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> && is_trivially_copyable_v<From>)
To bit_cast(const From& from) noexcept
{
    To to;
    std::memcpy(&to, &from, sizeof(To));
    return to;
}
} // namespace std
#endif
