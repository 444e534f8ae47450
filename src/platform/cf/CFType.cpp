#include "platform/cf/CFType.h"

#include "platform/cf/CFUnicode.h"

#include <cmath>
#include <limits>
#include <variant>

namespace
{
struct Number
{
    CFNumberType type;
    std::int64_t integer; // integer kinds
    double real;          // float kinds (a Float32 is held exactly as a double)
};

bool IsFloatType(CFNumberType type)
{
    return type == CFNumberType::Float32 || type == CFNumberType::Float64;
}

// Truncates toward zero and clamps to the ends of Int; the plain cast is undefined for
// values outside the range, and NaN has no sensible integer, so it gives 0.
template <class Int> Int SaturatingCast(double value)
{
    if (std::isnan(value)) return 0;
    // Both limits are powers of two (or zero) and exact as doubles: max + 1 and min.
    constexpr double kAboveMax =
        2.0 * (static_cast<double>(std::numeric_limits<Int>::max() / 2) + 1);
    constexpr double kMin = static_cast<double>(std::numeric_limits<Int>::min());
    if (value >= kAboveMax) return std::numeric_limits<Int>::max();
    if (value <= kMin) return std::numeric_limits<Int>::min();
    // Truncation is safe now: every value in (kMin - 1, kAboveMax) truncates into range.
    return static_cast<Int>(value);
}
} // namespace

struct CFType::Impl
{
    // Alternative i holds Kind(i + 1); Null has no Impl at all.
    std::variant<bool, Number, std::shared_ptr<const std::string>,
                 std::shared_ptr<const CFDataStorage>, CFArrayStorage, CFDictionaryStorage>
        value;
};

namespace
{
// Access to an alternative that fails the same way for Null as for any other wrong kind.
template <class T, class ImplPtr> auto& Alternative(const ImplPtr& impl)
{
    if (!impl) throw std::bad_variant_access();
    return std::get<T>(impl->value);
}
} // namespace

CFType::CFType() = default;
CFType::CFType(std::unique_ptr<Impl> impl) : mImpl(std::move(impl)) {}
CFType::~CFType() = default;
CFType::CFType(const CFType& other)
    : mImpl(other.mImpl ? std::make_unique<Impl>(*other.mImpl) : nullptr)
{
}
CFType::CFType(CFType&&) noexcept = default;
CFType& CFType::operator=(CFType&&) noexcept = default;

CFType& CFType::operator=(const CFType& other)
{
    if (this != &other) *this = CFType(other);
    return *this;
}

CFType CFType::Boolean(bool value)
{
    return CFType(std::make_unique<Impl>(Impl{value}));
}

CFType CFType::SInt16(std::int16_t value)
{
    return CFType(std::make_unique<Impl>(Impl{Number{CFNumberType::SInt16, value, 0.0}}));
}

CFType CFType::SInt32(std::int32_t value)
{
    return CFType(std::make_unique<Impl>(Impl{Number{CFNumberType::SInt32, value, 0.0}}));
}

CFType CFType::SInt64(std::int64_t value)
{
    return CFType(std::make_unique<Impl>(Impl{Number{CFNumberType::SInt64, value, 0.0}}));
}

CFType CFType::Float32(float value)
{
    return CFType(std::make_unique<Impl>(Impl{Number{CFNumberType::Float32, 0, value}}));
}

CFType CFType::Float64(double value)
{
    return CFType(std::make_unique<Impl>(Impl{Number{CFNumberType::Float64, 0, value}}));
}

CFType CFType::String(std::string utf8)
{
    return CFType(std::make_unique<Impl>(
        Impl{std::make_shared<const std::string>(CFUnicode::MakeValidUtf8(std::move(utf8)))}));
}

CFType CFType::Data(CFDataStorage bytes)
{
    return CFType(
        std::make_unique<Impl>(Impl{std::make_shared<const CFDataStorage>(std::move(bytes))}));
}

CFType CFType::Array(CFArrayStorage items)
{
    return CFType(std::make_unique<Impl>(Impl{std::move(items)}));
}

