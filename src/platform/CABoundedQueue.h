#pragma once
// A bounded queue that any number of threads push to and pop from without locks or
// allocation: a ring of cells, each with a sequence number saying whose turn it is (the
// producer of round r finds sequence = position, the consumer finds position + 1). A push on a
// full queue fails instead of waiting. Elements must be trivially copyable, so that copying one
// in or out cannot throw or allocate.

#include <array>
#include <atomic>
#include <cstddef>
#include <type_traits>

template <class T, std::size_t Capacity> class CABoundedQueue
{
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "power of two");
    static_assert(std::is_trivially_copyable_v<T>);

public:
    CABoundedQueue()
    {
        for (std::size_t i = 0; i < Capacity; ++i)
            mCells[i].sequence.store(i, std::memory_order_relaxed);
    }
    CABoundedQueue(const CABoundedQueue&) = delete;
    CABoundedQueue& operator=(const CABoundedQueue&) = delete;

    // [any] False when the queue is full.
    bool TryPush(const T& value) noexcept
    {
        std::size_t position = mPushPosition.load(std::memory_order_relaxed);
        for (;;)
        {
            Cell& cell = mCells[position & (Capacity - 1)];
            const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
            const auto lag = static_cast<std::ptrdiff_t>(sequence - position);
            if (lag == 0)
            {
                if (mPushPosition.compare_exchange_weak(position, position + 1,
                                                        std::memory_order_relaxed))
                {
                    cell.value = value;
                    cell.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            }
            else if (lag < 0)
                return false;
            else
                position = mPushPosition.load(std::memory_order_relaxed);
        }
    }

    // [any] False when the queue is empty.
    bool TryPop(T& out) noexcept
    {
        std::size_t position = mPopPosition.load(std::memory_order_relaxed);
        for (;;)
        {
            Cell& cell = mCells[position & (Capacity - 1)];
            const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
            const auto lag = static_cast<std::ptrdiff_t>(sequence - (position + 1));
            if (lag == 0)
            {
                if (mPopPosition.compare_exchange_weak(position, position + 1,
                                                       std::memory_order_relaxed))
                {
                    out = cell.value;
                    cell.sequence.store(position + Capacity, std::memory_order_release);
                    return true;
                }
            }
            else if (lag < 0)
                return false;
            else
                position = mPopPosition.load(std::memory_order_relaxed);
        }
    }

private:
    struct Cell
    {
        std::atomic<std::size_t> sequence{0};
        T value{};
    };

    std::array<Cell, Capacity> mCells;
    alignas(64) std::atomic<std::size_t> mPushPosition{0};
    alignas(64) std::atomic<std::size_t> mPopPosition{0};
};
