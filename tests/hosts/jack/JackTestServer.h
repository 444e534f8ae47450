#pragma once
// A JACK server of the test's own: `jackd --no-realtime -n <name> -d dummy -r 48000 -p <frames>`,
// started in the constructor (which waits until it takes clients) and stopped by its process
// id in the destructor. (Synchronous mode, -S, would spare the tests the cycles a busy machine
// drops, but JACK 1.9.21 can hang in it when a client leaves; the tests count the drops
// instead, see JackTestClient.)
//
// Names come from a few fixed slots, each held through a lock file while its server runs, so
// tests running side by side never share a server. Fixed names matter: JACK keeps eight server
// entries per user and gives a dead server's entry back only when a server of the same name
// starts again, so fresh names would fill the table with the leftovers of killed tests.

#include "ChildProcess.h"

#include <memory>
#include <string>

class JackTestServer
{
public:
    static constexpr unsigned kRate = 48000;
    static constexpr int kSlots = 4;

    explicit JackTestServer(unsigned periodFrames = 256);
    ~JackTestServer();
    JackTestServer(const JackTestServer&) = delete;
    JackTestServer& operator=(const JackTestServer&) = delete;

    bool Ok() const { return mOk; }
    // Stops the server now, as a player's would go away; true when it stopped cleanly.
    bool Stop();
    const std::string& Name() const { return mName; }
    // The server's own messages, for a failing test.
    std::string Log() const;

private:
    int mSlotLock = -1;
    std::string mName;
    std::string mLog;
    std::unique_ptr<ChildProcess> mProcess;
    bool mOk = false;
};
