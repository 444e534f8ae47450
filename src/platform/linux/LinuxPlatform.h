#pragma once
// What a host program on Linux calls once at start-up, before it creates the first unit:
// preferences kept in XML property lists under the user's configuration folder, and virtual
// MIDI sources as ALSA sequencer ports.

// [ui] Installs the Linux backends the first time; later calls do nothing.
void InstallLinuxPlatform();
