#pragma once

// A lock-free ring buffer for exactly one producer thread and one consumer
// thread (the audio callback on one side, the caller's thread on the other).
// Each index is written by one side only; acquire/release ordering on the
// indices publishes the samples. The capacity is a power of two so that the
// free-running 64-bit indices map to slots with a mask and never need a reset.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace auralyn::audio {

template <typename T>
class SpscRing {
public:
    // The capacity is `minimumCapacity` rounded up to a power of two (at least 2).
    explicit SpscRing(std::size_t minimumCapacity)
        : capacity_(std::bit_ceil(std::max<std::size_t>(minimumCapacity, 2))),
          mask_(capacity_ - 1),
          slots_(std::make_unique<T[]>(capacity_)) {}

    std::size_t capacity() const { return capacity_; }

    // Producer side: copies as many of `items` as fit, returns how many.
    std::size_t push(std::span<const T> items) {
        const std::uint64_t write = write_.load(std::memory_order_relaxed);
        const std::uint64_t read = read_.load(std::memory_order_acquire);
        const std::size_t room = capacity_ - static_cast<std::size_t>(write - read);
        const std::size_t count = std::min(room, items.size());
        for (std::size_t i = 0; i < count; ++i) {
            slots_[(write + i) & mask_] = items[i];
        }
        write_.store(write + count, std::memory_order_release);
        return count;
    }

    // Consumer side: moves up to `out.size()` items into `out`, returns how many.
    std::size_t pop(std::span<T> out) {
        const std::uint64_t read = read_.load(std::memory_order_relaxed);
        const std::uint64_t write = write_.load(std::memory_order_acquire);
        const std::size_t count = std::min(static_cast<std::size_t>(write - read), out.size());
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = slots_[(read + i) & mask_];
        }
        read_.store(read + count, std::memory_order_release);
        return count;
    }

    // Either side may ask; the answer is a snapshot that the other side may change.
    std::size_t size() const {
        // The read index first: it never passes the write index loaded after it.
        const std::uint64_t read = read_.load(std::memory_order_acquire);
        const std::uint64_t write = write_.load(std::memory_order_acquire);
        return static_cast<std::size_t>(write - read);
    }
    std::size_t freeSpace() const { return capacity_ - size(); }

private:
    const std::size_t capacity_;
    const std::size_t mask_;
    std::unique_ptr<T[]> slots_;
    // Separate cache lines, so that the two threads do not fight over one.
    alignas(64) std::atomic<std::uint64_t> write_{0};
    alignas(64) std::atomic<std::uint64_t> read_{0};
};

}  // namespace auralyn::audio
