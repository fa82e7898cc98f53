#include "containers/queue.h"

#include <gtest/gtest.h>

namespace {

TEST(ZmsdkQueue, PopsInPushOrderThenMinusOne) {
    zmsdk::queue q;
    for (LONG_PTR e : {'a', 'b', 'c'}) q.Push(e);
    EXPECT_EQ(q.Pop(), 'a');
    EXPECT_EQ(q.Pop(), 'b');
    EXPECT_EQ(q.Pop(), 'c');
    EXPECT_EQ(q.Pop(), -1);
}

}  // namespace
