#pragma once
// The shifter's processing as it stood before it was restructured for speed: one frame at a
// time, each written into the line and then read by both heads.  It runs on the state of the
// optimised class (whose setters it keeps), so that the two can be compared bit for bit.
// Do not optimise.

#include "dsp/CShifter.h"

namespace reference
{

class CShifter : public ::CShifter
{
public:
    // Processes one block frame by frame; the outputs may be the inputs. [render]
    int GetSamples(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                   int frames);

private:
    void RunBypass(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                   int frames);
    void RunShifting(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                     int frames);
};
} // namespace reference
