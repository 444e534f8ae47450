#include "hosts/common/UnitParameters.h"

#include "hosts/common/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <sstream>

namespace
{
bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y)
                      {
                          return std::tolower(static_cast<unsigned char>(x)) ==
                                 std::tolower(static_cast<unsigned char>(y));
                      });
}

std::string Number(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}
} // namespace

bool UnitParameters::Load(AudioUnit unit, std::string& error)
{
    return mList.Read(unit, error);
}

const UnitParameters::Parameter* UnitParameters::Find(const std::string& name,
                                                      std::string& error) const
{
    const std::vector<Parameter>& parameters = mList.Parameters();
    for (const Parameter& parameter : parameters)
        if (parameter.name == name) return &parameter;
    if (AudioUnitParameterID id = 0; CommandLine::ParseCount(name, id))
    {
        for (const Parameter& parameter : parameters)
            if (parameter.id == id) return &parameter;
    }
    error = "unknown parameter '" + name + "'";
    for (const Parameter& parameter : parameters)
        if (SameIgnoringCase(parameter.name, name))
            error += " (did you mean '" + parameter.name + "'?)";
    return nullptr;
}

bool UnitParameters::Lookup(const std::string& name, AudioUnitParameterID& outID,
                            std::string& error) const
{
    const Parameter* parameter = Find(name, error);
    if (parameter == nullptr) return false;
    outID = parameter->id;
    return true;
}

bool UnitParameters::Resolve(const std::string& name, const std::string& value,
                             AudioUnitParameterID& outID, AudioUnitParameterValue& outValue,
                             std::string& error) const
{
    const Parameter* parameter = Find(name, error);
    if (parameter == nullptr) return false;
    const auto& strings = parameter->valueStrings;
    if (const auto it = std::find(strings.begin(), strings.end(), value); it != strings.end())
    {
        outID = parameter->id;
        outValue = parameter->minValue + static_cast<AudioUnitParameterValue>(it - strings.begin());
        return true;
    }
    double number = 0;
    // Compared as the unit stores it: "0.9" is the float 0.9f, the maximum of a 0.7 … 0.9 range.
    const bool parsed = CommandLine::ParseNumber(value, number) &&
                        std::fabs(number) <= std::numeric_limits<AudioUnitParameterValue>::max();
    const auto single = parsed ? static_cast<AudioUnitParameterValue>(number) : 0.0f;
    if (parsed && single >= parameter->minValue && single <= parameter->maxValue)
    {
        outID = parameter->id;
        outValue = single;
        return true;
    }
    error = "'" + parameter->name + "' takes a number from " + Number(parameter->minValue) +
            " to " + Number(parameter->maxValue);
    if (!strings.empty())
    {
        error += " or one of";
        for (std::size_t i = 0; i < strings.size(); ++i)
            error += (i == 0 ? " '" : ", '") + strings[i] + "'";
    }
    error += ", not '" + value + "'";
    return false;
}
