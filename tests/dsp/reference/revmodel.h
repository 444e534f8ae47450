#pragma once
// The reverberator's processing as it stood before it was restructured for speed: one frame at
// a time through the combs and then allpass by allpass.  It runs on the state of the optimised
// class (whose setters it keeps), so that the two can be compared bit for bit.  Do not
// optimise.

#include "dsp/revmodel.h"

namespace reference
{

class revmodel : public ::revmodel
{
public:
    // Runs the network over a block frame by frame; the outputs may be the inputs, or null.
    // [render]
    void processreplace(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                        long frames);
};
} // namespace reference
