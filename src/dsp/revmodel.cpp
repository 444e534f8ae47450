#include "dsp/revmodel.h"

#include <algorithm>

#include <emmintrin.h>

namespace
{
constexpr float kFixedGain = 0.0165f; // comb input gain: keeps eight summed combs in range
constexpr double kScaleDamp = 0.004;  // damp parameter 0 ... 100 to coefficient 0 ... 0.4
constexpr double kScaleWidth = 0.01;  // width parameter 0 ... 100 to 0 ... 1
constexpr float kFrozen = 1.0f;       // mode at and above which the tail is frozen

// Rows become columns: four frames of four combs to four combs of four frames, and back.
inline void Transpose(__m128& a, __m128& b, __m128& c, __m128& d)
{
    const __m128 ab01 = _mm_unpacklo_ps(a, b); // [a0 b0 a1 b1]
    const __m128 ab23 = _mm_unpackhi_ps(a, b);
    const __m128 cd01 = _mm_unpacklo_ps(c, d);
    const __m128 cd23 = _mm_unpackhi_ps(c, d);
    a = _mm_movelh_ps(ab01, cd01); // [a0 b0 c0 d0]
    b = _mm_movehl_ps(cd01, ab01);
    c = _mm_movelh_ps(ab23, cd23);
    d = _mm_movehl_ps(cd23, ab23);
}
} // namespace

revmodel::revmodel()
{
    float* line = delayLines.data();
    for (int channel = 0; channel < kChannels; ++channel)
    {
        for (int comb = 0; comb < kCombs; ++comb)
        {
            const int frames = kCombLengths[comb] + channel * kStereoSpread;
            setbufferComb(channel, comb, line, frames);
            line += frames;
        }
        for (int stage = 0; stage < kAllpasses; ++stage)
        {
            const int frames = kAllpassLengths[stage] + channel * kStereoSpread;
            allpasses[channel][stage].setbuffer(line, frames);
            line += frames;
        }
    }

    // The engine does not hand its parameter defaults on at construction, so these are what
    // the reverberator sounds like until a reverb parameter is set.
    setwet(1.0f);
    setroomsize(0.5f);
    setdry(0.0f);
    setdamp(1.0f);
    setwidth(0.5f);
    setmode(0.0f);
    mute();
}

void revmodel::mute()
{
    if (getmode() >= kFrozen) return;
    for (int comb = 0; comb < kCombs; ++comb)
        for (int channel = 0; channel < kChannels; ++channel)
            muteComb(channel, comb);
    for (auto& bank : allpasses)
        for (allpass& stage : bank)
            stage.mute();
}

void revmodel::processreplace(const float* inLeft, const float* inRight, float* outLeft,
                              float* outRight, long frames)
{
    const bool writes = outLeft != nullptr && outRight != nullptr;
    long done = 0;
    while (done < frames)
    {
        const int n = static_cast<int>(std::min<long>(frames - done, FramesBeforeCombWrap()));
        const float* const left = inLeft + done;
        const float* const right = inRight + done;
        float x[kBlockFrames];
        for (int i = 0; i < n; ++i)
            x[i] = (left[i] + right[i]) * gain;

        float rev[kChannels][kBlockFrames];
        RunCombs(x, n, rev[0], rev[1]);
        for (int channel = 0; channel < kChannels; ++channel)
        {
            for (allpass& stage : allpasses[channel])
                stage.processBlock(rev[channel], n);
        }

        // The inputs are read before the outputs are written, so in-place use is exact.
        if (writes)
        {
            for (int i = 0; i < n; ++i)
            {
                const float l = left[i];
                const float r = right[i];
                outLeft[done + i] = l * dry + rev[0][i] * wetDirect + rev[1][i] * wetCross;
                outRight[done + i] = r * dry + rev[1][i] * wetDirect + rev[0][i] * wetCross;
            }
        }
        done += n;
    }
}

int revmodel::FramesBeforeCombWrap() const
{
    int frames = kBlockFrames;
    for (const auto& bank : combs)
    {
        for (const Comb& comb : bank)
            frames = std::min(frames, comb.length - comb.index);
    }
    return frames;
}

