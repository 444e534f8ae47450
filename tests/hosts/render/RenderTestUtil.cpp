#include "RenderTestUtil.h"

#include "hosts/render/AudioFileReader.h"
#include "hosts/render/AudioFileWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

Bytes Chunk(const char (&type)[5], const Bytes& body)
{
    Bytes out(type, type + 4);
    const auto length = static_cast<std::uint32_t>(body.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(length >> shift));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division)
{
    return Chunk("MThd",
                 {static_cast<std::uint8_t>(format >> 8), static_cast<std::uint8_t>(format),
                  static_cast<std::uint8_t>(tracks >> 8), static_cast<std::uint8_t>(tracks),
                  static_cast<std::uint8_t>(division >> 8), static_cast<std::uint8_t>(division)});
}

Bytes Concat(const std::vector<Bytes>& parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes SingleTrackFile(std::uint16_t ticksPerQuarter, std::vector<TimedBytes> events)
{
    std::stable_sort(events.begin(), events.end(),
                     [](const TimedBytes& a, const TimedBytes& b) { return a.tick < b.tick; });
    Bytes track;
    std::uint32_t tick = 0;
    for (const TimedBytes& event : events)
    {
        // Variable-length delta: seven bits a byte, most significant first.
        std::uint32_t delta = event.tick - tick;
        Bytes length = {static_cast<std::uint8_t>(delta & 0x7F)};
        while ((delta >>= 7) != 0)
            length.insert(length.begin(), static_cast<std::uint8_t>(0x80 | (delta & 0x7F)));
        track.insert(track.end(), length.begin(), length.end());
        track.insert(track.end(), event.bytes.begin(), event.bytes.end());
        tick = event.tick;
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    return Concat({Header(0, 1, ticksPerQuarter), Chunk("MTrk", track)});
}

TimedBytes NoteOn(std::uint32_t tick, std::uint8_t key, std::uint8_t velocity)
{
    return {tick, {0x90, key, velocity}};
}

TimedBytes NoteOff(std::uint32_t tick, std::uint8_t key)
{
    return {tick, {0x80, key, 0}};
}

TimedBytes Meter(std::uint32_t tick, std::uint8_t numerator, std::uint8_t power)
{
    return {tick, {0xFF, 0x58, 0x04, numerator, power, 24, 8}};
}

Bytes TwoTrackFile()
{
    const Bytes tempoTrack = {
        0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08, // 3/4
        0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,       // 500000 µs per quarter
        0x81, 0x40, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, // +192: 1000000 µs per quarter
        0x00, 0xFF, 0x2F, 0x00};
    const Bytes noteTrack = {0x00, 0x90, 0x3C, 0x64, // tick 0: note on 60, velocity 100
                             0x60, 0x3C, 0x00,       // +96, running status: note on 60, velocity 0
                             0x60, 0x40, 0x64, // +96, running status: note on 64, velocity 100
                             0x00, 0xFF, 0x01, 0x03, 'a',  'b',  'c', // text
                             0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7,      // sysex
                             0x81, 0x00, 0xB0, 0x07, 0x50,            // +128: controller 7 = 80
                             0x00, 0xC0, 0x05,                        // program change 5
                             0x00, 0xE0, 0x00, 0x40,                  // pitch wheel centre
                             0x00, 0xFF, 0x2F, 0x00};
    return Concat({Header(1, 2, 96), Chunk("MTrk", tempoTrack), Chunk("MTrk", noteTrack)});
}

namespace
{
std::string Quote(const std::string& arg)
{
    std::string quoted(1, '\'');
    for (char c : arg)
    {
        if (c == '\'')
            quoted.append("'\\''");
        else
            quoted.push_back(c);
    }
    quoted.push_back('\'');
    return quoted;
}

// Removed with everything in it when the test process ends.
struct Scratch
{
    Scratch()
    {
        const char* base = std::getenv("TMPDIR");
        path = std::string(base != nullptr ? base : "/tmp") + "/tova-render-XXXXXX";
        if (mkdtemp(path.data()) == nullptr)
            throw std::runtime_error("cannot create a scratch directory");
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};
} // namespace

std::string ScratchDirectory()
{
    static const Scratch scratch;
    return scratch.path;
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot write " + path);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

std::string ScratchPath(const std::string& name)
{
    return ScratchDirectory() + "/" + name;
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace
{
// A stereo 32-bit float file at 48 kHz in the scratch directory; returns the path.
std::string WriteInput(const std::string& name, const std::vector<float>& left,
                       const std::vector<float>& right)
{
    const std::string path = ScratchPath(name);
    AudioFileWriter writer;
    std::string error;
    if (!writer.Open(path, 48000.0, AudioFileWriter::SampleFormat::Float, error) ||
        !writer.WriteStereo(left.data(), right.data(), static_cast<std::uint32_t>(left.size()),
                            error) ||
        !writer.Close(error))
        throw std::runtime_error(path + ": " + error);
    return path;
}
} // namespace

std::string RampInput()
{
    std::vector<float> left(1000);
    std::vector<float> right(1000);
    for (std::size_t i = 0; i < left.size(); ++i)
    {
        left[i] = 0.001f * static_cast<float>(i);
        right[i] = -left[i];
    }
    return WriteInput("ramp.wav", left, right);
}

std::string SignalInput(const std::string& name, std::uint64_t frames, float (*signal)(double i))
{
    std::vector<float> samples(frames);
    for (std::uint64_t i = 0; i < frames; ++i)
        samples[i] = signal(static_cast<double>(i));
    return WriteInput(name, samples, samples);
}

std::vector<float> ReadLeft(const std::string& path, std::uint64_t& frames)
{
    AudioFileReader reader;
    std::string error;
    if (!reader.Open(path, error)) throw std::runtime_error(path + ": " + error);
    frames = reader.Frames();
    std::vector<float> left(frames);
    std::vector<float> right(frames);
    if (reader.ReadStereo(left.data(), right.data(), static_cast<std::uint32_t>(frames)) != frames)
        throw std::runtime_error(path + ": short read");
    return left;
}

Outcome RunProgram(const std::string& program, const std::vector<std::string>& args)
{
    const std::string out = ScratchPath("stdout");
    const std::string err = ScratchPath("stderr");
    std::string command = Quote(program);
    for (const std::string& arg : args)
        command.append(" ").append(Quote(arg));
    command.append(" >").append(Quote(out));
    command.append(" 2>").append(Quote(err));
    command.append(" </dev/null");
    const int raw = std::system(command.c_str());
    Outcome outcome;
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.out = Slurp(out);
    outcome.err = Slurp(err);
    return outcome;
}
