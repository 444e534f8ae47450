#pragma once
// A host for scenario tests, built only on the host-side audio-unit API: it opens Tova at a
// sample rate, plays a clock (4 beats to the bar) through the host callbacks, feeds stereo input,
// sends MIDI at frame offsets and renders buses per time stamp, collecting every bus's output.

#include "engine/CTova.h"

#include <initializer_list>
#include <vector>

class TovaHost
{
public:
    // The beat advances with the rendered frames while the transport plays.
    struct Clock
    {
        double beat = 0, tempo = 120;
        bool playing = false, transportChanged = false; // a change is reported once
    };
    struct Stereo
    {
        std::vector<float> left, right;
    };

    explicit TovaHost(double sampleRate = 44100.0, UInt32 maxFrames = CTova::kMaxFramesPerSlice);
    ~TovaHost();
    TovaHost(const TovaHost&) = delete;
    TovaHost& operator=(const TovaHost&) = delete;

    AudioUnit Unit() const { return mUnit; }
    CTova& Tova() const { return *static_cast<CTova*>(mUnit->storage); }

    Clock clock;
    void SetPlaying(bool playing) // reports the change at the next cycle
    {
        clock.transportChanged = clock.playing != playing;
        clock.playing = playing;
    }

    // Input from sample time 0 on, silence past its end. Without input the bus is unconnected.
    void SetInput(Stereo input);
    static Stereo Constant(std::size_t frames, float value)
    {
        return {std::vector<float>(frames, value), std::vector<float>(frames, value)};
    }

    OSStatus Midi(UInt8 status, UInt8 data1, UInt8 data2, UInt32 offset = 0);
    OSStatus NoteOn(UInt8 key, UInt8 vel = 100, UInt32 at = 0) { return Midi(0x90, key, vel, at); }
    OSStatus NoteOff(UInt8 key, UInt32 at = 0) { return Midi(0x80, key, 0, at); }

    OSStatus Set(AudioUnitParameterID id, float value);
    float Get(AudioUnitParameterID id) const;

    // Renders the buses in the order given at the current time stamp, then moves time and the
    // clock on. Returns the first failing status.
    OSStatus Render(UInt32 frames, std::initializer_list<UInt32> buses = {0});
    // One bus at the current time stamp, without moving time on.
    OSStatus RenderBus(UInt32 bus, UInt32 frames);
    // Renders in blocks until at least frames are done.
    OSStatus RenderFrames(UInt32 frames, UInt32 block);

    bool collect = true; // whether rendering keeps the output (which allocates)
    const std::vector<float>& Left(UInt32 bus) const { return mOutput[bus].left; }
    const std::vector<float>& Right(UInt32 bus) const { return mOutput[bus].right; }

private:
    static OSStatus BeatAndTempo(void* user, Float64* beat, Float64* tempo);
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
