#pragma once
// Renders cycles of a scenario host on a thread of its own until stopped or out of scope, so
// that a test can act from other threads meanwhile. An optional script runs on the render
// thread before each cycle, with the cycle's number.

#include "integration/TovaHost.h"

#include <atomic>
#include <functional>
#include <thread>

class RenderThread
{
public:
    explicit RenderThread(TovaHost& host, UInt32 frames = 128,
                          std::function<void(long)> script = {})
        : mThread(
              [this, &host, frames, script]
              {
                  for (long cycle = 0; !mStop.load(); ++cycle)
                  {
                      if (script) script(cycle);
                      host.Render(frames, {0, 1});
                      mCycles.store(cycle + 1);
                  }
              })
    {
    }
    ~RenderThread() { Stop(); }
    RenderThread(const RenderThread&) = delete;
    RenderThread& operator=(const RenderThread&) = delete;

    void Stop()
    {
        mStop = true;
        if (mThread.joinable()) mThread.join();
    }
    long Cycles() const { return mCycles.load(); }
    // Returns once the thread has rendered that many cycles in all.
    void WaitUntil(long cycles) const
    {
        while (Cycles() < cycles)
            std::this_thread::yield();
    }
    // Returns once the thread has rendered that many more cycles.
    void WaitForCycles(long cycles) const { WaitUntil(Cycles() + cycles); }

private:
    std::atomic<bool> mStop{false};
    std::atomic<long> mCycles{0};
    std::thread mThread;
};
