#include "RenderTestUtil.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

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
