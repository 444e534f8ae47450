#include "dsp/CShifter.h"

#include "dsp/CShifterKernel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include <emmintrin.h>

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
void FadeIn(float* out, float last, int fade)
{
    for (int i = 0; i < fade; ++i)
    {
        const int count = fade - i;
        out[i] = (last * count + out[i] * (fade - count)) / fade;
    }
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
    std::fill_n(mLine.begin(), 2 * (mSize + 1), 0.0f);
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
    // The content is not moved: a newly used stretch starts out silent.
    if (n > mSize) std::fill(mLine.begin() + 2 * mSize, mLine.begin() + 2 * n, 0.0f);
    mRead = std::fmod(mRead, static_cast<double>(n));
    mWrite %= n;
    mRead2 = std::fmod(mRead + n * 0.5, static_cast<double>(n));
    mSize = n;
    mLine[2 * n] = mLine[0];
    mLine[2 * n + 1] = mLine[1];
}

void CShifter::SkipSamples(int frames)
{
    if (frames < 1) return;
    const int m = frames % mSize;
    mRead = WrapHead(mRead + m);
    mRead2 = WrapHead(mRead2 + m);
}

[[gnu::always_inline]] inline int CShifter::FramesClearOfWriter(int frames, int fullReach) const
{
    // Frame i of a run reads at a head, from its integer position up to i * ratio + 2 frames
    // further on (the frame one on of a position that rounding may have carried up), after
    // the run has written writer offsets 0 ... i.  It must not read offsets i + 1 ... n - 1,
    // which the run writes later.  With a frame of margin either way:
    const auto clear = [this, fullReach](double head, int n)
    {
        int ahead = static_cast<int>(head) - mWrite;
        if (ahead < 0) ahead += mSize;
        // A head behind the writer by mSize - ahead frames: i * (ratio - 1) must stay below
        // that distance less 2, so a head that moves faster than the writer must not catch up.
        const int room = mSize - ahead - 4;
        // Most of the time a head is far from the writer either way.
        if (ahead > n && room >= fullReach) return n;
        if (room < 0) return 1;
        // A head ahead of the writer: the run ends before the writer reaches it.
        n = std::min(n, ahead - 1);
        const double gain = mShift - 1.0;
        if (gain > 0.0 && (n - 1) * gain > room) n = static_cast<int>(room / gain) + 1;
        return std::max(n, 1);
    };
    return clear(mRead2, clear(mRead, frames));
}

[[gnu::always_inline]] inline void CShifter::WriteFrames(const float* inLeft, const float* inRight,
                                                         int frames)
{
    int write = mWrite;
    int done = 0;
    while (done < frames)
    {
        const int n = std::min(frames - done, mSize - write);
        float* const line = mLine.data() + 2 * write;
        const float* const left = inLeft + done;
        const float* const right = inRight + done;
        int i = 0;
        for (; i + 4 <= n; i += 4)
        {
            const __m128 l = _mm_loadu_ps(left + i);
            const __m128 r = _mm_loadu_ps(right + i);
            _mm_storeu_ps(line + 2 * i, _mm_unpacklo_ps(l, r));
            _mm_storeu_ps(line + 2 * i + 4, _mm_unpackhi_ps(l, r));
        }
        for (; i < n; ++i)
        {
            line[2 * i] = left[i];
            line[2 * i + 1] = right[i];
        }
        if (write == 0)
        {
            mLine[2 * mSize] = left[0];
            mLine[2 * mSize + 1] = right[0];
        }
        done += n;
        write += n;
        if (write >= mSize) write = 0;
    }
    mWrite = write;
}

[[gnu::always_inline]] inline void CShifter::RunBypass(const float* inLeft, const float* inRight,
                                                       float* outLeft, float* outRight, int frames)
{
    const int fade = mLastShift != 1.0 ? std::min(frames, kMaxFade) : 0;
    WriteFrames(inLeft, inRight, frames);
    if (outLeft != inLeft) std::copy_n(inLeft, frames, outLeft);
    if (outRight != inRight) std::copy_n(inRight, frames, outRight);
    FadeIn(outLeft, mLastL, fade);
    FadeIn(outRight, mLastR, fade);
}

[[gnu::always_inline]] inline void CShifter::RunShifting(const float* inLeft, const float* inRight,
                                                         float* outLeft, float* outRight,
                                                         int frames)
{
    const double size = mSize;
    const float half = static_cast<float>(size * 0.5);
    const CShifterKernel::Geometry geometry{
        mLine.data(), CrossfadeTable().data(), mSize, size, half, 1.0f / half};

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

    // How far (rounded up) a head moving faster than the writer gains on it over a full run.
    const double reach = (CShifterKernel::kChunkFrames - 1) * (mShift - 1.0);
    const int fullReach = reach < size ? static_cast<int>(reach) + 1 : mSize + 1;
    CShifterKernel::HeadRun run;
    int done = 0;
    while (done < frames)
    {
        // A run is written whole before it is read, so it ends before a head would read a
        // frame that the run writes after the head's own frame; a single frame always can.
        run.frames =
            FramesClearOfWriter(std::min(CShifterKernel::kChunkFrames, frames - done), fullReach);
        run.write = mWrite;
        WriteFrames(inLeft + done, inRight + done, run.frames);
        double read = mRead;
        double read2 = mRead2;
        for (int i = 0; i < run.frames; ++i)
        {
            run.read[i] = read;
            run.read2[i] = read2;
            read = WrapHead(read + mShift);
            read2 = WrapHead(read2 + mShift);
        }
        mRead = read;
        mRead2 = read2;
        for (int i = run.frames; i % CShifterKernel::kLanes != 0; ++i)
        {
            run.read[i] = run.read[i - 1];
            run.read2[i] = run.read2[i - 1];
        }
        CShifterKernel::Shift(geometry, run, outLeft + done, outRight + done);
        done += run.frames;
    }
    FadeIn(outLeft, mLastL, fade);
    FadeIn(outRight, mLastR, fade);
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
