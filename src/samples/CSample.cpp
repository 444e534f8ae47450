#include "samples/CSample.h"

#include "samples/CSampleFactory.h"

CSample::CSample(CSampleFactory* owner) : mFactory(owner) {}

void CSample::Retain()
{
    ++mRefCount;
}

void CSample::Release()
{
    // Only the release that takes the last holder away frees the frames: a stray release of
    // a free slot must not compact away frames that it no longer owns.
    if (!IsUsed()) return;
    // While another thread copies the pool, its frames must stay put: the pool keeps the
    // last reference and frees the frames when the copy is done.
    if (mRefCount == 1 && mFactory->KeepWhileFrozen(this)) return;
    --mRefCount;
    if (!IsUsed()) mFactory->FreeSample(this);
}

bool CSample::Record(const float* left, const float* right, int frames)
{
    return mFactory->SetSamples(this, left, right, frames) == frames;
}

double CSample::Play(double position, float* left, float* right, int frames, double rate,
                     bool looping, double sampleRate)
{
    return mFactory->GetSamples(this, position, left, right, frames,
                                CorrectedRate(rate, sampleRate), looping && mNeverLoop == 0);
}

double CSample::SkipSamples(double position, int frames, double rate, bool looping,
                            double sampleRate)
{
    // The skip counts output frames, so it advances by the same corrected rate as Play.
    return mFactory->SkipSamples(this, position, frames, CorrectedRate(rate, sampleRate),
                                 looping && mNeverLoop == 0);
}

double CSample::CorrectedRate(double rate, double sampleRate) const
{
    // A sample made at another rate plays at the pitch at which it was recorded.
    if (mSampleRate > 0.0 && sampleRate > 0.0) return rate * (mSampleRate / sampleRate);
    return rate;
}
