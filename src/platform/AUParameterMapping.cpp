// Parameter values and what controls show of them: linear positions and text.

#include "platform/AudioUnitProperties.h"
#include "platform/AudioUnitUtilities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace
{

bool GetInfo(const AudioUnitParameter* parameter, AudioUnitParameterInfo& info)
{
    if (parameter == nullptr) return false;
    UInt32 size = sizeof(info);
    return AudioUnitGetProperty(parameter->mAudioUnit, kAudioUnitProperty_ParameterInfo,
                                parameter->mScope, parameter->mParameterID, &info, &size) == noErr;
}

enum class Curve
{
    Linear,
    SquareRoot,
    Squared,
    Cubed,
    CubeRoot,
    Exponential,
    Logarithmic
};

Curve CurveOf(const AudioUnitParameterInfo& info)
{
    if ((info.flags & kAudioUnitParameterFlag_DisplayLogarithmic) != 0)
        return info.minValue > 0 ? Curve::Logarithmic : Curve::Linear;
    switch (info.flags & kAudioUnitParameterFlag_DisplayMask)
    {
    case kAudioUnitParameterFlag_DisplaySquareRoot:
        return Curve::SquareRoot;
    case kAudioUnitParameterFlag_DisplaySquared:
        return Curve::Squared;
    case kAudioUnitParameterFlag_DisplayCubed:
        return Curve::Cubed;
    case kAudioUnitParameterFlag_DisplayCubeRoot:
        return Curve::CubeRoot;
    case kAudioUnitParameterFlag_DisplayExponential:
        return Curve::Exponential;
    default:
        return Curve::Linear;
    }
}

constexpr double kE = std::numbers::e;

} // namespace

AudioUnitParameterValue AUParameterValueFromLinear(Float32 inLinearValue,
                                                   const AudioUnitParameter* inParameter)
{
    AudioUnitParameterInfo info;
    if (!GetInfo(inParameter, info)) return inLinearValue;
    const double lo = info.minValue;
    const double hi = info.maxValue;
    if (!(hi > lo)) return info.minValue;
    const double x = std::clamp(static_cast<double>(inLinearValue), 0.0, 1.0);
    double n = x; // share of the range
    switch (CurveOf(info))
    {
    case Curve::Linear:
        break;
    case Curve::SquareRoot:
        n = x * x;
        break;
    case Curve::Squared:
        n = std::sqrt(x);
        break;
    case Curve::Cubed:
        n = std::cbrt(x);
        break;
    case Curve::CubeRoot:
        n = x * x * x;
        break;
    case Curve::Exponential:
        n = std::log(1.0 + x * (kE - 1.0));
        break;
    case Curve::Logarithmic:
        return static_cast<Float32>(std::clamp(lo * std::pow(hi / lo, x), lo, hi));
    }
    return static_cast<Float32>(lo + n * (hi - lo));
}

Float32 AUParameterValueToLinear(AudioUnitParameterValue inParameterValue,
                                 const AudioUnitParameter* inParameter)
{
    AudioUnitParameterInfo info;
    if (!GetInfo(inParameter, info)) return inParameterValue;
    const double lo = info.minValue;
    const double hi = info.maxValue;
    if (!(hi > lo)) return 0;
    const double value = std::clamp(static_cast<double>(inParameterValue), lo, hi);
    const double n = (value - lo) / (hi - lo);
    switch (CurveOf(info))
    {
    case Curve::Linear:
        return static_cast<Float32>(n);
    case Curve::SquareRoot:
        return static_cast<Float32>(std::sqrt(n));
    case Curve::Squared:
        return static_cast<Float32>(n * n);
    case Curve::Cubed:
        return static_cast<Float32>(n * n * n);
    case Curve::CubeRoot:
        return static_cast<Float32>(std::cbrt(n));
    case Curve::Exponential:
        return static_cast<Float32>((std::exp(n) - 1.0) / (kE - 1.0));
    case Curve::Logarithmic:
        return static_cast<Float32>(std::log(value / lo) / std::log(hi / lo));
    }
    return static_cast<Float32>(n);
}

char* AUParameterFormatValue(Float64 inParameterValue, const AudioUnitParameter* inParameter,
                             char* inTextBuffer, UInt32 inDigits)
{
    if (inTextBuffer == nullptr) return nullptr;
    AudioUnitParameterInfo info;
    double magnitude = std::fabs(inParameterValue);
    if (GetInfo(inParameter, info) && info.unit != kAudioUnitParameterUnit_Hertz &&
        (info.flags & kAudioUnitParameterFlag_DisplayLogarithmic) == 0)
        magnitude = static_cast<double>(info.maxValue) - info.minValue;
    const int power = magnitude > 0 && std::isfinite(magnitude)
                          ? static_cast<int>(std::floor(std::log10(magnitude)))
                          : 0;
    // Keep the text inside the buffer: no more decimals than a double carries.
    const int decimals = std::min(static_cast<int>(inDigits) - power - 1, 15);
    double value = inParameterValue;
    if (decimals < 0)
    {
        const double step = std::pow(10.0, -decimals);
        value = std::round(value / step) * step;
    }
    // A value that rounds to zero reads "0", never "-0".
    if (std::fabs(value) < 0.5 * std::pow(10.0, -std::max(decimals, 0))) value = 0;
    if (!std::isfinite(value) || std::fabs(value) >= 1e15)
        std::snprintf(inTextBuffer, kAUParameterFormatValueBufferSize, "%.*g",
                      static_cast<int>(std::clamp(inDigits, 1u, 15u)), value);
    else
        std::snprintf(inTextBuffer, kAUParameterFormatValueBufferSize, "%.*f",
                      std::max(decimals, 0), value);
    return inTextBuffer;
}
