#pragma once
// A MIDI backend for tests: logs what it is asked to do and hands out the rings it was given,
// so that a test can be their consumer.

#include "platform/MIDIBackend.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class TestMIDIBackend final : public MIDIBackend
{
public:
    struct Log
    {
        std::vector<std::string> calls;
        std::map<MIDIEndpointRef, MIDIPacketRing*> rings;
        OSStatus refuseSources = noErr;
    };

    // Installs a backend writing to a log the caller can still read after uninstalling it.
    static std::shared_ptr<Log> Install()
    {
        auto log = std::make_shared<Log>();
        MIDIInstallBackend(std::make_shared<TestMIDIBackend>(log));
        return log;
    }

    explicit TestMIDIBackend(std::shared_ptr<Log> log) : mLog(std::move(log)) {}

    OSStatus CreateClient(MIDIClientRef, const std::string& name) override
    {
        mLog->calls.push_back("client " + name);
        return noErr;
    }
    OSStatus CreateSource(MIDIClientRef, MIDIEndpointRef source, const std::string& name,
                          MIDIPacketRing& packets) override
    {
        mLog->calls.push_back("source " + name);
        if (mLog->refuseSources != noErr) return mLog->refuseSources;
        mLog->rings[source] = &packets;
        return noErr;
    }
    void DisposeSource(MIDIEndpointRef source) override
    {
        mLog->calls.push_back("dispose source");
        mLog->rings.erase(source);
    }
    void DisposeClient(MIDIClientRef) override { mLog->calls.push_back("dispose client"); }

private:
    std::shared_ptr<Log> mLog;
};

// Uninstalls whatever backend a test installed, however the test ends.
struct MIDIBackendGuard
{
    ~MIDIBackendGuard() { MIDIInstallBackend(nullptr); }
};
