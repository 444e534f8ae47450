#include "platform/MIDITapCapture.h"

namespace
{
thread_local MIDITapCapture* tActive = nullptr;
} // namespace

MIDITapCapture::MIDITapCapture() : mOuter(tActive)
{
    tActive = this;
}

MIDITapCapture::~MIDITapCapture()
{
    tActive = mOuter;
}

MIDITapCapture* MIDITapCapture::Active()
{
    return tActive;
}
