// Writes valid MIDI files into the fuzzer's corpus so that it starts from real structure.

#include "RenderTestUtil.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s CORPUS-DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string corpus = argv[1];
    const Bytes smpte = {0x83, 0x74, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0xFF, 0x2F, 0x00};
    try
    {
        WriteFile(corpus + "/two-tracks.mid", TwoTrackFile());
        WriteFile(corpus + "/smpte.mid", Concat({Header(0, 1, 0xE728), Chunk("MTrk", smpte)}));
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
