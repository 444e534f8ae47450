#pragma once
// A small host for scenario tests, built only on the host-side audio-unit API: it opens Tova
// through its registration, initialises it at a sample rate, plays a musical clock through
// the host callbacks, feeds stereo input through the input callback, sends MIDI at frame
// offsets, sets parameters and renders any buses per time stamp, collecting every bus's output.
//
//     TovaHost host(48000);
//     host.SetInput(TovaHost::Constant(48000, 0.5f));
//     host.clock.tempo = 90;
//     host.clock.playing = true;
//     host.NoteOn(60, 100, 8);
//     host.Render(256, {0, 1});
//     EXPECT_EQ(..., host.Left(1)[10]);

#include "engine/CTova.h"

#include <initializer_list>
#include <vector>

class TovaHost
{
public:
    // The host's musical clock. The beat counts from the start of the song and advances with
    // the rendered frames while the transport plays.
    struct Clock
    {
        bool beatCallback = true;      // false: the host offers no beat-and-tempo callback
        bool transportCallback = true; // false: no transport-state callback
        bool timeLocationCallback = true;
        double beat = 0;
        double tempo = 120;
        float beatsPerBar = 4;
        bool playing = false;
        bool transportChanged = false; // reported once, then cleared
    };

    struct Stereo
    {
        std::vector<float> left;
        std::vector<float> right;
    };

    explicit TovaHost(double sampleRate = 44100.0, UInt32 maxFrames = CTova::kMaxFramesPerSlice);
    ~TovaHost();
    TovaHost(const TovaHost&) = delete;
    TovaHost& operator=(const TovaHost&) = delete;

    AudioUnit Unit() const { return mUnit; }
    CTova& Tova() const { return *static_cast<CTova*>(mUnit->storage); }
    double SampleRate() const { return mSampleRate; }

    // Clock: change the fields, then call ApplyClock() to (re)install the callbacks.
    Clock clock;
    void ApplyClock();
    // Starts or stops the transport and reports the change at the next cycle.
    void SetPlaying(bool playing);

    // Input from sample time 0 on; silence past its end. Without input the bus is unconnected.
    void SetInput(Stereo input);
    static Stereo Constant(std::size_t frames, float value);
    static Stereo Ramp(std::size_t frames); // frame i holds i / frames on both channels

    OSStatus Midi(UInt8 status, UInt8 data1, UInt8 data2, UInt32 offset = 0);
    OSStatus NoteOn(UInt8 key, UInt8 velocity = 100, UInt32 offset = 0);
    OSStatus NoteOff(UInt8 key, UInt32 offset = 0);

    OSStatus Set(AudioUnitParameterID id, float value);
    float Get(AudioUnitParameterID id) const;
    void SetBypass(bool bypass);

    // Renders the buses, in the order given, at the current time stamp, then moves time and
    // the clock on by frames. Returns the first failing status.
    OSStatus Render(UInt32 frames, std::initializer_list<UInt32> buses = {0});
    // The two halves of Render: one bus at the current time stamp, and moving time on.
    OSStatus RenderBus(UInt32 bus, UInt32 frames);
    void Advance(UInt32 frames);
    // Renders in blocks until at least frames are done.
    OSStatus RenderFrames(UInt32 frames, UInt32 block, std::initializer_list<UInt32> buses = {0});
    // Renders in blocks of at most block frames until the sample time is exactly frame.
    OSStatus RenderTo(Float64 frame, UInt32 block, std::initializer_list<UInt32> buses = {0});
    Float64 SampleTime() const { return mSampleTime; }

    // Whether Render keeps every bus's output (which allocates); the last block rendered is
    // always in LastLeft/LastRight.
    bool collect = true;
    const std::vector<float>& LastLeft() const { return mScratchL; }
    const std::vector<float>& LastRight() const { return mScratchR; }
    const std::vector<float>& Left(UInt32 bus) const { return mOutput[bus].left; }
    const std::vector<float>& Right(UInt32 bus) const { return mOutput[bus].right; }
    void ClearOutput();

private:
    static OSStatus BeatAndTempo(void* user, Float64* beat, Float64* tempo);
    static OSStatus TimeLocation(void* user, UInt32* deltaToNextBeat, Float32* numerator,
                                 UInt32* denominator, Float64* downBeat);
    static OSStatus Transport(void* user, Boolean* playing, Boolean* changed, Float64* sample,
                              Boolean* cycling, Float64* cycleStart, Float64* cycleEnd);
    static OSStatus Input(void* user, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts,
                          UInt32 bus, UInt32 frames, AudioBufferList* data);

    AudioUnit mUnit = nullptr;
    double mSampleRate;
    Float64 mSampleTime = 0;
    Stereo mInput;
    Stereo mOutput[CTova::kNumOutputBuses];
    std::vector<float> mScratchL;
    std::vector<float> mScratchR;
};
