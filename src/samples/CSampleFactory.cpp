#include "samples/CSampleFactory.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <emmintrin.h>

namespace
{
// Frames past the capacity that belong to no sample.
constexpr int32_t kSlackFrames = 16;
// Frames faded at each end of a finished recording.
constexpr int32_t kSmoothFrames = 50;

// Frames of forward playback whose positions are laid out before they are read: the position
// recurrence is the only sequential part.
constexpr int kRunFrames = 16;

void ClearFrames(float* left, float* right, int from, int to)
{
    for (int i = from; i < to; ++i)
    {
        left[i] = 0.0f;
        right[i] = 0.0f;
    }
}

// One frame read at `position` (whose integer part is p) and blended towards its partner q.
inline void ReadFrame(const float* L, const float* R, double position, int32_t p, int32_t q,
                      float* left, float* right)
{
    const float f = static_cast<float>(position - p);
    *left = L[p] + f * (L[q] - L[p]);
    *right = R[p] + f * (R[q] - R[p]);
}

// [x[p] x[p + 1]] of four frames, as [x[p0] x[p1] x[p2] x[p3]] and the partners likewise.
inline void ReadPairs(const float* x, const int32_t* p, __m128& at, __m128& next)
{
    // A plain 8-byte load; the frames need not be 8-byte aligned.
    const auto pair = [x](int32_t i)
    {
        double both;
        std::memcpy(&both, x + i, sizeof both);
        return _mm_castpd_ps(_mm_set_sd(both));
    };
    const __m128 p01 = _mm_unpacklo_ps(pair(p[0]), pair(p[1])); // [x0 x1 y0 y1]
    const __m128 p23 = _mm_unpacklo_ps(pair(p[2]), pair(p[3]));
    at = _mm_movelh_ps(p01, p23);
    next = _mm_movehl_ps(p23, p01);
}

// Forward playback of `frames` laid-out positions of a sample ending at `last`: four frames at
// a time whose partners are the frames after them, one at a time where the sample wraps.
void ReadForward(const float* L, const float* R, const double* position, const int32_t* p,
                 int frames, int32_t last, int32_t wrap, float* left, float* right)
{
    int i = 0;
    for (; i + 4 <= frames; i += 4)
    {
        const __m128i index = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(index, _mm_set1_epi32(last))) == 0)
        {
            const __m128 f = _mm_movelh_ps(
                _mm_cvtpd_ps(_mm_sub_pd(_mm_loadu_pd(position + i), _mm_cvtepi32_pd(index))),
                _mm_cvtpd_ps(_mm_sub_pd(_mm_loadu_pd(position + i + 2),
                                        _mm_cvtepi32_pd(_mm_shuffle_epi32(index, 0xee)))));
            __m128 at;
            __m128 next;
            ReadPairs(L, p + i, at, next);
            _mm_storeu_ps(left + i, _mm_add_ps(at, _mm_mul_ps(f, _mm_sub_ps(next, at))));
            ReadPairs(R, p + i, at, next);
            _mm_storeu_ps(right + i, _mm_add_ps(at, _mm_mul_ps(f, _mm_sub_ps(next, at))));
            continue;
        }
        for (int k = i; k < i + 4; ++k)
            ReadFrame(L, R, position[k], p[k], p[k] < last ? p[k] + 1 : wrap, left + k, right + k);
    }
    for (; i < frames; ++i)
        ReadFrame(L, R, position[i], p[i], p[i] < last ? p[i] + 1 : wrap, left + i, right + i);
}
} // namespace

CSampleFactory::CSampleFactory(int capacity, int numSamples)
    : mCapacity(std::max(capacity, 0)), mNumSamples(std::max(numSamples, 0))
{
    // The pool is not cleared: only frames below mFill are ever read.
    const size_t length = static_cast<size_t>(mCapacity) + kSlackFrames;
    mLeft = std::make_unique_for_overwrite<float[]>(length);
    mRight = std::make_unique_for_overwrite<float[]>(length);
    mSamples.reserve(static_cast<size_t>(mNumSamples));
    for (int32_t i = 0; i < mNumSamples; ++i)
    {
        mSamples.emplace_back(this);
        mSamples.back().mIndex = i;
    }
    // The ring is read back by CopyLiveBuffer before it has been written in full.
    ResetLiveBuffer();
}

