#pragma once
// A MIDI backend for tests: it hands out the rings it was given, so that a test can be their
// consumer.

#include "platform/MIDIBackend.h"

#include <map>
#include <memory>
#include <string>

class TestMIDIBackend final : public MIDIBackend
{
public:
    using Rings = std::map<MIDIEndpointRef, MIDIPacketRing*>;

    // Installs a backend whose rings the caller can still read after uninstalling it.
    static std::shared_ptr<Rings> Install()
    {
        auto rings = std::make_shared<Rings>();
        MIDIInstallBackend(std::make_shared<TestMIDIBackend>(rings));
        return rings;
    }

    explicit TestMIDIBackend(std::shared_ptr<Rings> rings) : mRings(std::move(rings)) {}

    OSStatus CreateClient(MIDIClientRef, const std::string&) override { return noErr; }
    OSStatus CreateSource(MIDIClientRef, MIDIEndpointRef source, const std::string&,
                          MIDIPacketRing& packets) override
    {
        (*mRings)[source] = &packets;
        return noErr;
    }
    void DisposeSource(MIDIEndpointRef source) override { mRings->erase(source); }
    void DisposeClient(MIDIClientRef) override {}

private:
    std::shared_ptr<Rings> mRings;
};

// Uninstalls whatever backend a test installed, however the test ends.
struct MIDIBackendGuard
{
    ~MIDIBackendGuard() { MIDIInstallBackend(nullptr); }
};
