#include "dsp/reference/revmodel.h"

namespace reference
{

void revmodel::processreplace(const float* inLeft, const float* inRight, float* outLeft,
                              float* outRight, long frames)
{
    const bool writes = outLeft != nullptr && outRight != nullptr;
    const float fb = combFeedback;
    const float damp1 = combDamp1;
    const float damp2 = combDamp2;
    for (long i = 0; i < frames; ++i)
    {
        const float left = inLeft[i];
        const float right = inRight[i];
        const float x = (left + right) * gain;

        float sum[kChannels] = {0.0f, 0.0f};
        for (int channel = 0; channel < kChannels; ++channel)
        {
            for (Comb& comb : combs[channel])
            {
                const float y = comb.buffer[comb.index];
                comb.store = y * damp2 + comb.store * damp1;
                comb.buffer[comb.index] = x + comb.store * fb;
                if (++comb.index >= comb.length) comb.index = 0;
                sum[channel] += y;
            }
            for (allpass& stage : allpasses[channel])
                sum[channel] = stage.process(sum[channel]);
        }

        if (writes)
        {
            const float revLeft = sum[0];
            const float revRight = sum[1];
            outLeft[i] = left * dry + revLeft * wetDirect + revRight * wetCross;
            outRight[i] = right * dry + revRight * wetDirect + revLeft * wetCross;
        }
    }
}
} // namespace reference
