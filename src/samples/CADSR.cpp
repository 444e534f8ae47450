#include "samples/CADSR.h"

namespace
{
// Multiplies frames by a level that holds for all of them.
void Scale(float* left, float* right, int frames, float level)
{
    for (int i = 0; i < frames; ++i)
    {
        left[i] *= level;
        right[i] *= level;
    }
}
} // namespace

bool CADSR::GetSamples(float* left, float* right, int frames, double sampleRate)
{
    if (left == nullptr || right == nullptr) return false;
    const double inc = 1.0 / (mAttack * sampleRate);
    bool released = false;
    // The ramps move the level frame by frame; once in sustain or idle it holds for the rest
    // of the call, and the frames are scaled together.
    float level = mLevel;
    int i = 0;
    for (; i < frames && (mStage == kAttack || mStage == kRelease); ++i)
    {
        if (mStage == kAttack)
        {
            level = static_cast<float>(level + inc);
            if (!(level < mSustain))
            {
                level = mSustain;
                mStage = kSustain;
            }
        }
        else
        {
            level = static_cast<float>(level - inc);
            if (!(level > 0.0f))
            {
                level = 0.0f;
                mStage = kIdle;
                released = true;
            }
        }
        left[i] *= level;
        right[i] *= level;
    }
    if (i < frames && mStage == kSustain) level = mSustain;
    mLevel = level;
    Scale(left + i, right + i, frames - i, level);
    return released;
}

void CADSR::Reset()
{
    mLevel = 0.0f;
    mSustain = 1.0f;
    mStage = kIdle;
}
