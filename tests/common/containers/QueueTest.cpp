#include "containers/queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(ZmsdkQueue, PopsInPushOrderThenMinusOne) {
    zmsdk::queue q;
    for (LONG_PTR e : {'a', 'b', 'c'}) q.Push(e);
    EXPECT_EQ(q.Pop(), 'a');
    EXPECT_EQ(q.Pop(), 'b');
    EXPECT_EQ(q.Pop(), 'c');
    EXPECT_EQ(q.Pop(), -1);
}

TEST(ZmsdkQueue, ConcurrentProducersLoseNothing) {
    zmsdk::queue q;
    constexpr int kProducers = 4, kEach = 500;
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&q, p] {
            for (int i = 0; i < kEach; ++i) q.Push(p * kEach + i + 1);
        });
    }
    for (auto& t : producers) t.join();
    std::vector<int> last(kProducers, 0);
    int popped = 0;
    for (LONG_PTR e; (e = q.Pop()) != -1; ++popped) {
        const int producer = int((e - 1) / kEach);
        ASSERT_GT(e, last[producer]) << "a producer's elements left out of order";
        last[producer] = int(e);
    }
    EXPECT_EQ(popped, kProducers * kEach);
}

}  // namespace
