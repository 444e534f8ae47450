#pragma once
// A bounded ring between exactly one producer thread and one consumer thread, with no locks,
// no allocation after construction and no system calls. Size entries hold at most Size - 1
// items: the ring is empty when read = write and full when write + 1 = read (mod Size), so
// neither index ever has to tell "full" from "empty" by itself.
//
// Ordering: the producer fills an entry completely and then publishes it by storing the write
// index with release; the consumer loads the write index with acquire, so it sees the whole
// entry. In the other direction the consumer finishes with an entry (including any change it
// makes to it) before it stores the read index with release, and the producer loads the read
// index with acquire before it reuses that entry.

#include <array>
#include <atomic>
#include <cstdint>
#include <type_traits>

template <class T, std::uint32_t Size> class SPSCRing
{
    static_assert(Size >= 2 && (Size & (Size - 1)) == 0, "power of two");
    static_assert(std::is_trivially_copyable_v<T>, "copying an item must not throw or allocate");

public:
    static constexpr std::uint32_t kCapacity = Size - 1;

    SPSCRing() = default;
    SPSCRing(const SPSCRing&) = delete;
    SPSCRing& operator=(const SPSCRing&) = delete;

    // [producer] Appends a copy of item; false (and nothing changes) when the ring is full.
    bool TryPush(const T& item) noexcept
    {
        const std::uint32_t write = mWrite.load(std::memory_order_relaxed);
        const std::uint32_t next = (write + 1) & (Size - 1);
        if (next == mRead.load(std::memory_order_acquire)) return false;
        mEntries[write] = item;
        mWrite.store(next, std::memory_order_release);
        return true;
    }

    // [consumer] The oldest item, left in place so the consumer can decide whether to take it,
    // or null when the ring is empty.
    T* Front() noexcept
    {
        const std::uint32_t read = mRead.load(std::memory_order_relaxed);
        if (read == mWrite.load(std::memory_order_acquire)) return nullptr;
        return &mEntries[read];
    }

    // [consumer] Releases the item Front() returned; the ring must not be empty.
    void Pop() noexcept
    {
        const std::uint32_t read = mRead.load(std::memory_order_relaxed);
        mRead.store((read + 1) & (Size - 1), std::memory_order_release);
    }

    // [consumer] Moves the oldest item to out; false when the ring is empty.
    bool TryPop(T& out) noexcept
    {
        T* front = Front();
        if (front == nullptr) return false;
        out = *front;
        Pop();
        return true;
    }

private:
    std::array<T, Size> mEntries{};
    // Each index on its own cache line: the two threads write one each.
    alignas(64) std::atomic<std::uint32_t> mRead{0};
    alignas(64) std::atomic<std::uint32_t> mWrite{0};
};
