#include "samples/reference/CADSR.h"

namespace reference
{

bool CADSR::GetSamples(float* left, float* right, int frames, double sampleRate)
{
    if (left == nullptr || right == nullptr) return false;
    const double inc = 1.0 / (Attack() * sampleRate);
    bool released = false;
    for (int i = 0; i < frames; ++i)
    {
        switch (Stage())
        {
        case kAttack:
            SetLevel(static_cast<float>(Level() + inc));
            if (!(Level() < Sustain()))
            {
                SetLevel(Sustain());
                SetStage(kSustain);
            }
            break;
        case kSustain:
            SetLevel(Sustain());
            break;
        case kRelease:
            SetLevel(static_cast<float>(Level() - inc));
            if (!(Level() > 0.0f))
            {
                SetLevel(0.0f);
                SetStage(kIdle);
                released = true;
            }
            break;
        case kIdle:
            break;
        }
        left[i] *= Level();
        right[i] *= Level();
    }
    return released;
}
} // namespace reference
