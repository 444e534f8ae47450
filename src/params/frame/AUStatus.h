#pragma once
// Turns the exception being handled into the status a component call returns: the plug-in
// and the frame report errors deep inside a call by throwing the status (an OSStatus, or a
// 16-bit status, sign-extended); running out of memory answers kAudio_MemFullError and
// anything else −1.

#include "platform/CoreAudioTypes.h"

// [any] Call only inside a catch block.
OSStatus AUStatusFromCurrentException() noexcept;
