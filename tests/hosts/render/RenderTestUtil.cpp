#include "RenderTestUtil.h"

#include "hosts/render/AudioFileReader.h"
#include "hosts/render/AudioFileWriter.h"
#include "platform/cf/PropertyListFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <sys/wait.h>

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
    // Format 0, one track; the division, then the track's length, big-endian.
    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 0, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
    file[12] = static_cast<std::uint8_t>(ticksPerQuarter >> 8);
    file[13] = static_cast<std::uint8_t>(ticksPerQuarter);
    for (std::size_t i = 0; i < 4; ++i)
        file[18 + i] = static_cast<std::uint8_t>(track.size() >> (24 - 8 * i));
    file.resize(22 + track.size());
    std::copy(track.begin(), track.end(), file.begin() + 22);
    return file;
}

TimedBytes NoteOn(std::uint32_t tick, std::uint8_t key)
{
    return {tick, {0x90, key, 100}};
}

TimedBytes NoteOff(std::uint32_t tick, std::uint8_t key)
{
    return {tick, {0x80, key, 0}};
}

namespace
{
struct Scratch
{
    Scratch()
    {
        const char* base = std::getenv("TMPDIR");
        path = std::string(base != nullptr ? base : "/tmp") + "/tova-host-test-XXXXXX";
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

const CFType& Field(const CFType& dictionary, const char* key)
{
    const CFDictionaryStorage& entries = dictionary.AsDictionary();
    const auto it = entries.find(key);
    if (it == entries.end()) throw std::runtime_error(std::string("no \"") + key + "\" in state");
    return it->second;
}
} // namespace

std::string ScratchPath(const std::string& name)
{
    static const Scratch scratch;
    return scratch.path + "/" + name;
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string SignalInput(const std::string& name, std::uint64_t frames, float (*signal)(double i))
{
    std::vector<float> samples(frames);
    for (std::uint64_t i = 0; i < frames; ++i)
        samples[i] = signal(static_cast<double>(i));
    const std::string path = ScratchPath(name);
    AudioFileWriter writer;
    std::string error;
    if (!writer.Open(path, 48000.0, AudioFileWriter::SampleFormat::Float, error) ||
        !writer.WriteStereo(samples.data(), samples.data(), static_cast<std::uint32_t>(frames),
                            error) ||
        !writer.Close(error))
        throw std::runtime_error(path + ": " + error);
    return path;
}

std::vector<float> ReadLeft(const std::string& path)
{
    AudioFileReader reader;
    std::string error;
    if (!reader.Open(path, error)) throw std::runtime_error(path + ": " + error);
    const auto frames = static_cast<std::uint32_t>(reader.Frames());
    std::vector<float> left(frames);
    std::vector<float> right(frames);
    if (reader.ReadStereo(left.data(), right.data(), frames) != frames)
        throw std::runtime_error(path + ": short read");
    return left;
}

Outcome RunProgram(const std::string& program, const std::vector<std::string>& args)
{
    // Each argument in single quotes, its own single quotes closed, escaped and reopened.
    std::string command;
    for (const std::string& arg : args)
    {
        command += " '";
        for (char c : arg)
            command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += '\'';
    }
    const std::string out = ScratchPath("stdout");
    const std::string err = ScratchPath("stderr");
    const int raw =
        std::system((program + command + " >" + out + " 2>" + err + " </dev/null").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
}

SavedTova SavedTova::Read(const std::string& path)
{
    CFType state;
    std::string error;
    if (!PropertyListFile::Read(path, state, error)) throw std::runtime_error(error);
    SavedTova saved;
    const CFType& pool = Field(state, "tova-samples");
    const std::int64_t length = Field(pool, "length").AsSInt64();
    if (length > 0)
    {
        const CFDataStorage& bytes = Field(pool, "samples").AsData();
        if (bytes.size() != static_cast<std::size_t>(length) * 8)
            throw std::runtime_error("pool frames of the wrong size");
        // Big-endian floats, the left channel first.
        saved.poolLeft.resize(static_cast<std::size_t>(length));
        for (std::size_t i = 0; i < saved.poolLeft.size(); ++i)
        {
            const std::uint8_t* p = bytes.data() + 4 * i;
            saved.poolLeft[i] =
                std::bit_cast<float>((std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                                     (std::uint32_t{p[2]} << 8) | p[3]);
        }
        for (const CFType& entry : Field(pool, "data").AsArray())
        {
            const std::int64_t size = Field(entry, "size").AsSInt64();
            saved.slots.push_back(size == 0 ? Slot{}
                                            : Slot{Field(entry, "start").AsSInt64(), size,
                                                   Field(entry, "tempo").AsFloat64(),
                                                   Field(entry, "sync").AsSInt32()});
        }
    }
    const CFArrayStorage& keys = Field(Field(state, "tova-keysinfo"), "data").AsArray();
    if (keys.size() != saved.keys.size()) throw std::runtime_error("not 128 keys");
    for (std::size_t k = 0; k < keys.size(); ++k)
    {
        Key& key = saved.keys[k];
        key.slot = Field(keys[k], "id").AsSInt32();
        if (key.slot < 0) continue;
        const auto id = static_cast<std::size_t>(key.slot);
        const Slot* slot = id < saved.slots.size() ? &saved.slots[id] : nullptr;
        if (slot == nullptr || slot->size <= 0 || slot->start < 0 ||
            slot->start + slot->size > length)
            throw std::runtime_error("key " + std::to_string(k) + " lies outside the saved pool");
        key.pitchShift = Field(keys[k], "pitchshift").AsFloat64();
        key.automatic = Field(keys[k], "auto").AsSInt32() != 0;
    }
    return saved;
}

std::vector<int> SavedTova::OwnKeys() const
{
    std::vector<int> own;
    for (std::size_t k = 0; k < keys.size(); ++k)
        if (keys[k].slot >= 0 && !keys[k].automatic) own.push_back(static_cast<int>(k));
    return own;
}

std::vector<float> SavedTova::LeftOf(int key) const
{
    if (keys.at(static_cast<std::size_t>(key)).slot < 0) return {};
    const auto begin = poolLeft.begin() + SlotOf(key).start;
    return std::vector<float>(begin, begin + SlotOf(key).size);
}

float Tone(double frequency, double rate, double frame)
{
    return static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * frequency * frame / rate));
}

double Frequency(const std::vector<float>& s, std::size_t from, std::size_t to, double rate)
{
    std::vector<double> periods;
    double last = -1;
    for (std::size_t i = from + 1; i < to && i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0)
        {
            const double at = static_cast<double>(i - 1) + s[i - 1] / (s[i - 1] - s[i]);
            if (last >= 0) periods.push_back(at - last);
            last = at;
        }
    if (periods.empty()) return 0;
    const auto middle = periods.begin() + static_cast<std::ptrdiff_t>(periods.size() / 2);
    std::nth_element(periods.begin(), middle, periods.end());
    return rate / *middle;
}

double Rms(const std::vector<float>& s, std::size_t from, std::size_t to)
{
    to = std::min(to, s.size());
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0;
}
