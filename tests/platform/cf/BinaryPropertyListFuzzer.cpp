// Any input either fails with an error or reads into a tree that survives a round trip.
#include "platform/cf/BinaryPropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFType tree;
    CFType back;
    std::string error;
    if (!BinaryPropertyList::Read(data, size, tree, error))
    {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    const std::vector<std::uint8_t> again = BinaryPropertyList::Write(tree);
    if (!BinaryPropertyList::Read(again.data(), again.size(), back, error) || !(back == tree))
        __builtin_trap();
    return 0;
}
