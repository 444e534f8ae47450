#include "hosts/lv2/LV2TurtleWriter.h"

#include "hosts/lv2/LV2URIs.h"

#include <charconv>

namespace
{
// The LV2 unit of a parameter unit, or null where LV2 has none (generic, indexed, boolean).
const char* UnitOf(AudioUnitParameterUnit unit)
{
    switch (unit)
    {
    case kAudioUnitParameterUnit_Percent:
        return "units:pc";
    case kAudioUnitParameterUnit_Seconds:
        return "units:s";
    case kAudioUnitParameterUnit_SampleFrames:
        return "units:frame";
    case kAudioUnitParameterUnit_Hertz:
        return "units:hz";
    case kAudioUnitParameterUnit_Cents:
        return "units:cent";
    case kAudioUnitParameterUnit_RelativeSemiTones:
        return "units:semitone12TET";
    case kAudioUnitParameterUnit_MIDINoteNumber:
        return "units:midiNote";
    case kAudioUnitParameterUnit_Decibels:
        return "units:db";
    case kAudioUnitParameterUnit_BPM:
        return "units:bpm";
    case kAudioUnitParameterUnit_Beats:
        return "units:beat";
    case kAudioUnitParameterUnit_Milliseconds:
        return "units:ms";
    case kAudioUnitParameterUnit_Ratio:
        return "units:coef";
    default:
        return nullptr;
    }
}

std::string InputLabel(std::uint32_t bus)
{
    return bus == 0 ? std::string("Input") : "Input " + std::to_string(bus + 1);
}

std::string OutputLabel(std::uint32_t bus)
{
    return "Bus " + std::to_string(bus + 1);
}

const char* SideName(std::uint32_t channel)
{
    return channel == 0 ? "Left" : "Right";
}

const char* SideDesignation(std::uint32_t channel)
{
    return channel == 0 ? "pg:left" : "pg:right";
}
} // namespace

