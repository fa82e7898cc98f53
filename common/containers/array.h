// zmsdk::array: a locked array of pointer-sized elements that grows by
// doubling and shrinks by halving. Elements are LONG_PTR so that -1 can mark
// "no element"; pointers are stored cast to it.
//
// Every operation takes the array's own recursive lock; the release callback
// runs with the lock held, so it must not block on another thread that uses
// this array.
// A failed allocation leaves the array unchanged: Insert returns 0 and Get
// returns -1; a shrink that cannot reallocate keeps the larger storage.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>

#include "base/wintypes.h"

namespace zmsdk {

class array {
public:
    using element = LONG_PTR;
    using release_callback = std::function<void(element)>;
    static constexpr element kNone = -1;

    explicit array(release_callback release = {}) : m_release(std::move(release)) {}
    virtual ~array();
    array(const array&) = delete;
    array& operator=(const array&) = delete;

    // Index -1 appends; otherwise the index must not exceed the count and the
    // elements from it move one place up. 1 or 0.
    BOOL Insert(element value, int index);
    // The removed element (after the release callback saw it), or -1 when the
    // index is not that of an element. Index -1 removes the last one.
    element Remove(int index);
    // Index -1 gives the last element. An index at or beyond the count
    // extends the array with unset (0) slots and returns the new slot's 0.
    element Get(int index);
    // The first index holding `value`, or -1.
    int Find(element value);
    // Removes every element from the last to the first.
    void Clear();
    int Count();
    std::size_t Capacity();

private:
    bool Resize(std::size_t wanted);
    element RemoveLocked(std::size_t index);

    std::size_t m_count = 0;
    std::size_t m_capacity = 0;
    element* m_items = nullptr;
    release_callback m_release;
    std::recursive_mutex m_lock;
};

}  // namespace zmsdk
