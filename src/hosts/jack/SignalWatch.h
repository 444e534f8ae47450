#pragma once
// SIGINT, SIGTERM and SIGUSR1 as events to read from a descriptor in the main loop instead of
// handlers that interrupt whatever runs. The signals are blocked in the constructing thread
// and in every thread started after it, so construct it before any other thread exists
// (JACK's included). SIGPIPE is ignored: a closed pipe on the terminal is no reason to lose
// the recordings.

class SignalWatch
{
public:
    SignalWatch(); // [ui]
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    bool Ok() const { return mDescriptor >= 0; }   // [ui]
    int Descriptor() const { return mDescriptor; } // [ui] readable when a signal is pending
    int Take();                                    // [ui] the next pending signal, or 0

private:
    int mDescriptor;
};
