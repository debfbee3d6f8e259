#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <numeric>
#include <thread>
#include <vector>

#include "audio/spsc_ring.h"

namespace auralyn::audio {
namespace {

TEST(SpscRing, RoundsTheCapacityUpToAPowerOfTwo) {
    EXPECT_EQ(SpscRing<int>(0).capacity(), 2u);
    EXPECT_EQ(SpscRing<int>(5).capacity(), 8u);
    EXPECT_EQ(SpscRing<int>(48000).capacity(), 65536u);
}

TEST(SpscRing, FillsToCapacityAndRefusesTheRestThenEmpties) {
    SpscRing<int> ring(4);
    std::vector<int> items{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(ring.push(items), 4u);
    EXPECT_EQ(ring.freeSpace(), 0u);
    EXPECT_EQ(ring.push(items), 0u);
    std::vector<int> out(6, 0);
    EXPECT_EQ(ring.pop(out), 4u);
    EXPECT_EQ(out, (std::vector<int>{1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(ring.size(), 0u);
    EXPECT_EQ(ring.pop(out), 0u);
}

TEST(SpscRing, KeepsTheOrderAcrossTheWrapAround) {
    SpscRing<int> ring(8);
    std::vector<int> out(5);
    int next = 0;
    int expected = 0;
    for (int round = 0; round < 100; ++round) {
        std::vector<int> items(5);
        std::iota(items.begin(), items.end(), next);
        ASSERT_EQ(ring.push(items), 5u);
        next += 5;
        ASSERT_EQ(ring.pop(out), 5u);
        for (const int item : out) {
            ASSERT_EQ(item, expected++);
        }
    }
}

// One producer, one consumer, odd chunk sizes on both sides: every item arrives once,
// in order. Bounded by a deadline, so that a lost update fails instead of hanging.
TEST(SpscRing, CarriesEveryItemInOrderBetweenTwoThreads) {
    constexpr std::uint32_t kItems = 2'000'000;
    SpscRing<std::uint32_t> ring(1000);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::thread producer([&] {
        std::vector<std::uint32_t> chunk(37);
        std::uint32_t next = 0;
        while (next < kItems && std::chrono::steady_clock::now() < deadline) {
            const std::size_t count = std::min<std::size_t>(chunk.size(), kItems - next);
            for (std::size_t i = 0; i < count; ++i) {
                chunk[i] = next + static_cast<std::uint32_t>(i);
            }
            next += static_cast<std::uint32_t>(ring.push(std::span(chunk.data(), count)));
        }
    });
    std::vector<std::uint32_t> out(53);
    std::uint32_t expected = 0;
    bool inOrder = true;
    while (expected < kItems && std::chrono::steady_clock::now() < deadline) {
        const std::size_t got = ring.pop(out);
        for (std::size_t i = 0; i < got; ++i) {
            inOrder = inOrder && out[i] == expected;
            ++expected;
        }
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, kItems) << "the transfer did not finish before the deadline";
}

}  // namespace
}  // namespace auralyn::audio
