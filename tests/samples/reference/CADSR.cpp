#include "samples/reference/CADSR.h"

namespace reference
{

bool CADSR::GetSamples(float* left, float* right, int frames, double sampleRate)
{
    if (left == nullptr || right == nullptr) return false;
    const double inc = 1.0 / (mAttack * sampleRate);
    bool released = false;
    for (int i = 0; i < frames; ++i)
    {
        switch (mStage)
        {
        case kAttack:
            mLevel = static_cast<float>(mLevel + inc);
            if (!(mLevel < mSustain))
            {
                mLevel = mSustain;
                mStage = kSustain;
            }
            break;
        case kSustain:
            mLevel = mSustain;
            break;
        case kRelease:
            mLevel = static_cast<float>(mLevel - inc);
            if (!(mLevel > 0.0f))
            {
                mLevel = 0.0f;
                mStage = kIdle;
                released = true;
            }
            break;
        case kIdle:
            break;
        }
        left[i] *= mLevel;
        right[i] *= mLevel;
    }
    return released;
}

void CADSR::Reset()
{
    mLevel = 0.0f;
    mSustain = 1.0f;
    mStage = kIdle;
}
} // namespace reference
