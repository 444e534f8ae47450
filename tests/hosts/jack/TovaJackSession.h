#pragma once
// tova-jack run by a test against a JackTestServer: its arguments after --server, a
// configuration folder of its own (preferences), its input typed line by line, and what it
// printed, waited for by text.

#include "ChildProcess.h"
#include "JackTestServer.h"

#include <memory>
#include <string>
#include <vector>

class TovaJackSession
{
public:
    TovaJackSession(const JackTestServer& server, const std::vector<std::string>& args,
                    const std::string& configFolder = {});

    ChildProcess& Process() { return *mProcess; }
    void Type(const std::string& line) { mProcess->Type(line); }

    std::string Out() const;
    std::string Err() const;
    // How often stdout holds text.
    std::size_t Count(const std::string& text) const;
    // Waits until stdout (stderr) holds text `count` times; false after the time.
    bool WaitFor(const std::string& text, double seconds = 10, std::size_t count = 1) const;
    bool WaitForError(const std::string& text, double seconds = 10) const;
    // Waits for the line that says it plays.
    bool WaitUntilPlaying(double seconds = 10) const
    {
        return WaitFor("plays as JACK client", seconds);
    }

private:
    std::string mOut;
    std::string mErr;
    std::unique_ptr<ChildProcess> mProcess;
};
