#pragma once
// The envelope's processing as it stood before it was restructured for speed: one frame at a
// time, the stage looked at for every frame.  It runs on the state of the optimised class
// (through its accessors), so that the two can be compared bit for bit.  Do not optimise.

#include "samples/CADSR.h"

namespace reference
{

class CADSR : public ::CADSR
{
public:
    // [render] Multiplies the frames by the envelope in place; true when a release ramp
    // finished during the call.
    bool GetSamples(float* left, float* right, int frames, double sampleRate);
};
} // namespace reference