std::string LV2TurtleWriter::Quote(std::string_view text)
{
    std::string quoted(1, '"');
    for (const char c : text)
    {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string LV2TurtleWriter::Number(float value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return std::string(text, result.ptr);
}

std::string LV2TurtleWriter::Own(std::string_view fragment) const
{
    std::string uri(1, '<');
    uri.append(mBundle.uri).append(1, '#').append(fragment).append(1, '>');
    return uri;
}

void LV2TurtleWriter::Write(std::ostream& out) const
{
    WritePrefixes(out);
    WriteGroupsAndProperties(out);

    out << "<" << mBundle.uri << ">\n"
        << "    a lv2:Plugin, lv2:InstrumentPlugin ;\n"
        << "    doap:name " << Quote(mBundle.name) << " ;\n"
        << "    doap:license <" << mBundle.license << "> ;\n"
        << "    lv2:project " << Own("project") << " ;\n"
        << "    lv2:requiredFeature urid:map ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable, work:schedule, state:makePath,\n"
        << "        state:mapPath, state:freePath ;\n"
        << "    lv2:extensionData state:interface, work:interface ;\n"
        << "    patch:writable " << Own(LV2URIs::kImport + 1) << ", "
        << Own(LV2URIs::kImportWithTempo + 1) << " ;\n"
        << "    patch:readable " << Own(LV2URIs::kMemoryUse + 1) << ", "
        << Own(LV2URIs::kStopped + 1) << ", " << Own(LV2URIs::kMidiLearn + 1) << " ;\n"
        << "    pg:mainInput " << Own(LV2PortLayout::InputGroup(0)) << " ;\n"
        << "    pg:mainOutput " << Own(LV2PortLayout::OutputGroup(0)) << " ;\n"
        << "    lv2:port";
    WriteAudioPorts(out);
    WriteAtomPorts(out);
    for (std::uint32_t i = 0; i < mLayout.Parameters(); ++i)
        WriteParameterPort(out, i);
    out << " .\n";
}

void LV2TurtleWriter::WritePrefixes(std::ostream& out) const
{
    out << "# Generated from the component's parameter table at build time; do not edit.\n"
        << "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
        << "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
        << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
        << "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
        << "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
        << "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
        << "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
        << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
        << "@prefix rsz: <http://lv2plug.in/ns/ext/resize-port#> .\n"
        << "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
        << "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
        << "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
        << "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
        << "@prefix work: <http://lv2plug.in/ns/ext/worker#> .\n\n";
}

void LV2TurtleWriter::WriteGroupsAndProperties(std::ostream& out) const
{
    out << Own("project") << "\n    a doap:Project ;\n    doap:name " << Quote(mBundle.name)
        << " .\n\n";
    for (std::uint32_t bus = 0; bus < mLayout.InputBuses(); ++bus)
    {
        const std::string symbol = LV2PortLayout::InputGroup(bus);
        out << Own(symbol) << "\n    a pg:StereoGroup, pg:InputGroup ;\n    lv2:symbol "
            << Quote(symbol) << " ;\n    rdfs:label " << Quote(InputLabel(bus)) << " .\n\n";
    }
    for (std::uint32_t bus = 0; bus < mLayout.OutputBuses(); ++bus)
    {
        const std::string symbol = LV2PortLayout::OutputGroup(bus);
        out << Own(symbol) << "\n    a pg:StereoGroup, pg:OutputGroup ;\n    lv2:symbol "
            << Quote(symbol) << " ;\n    rdfs:label " << Quote(OutputLabel(bus)) << " .\n\n";
    }
    struct Property
    {
        const char* suffix;
        const char* label;
        const char* range;
    };
    const Property properties[] = {
        {LV2URIs::kMemoryUse, "Memory use (tenths of a percent)", "atom:Int"},
        {LV2URIs::kStopped, "Stopped", "atom:Bool"},
        {LV2URIs::kMidiLearn, "MIDI learn parameter", "atom:Int"},
        {LV2URIs::kImport, "Import audio file", "atom:Path"},
        {LV2URIs::kImportWithTempo, "Import audio file with tempo", "atom:Path"},
    };
    for (const Property& property : properties)
        out << Own(property.suffix + 1) << "\n    a lv2:Parameter ;\n    rdfs:label "
            << Quote(property.label) << " ;\n    rdfs:range " << property.range << " .\n\n";
    // The parameters as properties too: the plug-in reports its own changes of them as
    // patch:Set on the notify port.
    for (const LV2ParameterTable::Parameter& parameter : mParameters.Parameters())
        out << Own(parameter.symbol) << "\n    a lv2:Parameter ;\n    rdfs:label "
            << Quote(parameter.name) << " ;\n    rdfs:range atom:Float ;\n    lv2:minimum "
            << Number(parameter.minValue) << " ;\n    lv2:maximum " << Number(parameter.maxValue)
            << " .\n\n";
}

void LV2TurtleWriter::WriteAudioPorts(std::ostream& out) const
{
    const char* separator = " [\n";
    for (std::uint32_t bus = 0; bus < mLayout.InputBuses(); ++bus)
        for (std::uint32_t c = 0; c < LV2PortLayout::kChannels; ++c)
        {
            out << separator << "        a lv2:AudioPort, lv2:InputPort ;\n        lv2:index "
                << mLayout.Input(bus, c) << " ;\n        lv2:symbol "
                << Quote(LV2PortLayout::InputSymbol(bus, c)) << " ;\n        lv2:name "
                << Quote(InputLabel(bus) + " " + SideName(c)) << " ;\n        pg:group "
                << Own(LV2PortLayout::InputGroup(bus)) << " ;\n        lv2:designation "
                << SideDesignation(c) << "\n    ]";
            separator = ", [\n";
        }
    for (std::uint32_t bus = 0; bus < mLayout.OutputBuses(); ++bus)
        for (std::uint32_t c = 0; c < LV2PortLayout::kChannels; ++c)
        {
            out << separator << "        a lv2:AudioPort, lv2:OutputPort ;\n        lv2:index "
                << mLayout.Output(bus, c) << " ;\n        lv2:symbol "
                << Quote(LV2PortLayout::OutputSymbol(bus, c)) << " ;\n        lv2:name "
                << Quote(OutputLabel(bus) + " " + SideName(c)) << " ;\n        pg:group "
                << Own(LV2PortLayout::OutputGroup(bus)) << " ;\n        lv2:designation "
                << SideDesignation(c) << "\n    ]";
            separator = ", [\n";
        }
}

void LV2TurtleWriter::WriteAtomPorts(std::ostream& out) const
{
    out << ", [\n        a lv2:InputPort, atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports midi:MidiEvent, time:Position, patch:Message ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        lv2:index " << mLayout.ControlIn() << " ;\n"
        << "        lv2:symbol " << Quote(LV2PortLayout::kControlSymbol) << " ;\n"
        << "        lv2:name \"Control\"\n    ], [\n"
        << "        a lv2:OutputPort, atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports midi:MidiEvent, patch:Message ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        rsz:minimumSize " << LV2PortLayout::kNotifyBufferSize << " ;\n"
        << "        lv2:index " << mLayout.NotifyOut() << " ;\n"
        << "        lv2:symbol " << Quote(LV2PortLayout::kNotifySymbol) << " ;\n"
        << "        lv2:name \"Notify\"\n    ]";
}

void LV2TurtleWriter::WriteParameterPort(std::ostream& out, std::uint32_t index) const
{
    const LV2ParameterTable::Parameter& p = mParameters.Parameters()[index];
    out << ", [\n        a lv2:InputPort, lv2:ControlPort ;\n        lv2:index "
        << mLayout.Parameter(index) << " ;\n        lv2:symbol " << Quote(p.symbol)
        << " ;\n        lv2:name " << Quote(p.name) << " ;\n        lv2:default "
        << Number(p.defaultValue) << " ;\n        lv2:minimum " << Number(p.minValue)
        << " ;\n        lv2:maximum " << Number(p.maxValue);
    if (const char* unit = UnitOf(p.unit)) out << " ;\n        units:unit " << unit;
    const bool indexed = p.unit == kAudioUnitParameterUnit_Indexed;
    const bool hasStrings = !p.valueStrings.empty();
    const bool onOff = p.unit == kAudioUnitParameterUnit_Boolean ||
                       (indexed && !hasStrings && p.minValue == 0 && p.maxValue == 1);
    if (onOff)
        out << " ;\n        lv2:portProperty lv2:toggled";
    else if (indexed)
        out << " ;\n        lv2:portProperty lv2:integer"
            << (hasStrings ? ", lv2:enumeration" : "");
    for (std::size_t i = 0; i < p.valueStrings.size(); ++i)
        out << " ;\n        lv2:scalePoint [\n            rdfs:label " << Quote(p.valueStrings[i])
            << " ;\n            rdf:value " << i << "\n        ]";
    out << "\n    ]";
}
