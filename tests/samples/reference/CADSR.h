#pragma once
// Reference copy, frozen as it stood before the optimisation of the voice path and the
// reverberator: the optimised class is checked against it bit for bit.  Do not optimise.

#include <cstdint>

namespace reference
{

// A linear envelope: an attack ramp up to the sustain level, held, and a release ramp down to
// silence. Both ramps take their slope from the attack time.
class CADSR
{
public:
    enum EStage : int32_t
    {
        kIdle,
        kAttack,
        kSustain,
        kRelease
    };

    // [ui]
    CADSR() = default;
    virtual ~CADSR() = default;

    // [render] Multiplies the frames by the envelope in place; true when a release ramp
    // finished during the call.
    bool GetSamples(float* left, float* right, int frames, double sampleRate);
    // [render] Silent and idle, ready for a new note rising from zero to a full sustain.
    void Reset();

    // [render] The owner steers the stage and level directly.
    EStage Stage() const { return mStage; }
    void SetStage(EStage stage) { mStage = stage; }
    float Level() const { return mLevel; }
    void SetLevel(float level) { mLevel = level; }

    // [any] Settings. Decay and release are held for the owner; the ramps use the attack time.
    double SampleRate() const { return mSampleRate; }
    float Attack() const { return mAttack; }
    float Decay() const { return mDecay; }
    float Sustain() const { return mSustain; }
    float Release() const { return mRelease; }
    // [ui]
    void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
    void SetAttack(float seconds) { mAttack = seconds; }
    void SetSustain(float level) { mSustain = level; }

private:
    EStage mStage = kIdle;
    double mSampleRate = 44100.0;
    float mLevel = 0.0f;
    float mAttack = 0.03f;
    float mDecay = 0.0f;
    float mSustain = 1.0f;
    float mRelease = 0.03f;
};
} // namespace reference