CSample* CSampleFactory::NewSample()
{
    for (int32_t i = 0; i < mNumSamples; ++i)
    {
        CSample& s = mSamples[i];
        if (s.IsUsed()) continue;
        s.mSync = 0;
        s.mStart = 0;
        s.mLast = 0;
        s.mSize = 0;
        s.mNeverLoop = 0;
        s.mPlayAll = 0;
        s.mIndex = i;
        s.mRefCount = 1;
        return &s;
    }
    return nullptr;
}

void CSampleFactory::FreeSample(CSample* sample)
{
    if (sample == nullptr || sample->mFactory != this) return;
    const int32_t s = sample->mStart;
    const int32_t n = sample->mSize;
    const int32_t fill = Fill();
    // Fields that do not describe a run inside the used pool have no frames to give back.
    if (n > 0 && s >= 0 && static_cast<int64_t>(s) + n <= fill)
    {
        const size_t moved = static_cast<size_t>(fill - s - n);
        std::memmove(&mLeft[s], &mLeft[s + n], moved * sizeof(float));
        std::memmove(&mRight[s], &mRight[s + n], moved * sizeof(float));
        for (CSample& other : mSamples)
        {
            if (&other != sample && other.IsUsed() && other.mStart > s)
            {
                other.mStart -= n;
                other.mLast -= n;
            }
        }
        mFill.store(fill - n, std::memory_order_relaxed);
    }
    sample->mStart = 0;
    sample->mLast = 0;
    sample->mSize = 0;
    sample->mRefCount = 0;
}

CSample* CSampleFactory::GetSample(int index)
{
    if (index < 0 || index >= mNumSamples) return nullptr;
    return &mSamples[index];
}

int CSampleFactory::SetSamples(CSample* sample, const float* left, const float* right, int frames)
{
    if (!Owns(sample) || left == nullptr || right == nullptr) return 0;
    const int32_t fill = Fill();
    // Only the last run in the pool can grow without overwriting the one after it.
    if (sample->mSize > 0 && !EndsAt(*sample, fill)) return 0;
    const int32_t stored = std::max(0, std::min(frames, mCapacity - fill));
    if (sample->mSize == 0) sample->mStart = fill;
    std::memcpy(&mLeft[fill], left, static_cast<size_t>(stored) * sizeof(float));
    std::memcpy(&mRight[fill], right, static_cast<size_t>(stored) * sizeof(float));
    sample->mSize += stored;
    sample->mLast = sample->mStart + sample->mSize - 1;
    mFill.store(fill + stored, std::memory_order_relaxed);
    return stored;
}

void CSampleFactory::TruncateSample(CSample* sample, int size)
{
    if (!Owns(sample) || size >= sample->mSize) return;
    // Taking frames back from the fill is only sound for the last run in the pool.
    const int32_t fill = Fill();
    if (!EndsAt(*sample, fill)) return;
    const int32_t d = sample->mSize - std::max(size, 0);
    sample->mSize -= d;
    sample->mLast -= d;
    mFill.store(fill - d, std::memory_order_relaxed);
}

void CSampleFactory::SmoothSample(CSample* sample)
{
    if (!IsPlayable(sample) || sample->mSize < 2 * kSmoothFrames) return;
    float* const l = mLeft.get();
    float* const r = mRight.get();
    for (int32_t k = 0; k < kSmoothFrames; ++k)
    {
        const double gain = k * 0.02;
        const int32_t head = sample->mStart + k;
        const int32_t tail = sample->mLast - k;
        l[head] = static_cast<float>(l[head] * gain);
        r[head] = static_cast<float>(r[head] * gain);
        l[tail] = static_cast<float>(l[tail] * gain);
        r[tail] = static_cast<float>(r[tail] * gain);
    }
}

