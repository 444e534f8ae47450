// The render path under load (voices, recording, live capture, reverb, play-thru) makes no
// allocation, takes no mutex and makes no system call. The allocation counter replaces the
// global allocation functions to count them while rendering; in builds without sanitizers
// (which bring their own) this program also replaces the malloc family and the mutex calls,
// and traps system calls.

#include "integration/CTovaProbe.h"
#include "integration/TovaHost.h"
#include "platform/services/TestMIDIBackend.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <thread>
#include <ucontext.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TOVA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TOVA_SANITIZED 1
#endif
#endif

namespace
{
std::atomic<bool> gCountingLocks{false};
std::atomic<int> gLocks{0};

// Counts what happens while it lives: allocations, and in builds without sanitizers also the
// C-level ones and the mutex locks.
struct Counting
{
    Counting()
    {
        gLocks = 0;
        gCountingLocks = true;
    }
    ~Counting() { gCountingLocks = false; }
    AllocationCounter allocations;
};
} // namespace

extern "C"
{
#ifndef TOVA_SANITIZED
    // The mutex calls, forwarded to the C library's own entry points under their other names
    // (bound by version, so that nothing has to be looked up while a lock is wanted).
    int RealMutexLock(pthread_mutex_t*);
    int RealMutexTrylock(pthread_mutex_t*);
    __asm__(".symver RealMutexLock,__pthread_mutex_lock@GLIBC_2.2.5");
    __asm__(".symver RealMutexTrylock,__pthread_mutex_trylock@GLIBC_2.2.5");
    int pthread_mutex_lock(pthread_mutex_t* mutex)
    {
        if (gCountingLocks.load(std::memory_order_relaxed)) gLocks.fetch_add(1);
        return RealMutexLock(mutex);
    }
    int pthread_mutex_trylock(pthread_mutex_t* mutex)
    {
        if (gCountingLocks.load(std::memory_order_relaxed)) gLocks.fetch_add(1);
        return RealMutexTrylock(mutex);
    }

    // The malloc family too, so that C-level allocations are seen.
    void* __libc_malloc(std::size_t);
    void* __libc_calloc(std::size_t, std::size_t);
    void* __libc_realloc(void*, std::size_t);
    void* __libc_memalign(std::size_t, std::size_t);
    void* malloc(std::size_t size)
    {
        AllocationCounter::Note();
        return __libc_malloc(size);
    }
    void* calloc(std::size_t n, std::size_t size)
    {
        AllocationCounter::Note();
        return __libc_calloc(n, size);
    }
    void* realloc(void* p, std::size_t size)
    {
        AllocationCounter::Note();
        return __libc_realloc(p, size);
    }
    void* aligned_alloc(std::size_t alignment, std::size_t size)
    {
        AllocationCounter::Note();
        return __libc_memalign(alignment, size);
    }
    int posix_memalign(void** out, std::size_t alignment, std::size_t size)
    {
        AllocationCounter::Note();
        *out = __libc_memalign(alignment, size);
        return *out != nullptr ? 0 : ENOMEM;
    }
#endif
}

namespace
{
// A busy scene: a looping voice per key on 16 keys, pitch and time shifted, a recording in
// progress, live capture, play-thru on, the reverb heard, and a learned controller and pitch
// wheel whose haptic feedback goes out on a virtual source.
void BusyScene(TovaHost& host)
{
    CTovaProbe probe(host.Tova());
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
    for (int i = 0; i < 8; ++i)         // first touches happen outside the counted loop
        host.Render(256, {0, 1, 2, 3});
}

// One render cycle with some parameter traffic, as a host's automation would send, and a
// learned controller and pitch wheel moving.
void Cycle(TovaHost& host, int i)
{
    host.Tova().SetParameter(kTovaParam_Bo, kAudioUnitScope_Global, 0,
                             static_cast<float>(i % 100) / 100.0f, 0);
    host.Midi(0xB0, 7, static_cast<UInt8>(i % 128));
    host.Midi(0xE0, 0, static_cast<UInt8>(48 + i % 32));
    host.Render(i % 7 == 0 ? 37 : 256, {0, 1, 2, 3});
}
} // namespace

TEST(TovaRealTime, RenderingAllocatesNothingAndTakesNoLock)
{
    const MIDIBackendGuard guard;
    TestMIDIBackend::Install();
    TovaHost host(48000);
    BusyScene(host);
    CTovaProbe probe(host.Tova());
    ASSERT_EQ(60, probe.RecordKey());
    ASSERT_EQ(16, probe.Voicer(0).Top());
    {
        const Counting counting;
        for (int i = 0; i < 3000; ++i)
            Cycle(host, i);
        EXPECT_EQ(0, counting.allocations.Count());
        EXPECT_EQ(0, gLocks.load());
    }
    EXPECT_EQ(60, probe.RecordKey()); // still recording, the voices still sounding
    EXPECT_EQ(16, probe.Voicer(0).Top());
    host.Set(kTovaParam_Autolooper, 0); // the loop ends and plays: still no allocation
    {
        const Counting counting;
        for (int i = 0; i < 100; ++i)
            Cycle(host, i);
        EXPECT_EQ(0, counting.allocations.Count());
        EXPECT_EQ(0, gLocks.load());
    }
    EXPECT_NE(nullptr, probe.Key(60).Sample());
}

#ifndef TOVA_SANITIZED
namespace
{
std::atomic<bool> gTrapping{false};
std::atomic<int> gSystemCalls{0};
std::atomic<int> gFirstSystemCall{-1};

// Every trapped call fails with ENOSYS; while the render loop runs it is also counted.
void OnSystemCall(int, siginfo_t* info, void* context)
{
    if (gTrapping.load(std::memory_order_relaxed))
    {
        gSystemCalls.fetch_add(1, std::memory_order_relaxed);
        int expected = -1;
        gFirstSystemCall.compare_exchange_strong(expected, info->si_syscall);
    }
    static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RAX] = -ENOSYS;
}

// Traps every system call of the calling thread except the ones it needs to return from the
// signal handler and to end; only this thread is filtered (no TSYNC).
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
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
    return syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) == 0;
}
} // namespace

TEST(TovaRealTime, RenderingMakesNoSystemCall)
{
#if !defined(__x86_64__)
    GTEST_SKIP() << "the SIGSYS handler's register access is written for x86-64";
#else
    const MIDIBackendGuard guard;
    TestMIDIBackend::Install();
    TovaHost host(48000);
    BusyScene(host);
    struct sigaction action
    {
    };
    action.sa_sigaction = OnSystemCall;
    action.sa_flags = SA_SIGINFO;
    ASSERT_EQ(0, sigaction(SIGSYS, &action, nullptr));
    bool filtered = false;
    int rendered = 0;
    std::thread render(
        [&]
        {
            filtered = TrapSystemCalls();
            if (!filtered) return;
            gTrapping = true;
            for (; rendered < 2000; ++rendered)
                Cycle(host, rendered);
            gTrapping = false;
        });
    render.join();
    if (!filtered) GTEST_SKIP() << "seccomp filters are not available here";
    EXPECT_EQ(2000, rendered);
    EXPECT_EQ(0, gSystemCalls.load()) << "first system call: " << gFirstSystemCall.load();
#endif
}
#endif
