#include "dsp/reference/CShifter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace reference
{

namespace
{
// The crossfade from the previous call's last output frame into the new signal: count runs
// down from fade, so the first frame is exactly the old one.
inline float Fade(float last, float value, int count, int fade)
{
    return (last * count + value * (fade - count)) / fade;
}
} // namespace

int CShifter::GetSamples(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                         int frames)
{
    if (frames <= 0) return 0;
    if (mShift == 1.0)
        RunBypass(inLeft, inRight, outLeft, outRight, frames);
    else
        RunShifting(inLeft, inRight, outLeft, outRight, frames);
    mLastL = outLeft[frames - 1];
    mLastR = outRight[frames - 1];
    mLastShift = mShift;
    return frames;
}

void CShifter::RunBypass(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                         int frames)
{
    const int fade = mLastShift != 1.0 ? std::min(frames, kMaxFade) : 0;
    const float lastL = mLastL;
    const float lastR = mLastR;
    int count = fade;
    int write = mWrite;
    for (int i = 0; i < frames; ++i)
    {
        const float left = inLeft[i];
        const float right = inRight[i];
        mLine[2 * write] = left;
        mLine[2 * write + 1] = right;
        if (count <= 0)
        {
            outLeft[i] = left;
            outRight[i] = right;
        }
        else
        {
            outLeft[i] = Fade(lastL, left, count, fade);
            outRight[i] = Fade(lastR, right, count, fade);
            --count;
        }
        if (++write >= mSize) write = 0;
    }
    mWrite = write;
}

void CShifter::RunShifting(const float* inLeft, const float* inRight, float* outLeft,
                           float* outRight, int frames)
{
    const Table& table = CrossfadeTable();
    const double size = mSize;
    const float half = static_cast<float>(size * 0.5);
    const float invHalf = 1.0f / half;
    const auto left = [this](std::size_t frame) { return mLine[2 * frame]; };
    const auto right = [this](std::size_t frame) { return mLine[2 * frame + 1]; };

    // The weight of the second head, from the first head's distance behind the write position:
    // 0 at half a buffer, 1 when the first head meets the write position.
    const auto weight = [&](double write, double head)
    {
        double d = write - head;
        if (d < 0.0) d += size;
        const auto index = static_cast<int>(std::abs(d - half) * invHalf * kMaxSize);
        // d = 0 exactly gives kMaxSize, one past the table.
        return table[static_cast<std::size_t>(std::min(index, kMaxSize - 1))];
    };

    mRead2 = WrapHead(mRead + size * 0.5);
    int fade = 0;
    if (mLastShift == 1.0)
    {
        // Coming out of bypass: start the heads a quarter buffer either side of the writer.
        mRead = mWrite - size * 0.25;
        if (static_cast<int>(mRead) < 0) mRead += size;
        mRead2 = WrapHead(mWrite + size * 0.25);
        fade = std::min(frames, kMaxFade);
    }

    const float lastL = mLastL;
    const float lastR = mLastR;
    double read = mRead;
    double read2 = mRead2;
    int write = mWrite;
    int count = fade;
    for (int i = 0; i < frames; ++i)
    {
        mLine[2 * write] = inLeft[i];
        mLine[2 * write + 1] = inRight[i];
        if (++write >= mSize) write = 0;
        const double w = write;

        const float g = weight(w, read);
        const auto a1 = static_cast<std::size_t>(read);
        const auto a2 = static_cast<std::size_t>(read2);
        const float aL = left(a1) * (1.0f - g) + left(a2) * g;
        const float aR = right(a1) * (1.0f - g) + right(a2) * g;

        // The same one frame further on, for the interpolation between the two.
        const double r1 = WrapHead(read + 1.0);
        const double r2 = WrapHead(read2 + 1.0);
        const float g1 = weight(w, r1);
        const auto b1 = static_cast<std::size_t>(r1);
        const auto b2 = static_cast<std::size_t>(r2);
        const float bL = left(b1) * (1.0f - g1) + left(b2) * g1;
        const float bR = right(b1) * (1.0f - g1) + right(b2) * g1;

        const double f = r1 - static_cast<double>(b1);
        const auto shiftedL = static_cast<float>(aL + f * (bL - aL));
        const auto shiftedR = static_cast<float>(aR + f * (bR - aR));
        if (count <= 0)
        {
            outLeft[i] = shiftedL;
            outRight[i] = shiftedR;
        }
        else
        {
            outLeft[i] = Fade(lastL, shiftedL, count, fade);
            outRight[i] = Fade(lastR, shiftedR, count, fade);
            --count;
        }

        read = WrapHead(read + mShift);
        read2 = WrapHead(read2 + mShift);
    }
    mRead = read;
    mRead2 = read2;
    mWrite = write;
}
} // namespace reference