void CSampleFactory::RecordLive(const float* left, const float* right, int frames)
{
    if (left == nullptr || right == nullptr) return;
    if (mLivePos < 0 || mLivePos >= kLiveFrames) mLivePos = 0;
    int32_t done = 0;
    while (done < frames)
    {
        const int32_t n = std::min(frames - done, kLiveFrames - mLivePos);
        std::memcpy(&mLiveLeft[mLivePos], left + done, static_cast<size_t>(n) * sizeof(float));
        std::memcpy(&mLiveRight[mLivePos], right + done, static_cast<size_t>(n) * sizeof(float));
        done += n;
        mLivePos += n;
        if (mLivePos >= kLiveFrames) mLivePos = 0;
    }
}

void CSampleFactory::SetBarStart(int framesAgo)
{
    // In 64 bits so that no framesAgo can overflow; the remainder equals repeated wrapping.
    int64_t p = (static_cast<int64_t>(mLivePos) - framesAgo) % kLiveFrames;
    if (p < 0) p += kLiveFrames;
    mBarStart = static_cast<int32_t>(p);
}

void CSampleFactory::CopyLiveBuffer(CSample* sample)
{
    if (!Owns(sample) || sample->mSize != 0) return;
    int32_t fill = Fill();
    sample->mStart = fill;
    int32_t remaining = 0;
    if (fill < mCapacity && mBarStart != mLivePos)
    {
        const int32_t held = mLivePos - mBarStart;
        remaining = std::min(held > 0 ? held : held + kLiveFrames, mCapacity - fill);
    }
    int32_t ring = mBarStart;
    while (remaining > 0)
    {
        const int32_t n = std::min(remaining, kLiveFrames - ring);
        std::memcpy(&mLeft[fill], &mLiveLeft[ring], static_cast<size_t>(n) * sizeof(float));
        std::memcpy(&mRight[fill], &mLiveRight[ring], static_cast<size_t>(n) * sizeof(float));
        fill += n;
        remaining -= n;
        ring = ring + n < kLiveFrames ? ring + n : 0;
    }
    sample->mSize = fill - sample->mStart;
    sample->mLast = fill - 1;
    mFill.store(fill, std::memory_order_relaxed);
}

void CSampleFactory::ResetLiveBuffer()
{
    mLiveLeft.fill(0.0f);
    mLiveRight.fill(0.0f);
    mLivePos = 0;
}

double CSampleFactory::GetSamples(CSample* sample, double position, float* left, float* right,
                                  int frames, double rate, bool looping)
{
    if (!IsPlayable(sample)) return -1.0;
    // An infinite rate or one that is not a number holds the position.
    if (!std::isfinite(rate)) rate = 0.0;
    position = EntryPosition(*sample, position, looping);
    if (position < 0.0) return -1.0;
    if (left == nullptr || right == nullptr) frames = 0;

    const float* const L = mLeft.get();
    const float* const R = mRight.get();
    const int32_t start = sample->mStart;
    const int32_t last = sample->mLast;
    const int32_t size = sample->mSize;
    const double end = static_cast<double>(last) + 1.0;

    // Every position used for reading lies in start ... last + 1 (exclusive), so p and its
    // partner q stay inside the sample.
    if (rate > 0.0)
    {
        // The partner of the last frame: the first when looping, else the last itself.
        const int32_t wrap = looping ? start : last;
        double at[kRunFrames];
        int32_t index[kRunFrames];
        int done = 0;
        while (done < frames)
        {
            const int run = std::min(kRunFrames, frames - done);
            int laid = 0;
            bool ended = false;
            while (laid < run && !ended)
            {
                at[laid] = position;
                index[laid] = static_cast<int32_t>(position);
                ++laid;
                position += rate;
                if (position >= end)
                {
                    if (!looping)
                    {
                        ended = true;
                        continue;
                    }
                    position -= size;
                    if (position >= end) position = WrapInto(*sample, position);
                }
            }
            ReadForward(L, R, at, index, laid, last, wrap, left + done, right + done);
            done += laid;
            if (ended)
            {
                ClearFrames(left, right, done, frames);
                return -1.0;
            }
        }
        return position;
    }

    for (int i = 0; i < frames; ++i)
    {
        const int32_t p = static_cast<int32_t>(position);
        int32_t q = p - 1;
        if (q < start) q = looping ? p - 1 + size : p;
        // The partner is the frame below p while f is still measured upward from p.
        const float f = static_cast<float>(position - p);
        left[i] = L[p] + f * (L[q] - L[p]);
        right[i] = R[p] + f * (R[q] - R[p]);
        position += rate;
        if (position <= start)
        {
            if (!looping)
            {
                ClearFrames(left, right, i + 1, frames);
                return -1.0;
            }
            if (position < start)
            {
                // The sum can round up to last + 1, the same point of the loop as start.
                position += size;
                if (position < start || position >= end) position = WrapInto(*sample, position);
            }
        }
    }
    return position;
}

