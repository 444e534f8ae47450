#pragma once
// The command line of tova-jack, checked for form: every option known, every value present and
// every number in range. Whether the server answers or a file opens is decided later, by
// whoever opens it.

#include "hosts/common/CommandLine.h"

#include <optional>
#include <string>
#include <vector>

class JackCommandLine : public CommandLine
{
public:
    static constexpr double kMaxTempo = 1000.0;
    static constexpr int kMaxBeatsPerBar = 32;

    // --master BPM[/BEATS]: tova-jack keeps JACK's bars and beats at this tempo and meter.
    struct Master
    {
        double tempo = 120.0;
        int beatsPerBar = 4;
    };

    Result Parse(int argc, const char* const* argv);
    static std::string Usage();

    std::string clientName = "Tova";
    std::optional<std::string> serverName; // the default server unless given
    bool connect = false;
    bool allBuses = false;
    std::optional<Master> master;
    std::optional<std::string> statePath;
    std::vector<Import> imports; // in command-line order
};
