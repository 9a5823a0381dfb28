// A vector for the frame's scratch buffers that leaves new elements
// uninitialised: every element is written before it is read, and zeroing
// tens of megabytes on the thread that allocates would touch every page
// there, one thread, before the host's threads fill them.
#pragma once

#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace prismora {

template <typename T> class DefaultInitAllocator : public std::allocator<T> {
public:
    template <typename U> struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    DefaultInitAllocator() = default;
    template <typename U> DefaultInitAllocator(const DefaultInitAllocator<U> &) noexcept {}

    // resize() and the size constructor default-initialise: nothing for a float.
    template <typename U> void construct(U *p) noexcept(noexcept(::new (static_cast<void *>(p)) U))
    {
        ::new (static_cast<void *>(p)) U;
    }
    template <typename U, typename... Args> void construct(U *p, Args &&...args)
    {
        ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
    }
};

template <typename T> using ScratchVector = std::vector<T, DefaultInitAllocator<T>>;

} // namespace prismora