double CSampleFactory::SkipSamples(CSample* sample, double position, int frames, double rate,
                                   bool looping)
{
    if (!IsPlayable(sample)) return -1.0;
    if (!std::isfinite(rate)) rate = 0.0;
    position = EntryPosition(*sample, position, looping);
    if (position < 0.0) return -1.0;

    const int32_t start = sample->mStart;
    const int32_t size = sample->mSize;
    const double end = static_cast<double>(sample->mLast) + 1.0;
    // The step runs at least once; unlike GetSamples a wrap is a single length, so a rate
    // larger than the sample walks out of it (GetSamples brings such a position back).
    const int steps = std::max(frames, 1);
    if (rate > 0.0)
    {
        for (int i = 0; i < steps; ++i)
        {
            position += rate;
            if (position >= end)
            {
                if (!looping) return -1.0;
                position -= size;
            }
        }
        return position;
    }
    if (rate == 0.0) return position;
    for (int i = 0; i < steps && position >= 0.0; ++i)
    {
        position += rate;
        if (position < start)
        {
            if (!looping) return -1.0;
            position += size;
        }
    }
    return position;
}

bool CSampleFactory::EndsAt(const CSample& sample, int32_t fill)
{
    return static_cast<int64_t>(sample.mStart) + sample.mSize == fill;
}

bool CSampleFactory::Owns(const CSample* sample) const
{
    return sample != nullptr && sample->mFactory == this && sample->IsUsed();
}

bool CSampleFactory::IsPlayable(const CSample* sample) const
{
    return Owns(sample) && sample->mSize > 0 && sample->mStart >= 0 &&
           sample->mLast == static_cast<int64_t>(sample->mStart) + sample->mSize - 1 &&
           sample->mLast < mCapacity;
}

double CSampleFactory::EntryPosition(const CSample& sample, double position, bool looping)
{
    // Not started (the -1.0 sentinel): the first frame, also for backward rates.
    if (position < 0.0) return sample.mStart;
    const double end = static_cast<double>(sample.mLast) + 1.0;
    if (looping)
        return (position >= sample.mStart && position < end) ? position
                                                             : WrapInto(sample, position);
    // Past the end, below the start (a position that compaction left behind) or not a number.
    return (position >= sample.mStart && position <= sample.mLast) ? position : -1.0;
}

double CSampleFactory::WrapInto(const CSample& sample, double position)
{
    // fmod is exact, so for any position a loop of whole-length steps could reach this gives
    // the same result as that loop; infinities and NaN start over at the first frame.
    const double size = sample.mSize;
    double r = std::fmod(position - sample.mStart, size);
    if (r < 0.0) r += size;
    const double wrapped = sample.mStart + r;
    return wrapped < sample.mStart + size ? wrapped : sample.mStart;
}
