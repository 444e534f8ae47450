#pragma once
// A value that real-time threads read while other threads replace it: readers see one
// complete version without locking, waiting or allocating; writers build a changed copy,
// publish it, and free old versions once no reader is inside. Used for listener lists, render
// notifications, host callbacks and input sources, which hosts change rarely and the render
// thread reads on every call.
//
// A reader announces itself in a counter before it loads the current version; a writer frees
// retired versions only when, after publishing the new one, it sees that counter at zero.
// Every operation on the counter and on the current pointer is sequentially consistent, so a
// reader that the writer did not count loads the new version. A writer that finds readers
// inside keeps the old versions and frees them at a later write or at destruction: nobody ever
// waits, and a reader may even write (a listener that removes itself) without deadlock.

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

template <class T> class CASnapshot
{
public:
    explicit CASnapshot(T initial = T{}) : mCurrent(new T(std::move(initial))) {}
    ~CASnapshot() { delete mCurrent.load(); }
    CASnapshot(const CASnapshot&) = delete;
    CASnapshot& operator=(const CASnapshot&) = delete;

    // [any] Calls read(const T&) on the current version and returns what it returns.
    template <class Reader> decltype(auto) Read(Reader&& read) const
    {
        mReaders.fetch_add(1);
        const Leave leave{mReaders};
        return std::forward<Reader>(read)(*mCurrent.load());
    }

    // [ui] Copies the current version, lets change(T&) modify the copy and publishes it.
    template <class Changer> void Update(Changer&& change)
    {
        const std::lock_guard<std::mutex> lock(mWriteMutex);
        auto next = std::make_unique<T>(*mCurrent.load());
        std::forward<Changer>(change)(*next);
        mRetired.emplace_back(mCurrent.exchange(next.release()));
        if (mReaders.load() == 0) mRetired.clear();
    }

private:
    struct Leave
    {
        std::atomic<unsigned>& readers;
        ~Leave() { readers.fetch_sub(1); }
    };

    std::atomic<T*> mCurrent;
    mutable std::atomic<unsigned> mReaders{0};
    std::mutex mWriteMutex;
    std::vector<std::unique_ptr<T>> mRetired;
};
