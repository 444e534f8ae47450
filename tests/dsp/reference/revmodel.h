#pragma once
// The reverberator as it stood before it was restructured for speed: one frame at a time
// through the combs and then allpass by allpass, on the optimised class's own state.  Do not
// optimise: the optimised network is checked against it bit for bit.

#include "dsp/revmodel.h"

namespace reference
{
class revmodel : public ::revmodel
{
public:
    void processreplace(const float* inL, const float* inR, float* outL, float* outR, long frames)
    {
        for (long i = 0; i < frames; ++i)
        {
            const float left = inL[i], right = inR[i], x = (left + right) * gain;
            float sum[kChannels] = {0.0f, 0.0f};
            for (int ch = 0; ch < kChannels; ++ch)
            {
                for (Comb& comb : combs[ch])
                {
                    const float y = comb.buffer[comb.index];
                    comb.store = y * combDamp2 + comb.store * combDamp1;
                    comb.buffer[comb.index] = x + comb.store * combFeedback;
                    if (++comb.index >= comb.length) comb.index = 0;
                    sum[ch] += y;
                }
                for (allpass& stage : allpasses[ch])
                    sum[ch] = stage.process(sum[ch]);
            }
            if (outL == nullptr || outR == nullptr) continue;
            outL[i] = left * dry + sum[0] * wetDirect + sum[1] * wetCross;
            outR[i] = right * dry + sum[1] * wetDirect + sum[0] * wetCross;
        }
    }
};
} // namespace reference
