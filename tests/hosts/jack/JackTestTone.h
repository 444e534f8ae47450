#pragma once
// Signals and measurements the tova-jack tests share.

#include <algorithm>
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

// Frequency from the median distance between rising zero crossings of s[from, to), each
// placed between its two frames by linear interpolation: a dropped cycle or a click moves a
// few distances, not the median.
inline double Frequency(const std::vector<float>& s, std::size_t from, std::size_t to, double rate)
{
    std::vector<double> periods;
    double last = -1;
    for (std::size_t i = from + 1; i < to && i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0)
        {
            const double at = static_cast<double>(i - 1) + s[i - 1] / (s[i - 1] - s[i]);
            if (last >= 0) periods.push_back(at - last);
            last = at;
        }
    if (periods.empty()) return 0;
    std::nth_element(periods.begin(),
                     periods.begin() + static_cast<std::ptrdiff_t>(periods.size() / 2),
                     periods.end());
    return rate / periods[periods.size() / 2];
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
