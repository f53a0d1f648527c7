// Preloaded into a program under test (LD_PRELOAD): every operator new of
// more than BRAKVANE_TEST_NEW_LIMIT bytes throws std::bad_alloc, as where
// memory has run out, while smaller ones are served. That reaches the
// program's way out of a failed allocation exactly where its own code makes a
// large one, which a limit on the whole address space cannot: the software
// OpenGL driver, whose allocations do not go through operator new, would trip
// over that first. The default operator delete frees with free(), so only
// new is replaced.
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
