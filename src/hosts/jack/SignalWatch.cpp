#include "hosts/jack/SignalWatch.h"

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

SignalWatch::SignalWatch()
{
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    mDescriptor = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
}

SignalWatch::~SignalWatch()
{
    if (mDescriptor >= 0) ::close(mDescriptor);
}

int SignalWatch::Take()
{
    signalfd_siginfo info;
    if (::read(mDescriptor, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return 0;
    return static_cast<int>(info.ssi_signo);
}
