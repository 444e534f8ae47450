#include "hosts/render/RenderOptions.h"

#include <string_view>

namespace
{
// NAME=VALUE with a non-empty name; the value may be empty only in form (it is checked
// against the parameter later) and may itself contain '='.
bool SplitAssignment(std::string_view text, std::string& name, std::string& value)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) return false;
    name = text.substr(0, equals);
    value = text.substr(equals + 1);
    return !value.empty();
}

RenderOptions::Result Usage(const std::string& message)
{
    return {false, RenderOptions::kExitUsage, "tova-render: " + message};
}
} // namespace

std::string RenderOptions::Usage()
{
    return R"(usage: tova-render [--in FILE] [--midi FILE] --out FILE [options]
  --in FILE            input audio (mono or stereo, any format libsndfile reads); silence without it
  --midi FILE          Standard MIDI File, format 0 or 1
  --out FILE           output file, format by extension; 32-bit float unless --pcm16/--pcm24
  --pcm16, --pcm24     write 16- or 24-bit integer samples
  --rate HZ            sample rate (default: the input file's, else 48000)
  --block N            frames per render call, 1 ... 2048 (default 256)
  --length SECONDS     render length (default: the longer of the input and the last MIDI
                       event, plus 2 s of tail)
  --bus N              output bus to write, 0 ... 3 (default 0)
  --tempo BPM          quarter notes per minute when the MIDI file has no tempo map
                       (default 120)
  --transport playing|stopped   transport state reported to the plug-in (default playing)
  --no-host-clock      report no beat-and-tempo or musical-time callback
  --param NAME=VALUE   set a parameter before rendering, by name or id; repeatable
  --set TIME:NAME=VALUE  set a parameter at TIME seconds; repeatable
  --import FILE        import an audio file with a tempo taken from its length
  --import-plain FILE  import an audio file without a tempo
  --state-in FILE      restore a saved state (XML or binary property list)
  --state-out FILE     save the state after rendering (binary when FILE ends in .bplist)
  --quiet              no progress bar
  --help               this text
VALUE is a number or one of the parameter's value strings ("Record Sync=To Bar"); a value
string wins over a number written the same way ("Back In Time=64" is 64 frames).
)";
}

RenderOptions::Result RenderOptions::Parse(int argc, const char* const* argv)
{
    bool outGiven = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string_view option = argv[i];
        const auto flag = [&](std::string_view name) { return option == name; };
        if (flag("--help")) return {false, 0, Usage()};
        if (flag("--quiet"))
        {
            quiet = true;
            continue;
        }
        if (flag("--no-host-clock"))
        {
            hostClock = false;
            continue;
        }
        if (flag("--pcm16") || flag("--pcm24"))
        {
            sampleFormat = flag("--pcm16") ? AudioFileWriter::SampleFormat::PCM16
                                           : AudioFileWriter::SampleFormat::PCM24;
            continue;
        }
        static constexpr std::string_view kWithValue[] = {
            "--in",     "--midi",   "--out",          "--rate",      "--block",
            "--length", "--bus",    "--tempo",        "--transport", "--param",
            "--set",    "--import", "--import-plain", "--state-in",  "--state-out"};
        std::string value;
        std::string error;
        if (!TakeValue(argc, argv, i, kWithValue, value, error)) return ::Usage(error);
        const std::string quoted = std::string(option) + " '" + value + "'";

        if (flag("--in"))
            inPath = value;
        else if (flag("--midi"))
            midiPath = value;
        else if (flag("--out"))
        {
            outPath = value;
            outGiven = true;
        }
        else if (flag("--state-in"))
            stateIn = value;
        else if (flag("--state-out"))
            stateOut = value;
        else if (flag("--import") || flag("--import-plain"))
            imports.push_back({value, flag("--import")});
        else if (flag("--rate"))
        {
            double rate = 0;
            if (!ParseNumber(value, rate) || rate < 1.0 || rate > kMaxRate)
                return ::Usage(quoted + ": the sample rate must be a number from 1 to 768000");
            sampleRate = rate;
        }
        else if (flag("--block"))
        {
            if (!ParseCount(value, blockFrames) || blockFrames < 1 || blockFrames > kMaxBlockFrames)
                return ::Usage(quoted + ": the block size must be a whole number from 1 to 2048");
        }
        else if (flag("--length"))
        {
            double seconds = 0;
            if (!ParseNumber(value, seconds) || seconds <= 0.0 || seconds > kMaxSeconds)
                return ::Usage(quoted + ": the length must be a number of seconds above 0 and "
                                        "at most 86400");
            lengthSeconds = seconds;
        }
        else if (flag("--bus"))
        {
            if (!ParseCount(value, bus) || bus >= kBusCount)
                return ::Usage(quoted + ": the bus must be 0, 1, 2 or 3");
        }
        else if (flag("--tempo"))
        {
            if (!ParseNumber(value, tempo) || tempo <= 0.0 || tempo > 1000.0)
                return ::Usage(quoted + ": the tempo must be a number of beats per minute above "
                                        "0 and at most 1000");
        }
        else if (flag("--transport"))
        {
            if (value != "playing" && value != "stopped")
                return ::Usage(quoted + ": the transport is 'playing' or 'stopped'");
            playing = value == "playing";
        }
        else if (flag("--param"))
        {
            ParameterSetting setting;
            if (!SplitAssignment(value, setting.name, setting.value))
                return ::Usage(quoted + ": expected NAME=VALUE");
            parameters.push_back(setting);
        }
        else // --set
        {
            const std::size_t colon = value.find(':');
            double seconds = 0;
            ParameterSetting setting;
            if (colon == std::string::npos ||
                !ParseNumber(std::string_view(value).substr(0, colon), seconds) ||
                !SplitAssignment(std::string_view(value).substr(colon + 1), setting.name,
                                 setting.value))
                return ::Usage(quoted + ": expected TIME:NAME=VALUE with TIME in seconds");
            if (seconds < 0.0 || seconds > kMaxSeconds)
                return ::Usage(quoted + ": the time must be from 0 to 86400 seconds");
            setting.seconds = seconds;
            parameters.push_back(setting);
        }
    }
    if (!outGiven) return ::Usage("--out FILE is required (try --help)");
    return {true, 0, {}};
}
