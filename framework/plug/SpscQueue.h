// Fixed-capacity single-producer single-consumer queue. Push and Pop never
// block and never allocate; Push fails when the queue is full.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

namespace fw {

template <typename T, size_t N>
class SpscQueue {
public:
  bool Push(const T& item) {
    const size_t w = mWrite.load(std::memory_order_relaxed);
    const size_t next = (w + 1) % (N + 1);
    if (next == mRead.load(std::memory_order_acquire)) return false;
    mItems[w] = item;
    mWrite.store(next, std::memory_order_release);
    return true;
  }

  bool Pop(T& item) {
    const size_t r = mRead.load(std::memory_order_relaxed);
    if (r == mWrite.load(std::memory_order_acquire)) return false;
    item = mItems[r];
    mRead.store((r + 1) % (N + 1), std::memory_order_release);
    return true;
  }

  size_t ElementsAvailable() const {
    const size_t w = mWrite.load(std::memory_order_acquire);
    const size_t r = mRead.load(std::memory_order_acquire);
    return (w + N + 1 - r) % (N + 1);
  }

  static constexpr size_t Capacity() { return N; }

private:
  std::array<T, N + 1> mItems{};
  std::atomic<size_t> mWrite{0};
  std::atomic<size_t> mRead{0};
};

}  // namespace fw
