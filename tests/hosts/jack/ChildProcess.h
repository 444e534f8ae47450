#pragma once
// A program the tests start and always stop: its standard input is a pipe the test writes to,
// its output goes to files, and it dies with the test process (PR_SET_PDEATHSIG), so no server
// or program outlives a failed test.

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

class ChildProcess
{
public:
    // args[0] is looked up in PATH when it has no slash; env entries are NAME=VALUE.
    ChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& env,
                 const std::string& outputPath, const std::string& errorPath)
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
    ~ChildProcess()
    {
        Kill();
        ::close(mInput);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // What it has written so far to its output and its error files.
    std::string Output() const { return Read(mOutputPath); }
    std::string Errors() const { return Read(mErrorPath); }
    bool Running()
    {
        int status = 0;
        if (mStatus != -2 || ::waitpid(mPid, &status, WNOHANG) != mPid) return mStatus == -2;
        mStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return false;
    }
    // Writes line and a newline to its input.
    void Type(const std::string& line)
    {
        const std::string text = line + "\n";
        if (::write(mInput, text.data(), text.size()) < 0)
            throw std::runtime_error("cannot write to the program");
    }
    void Signal(int signal)
    {
        if (Running()) ::kill(mPid, signal);
    }
    // Its exit status, −1 for a death by signal, −2 when it is still running after the time.
    int Wait(double seconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (Running() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return mStatus;
    }
    void Kill() { Signal(SIGKILL), Wait(10); }

private:
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string mOutputPath;
    std::string mErrorPath;
    pid_t mPid = -1;
    int mInput = -1;
    int mStatus = -2;
};
