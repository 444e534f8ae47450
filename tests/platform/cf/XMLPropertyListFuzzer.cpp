// Any input either fails with an error or reads into a tree that, when XML can carry it,
// survives a round trip.
#include "platform/cf/XMLPropertyList.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFType tree;
    std::string error;
    if (!XMLPropertyList::Read(data, size, tree, error))
    {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    std::vector<std::uint8_t> again;
    if (!XMLPropertyList::Write(tree, again, error))
        return 0; // a control character read from a character reference, say
    CFType back;
    if (!XMLPropertyList::Read(again.data(), again.size(), back, error) || !(back == tree))
        __builtin_trap();
    return 0;
}