CFType CFType::Dictionary(CFDictionaryStorage entries)
{
    return CFType(std::make_unique<Impl>(Impl{std::move(entries)}));
}

CFType::Kind CFType::GetKind() const
{
    return mImpl ? static_cast<Kind>(mImpl->value.index() + 1) : Kind::Null;
}

CFNumberType CFType::GetNumberType() const
{
    return Alternative<Number>(mImpl).type;
}

bool CFType::IsFloatNumber() const
{
    return IsNumber() && IsFloatType(GetNumberType());
}

namespace
{
// One conversion for every integer target: floats saturate, integers follow C's modulo rule.
template <class Int> Int ToInteger(const CFType& value)
{
    switch (value.GetKind())
    {
    case CFType::Kind::Boolean:
        return value.AsBoolean() ? 1 : 0;
    case CFType::Kind::Number:
        break;
    default:
        return 0;
    }
    if (value.IsFloatNumber()) return SaturatingCast<Int>(value.AsFloat64());
    return static_cast<Int>(value.AsSInt64());
}
} // namespace

std::int16_t CFType::AsSInt16() const
{
    return ToInteger<std::int16_t>(*this);
}
std::int32_t CFType::AsSInt32() const
{
    return ToInteger<std::int32_t>(*this);
}

std::int64_t CFType::AsSInt64() const
{
    if (GetKind() == Kind::Number)
    {
        const Number& number = std::get<Number>(mImpl->value);
        return IsFloatType(number.type) ? SaturatingCast<std::int64_t>(number.real)
                                        : number.integer;
    }
    return GetKind() == Kind::Boolean && AsBoolean() ? 1 : 0;
}

float CFType::AsFloat32() const
{
    const double value = AsFloat64();
    constexpr double kMax = std::numeric_limits<float>::max();
    if (value > kMax) return std::numeric_limits<float>::infinity();
    if (value < -kMax) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

double CFType::AsFloat64() const
{
    if (GetKind() == Kind::Number)
    {
        const Number& number = std::get<Number>(mImpl->value);
        return IsFloatType(number.type) ? number.real : static_cast<double>(number.integer);
    }
    return GetKind() == Kind::Boolean && AsBoolean() ? 1.0 : 0.0;
}

bool CFType::AsBoolean() const
{
    return GetKind() == Kind::Boolean && std::get<bool>(mImpl->value);
}

const std::string& CFType::AsString() const
{
    return *Alternative<std::shared_ptr<const std::string>>(mImpl);
}

const CFDataStorage& CFType::AsData() const
{
    return *Alternative<std::shared_ptr<const CFDataStorage>>(mImpl);
}

const CFArrayStorage& CFType::AsArray() const
{
    return Alternative<CFArrayStorage>(mImpl);
}
CFArrayStorage& CFType::AsArray()
{
    return Alternative<CFArrayStorage>(mImpl);
}

const CFDictionaryStorage& CFType::AsDictionary() const
{
    return Alternative<CFDictionaryStorage>(mImpl);
}

CFDictionaryStorage& CFType::AsDictionary()
{
    return Alternative<CFDictionaryStorage>(mImpl);
}

bool operator==(const CFType& a, const CFType& b)
{
    if (a.GetKind() != b.GetKind()) return false;
    switch (a.GetKind())
    {
    case CFType::Kind::Null:
        return true;
    case CFType::Kind::Boolean:
        return a.AsBoolean() == b.AsBoolean();
    case CFType::Kind::Number:
        if (a.IsFloatNumber() != b.IsFloatNumber()) return false;
        if (!a.IsFloatNumber()) return a.AsSInt64() == b.AsSInt64();
        return a.AsFloat64() == b.AsFloat64() ||
               (std::isnan(a.AsFloat64()) && std::isnan(b.AsFloat64()));
    case CFType::Kind::String:
        return a.AsString() == b.AsString();
    case CFType::Kind::Data:
        return &a.AsData() == &b.AsData() || a.AsData() == b.AsData();
    case CFType::Kind::Array:
        return a.AsArray() == b.AsArray();
    case CFType::Kind::Dictionary:
        return a.AsDictionary() == b.AsDictionary();
    }
    return false;
}
