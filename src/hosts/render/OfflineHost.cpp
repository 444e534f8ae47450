#include "hosts/render/OfflineHost.h"

#include "hosts/common/HostInput.h"
#include "hosts/common/StatusText.h"
#include "hosts/common/UnitStreamFormats.h"
#include "platform/AudioUnitUtilities.h"
#include "platform/MusicDevice.h"

#include <algorithm>
#include <cmath>

OfflineHost::OfflineHost(AudioUnit unit, const Settings& settings, const TempoMap& tempoMap)
    : mUnit(unit), mSettings(settings), mTempoMap(tempoMap),
      // The transport is set once, before the first cycle: that is its only change.
      mClock(!settings.playing)
{
    SetFrame(0);
}

bool OfflineHost::SetFormats(std::string& error)
{
    UInt32 size = sizeof mBusCount;
    OSStatus status = AudioUnitGetProperty(mUnit, kAudioUnitProperty_ElementCount,
                                           kAudioUnitScope_Output, 0, &mBusCount, &size);
    if (status != noErr)
    {
        error = StatusText::Failed("asking for the output bus count", status);
        return false;
    }
    if (mSettings.outputBus >= mBusCount)
    {
        error = "the unit has no output bus " + std::to_string(mSettings.outputBus);
        return false;
    }
    const UInt32 inputs = UnitStreamFormats::Count(mUnit, kAudioUnitScope_Input);
    if (!UnitStreamFormats::Set(mUnit, mSettings.sampleRate, kChannels, inputs, mBusCount, error))
        return false;
    if (inputs > 0)
    {
        const AURenderCallbackStruct callback{&InputProc, this};
        status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_SetRenderCallback,
                                      kAudioUnitScope_Input, 0, &callback, sizeof callback);
        if (status != noErr)
        {
            error = StatusText::Failed("setting the input callback", status);
            return false;
        }
    }
    return true;
}

bool OfflineHost::Prepare(std::string& error)
{
    if (!SetFormats(error)) return false;
    UInt32 maxFrames = 0;
    UInt32 size = sizeof maxFrames;
    OSStatus status = AudioUnitGetProperty(mUnit, kAudioUnitProperty_MaximumFramesPerSlice,
                                           kAudioUnitScope_Global, 0, &maxFrames, &size);
    // A unit's own limit is kept when the blocks fit in it, raised when they do not.
    if (status == noErr && maxFrames < mSettings.blockFrames)
    {
        maxFrames = mSettings.blockFrames;
        status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_MaximumFramesPerSlice,
                                      kAudioUnitScope_Global, 0, &maxFrames, sizeof maxFrames);
    }
    if (status != noErr)
    {
        error = StatusText::Failed("setting the maximum frames per render call", status);
        return false;
    }
    HostCallbackInfo callbacks = mClock.Callbacks();
    if (!mSettings.hostClock)
    {
        callbacks.beatAndTempoProc = nullptr;
        callbacks.musicalTimeLocationProc = nullptr;
    }
    status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global,
                                  0, &callbacks, sizeof callbacks);
    if (status != noErr)
    {
        error = StatusText::Failed("setting the host callbacks", status);
        return false;
    }
    const std::size_t block = mSettings.blockFrames;
    mInput.assign(kChannels * block, 0.0f);
    mOutput.assign(std::size_t{mBusCount} * kChannels * block, 0.0f);
    status = AudioUnitInitialize(mUnit);
    if (status != noErr)
    {
        error = StatusText::Failed("initialising the unit", status);
        return false;
    }
    return true;
}

