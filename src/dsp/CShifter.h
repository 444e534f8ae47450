#pragma once
// A delay-line pitch shifter: every input frame goes into a circular buffer and two read heads
// half a buffer apart sweep through it at the shift ratio.  The output crossfades the heads by
// the first head's distance from the write position, so a head is silent whenever the write
// position passes it.  A ratio of exactly 1.0 is a bypass; entering or leaving it is smoothed
// over at most 16 frames.  Everything lives inside the object: nothing allocates after
// construction.
//
// The shifting works in runs of up to 16 frames: the run's input goes into the line and the
// heads' positions are laid out first, then CShifterKernel reads and blends all the frames of
// the run side by side, with the arithmetic of one frame at a time.

#include <array>
#include <cmath>
#include <cstdint>

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

protected:
    // The state of the delay line and its heads, and the head arithmetic, are shared with the
    // frame-by-frame form of the shifting that the optimised runs are checked against.

    // Brings a head that stepped past the end of the active length back into it. [render]
    double WrapHead(double position) const
    {
        const double size = mSize;
        if (position >= size)
        {
            position -= size;
            // Only a ratio larger than the active length steps a head more than once around.
            if (position >= size) position = std::fmod(position, size);
        }
        return position;
    }

    double mShift = 1.0;
    // Both delay lines in one, left and right of a frame side by side, followed by a copy of
    // frame 0 just past the active length: one read fetches a frame and the next of both
    // channels, also across the wrap.
    alignas(16) std::array<float, 2 * (kMaxSize + 1)> mLine{};
    double mRead = 0.0;
    double mRead2 = kBaseSize / 2;
    std::int32_t mWrite = kBaseSize / 4;
    std::int32_t mSize = kBaseSize;
    float mLastL = 0.0f;
    float mLastR = 0.0f;
    std::int32_t mResetSize = kBaseSize;
    double mLastShift = 1.0;

private:
    // How many of the next `frames` frames (at least one) can be written before any of them is
    // read, because no head reads a frame that the run writes after the head's own.
    // `fullReach` bounds how far a head gains on the writer over a full run. [render]
    int FramesClearOfWriter(int frames, int fullReach) const;
    // Writes input frames into the delay line at the write position and advances it. [render]
    void WriteFrames(const float* inLeft, const float* inRight, int frames);
    // The two modes of GetSamples. [render]
    void RunBypass(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                   int frames);
    void RunShifting(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                     int frames);
};
