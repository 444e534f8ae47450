#include "hosts/lv2/LV2Plugin.h"

#include "hosts/common/HostInput.h"
#include "hosts/common/HostPlatform.h"
#include "hosts/common/StatusText.h"
#include "hosts/common/UnitCustomProperties.h"
#include "hosts/common/UnitStreamFormats.h"
#include "hosts/lv2/LV2ParameterTable.h"
#include "platform/AudioUnitProperties.h"
#include "platform/MIDITapCapture.h"

#include <lv2/atom/util.h>
#include <lv2/core/lv2_util.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

namespace
{
// The platform services behind the unit: preference files, MIDI sources whose notes reach the
// notify port, and the audio-file reader of the import. Once per process, before the first
// unit is opened.
void InstallPlatform()
{
    static std::once_flag sInstalled;
    std::call_once(sInstalled, &HostPlatform::Install);
}
} // namespace

LV2Plugin* LV2Plugin::Create(const LV2BundleInfo& bundle, double sampleRate,
                             const LV2_Feature* const* features)
{
    LV2_URID_Map* map = nullptr;
    LV2_Worker_Schedule* schedule = nullptr;
    const char* missing = lv2_features_query(features, LV2_URID__map, &map, true,
                                             LV2_WORKER__schedule, &schedule, false, nullptr);
    if (missing != nullptr)
    {
        std::fprintf(stderr, "%s: the host does not offer %s\n", bundle.name, missing);
        return nullptr;
    }
    InstallPlatform();

    AudioUnit unit = nullptr;
    MIDIPacketRing* feedback = nullptr;
    {
        // The unit's virtual source is tapped as it is created.
        const MIDITapCapture capture;
        if (const OSStatus status = AudioComponentInstanceNew(bundle.registration, &unit))
        {
            std::fprintf(stderr, "%s: %s\n", bundle.name,
                         StatusText::Failed("opening the component", status).c_str());
            return nullptr;
        }
        feedback = capture.Tap();
    }

    std::string error;
    LV2ParameterTable table;
    if (!table.Read(unit, error))
    {
        std::fprintf(stderr, "%s: %s\n", bundle.name, error.c_str());
        AudioComponentInstanceDispose(unit);
        return nullptr;
    }
    std::vector<AudioUnitParameterID> ids;
    for (const LV2ParameterTable::Parameter& parameter : table.Parameters())
        ids.push_back(parameter.id);
    const LV2PortLayout layout = table.Layout(unit);

    std::unique_ptr<LV2Plugin> plugin(
        new LV2Plugin(unit, bundle, sampleRate, *map, layout, table.Symbols(), ids, feedback));
    plugin->mSchedule = schedule;
    if (!plugin->Prepare(error))
    {
        std::fprintf(stderr, "%s: %s\n", bundle.name, error.c_str());
        return nullptr;
    }
    return plugin.release();
}

LV2Plugin::LV2Plugin(AudioUnit unit, const LV2BundleInfo& bundle, double sampleRate,
                     LV2_URID_Map& map, const LV2PortLayout& layout,
                     const std::vector<std::string>& symbols,
                     const std::vector<AudioUnitParameterID>& ids, MIDIPacketRing* feedback)
    : mUnit(unit), mBundle(bundle), mSampleRate(sampleRate), mLayout(layout),
      mURIs(map, bundle.uri, symbols), mClock(sampleRate), mOutput(map, mURIs),
      mParameters(unit, ids), mState(unit, mURIs), mFeedback(feedback),
      mInputs(layout.InputBuses() * LV2PortLayout::kChannels, nullptr),
      mOutputs(layout.OutputBuses() * LV2PortLayout::kChannels, nullptr)
{
}

LV2Plugin::~LV2Plugin()
{
    AudioComponentInstanceDispose(mUnit);
}

