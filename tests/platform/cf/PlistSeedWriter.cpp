// Writes the fuzzers' seed files: valid property lists of every kind, binary into the first
// folder and XML into the second.
#include "PlistSamples.h"

#include "platform/cf/BinaryPropertyList.h"
#include "platform/cf/XMLPropertyList.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s BINARY_FOLDER XML_FOLDER\n", argv[0]);
        return 2;
    }
    const CFType seeds[] = {
        PlistSamples::EveryKind(), PlistSamples::StateLike(4),
        CFType::Array({CFType(), CFType::String("\xC3\xA9"), CFType::Data({1})}),
        CFType::Dictionary({{"k", CFType::Float32(0.5f)}}), CFType::SInt64(-1)};
    int index = 0;
    for (const CFType& seed : seeds)
    {
        const std::string name = "/seed-" + std::to_string(index++);
        const std::vector<std::uint8_t> binary = BinaryPropertyList::Write(seed);
        std::ofstream(argv[1] + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(binary.data()),
                   static_cast<std::streamsize>(binary.size()));
        std::vector<std::uint8_t> xml;
        std::string error;
        if (XMLPropertyList::Write(seed, xml, error)) // the Null has no XML form
            std::ofstream(argv[2] + name, std::ios::binary)
                .write(reinterpret_cast<const char*>(xml.data()),
                       static_cast<std::streamsize>(xml.size()));
    }
    return 0;
}
