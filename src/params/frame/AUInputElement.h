#pragma once
// An input bus: where its audio comes from (another unit's output bus or a host callback) and
// pulling it during render. The source may change while the render thread pulls; the render
// thread always sees one whole source, old or new.

#include "params/frame/AUIOElement.h"
#include "platform/CASnapshot.h"

class AUInputElement : public AUIOElement
{
public:
    void SetConnection(const AudioUnitConnection& connection);  // [ui] null source: disconnect
    void SetInputCallback(AURenderCallback proc, void* refCon); // [ui] null proc: disconnect
    bool IsActive() const;                                      // [any]

    // [render] Fills this bus's buffers with frames of input. When the source fails or hands
    // back unusable buffers the bus holds silence, so readers never see a null or short
    // buffer; the status says what went wrong (kAudioUnitErr_NoConnection without a source).
    OSStatus PullInput(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                       AudioUnitElement element, UInt32 frames);

private:
    struct Source
    {
        AudioUnitConnection connection;
        AURenderCallbackStruct callback;
    };
    bool Usable(const AudioBufferList& list, UInt32 frames) const;

    CASnapshot<Source> mSource;
};