bool LV2Plugin::Prepare(std::string& error)
{
    if (!UnitStreamFormats::Set(mUnit, mSampleRate, LV2PortLayout::kChannels, mLayout.InputBuses(),
                                mLayout.OutputBuses(), error))
        return false;
    if (const OSStatus status = AudioUnitSetProperty(
            mUnit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0,
            &mMaxRenderFrames, sizeof mMaxRenderFrames))
    {
        error = StatusText::Failed("setting the maximum frames per render call", status);
        return false;
    }
    for (UInt32 bus = 0; bus < mLayout.InputBuses(); ++bus)
    {
        const AURenderCallbackStruct callback{&InputProc, this};
        if (const OSStatus status =
                AudioUnitSetProperty(mUnit, kAudioUnitProperty_SetRenderCallback,
                                     kAudioUnitScope_Input, bus, &callback, sizeof callback))
        {
            error = StatusText::Failed("setting the input callback", status);
            return false;
        }
    }
    const HostCallbackInfo callbacks = mClock.Callbacks();
    if (const OSStatus status =
            AudioUnitSetProperty(mUnit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0,
                                 &callbacks, sizeof callbacks))
    {
        error = StatusText::Failed("setting the host callbacks", status);
        return false;
    }
    // A unit without the stopped property simply never announces it.
    AudioUnitAddPropertyListener(mUnit, UnitCustomProperties::kStopped, &PropertyChanged, this);

    const std::size_t channels = mLayout.InputBuses() * LV2PortLayout::kChannels;
    mInputCopy.assign(channels * mMaxRenderFrames, 0.0f);
    mSilence.assign(mMaxRenderFrames, 0.0f);
    mDiscard.assign(mMaxRenderFrames, 0.0f);
    mControlCopy.assign(kControlCopyBytes / sizeof(std::uint64_t), 0);
    if (const OSStatus status = AudioUnitInitialize(mUnit))
    {
        error = StatusText::Failed("initialising the unit", status);
        return false;
    }
    return true;
}

void LV2Plugin::ConnectPort(std::uint32_t port, void* data)
{
    if (port < mLayout.Output(0, 0))
        mInputs[port] = static_cast<const float*>(data);
    else if (port < mLayout.ControlIn())
        mOutputs[port - mLayout.Output(0, 0)] = static_cast<float*>(data);
    else if (port == mLayout.ControlIn())
        mControl = static_cast<const LV2_Atom_Sequence*>(data);
    else if (port == mLayout.NotifyOut())
        mNotify = static_cast<LV2_Atom_Sequence*>(data);
    else if (port < mLayout.Count())
        mParameters.Connect(port - mLayout.Parameter(0), static_cast<const float*>(data));
}

void LV2Plugin::Run(std::uint32_t frames)
{
    mOutput.Begin(mNotify);
    mParameters.ApplyHostChanges();
    mCursor = 0;
    if (const LV2_Atom_Sequence* control = AlignedControl())
    {
        LV2_ATOM_SEQUENCE_FOREACH(control, event)
        {
            // Events come in time order; one out of order or past the block is taken where
            // the block stands, never rendered twice.
            const auto at = static_cast<std::uint32_t>(
                std::clamp<int64_t>(event->time.frames, mCursor, frames));
            if (event->body.type == mURIs.midiEvent)
            {
                // The render call that holds the message starts at or before it.
                while (at - mCursor >= mMaxRenderFrames)
                    RenderPiece(mMaxRenderFrames);
            }
            else
                RenderUntil(at);
            Receive(*event, at - mCursor);
        }
    }
    RenderUntil(frames);
    Notify();
    mOutput.End();
}

const LV2_Atom_Sequence* LV2Plugin::AlignedControl()
{
    if (mControl == nullptr ||
        reinterpret_cast<std::uintptr_t>(mControl) % alignof(LV2_Atom_Event) == 0)
        return mControl;
    LV2_Atom header;
    std::memcpy(&header, mControl, sizeof header);
    const std::uint32_t copied =
        std::min<std::uint32_t>(header.size, kControlCopyBytes - sizeof(LV2_Atom));
    auto* copy = reinterpret_cast<LV2_Atom_Sequence*>(mControlCopy.data());
    std::memcpy(copy, mControl, sizeof(LV2_Atom) + copied);
    // Whole events only: the sequence ends after the last event that the copy holds entirely.
    const auto* body = reinterpret_cast<const std::uint8_t*>(&copy->body);
    std::uint64_t end = sizeof(LV2_Atom_Sequence_Body);
    std::uint64_t next = end;
    while (next + sizeof(LV2_Atom_Event) <= copied)
    {
        const auto* event = reinterpret_cast<const LV2_Atom_Event*>(body + next);
        const std::uint64_t eventEnd = next + sizeof(LV2_Atom_Event) + event->body.size;
        if (eventEnd > copied) break;
        end = eventEnd;
        next = next + sizeof(LV2_Atom_Event) + lv2_atom_pad_size(event->body.size);
    }
    copy->atom.size = static_cast<std::uint32_t>(std::min<std::uint64_t>(end, copied));
    return copy;
}

