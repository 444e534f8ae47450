#include "dsp/reference/allpass.h"

#include <algorithm>

namespace reference
{

void allpass::setbuffer(float* line, int frames)
{
    buffer = line;
    length = frames;
    index = 0;
}

void allpass::mute()
{
    std::fill_n(buffer, length, 0.0f);
}
} // namespace reference
