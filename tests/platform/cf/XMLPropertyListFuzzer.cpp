// Any input either fails with an error or reads into a tree that, when XML can carry it,
// survives a round trip.
#include "platform/cf/XMLPropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFType tree;
    CFType back;
    std::string error;
    std::vector<std::uint8_t> again;
    if (!XMLPropertyList::Read(data, size, tree, error))
    {
        if (error.empty()) __builtin_trap();
    }
    else if (XMLPropertyList::Write(tree, again, error) && // fails for a control character
             (!XMLPropertyList::Read(again.data(), again.size(), back, error) || !(back == tree)))
        __builtin_trap();
    return 0;
}