void LV2Plugin::RenderUntil(std::uint32_t frame)
{
    while (mCursor < frame)
        RenderPiece(std::min(mMaxRenderFrames, frame - mCursor));
}

void LV2Plugin::RenderPiece(std::uint32_t frames)
{
    // The input is copied first: hosts may hand the same buffer as input and output.
    for (std::uint32_t i = 0; i < mInputs.size(); ++i)
    {
        const float* port = mInputs[i];
        std::copy_n(port != nullptr ? port + mCursor : mSilence.data(), frames,
                    mInputCopy.data() + i * mMaxRenderFrames);
    }
    AudioTimeStamp timeStamp;
    timeStamp.mSampleTime = mSampleTime;
    timeStamp.mFlags = kAudioTimeStampSampleTimeValid;
    const UInt32 bytes = frames * static_cast<UInt32>(sizeof(float));
    for (UInt32 bus = 0; bus < mLayout.OutputBuses(); ++bus)
    {
        AudioBufferList buffers;
        buffers.mNumberBuffers = LV2PortLayout::kChannels;
        float* targets[LV2PortLayout::kChannels];
        for (UInt32 c = 0; c < LV2PortLayout::kChannels; ++c)
        {
            float* port = mOutputs[bus * LV2PortLayout::kChannels + c];
            targets[c] = port != nullptr ? port + mCursor : mDiscard.data();
            buffers.mBuffers[c] = {1, bytes, targets[c]};
        }
        AudioUnitRenderActionFlags flags = 0;
        const OSStatus status = AudioUnitRender(mUnit, &flags, &timeStamp, bus, frames, &buffers);
        for (UInt32 c = 0; c < LV2PortLayout::kChannels; ++c)
        {
            const auto* rendered = static_cast<const float*>(buffers.mBuffers[c].mData);
            if (status != noErr || rendered == nullptr)
                std::fill_n(targets[c], frames, 0.0f);
            else if (rendered != targets[c])
                std::copy_n(rendered, frames, targets[c]);
        }
    }
    mClock.Advance(frames);
    mSampleTime += frames;
    mCursor += frames;
}

OSStatus LV2Plugin::InputProc(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                              UInt32 bus, UInt32 frames, AudioBufferList* ioData)
{
    auto* plugin = static_cast<LV2Plugin*>(refCon);
    if (ioData == nullptr || frames > plugin->mMaxRenderFrames ||
        bus >= plugin->mLayout.InputBuses())
        return kAudio_ParamError;
    HostInput::Provide(*ioData,
                       plugin->mInputCopy.data() +
                           bus * LV2PortLayout::kChannels * plugin->mMaxRenderFrames,
                       LV2PortLayout::kChannels, plugin->mMaxRenderFrames, frames);
    return noErr;
}

void LV2Plugin::PropertyChanged(void* refCon, AudioUnit, AudioUnitPropertyID id, AudioUnitScope,
                                AudioUnitElement)
{
    if (id == UnitCustomProperties::kStopped)
        static_cast<LV2Plugin*>(refCon)->mStoppedChanged.store(true, std::memory_order_release);
}

LV2_State_Status LV2Plugin::Save(LV2_State_Store_Function store, LV2_State_Handle handle,
                                 const LV2_Feature* const* features)
{
    const LV2_State_Status status = mState.Save(store, handle, features);
    if (status != LV2_STATE_SUCCESS)
        std::fprintf(stderr, "%s: saving the state: %s\n", mBundle.name, mState.Error().c_str());
    return status;
}

LV2_State_Status LV2Plugin::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                                    const LV2_Feature* const* features)
{
    const LV2_State_Status status = mState.Restore(retrieve, handle, features);
    if (status != LV2_STATE_SUCCESS)
    {
        // A state without the unit's property (a host's default state holds port values only,
        // and jalv restores one at every start) is refused without a word.
        if (status != LV2_STATE_ERR_NO_PROPERTY)
            std::fprintf(stderr, "%s: restoring the state: %s\n", mBundle.name,
                         mState.Error().c_str());
        return status;
    }
    mParameters.Rebase();
    return status;
}
