#pragma once
// Tova's component entry and the registration hosts open it with: a MIDI-controlled effect,
// subtype 'Tova', manufacturer 'Qzpt', version 1.1.0.

#include "platform/AUComponent.h"

// [any] Hands every component call to the frame's dispatcher for CTova.
extern "C" ComponentResult CTovaEntry(ComponentParameters* params, void* storage);

extern const AudioComponentRegistration kTovaRegistration;
