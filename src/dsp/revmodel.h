#pragma once
// The stereo reverberator: per channel eight parallel feedback combs, each with a one-pole
// low-pass in its loop, into four allpasses in series.  Both channels take the same mono feed;
// the right channel's delays are 23 frames longer, which is what makes the two tails differ.
// Freeze turns the combs into lossless loops that take no more input.
//
// The delay lengths are fixed frame counts, whatever the sample rate, and every delay line
// lives inside the object: nothing allocates after construction.  The object points into
// itself, so it cannot be copied.
//
// The network runs in blocks: the combs of both channels side by side, four frames at a time,
// then each allpass over the whole block, with the same operations in the same order as frame
// by frame.  Delay lines handed to setbufferComb must not overlap.

#include "dsp/allpass.h"

#include <array>
#include <cstdint>

class revmodel
{
public:
    static constexpr int kChannels = 2;
    static constexpr int kCombs = 8;
    static constexpr int kAllpasses = 4;

    revmodel(); // [ui]
    revmodel(const revmodel&) = delete;
    revmodel& operator=(const revmodel&) = delete;

    // Zeroes every delay line, unless frozen (a frozen tail survives).
    void mute(); // [render]
    // Runs the network over a block.  The outputs may be the inputs, or null: the network then
    // advances exactly the same and nothing is written.
    void processreplace(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                        long frames); // [render]

    // The setters take the parameter values as they stand and apply the scaling.
    void setroomsize(float value); // [render] comb feedback, 0.7 ... 0.9 from the engine
    void setdamp(float value);     // [render] 0 ... 100, scaled to 0 ... 0.4
    void setwet(float value);      // [render]
    void setdry(float value);      // [render]
    void setwidth(float value);    // [render] 0 ... 100, scaled to 0 ... 1
    void setmode(float value);     // [render] 1 or more freezes
    float getroomsize() const { return roomsize; } // [any]
    float getdamp() const { return damp; }         // [any] scaled
    float getwet() const { return wet; }           // [any]
    float getdry() const { return dry; }           // [any]
    float getwidth() const { return width; }       // [any] scaled
    float getmode() const;                         // [any] 1.0 when frozen, else 0.0

    // Recomputes the cross-mix gains and the comb coefficients from the stored settings.
    void update(); // [render]

    // Per-comb access.  Damping and feedback are shared by all sixteen combs.  Out-of-range
    // channel or comb numbers are ignored.
    void setbufferComb(int channel, int comb, float* line, int frames); // [ui]
    void muteComb(int channel, int comb);                               // [render]
    void setdampComb(float d);                                          // [render]
    void setfeedbackComb(float f);                                      // [render]

protected:
    // The network's state is shared with the frame-by-frame form of processreplace that the
    // block processing is checked against.
    struct Comb
    {
        float store = 0.0f; // the low-pass state
        float* buffer = nullptr;
        std::int32_t length = 0;
        std::int32_t index = 0;
    };

    static constexpr std::array<int, kCombs> kCombLengths = {1116, 1188, 1277, 1356,
                                                             1422, 1491, 1557, 1617};
    static constexpr std::array<int, kAllpasses> kAllpassLengths = {556, 441, 341, 225};
    static constexpr int kStereoSpread = 23; // right channel's extra frames per delay line
    static constexpr int kDelayFrames = []
    {
        int frames = 0;
        for (const int length : kCombLengths)
            frames += 2 * length + kStereoSpread;
        for (const int length : kAllpassLengths)
            frames += 2 * length + kStereoSpread;
        return frames;
    }();

    float gain = 0.0f;
    float roomsize = 0.0f;
    float feedback = 0.0f;
    float damp = 0.0f;
    float dampInUse = 0.0f;
    float wet = 0.0f;
    float wetDirect = 0.0f;
    float wetCross = 0.0f;
    float dry = 0.0f;
    float width = 0.0f;
    float mode = 0.0f;
    std::array<std::array<Comb, kCombs>, kChannels> combs{};
    float combFeedback = 0.0f;
    float combDamp1 = 0.0f;
    float combDamp2 = 0.0f;
    std::array<std::array<allpass, kAllpasses>, kChannels> allpasses{};
    std::array<float, kDelayFrames> delayLines{};

private:
    // Frames processed together: the comb and allpass stages each run over them in turn.
    static constexpr int kBlockFrames = 64;

    // How many frames (at most kBlockFrames) the combs run before the first of them wraps.
    // [render]
    int FramesBeforeCombWrap() const;
    // Runs the 16 combs over frames of the mono feed x, none of them wrapping, and gives each
    // channel's sum of comb outputs. [render]
    void RunCombs(const float* x, int frames, float* sumLeft, float* sumRight);
};
