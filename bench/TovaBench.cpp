// The whole component as a host runs it: 48 kHz, 256-frame calls, 16 voices sounding (a
// recorded loop and its transposed copies, so every voice's shifter works), "Pitch" 3, the
// reverb heard and play-thru on. The "realtime" counter is seconds of audio per second of
// computation, the real-time factor.

#include "BenchNoise.h"
#include "engine/CTova.h"
#include "engine/CTovaEntry.h"
#include "platform/MusicDevice.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace
{
constexpr double kSampleRate = 48000;
constexpr UInt32 kBlock = 256;

// Noise at the input, so the recording and the voices carry signal.
OSStatus Noise(void* state, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
               UInt32 frames, AudioBufferList* data)
{
    static_cast<BenchNoise*>(state)->Fill(static_cast<float*>(data->mBuffers[0].mData),
                                          static_cast<float*>(data->mBuffers[1].mData), frames,
                                          0.5f);
    return noErr;
}

class Session
{
public:
    Session()
    {
        AudioComponentInstanceNew(&kTovaRegistration, &mUnit);
        const AudioStreamBasicDescription format = CanonicalStreamFormat(kSampleRate, 2);
        AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
                             &format, sizeof format);
        for (UInt32 bus = 0; bus < CTova::kNumOutputBuses; ++bus)
            AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output,
                                 bus, &format, sizeof format);
        const AURenderCallbackStruct input{Noise, &mNoise};
        AudioUnitSetProperty(mUnit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                             &input, sizeof input);
        AudioUnitInitialize(mUnit);

        // One second of input becomes a loop on key 60, copied transposed over the keyboard.
        Set(kTovaParam_Autolooper, 1);
        for (int i = 0; i < 200; ++i)
            Render({0});
        Set(kTovaParam_Autolooper, 0);
        Render({0});
        for (UInt32 key = 61; key < 76; ++key)
            MusicDeviceMIDIEvent(mUnit, 0x90, key, 20, 0);
        Set(kTovaParam_Pitch, 3);
        Set(kTovaParam_PlayReverb, 1);
        Set(kTovaParam_PlayThru, 2);
        Render({0});
    }
    ~Session() { AudioComponentInstanceDispose(mUnit); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void Set(AudioUnitParameterID id, float value)
    {
        AudioUnitSetParameter(mUnit, id, kAudioUnitScope_Global, 0, value, 0);
    }

    void Render(std::initializer_list<UInt32> buses)
    {
        AudioTimeStamp ts;
        ts.mSampleTime = mSampleTime;
        ts.mFlags = kAudioTimeStampSampleTimeValid;
        for (const UInt32 bus : buses)
        {
            AudioBufferList list;
            list.mNumberBuffers = 2;
            list.mBuffers[0] = {1, kBlock * UInt32(sizeof(float)), mLeft.data()};
            list.mBuffers[1] = {1, kBlock * UInt32(sizeof(float)), mRight.data()};
            AudioUnitRenderActionFlags flags = 0;
            AudioUnitRender(mUnit, &flags, &ts, bus, kBlock, &list);
        }
        mSampleTime += kBlock;
    }

    const float* Left() const { return mLeft.data(); }

private:
    AudioUnit mUnit = nullptr;
    BenchNoise mNoise{12345};
    Float64 mSampleTime = 0;
    std::vector<float> mLeft = std::vector<float>(kBlock);
    std::vector<float> mRight = std::vector<float>(kBlock);
};

void Report(benchmark::State& state)
{
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock / kSampleRate,
                           benchmark::Counter::kIsRate);
}

void BM_TovaBus0(benchmark::State& state)
{
    Session session;
    for (auto _ : state)
    {
        session.Render({0});
        benchmark::DoNotOptimize(session.Left());
    }
    Report(state);
}
BENCHMARK(BM_TovaBus0);

void BM_TovaFourBuses(benchmark::State& state)
{
    Session session;
    for (auto _ : state)
    {
        session.Render({0, 1, 2, 3});
        benchmark::DoNotOptimize(session.Left());
    }
    Report(state);
}
BENCHMARK(BM_TovaFourBuses);
} // namespace
