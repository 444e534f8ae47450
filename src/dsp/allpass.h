#pragma once
// One Schroeder allpass of the reverberator: a delay line whose output is fed back at half
// gain, and whose output subtracts the input so that the filter passes every frequency at
// unit gain while smearing it in time.

#include <cstdint>

class allpass
{
public:
    allpass() = default;

    // Points the filter at its delay line (which it does not own) and restarts at its head.
    void setbuffer(float* line, int frames); // [ui]
    void mute();                             // [render] zeroes the delay line

    float process(float input) // [render]
    {
        const float delayed = buffer[index];
        buffer[index] = input + delayed * kFeedback;
        if (++index >= length) index = 0;
        return delayed - input;
    }
    // process() over a run of frames in place, the same frame by frame but several at once
    // where the delay line does not wrap. [render]
    void processBlock(float* frames, int count);

private:
    static constexpr float kFeedback = 0.5f;

    float* buffer = nullptr;
    std::int32_t length = 0;
    std::int32_t index = 0;
};
