#pragma once
// Renders cycles of a scenario host on a thread of its own until it goes out of scope, so that
// a test can act from other threads meanwhile.

#include "integration/TovaHost.h"

#include <atomic>
#include <thread>

class RenderThread
{
public:
    explicit RenderThread(TovaHost& host)
        : mThread(
              [this, &host]
              {
                  while (!mStop.load())
                  {
                      host.Render(128, {0, 1});
                      mCycles.fetch_add(1);
                  }
              })
    {
    }
    ~RenderThread()
    {
        mStop = true;
        mThread.join();
    }
    RenderThread(const RenderThread&) = delete;
    RenderThread& operator=(const RenderThread&) = delete;

    long Cycles() const { return mCycles.load(); }
    // Returns once the thread has rendered that many more cycles.
    void WaitForCycles(long cycles) const
    {
        const long target = Cycles() + cycles;
        while (Cycles() < target)
            std::this_thread::yield();
    }

private:
    std::atomic<bool> mStop{false};
    std::atomic<long> mCycles{0};
    std::thread mThread;
};
