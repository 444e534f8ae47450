#include "dsp/allpass.h"

#include <algorithm>

#include <emmintrin.h>

void allpass::setbuffer(float* line, int frames)
{
    buffer = line;
    length = frames;
    index = 0;
}

void allpass::processBlock(float* frames, int count)
{
    int done = 0;
    while (done < count)
    {
        // No frame of a stretch reads a slot that the stretch writes.
        const int n = std::min(count - done, length - index);
        float* const line = buffer + index;
        float* const v = frames + done;
        const __m128 feedback = _mm_set1_ps(kFeedback);
        int i = 0;
        for (; i + 4 <= n; i += 4)
        {
            const __m128 delayed = _mm_loadu_ps(line + i);
            const __m128 input = _mm_loadu_ps(v + i);
            _mm_storeu_ps(line + i, _mm_add_ps(input, _mm_mul_ps(delayed, feedback)));
            _mm_storeu_ps(v + i, _mm_sub_ps(delayed, input));
        }
        for (; i < n; ++i)
        {
            const float delayed = line[i];
            line[i] = v[i] + delayed * kFeedback;
            v[i] = delayed - v[i];
        }
        done += n;
        index += n;
        if (index >= length) index = 0;
    }
}

void allpass::mute()
{
    std::fill_n(buffer, length, 0.0f);
}
