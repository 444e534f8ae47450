#include "hosts/jack/JackCommandLine.h"

#include <string_view>

namespace
{
// BPM or BPM/BEATS.
bool ParseMaster(std::string_view text, JackCommandLine::Master& out)
{
    const std::size_t slash = text.find('/');
    if (!CommandLine::ParseNumber(text.substr(0, slash), out.tempo) || out.tempo <= 0.0 ||
        out.tempo > JackCommandLine::kMaxTempo)
        return false;
    if (slash == std::string_view::npos) return true;
    return CommandLine::ParseCount(text.substr(slash + 1), out.beatsPerBar) &&
           out.beatsPerBar >= 1 && out.beatsPerBar <= JackCommandLine::kMaxBeatsPerBar;
}

JackCommandLine::Result Usage(const std::string& message)
{
    return {false, JackCommandLine::kExitUsage, "tova-jack: " + message};
}
} // namespace

std::string JackCommandLine::Usage()
{
    return R"(usage: tova-jack [options]
Plays Tova live as a JACK client: audio in_L, in_R and out_L, out_R (bus 0), MIDI midi_in
(keys and controllers) and midi_out (haptic feedback notes).
  --name NAME          JACK client name (default Tova)
  --server NAME        the JACK server to join (default: $JACK_DEFAULT_SERVER, else the
                       default server); a server is never started
  --connect            connect in_L/in_R to the system capture ports, out_L/out_R to the system
                       playback ports, and every physical MIDI output to midi_in
  --all-buses          also offer buses 1 ... 3 as out1_L, out1_R ... out3_R
  --master BPM[/BEATS] be JACK's timebase master at BPM beats per minute (above 0, at most
                       1000) and BEATS beats per bar (1 ... 32, default 4)
  --state FILE         restore this state at start; save it on exit (SIGINT, SIGTERM, quit)
                       and on SIGUSR1 (binary when FILE ends in .bplist, else XML)
  --import FILE        import an audio file at start with a tempo taken from its length; the
                       next key pressed takes it; repeatable
  --import-plain FILE  the same without a tempo
  --help               this text
Typed at the terminal: save, erase, learn PARAM, set NAME=VALUE, import FILE,
import-plain FILE, help, quit.
)";
}

JackCommandLine::Result JackCommandLine::Parse(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string_view option = argv[i];
        const auto flag = [&](std::string_view name) { return option == name; };
        if (flag("--help")) return {false, 0, Usage()};
        if (flag("--connect") || flag("--all-buses"))
        {
            (flag("--connect") ? connect : allBuses) = true;
            continue;
        }
        static constexpr std::string_view kWithValue[] = {"--name",  "--server", "--master",
                                                          "--state", "--import", "--import-plain"};
        std::string value;
        std::string error;
        if (!TakeValue(argc, argv, i, kWithValue, value, error)) return ::Usage(error);

        if (flag("--name"))
            clientName = value;
        else if (flag("--server"))
            serverName = value;
        else if (flag("--state"))
            statePath = value;
        else if (flag("--import") || flag("--import-plain"))
            imports.push_back({value, flag("--import")});
        else // --master
        {
            Master parsed;
            if (!ParseMaster(value, parsed))
                return ::Usage("--master '" + value +
                               "': expected BPM or BPM/BEATS, the tempo above 0 and at most "
                               "1000, the beats per bar a whole number from 1 to 32");
            master = parsed;
        }
    }
    return {true, 0, {}};
}
