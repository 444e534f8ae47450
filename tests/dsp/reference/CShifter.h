#pragma once
// Reference copy, frozen as it stood before the optimisation of the voice path and the
// reverberator: the optimised class is checked against it bit for bit.  Do not optimise.
//
// A delay-line pitch shifter: every input frame goes into a circular buffer and two read heads
// half a buffer apart sweep through it at the shift ratio.  The output crossfades the heads by
// the first head's distance from the write position, so a head is silent whenever the write
// position passes it.  A ratio of exactly 1.0 is a bypass; entering or leaving it is smoothed
// over at most 16 frames.  Everything lives inside the object: nothing allocates after
// construction.

#include <array>
#include <cstdint>

namespace reference
{

class CShifter
{
public:
    static constexpr int kMaxSize = 17000; // delay-line capacity, also the size of the table
    static constexpr int kMinSize = 50;    // shortest active length
    static constexpr int kBaseSize = 1700; // active length per whole step of the ratio
    static constexpr int kMaxFade = 16;    // frames of the bypass crossfade
    using Table = std::array<float, kMaxSize>;

    CShifter();                    // [ui] before rendering starts (builds the shared table once)
    virtual ~CShifter() = default; // [ui]

    // Silences the delay line and places the heads; keeps the ratio and the mode memory.
    void Reset(); // [render]
    // Sets the ratio (output / input frequency) and grows or shrinks the delay line with it.
    // A ratio that is not a positive finite number is ignored.
    void SetShifting(double ratio); // [render]
    // Changes the active length (clamped to kMinSize ... kMaxSize), keeping the heads valid.
    void SetBufferSize(int frames); // [render]
    // Advances both read heads; a count below 1 does nothing.
    void SkipSamples(int frames); // [render]
    // Processes one block; the outputs may be the inputs.  Returns the frames processed
    // (0 when frames is not positive).
    int GetSamples(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                   int frames); // [render]

    double Shift() const { return mShift; }      // [any]
    int Size() const { return mSize; }           // [any]
    int ResetSize() const { return mResetSize; } // [any]

    // The crossfade weights shared by all shifters: sin(k / kMaxSize * pi / 2), rising from 0
    // to 1 over the table.
    static const Table& CrossfadeTable(); // [any]

private:
    // Brings a head that stepped past the end of the active length back into it. [render]
    double WrapHead(double position) const;
    // The two modes of GetSamples. [render]
    void RunBypass(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                   int frames);
    void RunShifting(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                     int frames);

    double mShift = 1.0;
    std::array<float, kMaxSize> mBufferL{};
    std::array<float, kMaxSize> mBufferR{};
    double mRead = 0.0;
    double mRead2 = kBaseSize / 2;
    std::int32_t mWrite = kBaseSize / 4;
    std::int32_t mSize = kBaseSize;
    float mLastL = 0.0f;
    float mLastR = 0.0f;
    std::int32_t mResetSize = kBaseSize;
    double mLastShift = 1.0;
};
} // namespace reference
