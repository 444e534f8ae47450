#pragma once
// The command line of tova-render, checked for form: every number in range, every option
// known, every value present. Whether a parameter name exists or a file opens is decided
// later, by whoever opens it.

#include "hosts/common/CommandLine.h"
#include "hosts/render/AudioFileWriter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class RenderOptions : public CommandLine
{
public:
    static constexpr std::uint32_t kMaxBlockFrames = 2048;
    static constexpr std::uint32_t kBusCount = 4;
    // Nothing longer than a day is rendered: a typing slip in --length (or a MIDI event placed
    // years into the file) would otherwise fill the disk.
    static constexpr double kMaxSeconds = 86400.0;
    static constexpr double kMaxRate = 768000.0;

    // NAME=VALUE, before rendering (seconds unset) or at a moment of the render.
    struct ParameterSetting
    {
        std::optional<double> seconds;
        std::string name;
        std::string value;
    };

    Result Parse(int argc, const char* const* argv);
    static std::string Usage();

    std::optional<std::string> inPath;
    std::optional<std::string> midiPath;
    std::string outPath;
    std::optional<double> sampleRate;
    std::uint32_t blockFrames = 256;
    std::optional<double> lengthSeconds;
    std::uint32_t bus = 0;
    double tempo = 120.0;
    bool playing = true;
    bool hostClock = true;
    AudioFileWriter::SampleFormat sampleFormat = AudioFileWriter::SampleFormat::Float;
    std::vector<ParameterSetting> parameters; // in command-line order
    std::vector<Import> imports;              // in command-line order
    std::optional<std::string> stateIn;
    std::optional<std::string> stateOut;
    bool quiet = false;
};
