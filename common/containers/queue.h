// zmsdk::queue: a first-in, first-out queue on zmsdk::array. New elements go
// to the front and the oldest leaves from the back.
#pragma once

#include "containers/array.h"

namespace zmsdk {

class queue : public array {
public:
    using array::array;

    BOOL Push(element value) { return Insert(value, 0); }
    // The oldest element, or -1 when the queue is empty.
    element Pop() { return Remove(-1); }
};

}  // namespace zmsdk
