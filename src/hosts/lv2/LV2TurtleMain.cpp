// The build-time generator of a bundle's main .ttl: opens the bundle's component, reads its
// parameter table through the host-side API and writes the description to the named file.

#include "hosts/lv2/LV2TurtleWriter.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s OUTPUT.ttl\n", argv[0]);
        return 2;
    }
    const LV2BundleInfo& bundle = LV2ThisBundle();
    AudioUnit unit = nullptr;
    if (const OSStatus status = AudioComponentInstanceNew(bundle.registration, &unit))
    {
        std::fprintf(stderr, "%s: cannot open the component (status %d)\n", argv[0],
                     static_cast<int>(status));
        return 1;
    }
    LV2ParameterTable table;
    std::string error;
    const bool read = table.Read(unit, error);
    const LV2PortLayout layout = table.Layout(unit);
    AudioComponentInstanceDispose(unit);
    if (!read)
    {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    std::ofstream out(argv[1]);
    LV2TurtleWriter(bundle, layout, table).Write(out);
    out.close();
    if (!out)
    {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
