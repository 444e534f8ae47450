#pragma once
// Writes the plug-in's description (the bundle's main .ttl) from the unit's own parameter
// table, so that ports, ranges, defaults, units and value strings have one source of truth.

#include "hosts/lv2/LV2BundleInfo.h"
#include "hosts/lv2/LV2ParameterTable.h"

#include <ostream>
#include <string>
#include <string_view>

class LV2TurtleWriter
{
public:
    LV2TurtleWriter(const LV2BundleInfo& bundle, const LV2PortLayout& layout,
                    const LV2ParameterTable& parameters)
        : mBundle(bundle), mLayout(layout), mParameters(parameters)
    {
    }

    // [ui]
    void Write(std::ostream& out) const;

    // [any] A string literal with quotes and backslashes escaped.
    static std::string Quote(std::string_view text);
    // [any] The shortest decimal that reads back as the same float ("0.1", "-8", "5000000").
    static std::string Number(float value);

private:
    void WritePrefixes(std::ostream& out) const;
    void WriteGroupsAndProperties(std::ostream& out) const;
    void WriteAudioPorts(std::ostream& out) const;
    void WriteAtomPorts(std::ostream& out) const;
    void WriteParameterPort(std::ostream& out, std::uint32_t index) const;
    std::string Own(std::string_view fragment) const; // <plug-in URI#fragment>

    const LV2BundleInfo& mBundle;
    const LV2PortLayout& mLayout;
    const LV2ParameterTable& mParameters;
};
