#pragma once
// A small MIDI-controlled effect for testing the offline host: four output buses, one input
// bus, and a record of everything the host shows it.
//
// Bus b renders input × "Gain" + b into both channels (left) and the same + 0.5 (right), so
// the written bus and the gain are visible in the output. On every new cycle it asks the
// three host callbacks and keeps their answers with the cycle's time stamp; every render call
// is logged with its bus, time stamp and frame count; every MIDI message with the number of
// cycles rendered before it arrived. Parameters: 0 "Gain" (0 … 2, default 1), 1 "Sync"
// (indexed 0 … 2: "No Sync", "To Beat", "To Bar"), 2 "Reverb:Wet" (0 … 3), 3 "Back In Time"
// (indexed 0 … 64: "none", "32", … "2048").

#include "support/HostTestComponent.h"

#include <vector>

extern const AudioComponentRegistration kRenderTestComponent;

class RenderTestComponent : public HostTestComponent
{
public:
    struct RenderCall
    {
        UInt32 bus = 0;
        Float64 sampleTime = 0;
        UInt32 frames = 0;
        AudioUnitParameterValue gain = 0; // "Gain" as the call saw it
    };
    struct Clock
    {
        Float64 sampleTime = 0;
        OSStatus beatStatus = 0;
        Float64 beat = 0;
        Float64 tempo = 0;
        OSStatus locationStatus = 0;
        UInt32 toNextBeat = 0;
        Float32 numerator = 0;
        UInt32 denominator = 0;
        Float64 downBeat = 0;
        OSStatus transportStatus = 0;
        Boolean playing = 0;
        Boolean changed = 0;
        Float64 sampleInTimeLine = 0;
    };
    struct Midi
    {
        UInt8 status = 0;
        UInt8 data1 = 0;
        UInt8 data2 = 0;
        UInt32 offset = 0;
        std::size_t cycle = 0; // cycles rendered before it arrived: the one it belongs to
    };
    explicit RenderTestComponent(AudioComponentInstance instance);
    static RenderTestComponent& Of(AudioUnit unit);

    OSStatus GetParameterValueStrings(AudioUnitScope scope, AudioUnitParameterID id,
                                      CFType* outStrings) override;
    OSStatus RenderBus(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                       UInt32 bus, UInt32 frames) override;
    OSStatus HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                             UInt32 offsetSampleFrame) override;

    std::vector<RenderCall> mRenderCalls;
    std::vector<Clock> mClocks; // one per cycle
    std::vector<Midi> mMidi;

private:
    void AskClock(Float64 sampleTime);
};
