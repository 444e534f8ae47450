#pragma once
// A JACK server of the test's own, `jackd --no-realtime -n <name> -d dummy -r 48000 -p 256`,
// started in the constructor (which waits until it takes clients) and stopped cleanly in the
// destructor. Its name comes from a few fixed slots, each held through a lock file while its
// server runs: JACK keeps eight server entries per user and gives a dead server's entry back
// only when a server of the same name starts again, so fresh names would fill the table.

#include "ChildProcess.h"

#include <memory>
#include <string>

class JackTestServer
{
public:
    JackTestServer();
    ~JackTestServer();
    JackTestServer(const JackTestServer&) = delete;
    JackTestServer& operator=(const JackTestServer&) = delete;

    bool Ok() const { return mOk; }
    const std::string& Name() const { return mName; }
    // The server's own messages, for a failing test.
    std::string Log() const
    {
        return mProcess ? mProcess->Output() + mProcess->Errors() : "no free server slot";
    }

private:
    int mSlotLock = -1;
    std::string mName;
    std::unique_ptr<ChildProcess> mProcess;
    bool mOk = false;
};
