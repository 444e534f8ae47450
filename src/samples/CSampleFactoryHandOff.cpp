// CSampleFactory: sharing the pool with other threads. A save copies the pool's frames on its
// own thread while the render thread records and plays on (Freeze, Thaw); an import's frames
// come into the pool in pieces on the render thread (Reserve, WriteFrames).

#include "samples/CSampleFactory.h"

#include <cstring>

void CSampleFactory::Freeze()
{
    mFrozen = true;
}

void CSampleFactory::Thaw()
{
    mFrozen = false;
    for (CSample& sample : mSamples)
    {
        if (sample.mKeptWhileFrozen == 0) continue;
        sample.mKeptWhileFrozen = 0;
        sample.Release();
    }
}

bool CSampleFactory::KeepWhileFrozen(CSample* sample)
{
    if (!mFrozen || !Owns(sample)) return false;
    sample->mKeptWhileFrozen = 1;
    return true;
}

bool CSampleFactory::Reserve(CSample* sample, int32_t frames, CSample* growing)
{
    if (!Owns(sample) || sample->mSize != 0 || frames <= 0) return false;
    const int32_t fill = Fill();
    if (frames > mCapacity - fill) return false;
    int32_t start = fill;
    if (Owns(growing) && growing->mSize > 0)
    {
        // Only the last run can move up without overwriting the one after it.
        if (!EndsAt(*growing, fill)) return false;
        start = growing->mStart;
        const size_t bytes = static_cast<size_t>(growing->mSize) * sizeof(float);
        std::memmove(&mLeft[start + frames], &mLeft[start], bytes);
        std::memmove(&mRight[start + frames], &mRight[start], bytes);
        growing->mStart += frames;
        growing->mLast += frames;
    }
    sample->mStart = start;
    sample->mSize = frames;
    sample->mLast = start + frames - 1;
    mFill.store(fill + frames, std::memory_order_relaxed);
    return true;
}

void CSampleFactory::WriteFrames(CSample* sample, int32_t offset, const float* left,
                                 const float* right, int32_t frames)
{
    if (!Owns(sample) || offset < 0 || frames <= 0 ||
        static_cast<int64_t>(offset) + frames > sample->mSize)
        return;
    const size_t bytes = static_cast<size_t>(frames) * sizeof(float);
    std::memcpy(&mLeft[sample->mStart + offset], left, bytes);
    std::memcpy(&mRight[sample->mStart + offset], right, bytes);
}
