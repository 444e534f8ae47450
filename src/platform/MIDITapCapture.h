#pragma once
// Taps the virtual sources that code run on this thread creates, so that a host wrapper can
// copy the notes of the unit it opens into its own MIDI output without knowing the unit's
// source:
//
//     MIDITapCapture capture;                        // this thread, from now on
//     AudioComponentInstanceNew(&reg, &unit);        // the unit creates its source
//     MIDIPacketRing* feedback = capture.Tap();      // null when no source was created
//
// Each source created while the capture lives gets one tap (MIDISourceAddTap). Captures nest:
// the innermost one on a thread takes the taps.

#include "platform/CoreMIDI.h"

#include <vector>

class MIDITapCapture
{
public:
    // [ui]
    MIDITapCapture();
    // [ui] Must end on the thread that began it.
    ~MIDITapCapture();
    MIDITapCapture(const MIDITapCapture&) = delete;
    MIDITapCapture& operator=(const MIDITapCapture&) = delete;

    // [ui] The tap of the first source created, or null.
    MIDIPacketRing* Tap() const { return mTaps.empty() ? nullptr : mTaps.front(); }

    // [ui] The innermost capture of the calling thread, or null.
    static MIDITapCapture* Active();
    // [ui] Called by MIDISourceCreate with the tap it registered for the capture.
    void Add(MIDIPacketRing* tap) { mTaps.push_back(tap); }

private:
    MIDITapCapture* mOuter;
    std::vector<MIDIPacketRing*> mTaps;
};