bool OfflineHost::Render(std::uint64_t frames, const std::vector<MidiMessage>& midi,
                         const std::vector<ParameterChange>& changes, const Input& input,
                         const Output& output, const Progress& progress, std::string& error)
{
    auto nextMidi = midi.begin();
    auto nextChange = changes.begin();
    SetFrame(0);
    while (mFrame < frames)
    {
        for (; nextChange != changes.end() && nextChange->frame <= mFrame; ++nextChange)
        {
            const OSStatus status = AudioUnitSetParameter(
                mUnit, nextChange->id, kAudioUnitScope_Global, 0, nextChange->value, 0);
            if (status != noErr)
            {
                error = StatusText::Failed("setting a parameter", status);
                return false;
            }
        }
        // Blocks keep their grid: a change inside one splits it in two.
        const std::uint64_t block = mSettings.blockFrames;
        std::uint64_t end = std::min((mFrame / block + 1) * block, frames);
        if (nextChange != changes.end()) end = std::min(end, nextChange->frame);
        const auto cycle = static_cast<UInt32>(end - mFrame);

        for (; nextMidi != midi.end() && nextMidi->frame < end; ++nextMidi)
        {
            // Every earlier message went out with an earlier cycle, so this one lies in this.
            const auto offset = static_cast<UInt32>(nextMidi->frame - mFrame);
            const OSStatus status = MusicDeviceMIDIEvent(mUnit, nextMidi->status, nextMidi->data1,
                                                         nextMidi->data2, offset);
            if (status != noErr)
            {
                error = StatusText::Failed("sending a MIDI message", status);
                return false;
            }
        }

        const UInt32 filled =
            input ? std::min(input(mInput.data(), mInput.data() + mSettings.blockFrames, cycle),
                             cycle)
                  : 0;
        for (UInt32 c = 0; c < kChannels; ++c)
            std::fill_n(mInput.data() + c * mSettings.blockFrames + filled, cycle - filled, 0.0f);

        if (!RenderCycle(cycle, output, error)) return false;
        SetFrame(end);
        // Drain the parameter notifications the unit posted, as a host's user interface would.
        AUListenerDispatchPending();
        if (progress) progress(mFrame, frames);
    }
    return true;
}

bool OfflineHost::RenderCycle(UInt32 frames, const Output& output, std::string& error)
{
    AudioTimeStamp timeStamp;
    timeStamp.mSampleTime = static_cast<Float64>(mFrame);
    timeStamp.mFlags = kAudioTimeStampSampleTimeValid;
    const std::size_t block = mSettings.blockFrames;
    for (UInt32 bus = 0; bus < mBusCount; ++bus)
    {
        float* left = mOutput.data() + bus * kChannels * block;
        AudioBufferList buffers;
        buffers.mNumberBuffers = kChannels;
        for (UInt32 c = 0; c < kChannels; ++c)
            buffers.mBuffers[c] = {1, frames * static_cast<UInt32>(sizeof(float)),
                                   left + c * block};
        AudioUnitRenderActionFlags flags = 0;
        const OSStatus status = AudioUnitRender(mUnit, &flags, &timeStamp, bus, frames, &buffers);
        if (status != noErr)
        {
            error = "rendering bus " + std::to_string(bus) + " at frame " + std::to_string(mFrame) +
                    " failed" + StatusText::Of(status);
            return false;
        }
        if (bus == mSettings.outputBus &&
            !output(static_cast<const float*>(buffers.mBuffers[0].mData),
                    static_cast<const float*>(buffers.mBuffers[1].mData), frames))
        {
            error = "writing the output failed";
            return false;
        }
    }
    return true;
}

OSStatus OfflineHost::InputProc(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                UInt32, UInt32 frames, AudioBufferList* ioData)
{
    auto* host = static_cast<OfflineHost*>(refCon);
    if (ioData == nullptr || frames > host->mSettings.blockFrames) return kAudio_ParamError;
    HostInput::Provide(*ioData, host->mInput.data(), kChannels, host->mSettings.blockFrames,
                       frames);
    return noErr;
}

void OfflineHost::SetFrame(std::uint64_t frame)
{
    mFrame = frame;
    // A stopped transport stays at the start.
    const double seconds =
        mSettings.playing ? static_cast<double>(mFrame) / mSettings.sampleRate : 0.0;
    const TempoMap::HostClock clock = mTempoMap.HostClockAtSeconds(seconds);
    HostClockCallbacks::Musical musical;
    musical.beat = clock.beat;
    musical.tempo = clock.tempo;
    musical.toNextBeat =
        static_cast<UInt32>(std::round(clock.secondsToNextBeat * mSettings.sampleRate));
    musical.numerator = clock.numerator;
    musical.denominator = clock.denominator;
    musical.downBeat = clock.downBeat;
    mClock.SetMusical(musical);
    mClock.SetTransport(mSettings.playing, mSettings.playing ? static_cast<Float64>(mFrame) : 0.0);
}
