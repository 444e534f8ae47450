#pragma once
// Signals and measurements the tova-jack tests share.

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace jacktest
{
// A sine of amplitude 0.5 at frame `frame` of a stream at `rate`.
inline float Tone(double frequency, double rate, std::size_t frame)
{
    return static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * frequency * frame / rate));
}

// Frequency from the rising zero crossings of s[from, to).
inline double Frequency(const std::vector<float>& s, std::size_t from, std::size_t to, double rate)
{
    std::size_t first = 0;
    std::size_t last = 0;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to && i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0)
        {
            if (crossings++ == 0) first = i;
            last = i;
        }
    return crossings < 2 ? 0 : (crossings - 1) * rate / static_cast<double>(last - first);
}

// Root mean square of s[from, to).
inline double Rms(const std::vector<float>& s, std::size_t from, std::size_t to)
{
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = from; i < to && i < s.size(); ++i, ++n)
        sum += static_cast<double>(s[i]) * s[i];
    return n == 0 ? 0 : std::sqrt(sum / static_cast<double>(n));
}
} // namespace jacktest
