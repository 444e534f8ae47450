#pragma once
// Drives an open unit in real time through the host-side API: one cycle per buffer of the
// audio server, every chosen output bus rendered with the cycle's time stamp, bus 0 first, the
// cycle's MIDI sent to the unit before its render calls, and the input read from the server's
// buffers.
//
// Configure (re)initialises the unit for a sample rate and a longest cycle, off the render
// thread. Meanwhile cycles are refused and play silence: the render thread never waits. It
// marks itself busy and then checks that rendering is allowed; Configure forbids rendering
// and then waits until no cycle is busy. Both sides use sequentially consistent atomics, so
// at least one of them sees the other. The unit keeps what it holds (recorded samples
// included) through uninitialising and initialising again.

#include "platform/AudioUnitProperties.h"

#include <atomic>
#include <string>
#include <vector>

class LiveHost
{
public:
    static constexpr UInt32 kChannels = 2;

    // [ui] unit: open, not yet initialised, with at least `buses` output buses; clock: the
    // host callbacks it asks.
    LiveHost(AudioUnit unit, UInt32 buses, const HostCallbackInfo& clock);
    LiveHost(const LiveHost&) = delete;
    LiveHost& operator=(const LiveHost&) = delete;

    // [ui] Stream formats at the rate on every bus, the input callback, the host callbacks and
    // the longest cycle, then initialises the unit (after uninitialising it when it ran). One
    // caller at a time. False with a message when the unit refuses; cycles stay refused then.
    bool Configure(double sampleRate, UInt32 maxFrames, std::string& error);

    double SampleRate() const { return mSampleRate.load(std::memory_order_relaxed); } // [any]
    UInt32 MaxFrames() const { return mMaxFrames.load(std::memory_order_relaxed); }   // [any]
    UInt32 Buses() const { return mBuses; }                                           // [any]
    // [any] Render calls the unit failed (their buses played silence).
    UInt64 Failures() const { return mFailures.load(std::memory_order_relaxed); }

    // [render] One cycle of `frames` frames: true when the unit is configured for it. Midi and
    // Render are called only while an admitted cycle lives.
    class Cycle
    {
    public:
        Cycle(LiveHost& host, UInt32 frames);
        ~Cycle();
        Cycle(const Cycle&) = delete;
        Cycle& operator=(const Cycle&) = delete;
        explicit operator bool() const { return mAdmitted; }

    private:
        LiveHost& mHost;
        bool mAdmitted;
    };

    // [render] A channel message at a frame offset into this cycle.
    void Midi(UInt8 status, UInt8 data1, UInt8 data2, UInt32 offset);
    // [render] Renders the cycle: outputs holds left and right of each bus, bus by bus.
    void Render(UInt32 frames, const float* inL, const float* inR, float* const* outputs);

    // [render] Zeroes `count` buffers of frames each.
    static void Silence(UInt32 frames, float* const* buffers, UInt32 count);

private:
    static OSStatus InputProc(void* refCon, AudioUnitRenderActionFlags* ioActionFlags,
                              const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 frames,
                              AudioBufferList* ioData);
    void Suspend(); // [ui] no cycle admitted from now on, none running when it returns

    AudioUnit mUnit;
    UInt32 mBuses;
    HostCallbackInfo mClock;
    bool mInitialized = false;

    std::atomic<bool> mEnabled{false};
    std::atomic<bool> mBusy{false};
    std::atomic<double> mSampleRate{0};
    std::atomic<UInt32> mMaxFrames{0};
    std::atomic<UInt64> mFailures{0};

    // Render thread, set up by Configure.
    Float64 mSampleTime = 0;
    const float* mInL = nullptr;
    const float* mInR = nullptr;
    std::vector<float> mInput; // the input's copy when the unit asks for memory
};
