#include "TovaJackSession.h"

#include "RenderTestUtil.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace
{
std::string Read(const std::string& path)
{
    try
    {
        return Slurp(path);
    }
    catch (const std::exception&)
    {
        return {};
    }
}

std::size_t Occurrences(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

bool Poll(const std::string& path, const std::string& text, double seconds, std::size_t count)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (Occurrences(Read(path), text) < count)
    {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
} // namespace

TovaJackSession::TovaJackSession(const JackTestServer& server, const std::vector<std::string>& args,
                                 const std::string& configFolder)
{
    static int sCount = 0;
    const std::string name = "tova-jack-" + std::to_string(sCount++);
    mOut = ScratchPath(name + ".out");
    mErr = ScratchPath(name + ".err");
    const std::string config = configFolder.empty() ? ScratchPath(name + "-config") : configFolder;
    std::filesystem::create_directories(config);
    std::vector<std::string> argv = {TOVA_JACK, "--server", server.Name()};
    argv.insert(argv.end(), args.begin(), args.end());
    mProcess = std::make_unique<ChildProcess>(
        argv, std::vector<std::string>{"XDG_CONFIG_HOME=" + config, "JACK_NO_AUDIO_RESERVATION=1"},
        mOut, mErr);
}

std::string TovaJackSession::Out() const
{
    return Read(mOut);
}

std::string TovaJackSession::Err() const
{
    return Read(mErr);
}

std::size_t TovaJackSession::Count(const std::string& text) const
{
    return Occurrences(Read(mOut), text);
}

bool TovaJackSession::WaitFor(const std::string& text, double seconds, std::size_t count) const
{
    return Poll(mOut, text, seconds, count);
}

bool TovaJackSession::WaitForError(const std::string& text, double seconds) const
{
    return Poll(mErr, text, seconds, 1);
}
