#include "JackTestServer.h"

#include "RenderTestUtil.h"

#include <jack/jack.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace
{
void Silent(const char*) {}

// Takes the first free slot, waiting for one for a while; −1 when none came free.
int TakeSlot(int& slot)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < end)
    {
        for (slot = 0; slot < JackTestServer::kSlots; ++slot)
        {
            const std::string path = "/tmp/tova-jack-test-" + std::to_string(::getuid()) + "-" +
                                     std::to_string(slot) + ".lock";
            const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
            if (fd >= 0) ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return -1;
}
} // namespace

JackTestServer::JackTestServer(unsigned periodFrames)
{
    int slot = 0;
    mSlotLock = TakeSlot(slot);
    if (mSlotLock < 0) return;
    mName = "tova-test-" + std::to_string(slot);
    mLog = ScratchPath(mName + ".log");
    mProcess = std::make_unique<ChildProcess>(
        std::vector<std::string>{"jackd", "--no-realtime", "-n", mName, "-d", "dummy", "-r",
                                 std::to_string(kRate), "-p", std::to_string(periodFrames)},
        std::vector<std::string>{"JACK_NO_AUDIO_RESERVATION=1"}, mLog, mLog + ".err");

    jack_set_error_function(&Silent);
    jack_set_info_function(&Silent);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!mOk && mProcess->Running() && std::chrono::steady_clock::now() < end)
    {
        jack_status_t status{};
        jack_client_t* probe = jack_client_open(
            "probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
            mName.c_str());
        if (probe != nullptr)
        {
            jack_client_close(probe);
            mOk = true;
        }
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool JackTestServer::Stop()
{
    if (!mProcess) return false;
    // Stopped cleanly, the server gives its entry back; a server killed leaves it for the
    // next server of this name.
    mProcess->Signal(SIGTERM);
    if (mProcess->Wait(20) != -2) return true;
    mProcess->Kill();
    return false;
}

JackTestServer::~JackTestServer()
{
    Stop();
    if (mSlotLock >= 0) ::close(mSlotLock);
}

std::string JackTestServer::Log() const
{
    if (mSlotLock < 0) return "no free server slot";
    try
    {
        return Slurp(mLog) + Slurp(mLog + ".err");
    }
    catch (const std::exception&)
    {
        return {};
    }
}
