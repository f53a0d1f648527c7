// Preloaded into a program under test (LD_PRELOAD): every operator new of
// more than BRAKVANE_TEST_NEW_LIMIT bytes throws std::bad_alloc, smaller ones
// are served. Unlike a limit on the address space, which the software OpenGL
// driver trips over first, this fails the program's own large allocations.
// The default operator delete frees with free(), so only new is replaced.
#include <cstdlib>
#include <new>

namespace {

std::size_t limit()
{
    static const std::size_t bytes = [] {
        const char* value = std::getenv("BRAKVANE_TEST_NEW_LIMIT");
        return value ? static_cast<std::size_t>(std::strtoull(value, nullptr, 10)) : 0;
    }();
    return bytes;
}

} // namespace

void* operator new(std::size_t size)
{
    if (limit() > 0 && size > limit())
        throw std::bad_alloc();
    if (void* block = std::malloc(size > 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}
