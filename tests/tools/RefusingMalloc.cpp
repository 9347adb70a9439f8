// Loaded with LD_PRELOAD: malloc refuses every request larger than
// TOLVEX_REFUSE_MALLOC_ABOVE bytes, as it would when memory or the address
// space has run out, so a test can make operator new throw std::bad_alloc at
// a point of its choosing (a file larger than the limit that the program
// reads whole) and see what the program does then.

#include <cerrno>
#include <cstddef>
#include <cstdlib>

extern "C" void* __libc_malloc(std::size_t size);

extern "C" void* malloc(std::size_t size) {
    static const std::size_t limit = [] {
        const char* text = std::getenv("TOLVEX_REFUSE_MALLOC_ABOVE");
        return text ? std::strtoull(text, nullptr, 10) : 0;
    }();
    if (limit != 0 && size > limit) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_malloc(size);
}
