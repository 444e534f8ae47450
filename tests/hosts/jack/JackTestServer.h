#pragma once
// A JACK server of the test's own, `jackd --no-realtime -n <name> -d dummy -r 48000 -p 256`,
// started in the constructor (which waits until it takes clients) and stopped cleanly in the
// destructor. Its name comes from a few fixed slots, each held through a lock file while its
// server runs: JACK keeps eight server entries per user and gives a dead server's entry back
// only when a server of the same name starts again, so fresh names would fill the table.

#include "ChildProcess.h"
#include "RenderTestUtil.h"

#include <jack/jack.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

class JackTestServer
{
public:
    JackTestServer()
    {
        // The first free slot of four, waiting up to two minutes for one.
        for (int attempt = 0; mSlotLock < 0 && attempt < 4 * 600; ++attempt)
        {
            const std::string slot = std::to_string(attempt % 4);
            const std::string lock =
                "/tmp/tova-jack-test-" + std::to_string(::getuid()) + "-" + slot + ".lock";
            const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
                mSlotLock = fd, mName = "tova-test-" + slot;
            else if (fd >= 0)
                ::close(fd);
            if (mSlotLock < 0 && attempt % 4 == 3)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        if (mSlotLock < 0) return;
        mProcess = std::make_unique<ChildProcess>(
            std::vector<std::string>{"jackd", "--no-realtime", "-n", mName, "-d", "dummy", "-r",
                                     "48000", "-p", "256"},
            std::vector<std::string>{"JACK_NO_AUDIO_RESERVATION=1"}, ScratchPath(mName + ".log"),
            ScratchPath(mName + ".err"));
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!mOk && mProcess->Running() && std::chrono::steady_clock::now() < end)
        {
            jack_client_t* probe = jack_client_open(
                "probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName), nullptr,
                mName.c_str());
            if (probe != nullptr) jack_client_close(probe);
            mOk = probe != nullptr;
            if (!mOk) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~JackTestServer()
    {
        // Stopped cleanly, the server gives its entry back; one that hangs is killed.
        if (mProcess) mProcess->Signal(SIGTERM), mProcess->Wait(20);
        mProcess.reset();
        if (mSlotLock >= 0) ::close(mSlotLock);
    }
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
