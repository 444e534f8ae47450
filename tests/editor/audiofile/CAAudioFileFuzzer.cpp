// Arbitrary bytes as an audio file: the reader decodes them or throws a CAXException; it never
// crashes, reads out of bounds or leaks.

#include "editor/audiofile/CAAudioFileImport.h"
#include "editor/audiofile/CAXException.h"

#include <unistd.h>

#include <cstdio>
#include <string>

// libvorbis leaks the stream information it allocated when libsndfile gives up on a damaged
// Ogg Vorbis header; the leak is the library's and would hide ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libvorbis.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The reader opens files by path.
    static const std::string path = "/tmp/tova-audiofile-fuzz-" + std::to_string(::getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    std::fclose(file);
    if (!written) return 0;
    try
    {
        DecodedAudioFile decoded;
        DecodeAudioFileForImport(path, 1 << 18, decoded); // enough to reach every decoder path
    }
    catch (const CAXException&)
    {
    }
    return 0;
}
