#include "dsp/reference/CShifter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <numbers>

namespace reference
{

namespace
{
// Below this whole ratio the delay line follows the ratio in coarse steps, from it upward in
// every step of kBaseSize frames.
constexpr int kFineFromRatio = 5;
// A new length is taken only when it differs from the active one by more than this, so a
// ratio wandering around a step boundary does not keep resizing the line.
constexpr int kCoarseHysteresis = 2500;
constexpr int kFineHysteresis = 1000;

// The crossfade from the previous call's last output frame into the new signal: count runs
// down from fade, so the first frame is exactly the old one.
inline float Fade(float last, float value, int count, int fade)
{
    return (last * count + value * (fade - count)) / fade;
}
} // namespace

const CShifter::Table& CShifter::CrossfadeTable()
{
    // Built once by whichever shifter is constructed first; the static's initialisation is
    // thread-safe, and reading it afterwards needs no synchronisation.
    static const Table table = []
    {
        Table t{};
        const float step = 1.0f / kMaxSize;
        for (int k = 0; k < kMaxSize; ++k)
        {
            const float turn = static_cast<float>(kMaxSize - k) * step;
            t[k] = static_cast<float>(std::cos(turn * (std::numbers::pi / 2.0)));
        }
        return t;
    }();
    return table;
}

CShifter::CShifter()
{
    CrossfadeTable();
    Reset();
}

void CShifter::Reset()
{
    mRead = 0.0;
    mRead2 = mRead + mSize * 0.5;
    mWrite = static_cast<std::int32_t>((mRead + mRead2) * 0.5);
    mLastL = 0.0f;
    mLastR = 0.0f;
    std::fill_n(mBufferL.begin(), mSize, 0.0f);
    std::fill_n(mBufferR.begin(), mSize, 0.0f);
    mResetSize = mSize;
}

void CShifter::SetShifting(double ratio)
{
    if (ratio == mShift || !(ratio > 0.0) || !std::isfinite(ratio)) return;
    mShift = ratio;
    // Every whole ratio above kMaxSize / kBaseSize asks for more than the ceiling and ends at
    // the ceiling, so capping it first changes nothing and keeps the conversion defined.
    const int k = static_cast<int>(std::min(ratio, kMaxSize / kBaseSize + 1.0));
    const int wanted = k * kBaseSize;
    if (k < kFineFromRatio)
    {
        if (ratio <= 1.0)
            SetBufferSize(kBaseSize);
        else if (std::abs(mSize - wanted) > kCoarseHysteresis)
            SetBufferSize(wanted);
    }
    else if (std::abs(mSize - wanted) > kFineHysteresis)
    {
        SetBufferSize(wanted);
    }
}

void CShifter::SetBufferSize(int frames)
{
    if (frames == mSize) return;
    const int n = std::clamp(frames, kMinSize, kMaxSize);
    if (n > mSize)
    {
        // The content is not moved: the newly used stretch starts out silent.
        std::fill(mBufferL.begin() + mSize, mBufferL.begin() + n, 0.0f);
        std::fill(mBufferR.begin() + mSize, mBufferR.begin() + n, 0.0f);
    }
    mRead = std::fmod(mRead, static_cast<double>(n));
    mWrite %= n;
    mRead2 = std::fmod(mRead + n * 0.5, static_cast<double>(n));
    mSize = n;
}

void CShifter::SkipSamples(int frames)
{
    if (frames < 1) return;
    const int m = frames % mSize;
    mRead = WrapHead(mRead + m);
    mRead2 = WrapHead(mRead2 + m);
}

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

double CShifter::WrapHead(double position) const
{
    const double size = mSize;
    if (position >= size)
    {
        position -= size;
        // Only a ratio larger than the active length steps a head more than once around.
        if (position >= size) position = std::fmod(position, size);
    }
    return position;
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
        mBufferL[write] = left;
        mBufferR[write] = right;
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
        const float inL = inLeft[i];
        const float inR = inRight[i];
        mBufferL[write] = inL;
        mBufferR[write] = inR;
        if (++write >= mSize) write = 0;
        const double w = write;

        const float g = weight(w, read);
        const auto a1 = static_cast<std::size_t>(read);
        const auto a2 = static_cast<std::size_t>(read2);
        const float aL = mBufferL[a1] * (1.0f - g) + mBufferL[a2] * g;
        const float aR = mBufferR[a1] * (1.0f - g) + mBufferR[a2] * g;

        // The same one frame further on, for the interpolation between the two.
        const double r1 = WrapHead(read + 1.0);
        const double r2 = WrapHead(read2 + 1.0);
        const float g1 = weight(w, r1);
        const auto b1 = static_cast<std::size_t>(r1);
        const auto b2 = static_cast<std::size_t>(r2);
        const float bL = mBufferL[b1] * (1.0f - g1) + mBufferL[b2] * g1;
        const float bR = mBufferR[b1] * (1.0f - g1) + mBufferR[b2] * g1;

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
