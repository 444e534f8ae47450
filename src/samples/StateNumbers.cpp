#include "samples/StateNumbers.h"

#include <cmath>

EStateNumber ReadStateInteger(const CACFDictionary& d, std::string_view key, std::int64_t lo,
                              std::int64_t hi, std::int32_t& out)
{
    const CFType* value = nullptr;
    if (!d.GetCFType(key, value)) return EStateNumber::Missing;
    if (!value->IsNumber()) return EStateNumber::Invalid;
    if (value->IsFloatNumber())
    {
        // Compared as reals, so that no conversion of an out-of-range value is needed.
        const double x = std::trunc(value->AsFloat64());
        if (!(x >= static_cast<double>(lo) && x <= static_cast<double>(hi)))
            return EStateNumber::Invalid;
        out = static_cast<std::int32_t>(x);
        return EStateNumber::Valid;
    }
    const std::int64_t n = value->AsSInt64();
    if (n < lo || n > hi) return EStateNumber::Invalid;
    out = static_cast<std::int32_t>(n);
    return EStateNumber::Valid;
}

EStateNumber ReadStateReal(const CACFDictionary& d, std::string_view key, double& out)
{
    const CFType* value = nullptr;
    if (!d.GetCFType(key, value)) return EStateNumber::Missing;
    if (!value->IsNumber() || !std::isfinite(value->AsFloat64())) return EStateNumber::Invalid;
    out = value->AsFloat64();
    return EStateNumber::Valid;
}
