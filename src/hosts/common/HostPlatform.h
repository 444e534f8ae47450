#pragma once
// The platform services a host program puts behind the units it opens: preferences kept in
// files, virtual MIDI sources that the host can tap for a MIDI output of its own whether or not
// an ALSA sequencer exists (HostMIDIBackend), and the audio-file reader of the import.

class HostPlatform
{
public:
    // [ui] Installs them; called before the first unit is opened.
    static void Install();
};
