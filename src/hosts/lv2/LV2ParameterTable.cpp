#include "hosts/lv2/LV2ParameterTable.h"

#include "hosts/common/UnitStreamFormats.h"

#include <algorithm>

bool LV2ParameterTable::Read(AudioUnit unit, std::string& error)
{
    mParameters.clear();
    UnitParameterList list;
    if (!list.Read(unit, error)) return false;
    for (const UnitParameterList::Parameter& read : list.Parameters())
    {
        Parameter parameter{read, {}};
        parameter.symbol = UniqueSymbol(Symbol(parameter.name));
        mParameters.push_back(std::move(parameter));
    }
    return true;
}

LV2PortLayout LV2ParameterTable::Layout(AudioUnit unit) const
{
    return LV2PortLayout(UnitStreamFormats::Count(unit, kAudioUnitScope_Input),
                         UnitStreamFormats::Count(unit, kAudioUnitScope_Output),
                         static_cast<std::uint32_t>(mParameters.size()));
}

std::vector<std::string> LV2ParameterTable::Symbols() const
{
    std::vector<std::string> symbols;
    for (const Parameter& parameter : mParameters)
        symbols.push_back(parameter.symbol);
    return symbols;
}

std::string LV2ParameterTable::Symbol(std::string_view name)
{
    std::string symbol;
    for (const char c : name)
    {
        const bool digit = c >= '0' && c <= '9';
        if ((c >= 'a' && c <= 'z') || digit)
            symbol += c;
        else if (c >= 'A' && c <= 'Z')
            symbol += static_cast<char>(c - 'A' + 'a');
        else if (!symbol.empty() && symbol.back() != '_')
            symbol += '_';
        if (digit && symbol.size() == 1) symbol.insert(symbol.begin(), '_');
    }
    while (!symbol.empty() && symbol.back() == '_')
        symbol.pop_back();
    return symbol.empty() ? std::string("parameter") : symbol;
}

std::string LV2ParameterTable::UniqueSymbol(std::string symbol) const
{
    auto taken = [this](const std::string& s)
    {
        if (s == LV2PortLayout::kControlSymbol || s == LV2PortLayout::kNotifySymbol) return true;
        // Audio port symbols: in_l, in2_r, out1_l, ...
        if ((s.starts_with("in") || s.starts_with("out")) &&
            (s.ends_with("_l") || s.ends_with("_r")))
            return true;
        return std::any_of(mParameters.begin(), mParameters.end(),
                           [&s](const Parameter& p) { return p.symbol == s; });
    };
    if (!taken(symbol)) return symbol;
    for (int n = 2;; ++n)
        if (const std::string candidate = symbol + "_" + std::to_string(n); !taken(candidate))
            return candidate;
}
