#pragma once
// A program the tests start and always stop: its standard input is a pipe the test writes to,
// its output goes to files, and it dies with the test process (PR_SET_PDEATHSIG), so no server
// or program outlives a failed test.

#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess
{
public:
    // args[0] is looked up in PATH when it has no slash; env entries are NAME=VALUE.
    ChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& env,
                 const std::string& outputPath, const std::string& errorPath);
    ~ChildProcess(); // kills it when it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // What it has written so far to its output and its error files.
    std::string Output() const { return Read(mOutputPath); }
    std::string Errors() const { return Read(mErrorPath); }
    bool Running();
    void Type(const std::string& line); // writes line and a newline to its input
    void Signal(int signal);
    // Its exit status, −1 for a death by signal, −2 when it is still running after the time.
    int Wait(double seconds);
    void Kill(); // SIGKILL, then reaps it

private:
    static std::string Read(const std::string& path);

    std::string mOutputPath;
    std::string mErrorPath;
    pid_t mPid = -1;
    int mInput = -1;
    int mStatus = -2;
};
