#include "ChildProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

ChildProcess::ChildProcess(const std::vector<std::string>& args,
                           const std::vector<std::string>& env, const std::string& outputPath,
                           const std::string& errorPath)
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
    const pid_t parent = ::getpid();
    mPid = ::fork();
    if (mPid < 0) throw std::runtime_error("cannot fork");
    if (mPid == 0)
    {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        // Signals blocked by the test (gtest blocks none, but be sure) would reach the child.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0) ::_exit(127);
        ::dup2(pipe[0], STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::close(out);
        ::close(err);
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
    if (Running()) Kill();
    CloseInput();
}

bool ChildProcess::Running()
{
    if (mStatus != -2 || mPid <= 0) return false;
    int status = 0;
    if (::waitpid(mPid, &status, WNOHANG) != mPid) return true;
    mStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
}

void ChildProcess::Type(const std::string& line)
{
    const std::string text = line + "\n";
    if (mInput >= 0 && ::write(mInput, text.data(), text.size()) < 0)
        throw std::runtime_error("cannot write to the program");
}

void ChildProcess::CloseInput()
{
    if (mInput >= 0) ::close(mInput);
    mInput = -1;
}

void ChildProcess::Signal(int signal)
{
    if (Running()) ::kill(mPid, signal);
}

int ChildProcess::Wait(double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (Running())
    {
        if (std::chrono::steady_clock::now() > end) return -2;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return mStatus;
}

void ChildProcess::Kill()
{
    if (!Running()) return;
    ::kill(mPid, SIGKILL);
    int status = 0;
    ::waitpid(mPid, &status, 0);
    mStatus = -1;
}
