#include "dsp/reference/revmodel.h"

#include <algorithm>

namespace reference
{

namespace
{
constexpr float kFixedGain = 0.0165f; // comb input gain: keeps eight summed combs in range
constexpr double kScaleDamp = 0.004;  // damp parameter 0 ... 100 to coefficient 0 ... 0.4
constexpr double kScaleWidth = 0.01;  // width parameter 0 ... 100 to 0 ... 1
constexpr float kFrozen = 1.0f;       // mode at and above which the tail is frozen
} // namespace

revmodel::revmodel()
{
    float* line = delayLines.data();
    for (int channel = 0; channel < kChannels; ++channel)
    {
        for (int comb = 0; comb < kCombs; ++comb)
        {
            const int frames = kCombLengths[comb] + channel * kStereoSpread;
            setbufferComb(channel, comb, line, frames);
            line += frames;
        }
        for (int stage = 0; stage < kAllpasses; ++stage)
        {
            const int frames = kAllpassLengths[stage] + channel * kStereoSpread;
            allpasses[channel][stage].setbuffer(line, frames);
            line += frames;
        }
    }

    // The engine does not hand its parameter defaults on at construction, so these are what
    // the reverberator sounds like until a reverb parameter is set.
    setwet(1.0f);
    setroomsize(0.5f);
    setdry(0.0f);
    setdamp(1.0f);
    setwidth(0.5f);
    setmode(0.0f);
    mute();
}

void revmodel::mute()
{
    if (getmode() >= kFrozen) return;
    for (int comb = 0; comb < kCombs; ++comb)
        for (int channel = 0; channel < kChannels; ++channel)
            muteComb(channel, comb);
    for (auto& bank : allpasses)
        for (allpass& stage : bank)
            stage.mute();
}

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

void revmodel::setroomsize(float value)
{
    roomsize = value;
    update();
}

void revmodel::setdamp(float value)
{
    damp = static_cast<float>(value * kScaleDamp);
    update();
}

void revmodel::setwet(float value)
{
    wet = value;
    update();
}

void revmodel::setdry(float value)
{
    dry = value;
}

void revmodel::setwidth(float value)
{
    width = static_cast<float>(value * kScaleWidth);
    update();
}

void revmodel::setmode(float value)
{
    mode = value;
    update();
}

float revmodel::getmode() const
{
    return mode >= kFrozen ? 1.0f : 0.0f;
}

void revmodel::update()
{
    wetDirect = wet * (width * 0.5f + 0.5f);
    wetCross = wet * (1.0f - width) * 0.5f;
    if (mode < kFrozen)
    {
        feedback = roomsize;
        gain = kFixedGain;
        dampInUse = damp;
    }
    else
    {
        // Lossless loops with no new input: what is in the combs circulates for ever.
        feedback = 1.0f;
        gain = 0.0f;
        dampInUse = 0.0f;
    }
    setfeedbackComb(feedback);
    setdampComb(dampInUse);
}

void revmodel::setbufferComb(int channel, int comb, float* line, int frames)
{
    if (channel < 0 || channel >= kChannels || comb < 0 || comb >= kCombs) return;
    Comb& c = combs[channel][comb];
    c.buffer = line;
    c.length = frames;
    c.index = 0;
}

void revmodel::muteComb(int channel, int comb)
{
    if (channel < 0 || channel >= kChannels || comb < 0 || comb >= kCombs) return;
    const Comb& c = combs[channel][comb];
    std::fill_n(c.buffer, c.length, 0.0f);
}

void revmodel::setdampComb(float d)
{
    combDamp1 = d;
    combDamp2 = 1.0f - d;
}

void revmodel::setfeedbackComb(float f)
{
    combFeedback = f;
}
} // namespace reference
