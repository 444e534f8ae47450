#include "ChildProcess.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

ChildProcess::ChildProcess(const std::vector<std::string>& args,
                           const std::vector<std::string>& env, const std::string& outputPath,
                           const std::string& errorPath)
    : mOutputPath(outputPath), mErrorPath(errorPath)
{
    int pipe[2];
    const pid_t parent = ::getpid();
    if (::pipe2(pipe, O_CLOEXEC) != 0 || (mPid = ::fork()) < 0)
        throw std::runtime_error("cannot start " + args[0]);
    if (mPid == 0)
    {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (::getppid() != parent || out < 0 || err < 0) ::_exit(127);
        ::dup2(pipe[0], STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        for (const std::string& entry : env)
            ::putenv(const_cast<char*>(entry.c_str()));
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipe[0]);
    mInput = pipe[1];
}

ChildProcess::~ChildProcess()
{
    Kill();
    ::close(mInput);
}

std::string ChildProcess::Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool ChildProcess::Running()
{
    int status = 0;
    if (mStatus != -2 || ::waitpid(mPid, &status, WNOHANG) != mPid) return mStatus == -2;
    mStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
}

void ChildProcess::Type(const std::string& line)
{
    const std::string text = line + "\n";
    if (::write(mInput, text.data(), text.size()) < 0)
        throw std::runtime_error("cannot write to the program");
}

void ChildProcess::Signal(int signal)
{
    if (Running()) ::kill(mPid, signal);
}

int ChildProcess::Wait(double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (Running() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return mStatus;
}

void ChildProcess::Kill()
{
    Signal(SIGKILL);
    Wait(10);
}
