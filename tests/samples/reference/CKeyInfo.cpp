#include "samples/reference/CKeyInfo.h"

#include "samples/CSample.h"
#include "samples/reference/SamplePlayback.h"

#include <algorithm>
#include <limits>

namespace reference
{

namespace
{
// Frames rendered per call of the sample: the granularity of the end test.
constexpr int kChunkFrames = 16;
} // namespace

CKeyInfo::~CKeyInfo()
{
    if (mSample != nullptr) mSample->Release();
}

CKeyInfo& CKeyInfo::operator=(const CKeyInfo& other)
{
    if (this == &other) return *this;
    SetSample(other.mSample);
    mPitchShift = other.mPitchShift;
    mSpeed = other.mSpeed;
    mAutomatic = other.mAutomatic;
    mErasePending.store(other.ErasePending(), std::memory_order_release);
    mSkip = other.mSkip;
    mLooping = other.mLooping;
    mLegatoShift = 1.0;
    mPosition = -1.0;
    mGain = 1.0f;
    mShouldStart = 0;
    mPlaying = 0;
    mShouldStop = 0;
    return *this;
}

int CKeyInfo::Size() const
{
    return mSample != nullptr ? mSample->Size() : 0;
}

double CKeyInfo::Tempo() const
{
    return mSample != nullptr ? mSample->Tempo() : -1.0;
}

void CKeyInfo::SetSample(CSample* sample)
{
    if (sample != mSample)
    {
        if (IsPlaying()) Halt();
        if (mSample != nullptr) mSample->Release();
        mSample = sample;
        mSkip = 0;
        mPitchShift = 1.0;
        mSpeed = 1.0;
        if (mSample != nullptr) mSample->Retain();
    }
    mErasePending.store(false, std::memory_order_release);
}

bool CKeyInfo::StartPlaying()
{
    mShouldStart = 0;
    if (mSample == nullptr) return false;
    mPlaying = 1;
    mPosition = -1.0;
    return true;
}

bool CKeyInfo::StopPlaying()
{
    Halt();
    return true;
}

void CKeyInfo::SetShouldStart(bool start)
{
    mShouldStart = start ? 1 : 0;
    if (start) mShouldStop = 0;
}

void CKeyInfo::SetShouldStop(bool stop)
{
    if (mSample == nullptr || mSample->PlayAll()) return;
    mShouldStop = stop ? 1 : 0;
    if (stop) mShouldStart = 0;
    // Without a recorded tempo there is no beat to wait for.
    if (mSample->Tempo() == -1.0) Halt();
}

void CKeyInfo::SkipSamples(int frames)
{
    // Saturating, so that no sequence of requests can overflow the count.
    const int64_t sum = static_cast<int64_t>(mSkip) + frames;
    mSkip = static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                     std::numeric_limits<int32_t>::max()));
}

bool CKeyInfo::Play(float* left, float* right, int frames, double rate, double sampleRate)
{
    if (ErasePending())
    {
        SetSample(nullptr);
        mPlaying = 0;
    }
    if (mSample == nullptr) return false;
    if (mSkip > 0 && IsPlaying())
    {
        mPosition = SkipSample(*mSample, mPosition, mSkip, rate, mLooping != 0, sampleRate);
        if (mPosition == -1.0) mPlaying = 0;
    }
    mSkip = 0;
    if (left != nullptr && right != nullptr)
    {
        int done = 0;
        while (done < frames && IsPlaying())
        {
            const int chunk = std::min(kChunkFrames, frames - done);
            mPosition = PlaySample(*mSample, mPosition, left + done, right + done, chunk, rate,
                                   mLooping != 0, sampleRate);
            if (mPosition == -1.0) mPlaying = 0;
            done += chunk;
        }
    }
    return IsPlaying() || mShouldStart != 0;
}

void CKeyInfo::Reset()
{
    mPlaying = 0;
    mSpeed = 1.0;
    mPitchShift = 1.0;
    mLegatoShift = 1.0;
    mPosition = -1.0;
    mAutomatic = 0;
    mLooping = 0;
    mSample = nullptr;
}

void CKeyInfo::Halt()
{
    mSkip = 0;
    mPlaying = 0;
    mShouldStop = 0;
}
} // namespace reference
