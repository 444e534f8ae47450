#pragma once
// Numbers in a saved state, read defensively: a state may come from anywhere, so a value is
// either missing (the reader then uses its default, since older or other writers may not have
// saved it), usable, or unusable (of another kind, not finite, or out of range), which makes the
// whole state unusable.

#include "platform/cf/CACFDictionary.h"

#include <cstdint>
#include <string_view>

enum class EStateNumber
{
    Missing,
    Valid,
    Invalid
};

// [any] Any number within lo ... hi; a real number counts by its whole part (toward zero).
EStateNumber ReadStateInteger(const CACFDictionary& d, std::string_view key, std::int64_t lo,
                              std::int64_t hi, std::int32_t& out);
// [any] Any finite number.
EStateNumber ReadStateReal(const CACFDictionary& d, std::string_view key, double& out);
