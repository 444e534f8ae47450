// AUBase: one render call for one output bus.

#include "params/frame/AUBase.h"

#include "params/frame/AUStatus.h"

OSStatus AUBase::DoRender(AudioUnitRenderActionFlags& ioActionFlags,
                          const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames,
                          AudioBufferList& ioData)
{
    // Without initialisation there are no buffers to render into.
    if (!IsInitialized()) return kAudioUnitErr_Uninitialized;
    if (frames > GetMaxFramesPerSlice()) return kAudioUnitErr_TooManyFramesToProcess;
    auto* output = dynamic_cast<AUOutputElement*>(mOutputScope.GetElement(bus));
    if (output == nullptr) return kAudioUnitErr_InvalidElement;
    if (ioData.mNumberBuffers != output->NumberChannelStreams()) return kAudio_ParamError;
    // Either every buffer brings memory large enough for the frames, or none brings any.
    const bool hostMemory = ioData.mBuffers[0].mData != nullptr;
    for (UInt32 c = 0; c < ioData.mNumberBuffers; ++c)
    {
        const AudioBuffer& buffer = ioData.mBuffers[c];
        if ((buffer.mData != nullptr) != hostMemory ||
            (hostMemory && buffer.mDataByteSize < UInt64(frames) * sizeof(Float32)))
            return kAudio_ParamError;
    }

    if (mWantsRenderThreadID.load(std::memory_order_relaxed))
        mRenderThreadID.store(std::this_thread::get_id(), std::memory_order_relaxed);

    NotifyRender(ioActionFlags | kAudioUnitRenderAction_PreRender, timeStamp, bus, frames, ioData);
    OSStatus result = noErr;
    try
    {
        result = DoRenderBus(ioActionFlags, timeStamp, bus, *output, frames, ioData);
    }
    catch (...)
    {
        result = AUStatusFromCurrentException();
    }
    AudioUnitRenderActionFlags postFlags = ioActionFlags | kAudioUnitRenderAction_PostRender;
    if (result != noErr) postFlags |= kAudioUnitRenderAction_PostRenderError;
    NotifyRender(postFlags, timeStamp, bus, frames, ioData);

    AudioUnitParameterEvent discarded;
    while (mRampedEvents.TryPop(discarded))
    {
    }
    return result;
}

OSStatus AUBase::DoRenderBus(AudioUnitRenderActionFlags& ioActionFlags,
                             const AudioTimeStamp& timeStamp, UInt32 bus, AUOutputElement& output,
                             UInt32 frames, AudioBufferList& ioData)
{
    const bool hostMemory = ioData.mBuffers[0].mData != nullptr;
    // With several buses the plug-in keeps each bus's result in that bus's own buffers.
    const bool ownBuffers = !hostMemory || mOutputScope.GetNumberOfElements() > 1;
    if (ownBuffers)
        output.PrepareBuffer(frames);
    else
        output.SetBufferList(ioData);

    const OSStatus result = RenderBus(ioActionFlags, timeStamp, bus, frames);
    if (result != noErr) return result;
    if (!hostMemory)
        output.CopyBufferListTo(ioData);
    else if (ownBuffers)
        output.CopyBufferContentsTo(ioData);
    return noErr;
}

void AUBase::NotifyRender(AudioUnitRenderActionFlags flags, const AudioTimeStamp& timeStamp,
                          UInt32 bus, UInt32 frames, AudioBufferList& ioData) const
{
    mRenderNotifications.Read(
        [&](const std::vector<RenderNotification>& list)
        {
            for (auto n = list.rbegin(); n != list.rend(); ++n)
            {
                AudioUnitRenderActionFlags passed = flags;
                n->proc(n->userData, &passed, &timeStamp, bus, frames, &ioData);
            }
        });
}