void revmodel::RunCombs(const float* x, int frames, float* sumLeft, float* sumRight)
{
    const __m128 damp1 = _mm_set1_ps(combDamp1);
    const __m128 damp2 = _mm_set1_ps(combDamp2);
    const __m128 fb = _mm_set1_ps(combFeedback);
    // The 16 combs in four groups of four (two per channel), each group's low-pass states in
    // one register, so that the four recurrences run side by side.
    struct Group
    {
        float* line[4];
        __m128 store;
    };
    const auto group = [this](int channel, int first)
    {
        Group g;
        alignas(16) float state[4];
        for (int k = 0; k < 4; ++k)
        {
            const Comb& comb = combs[channel][first + k];
            g.line[k] = comb.buffer + comb.index;
            state[k] = comb.store;
        }
        g.store = _mm_load_ps(state);
        return g;
    };
    const auto keep = [this](const Group& g, int channel, int first)
    {
        alignas(16) float state[4];
        _mm_store_ps(state, g.store);
        for (int k = 0; k < 4; ++k)
            combs[channel][first + k].store = state[k];
    };
    Group left0 = group(0, 0);
    Group left4 = group(0, 4);
    Group right0 = group(1, 0);
    Group right4 = group(1, 4);

    // Four frames of a group: each frame's sum takes the combs in order; then frame by frame
    // across the four combs, store = y * damp2 + store * damp1 and the line takes
    // x + store * feedback.
    const auto run = [&](Group& g, int i, const __m128(&feeds)[4], __m128& sum)
    {
        __m128 y0 = _mm_loadu_ps(g.line[0] + i);
        __m128 y1 = _mm_loadu_ps(g.line[1] + i);
        __m128 y2 = _mm_loadu_ps(g.line[2] + i);
        __m128 y3 = _mm_loadu_ps(g.line[3] + i);
        sum = _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_add_ps(sum, y0), y1), y2), y3);
        Transpose(y0, y1, y2, y3);
        __m128 store = g.store;
        store = _mm_add_ps(_mm_mul_ps(y0, damp2), _mm_mul_ps(store, damp1));
        y0 = _mm_add_ps(feeds[0], _mm_mul_ps(store, fb));
        store = _mm_add_ps(_mm_mul_ps(y1, damp2), _mm_mul_ps(store, damp1));
        y1 = _mm_add_ps(feeds[1], _mm_mul_ps(store, fb));
        store = _mm_add_ps(_mm_mul_ps(y2, damp2), _mm_mul_ps(store, damp1));
        y2 = _mm_add_ps(feeds[2], _mm_mul_ps(store, fb));
        store = _mm_add_ps(_mm_mul_ps(y3, damp2), _mm_mul_ps(store, damp1));
        y3 = _mm_add_ps(feeds[3], _mm_mul_ps(store, fb));
        g.store = store;
        Transpose(y0, y1, y2, y3);
        _mm_storeu_ps(g.line[0] + i, y0);
        _mm_storeu_ps(g.line[1] + i, y1);
        _mm_storeu_ps(g.line[2] + i, y2);
        _mm_storeu_ps(g.line[3] + i, y3);
    };

    const int whole = frames & ~3;
    for (int i = 0; i < whole; i += 4)
    {
        const __m128 feed = _mm_loadu_ps(x + i);
        const __m128 feeds[4] = {_mm_shuffle_ps(feed, feed, 0x00), _mm_shuffle_ps(feed, feed, 0x55),
                                 _mm_shuffle_ps(feed, feed, 0xaa),
                                 _mm_shuffle_ps(feed, feed, 0xff)};
        // Sums start from +0, as frame by frame.
        __m128 sumL = _mm_setzero_ps();
        __m128 sumR = _mm_setzero_ps();
        run(left0, i, feeds, sumL);
        run(left4, i, feeds, sumL);
        run(right0, i, feeds, sumR);
        run(right4, i, feeds, sumR);
        _mm_storeu_ps(sumLeft + i, sumL);
        _mm_storeu_ps(sumRight + i, sumR);
    }
    keep(left0, 0, 0);
    keep(left4, 0, 4);
    keep(right0, 1, 0);
    keep(right4, 1, 4);

    // The last frames of a block that is not a whole number of fours, one at a time.
    for (int i = whole; i < frames; ++i)
    {
        for (int channel = 0; channel < kChannels; ++channel)
        {
            float sum = 0.0f;
            for (Comb& comb : combs[channel])
            {
                float* const slot = comb.buffer + comb.index + i;
                const float y = *slot;
                comb.store = y * combDamp2 + comb.store * combDamp1;
                *slot = x[i] + comb.store * combFeedback;
                sum += y;
            }
            (channel == 0 ? sumLeft : sumRight)[i] = sum;
        }
    }

    for (auto& bank : combs)
    {
        for (Comb& comb : bank)
        {
            comb.index += frames;
            if (comb.index >= comb.length) comb.index = 0;
        }
    }
}

void revmodel::setroomsize(float value)
{
    roomsize = value;
    update();
}

void revmodel::setdamp(float value)
{
    damp = static_cast<float>(value * kScaleDamp);
    update();
}

void revmodel::setwet(float value)
{
    wet = value;
    update();
}

void revmodel::setdry(float value)
{
    dry = value;
}

void revmodel::setwidth(float value)
{
    width = static_cast<float>(value * kScaleWidth);
    update();
}

void revmodel::setmode(float value)
{
    mode = value;
    update();
}

float revmodel::getmode() const
{
    return mode >= kFrozen ? 1.0f : 0.0f;
}

void revmodel::update()
{
    wetDirect = wet * (width * 0.5f + 0.5f);
    wetCross = wet * (1.0f - width) * 0.5f;
    if (mode < kFrozen)
    {
        feedback = roomsize;
        gain = kFixedGain;
        dampInUse = damp;
    }
    else
    {
        // Lossless loops with no new input: what is in the combs circulates for ever.
        feedback = 1.0f;
        gain = 0.0f;
        dampInUse = 0.0f;
    }
    setfeedbackComb(feedback);
    setdampComb(dampInUse);
}

void revmodel::setbufferComb(int channel, int comb, float* line, int frames)
{
    if (channel < 0 || channel >= kChannels || comb < 0 || comb >= kCombs) return;
    Comb& c = combs[channel][comb];
    c.buffer = line;
    c.length = frames;
    c.index = 0;
}

void revmodel::muteComb(int channel, int comb)
{
    if (channel < 0 || channel >= kChannels || comb < 0 || comb >= kCombs) return;
    const Comb& c = combs[channel][comb];
    std::fill_n(c.buffer, c.length, 0.0f);
}

void revmodel::setdampComb(float d)
{
    combDamp1 = d;
    combDamp2 = 1.0f - d;
}

void revmodel::setfeedbackComb(float f)
{
    combFeedback = f;
}
