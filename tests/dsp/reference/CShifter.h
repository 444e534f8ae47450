#pragma once
// The shifter as it stood before it was restructured for speed: one frame at a time, written
// into the line and then read by both heads, on the optimised class's own state.  Do not
// optimise: the optimised runs are checked against it bit for bit.

#include "dsp/CShifter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace reference
{
class CShifter : public ::CShifter
{
public:
    int GetSamples(const float* inL, const float* inR, float* outL, float* outR, int frames)
    {
        if (frames <= 0) return 0;
        Run(inL, inR, outL, outR, frames, mShift != 1.0);
        mLastL = outL[frames - 1];
        mLastR = outR[frames - 1];
        mLastShift = mShift;
        return frames;
    }

private:
    float Weight(double write, double head) const
    {
        const double size = mSize;
        const float half = static_cast<float>(size * 0.5);
        double d = write - head;
        if (d < 0.0) d += size;
        const auto index = static_cast<int>(std::abs(d - half) * (1.0f / half) * kMaxSize);
        return CrossfadeTable()[static_cast<std::size_t>(std::min(index, kMaxSize - 1))];
    }

    float Heads(double write, double read, double read2, int channel) const
    {
        const float g = Weight(write, read);
        return mLine[2 * static_cast<std::size_t>(read) + channel] * (1.0f - g) +
               mLine[2 * static_cast<std::size_t>(read2) + channel] * g;
    }

    void Run(const float* inL, const float* inR, float* outL, float* outR, int frames,
             bool shifting)
    {
        const double size = mSize;
        int fade = !shifting && mLastShift != 1.0 ? std::min(frames, kMaxFade) : 0;
        if (shifting) mRead2 = WrapHead(mRead + size * 0.5);
        if (shifting && mLastShift == 1.0)
        {
            // Out of bypass: the heads start a quarter line either side of the writer.
            mRead = mWrite - size * 0.25;
            if (static_cast<int>(mRead) < 0) mRead += size;
            mRead2 = WrapHead(mWrite + size * 0.25);
            fade = std::min(frames, kMaxFade);
        }
        for (int i = 0, count = fade; i < frames; ++i, --count)
        {
            const float in[2] = {inL[i], inR[i]};
            mLine[2 * mWrite] = in[0];
            mLine[2 * mWrite + 1] = in[1];
            if (++mWrite >= mSize) mWrite = 0;
            const double r1 = WrapHead(mRead + 1.0);
            const double r2 = WrapHead(mRead2 + 1.0);
            const double f = r1 - static_cast<double>(static_cast<std::size_t>(r1));
            for (int ch = 0; ch < 2; ++ch)
            {
                float out = in[ch];
                if (shifting)
                {
                    const float a = Heads(mWrite, mRead, mRead2, ch);
                    const float b = Heads(mWrite, r1, r2, ch);
                    out = static_cast<float>(a + f * (b - a));
                }
                const float last = ch == 0 ? mLastL : mLastR; // fades from the last call's end
                if (count > 0) out = (last * count + out * (fade - count)) / fade;
                (ch == 0 ? outL : outR)[i] = out;
            }
            if (!shifting) continue;
            mRead = WrapHead(mRead + mShift);
            mRead2 = WrapHead(mRead2 + mShift);
        }
    }
};
} // namespace reference
