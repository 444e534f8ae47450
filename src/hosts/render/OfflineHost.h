#pragma once
// The render loop of an offline host, driving an open unit through the host-side API only.
//
// Each cycle renders every output bus of the unit, bus 0 first, all with the same time stamp
// (the frames rendered so far). A cycle is one block of the chosen size; a block in which a
// parameter change is due is split there, so that the change lands on its exact frame, and
// the blocks after it keep their places. MIDI messages are
// sent before the cycle that holds them, with their offset inside it. The unit pulls its
// input from a callback that hands over the frames the host read for the cycle, and asks for
// the musical clock through host callbacks answered from a tempo map (beats counted in the
// meter's unit, TempoMap::HostClock): the beat position runs with the rendered frames while
// the transport plays and stays at the start while it is stopped.

#include "hosts/common/HostClockCallbacks.h"
#include "hosts/render/TempoMap.h"
#include "platform/AudioUnitProperties.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class OfflineHost
{
public:
    struct Settings
    {
        double sampleRate = 48000.0;
        UInt32 blockFrames = 256;
        UInt32 outputBus = 0;  // the bus handed to the output
        bool playing = true;   // transport state
        bool hostClock = true; // false: no beat-and-tempo and no musical-time callback
    };

    struct MidiMessage
    {
        std::uint64_t frame = 0;
        UInt8 status = 0;
        UInt8 data1 = 0;
        UInt8 data2 = 0;
    };

    struct ParameterChange
    {
        std::uint64_t frame = 0;
        AudioUnitParameterID id = 0;
        AudioUnitParameterValue value = 0;
    };

    // Fills up to `frames` frames and returns how many it filled; the rest is silence.
    using Input = std::function<UInt32(float* left, float* right, UInt32 frames)>;
    // Takes the chosen bus's frames of one cycle; false stops the render.
    using Output = std::function<bool(const float* left, const float* right, UInt32 frames)>;
    using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

    OfflineHost(AudioUnit unit, const Settings& settings, const TempoMap& tempoMap);
    OfflineHost(const OfflineHost&) = delete;
    OfflineHost& operator=(const OfflineHost&) = delete;

    // Sets the stream formats, the input callback and the host callbacks, then initialises
    // the unit. False with a message when the unit refuses.
    bool Prepare(std::string& error);

    // Renders `frames` frames. Both lists are sorted by frame; entries at or beyond the end
    // are never reached. False with a message when a render call fails or the output stops.
    bool Render(std::uint64_t frames, const std::vector<MidiMessage>& midi,
                const std::vector<ParameterChange>& changes, const Input& input,
                const Output& output, const Progress& progress, std::string& error);

private:
    static constexpr UInt32 kChannels = 2;

    static OSStatus InputProc(void* refCon, AudioUnitRenderActionFlags* ioActionFlags,
                              const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 frames,
                              AudioBufferList* ioData);

    bool SetFormats(std::string& error);
    bool RenderCycle(UInt32 frames, const Output& output, std::string& error);
    // Moves on to the cycle that starts `frame` frames into the render, and sets the clock the
    // host callbacks answer for it.
    void SetFrame(std::uint64_t frame);

    AudioUnit mUnit;
    Settings mSettings;
    const TempoMap& mTempoMap;
    UInt32 mBusCount = 0;
    std::uint64_t mFrame = 0; // frames rendered so far: the current cycle's time stamp
    HostClockCallbacks mClock;
    std::vector<float> mInput;  // left then right, blockFrames each
    std::vector<float> mOutput; // bus by bus, left then right, blockFrames each
};
