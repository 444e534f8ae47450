#include "params/frame/AUInputElement.h"

void AUInputElement::SetConnection(const AudioUnitConnection& connection)
{
    mSource.Update(
        [&](Source& source)
        {
            source = Source{};
            source.connection = connection;
        });
}

void AUInputElement::SetInputCallback(AURenderCallback proc, void* refCon)
{
    mSource.Update(
        [&](Source& source)
        {
            source = Source{};
            source.callback = AURenderCallbackStruct{proc, refCon};
        });
}

bool AUInputElement::IsActive() const
{
    return mSource.Read(
        [](const Source& source) {
            return source.connection.sourceAudioUnit != nullptr ||
                   source.callback.inputProc != nullptr;
        });
}

OSStatus AUInputElement::PullInput(AudioUnitRenderActionFlags& ioActionFlags,
                                   const AudioTimeStamp& timeStamp, AudioUnitElement element,
                                   UInt32 frames)
{
    const Source source = mSource.Read([](const Source& s) { return s; });
    AudioBufferList& list = PrepareBuffer(frames);
    OSStatus result = kAudioUnitErr_NoConnection;
    if (source.connection.sourceAudioUnit != nullptr)
        result = AudioUnitRender(source.connection.sourceAudioUnit, &ioActionFlags, &timeStamp,
                                 source.connection.sourceOutputNumber, frames, &list);
    else if (source.callback.inputProc != nullptr)
        result = source.callback.inputProc(source.callback.inputProcRefCon, &ioActionFlags,
                                           &timeStamp, element, frames, &list);
    if (result == noErr && !Usable(list, frames)) result = kAudio_ParamError;
    if (result != noErr)
    {
        PrepareBuffer(frames);
        ClearBuffers();
    }
    return result;
}

bool AUInputElement::Usable(const AudioBufferList& list, UInt32 frames) const
{
    if (list.mNumberBuffers != NumberChannelStreams()) return false;
    for (UInt32 c = 0; c < list.mNumberBuffers; ++c)
        if (list.mBuffers[c].mData == nullptr ||
            list.mBuffers[c].mDataByteSize < UInt64(frames) * sizeof(Float32))
            return false;
    return true;
}
