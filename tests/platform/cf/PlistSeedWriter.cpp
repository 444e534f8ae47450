// Writes the fuzzers' seeds: binary files into the first folder, XML into the second.
#include "PlistSamples.h"

#include "platform/cf/BinaryPropertyList.h"
#include "platform/cf/XMLPropertyList.h"

#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    const CFType seeds[] = {EveryKindPlist(), CFType::Array({CFType(), CFType::String("\xC3\xA9")}),
                            CFType::Dictionary({{"k", CFType::Float32(0.5f)}})};
    for (std::size_t i = 0; i < std::size(seeds); ++i)
    {
        std::vector<std::uint8_t> forms[2] = {BinaryPropertyList::Write(seeds[i]), {}};
        std::string error;
        XMLPropertyList::Write(seeds[i], forms[1], error); // nothing for the Null
        for (int f = 0; f < 2; ++f)
            if (!forms[f].empty())
                std::ofstream(argv[1 + f] + ("/seed-" + std::to_string(i)), std::ios::binary)
                    .write(reinterpret_cast<const char*>(forms[f].data()),
                           static_cast<std::streamsize>(forms[f].size()));
    }
    return 0;
}
