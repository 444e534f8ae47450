// Rendering a busy scene makes no allocation, takes no mutex and makes no system call. Builds
// without sanitizers (which bring their own) also count malloc and mutex calls and trap system
// calls.

#include "integration/CTovaProbe.h"
#include "integration/TovaHost.h"
#include "platform/services/TestMIDIBackend.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <thread>
#include <ucontext.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || !defined(__x86_64__)
#define TOVA_PLAIN_X86_64 0
#else
#define TOVA_PLAIN_X86_64 1
#endif

namespace
{
std::atomic<bool> gCounting{false};
std::atomic<int> gLocks{0};
std::atomic<int> gSystemCalls{0};
std::atomic<int> gFirstSystemCall{-1};
} // namespace

#if TOVA_PLAIN_X86_64
extern "C"
{
    // Bound by version, so that nothing has to be looked up while a lock is wanted.
    int RealMutexLock(pthread_mutex_t*);
    int RealMutexTrylock(pthread_mutex_t*);
    __asm__(".symver RealMutexLock,__pthread_mutex_lock@GLIBC_2.2.5");
    __asm__(".symver RealMutexTrylock,__pthread_mutex_trylock@GLIBC_2.2.5");
    int pthread_mutex_lock(pthread_mutex_t* mutex)
    {
        if (gCounting.load(std::memory_order_relaxed)) gLocks.fetch_add(1);
        return RealMutexLock(mutex);
    }
    int pthread_mutex_trylock(pthread_mutex_t* mutex)
    {
        if (gCounting.load(std::memory_order_relaxed)) gLocks.fetch_add(1);
        return RealMutexTrylock(mutex);
    }

    void* __libc_malloc(std::size_t);
    void* malloc(std::size_t size)
    {
        AllocationCounter::Note();
        return __libc_malloc(size);
    }
}
#endif

namespace
{
// Every trapped call fails with ENOSYS; while counting it is also counted.
void OnSystemCall(int, siginfo_t* info, [[maybe_unused]] void* context)
{
    if (gCounting.load(std::memory_order_relaxed))
    {
        gSystemCalls.fetch_add(1, std::memory_order_relaxed);
        int expected = -1;
        gFirstSystemCall.compare_exchange_strong(expected, info->si_syscall);
    }
#if TOVA_PLAIN_X86_64
    static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RAX] = -ENOSYS;
#endif
}

// Traps every system call of the calling thread but those needed to return from the handler
// and to end the thread.
bool TrapSystemCalls()
{
    static sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_rt_sigreturn, 4, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_exit, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_madvise, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_munmap, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    static sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return TOVA_PLAIN_X86_64 && prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) == 0;
}

// Renders cycles with automation and a learned controller and pitch wheel moving, on a thread
// of its own that the system call filter goes with. Returns the allocations.
int CountedCycles(TovaHost& host, int cycles, bool& trapped)
{
    int allocations = -1;
    std::thread(
        [&]
        {
            trapped = TrapSystemCalls();
            gLocks = 0;
            const AllocationCounter counter;
            gCounting = true;
            for (int i = 0; i < cycles; ++i)
            {
                host.Tova().SetParameter(kTovaParam_Bo, kAudioUnitScope_Global, 0,
                                         static_cast<float>(i % 100) / 100.0f, 0);
                host.Midi(0xB0, 7, static_cast<UInt8>(i % 128));
                host.Midi(0xE0, 0, static_cast<UInt8>(48 + i % 32));
                host.Render(i % 7 == 0 ? 37 : 256, {0, 1, 2, 3});
            }
            gCounting = false;
            allocations = counter.Count();
        })
        .join();
    return allocations;
}
} // namespace

TEST(TovaRealTime, RenderingAllocatesNothingTakesNoLockAndMakesNoSystemCall)
{
    const MIDIBackendGuard guard;
    TestMIDIBackend::Install();
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    // Sixteen looping voices pitch and time shifted, a recording in progress, live capture,
    // play-thru, the reverb heard, and a learned controller and pitch wheel with haptic feedback.
    probe.Haptic() = 1;
    probe.LearnParam() = kTovaParam_Pitch;
    host.Midi(0xB0, 7, 64);
    probe.LearnParam() = kTovaParam_Time;
    host.Midi(0xE0, 0, 64);
    host.SetInput(TovaHost::Constant(48000 * 20, 0.25f));
    for (int k = 0; k < 16; ++k)
        probe.GiveSample(30 + k, 20000, 0.1f, 120.0);
    host.Set(kTovaParam_Pitch, 3);
    host.Set(kTovaParam_Time, 0.5f);
    host.Set(kTovaParam_PlayThru, 2);
    host.Set(kTovaParam_PlayReverb, 1);
    host.SetPlaying(true);
    host.clock.tempo = 97;
    host.collect = false;
    for (int k = 0; k < 16; ++k)
        host.NoteOn(static_cast<UInt8>(30 + k), 100, static_cast<UInt32>(k * 7));
    host.Set(kTovaParam_Autolooper, 1); // records on key 60
    for (int i = 0; i < 8; ++i)         // first touches happen before counting
        host.Render(256, {0, 1, 2, 3});
    struct sigaction action
    {
    };
    action.sa_sigaction = OnSystemCall;
    action.sa_flags = SA_SIGINFO;
    ASSERT_EQ(0, sigaction(SIGSYS, &action, nullptr));
    ASSERT_EQ(60, probe.RecordKey());
    bool trapped = false;
    for (const int cycles : {3000, 100})
    {
        SCOPED_TRACE(cycles);
        EXPECT_EQ(0, CountedCycles(host, cycles, trapped));
        EXPECT_EQ(0, gLocks.load());
        EXPECT_EQ(0, gSystemCalls.load()) << "first system call: " << gFirstSystemCall.load();
        EXPECT_GE(probe.Voicer(0).Top(), 16); // the voices still sound
        host.Set(kTovaParam_Autolooper, 0);   // the loop ends and then plays
    }
    EXPECT_NE(nullptr, probe.Key(60).Sample());
    if (!trapped) std::printf("system calls not trapped: no seccomp filter in this build\n");
}
