// CTova: work other threads hand to the render thread. A save asks for a snapshot of the slots
// and keys, which the render thread takes at the start of a cycle; the pool then stays frozen
// (no frame below the snapshot's fill moves or changes) while the save copies the frames on its
// own thread, and the render thread records and plays on. An import hands over decoded frames,
// which the render thread copies into the pool a bounded piece per cycle, so that a recording
// never loses a frame and the render thread never waits or allocates.
//
// When no render thread runs (none has begun a cycle lately, or the caller is the render
// thread itself, as in hosts that run their work between render calls), the control thread
// takes the token and does the work itself.

#include "engine/CTova.h"

#include "platform/CoreMIDI.h"
#include "samples/CSample.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

namespace
{
// Without a render cycle for this long, the render thread counts as stopped: longer than any
// host's buffer (8192 frames at 44.1 kHz last 186 ms).
constexpr UInt64 kRenderIdleNanos = 250'000'000;
constexpr std::chrono::milliseconds kPollInterval{1};
// Frames of an import copied per cycle: 2 × 256 KiB, a few tens of microseconds.
constexpr SInt32 kImportFramesPerCycle = 65536;
// A recording of up to this many frames moves up to make room for an import before it; a
// longer one is waited for.
constexpr SInt32 kMovableRecording = 65536;
// An import of this many frames or fewer leaves no sample.
constexpr SInt32 kShortestImport = 16;
constexpr SInt32 kNoBudget = std::numeric_limits<SInt32>::max();
} // namespace

void CTova::RenderHandOffs()
{
    mLastCycleTime.store(AudioGetCurrentHostTime(), std::memory_order_relaxed);
    SettleHandOffs();
    StepImport(kImportFramesPerCycle);
    // A sample half copied in would be saved with frames it does not have yet.
    if (mSnapshotState.load(std::memory_order_acquire) == EHandOff::Requested &&
        mImportState.load(std::memory_order_relaxed) != EHandOff::Working)
    {
        SnapshotNow();
        mSampleFactory->Freeze();
        mPoolHeld.store(true, std::memory_order_relaxed);
        mSnapshotState.store(EHandOff::Done, std::memory_order_release);
    }
}

void CTova::SettleHandOffs()
{
    if (mSampleFactory->IsFrozen() && !mPoolHeld.load(std::memory_order_acquire))
        mSampleFactory->Thaw();
}

void CTova::SnapshotNow()
{
    mSnapshot.fill = mSampleFactory->TakeSnapshot(mSnapshot.slots.data(), mRecordSample);
    for (int k = 0; k < kNumKeys; ++k)
    {
        const CKeyInfo& key = mKeys[k];
        KeyState& state = mSnapshot.keys[k];
        state.id = key.Sample() != nullptr ? key.Sample()->Index() : -1;
        state.pitchShift = key.PitchShift();
        state.speed = key.Speed();
        state.automatic = key.Automatic();
        state.looping = key.Looping();
    }
}

bool CTova::RenderThreadRuns() const
{
    if (InRenderThread()) return false;
    const UInt64 last = mLastCycleTime.load(std::memory_order_relaxed);
    const UInt64 now = AudioGetCurrentHostTime();
    return last != 0 && now >= last && AudioConvertHostTimeToNanos(now - last) < kRenderIdleNanos;
}

template <class Done> bool CTova::AwaitRender(Done done)
{
    while (!done())
    {
        if (!RenderThreadRuns()) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

CTova::HeldSnapshot::HeldSnapshot(CTova& tova) : mTova(tova)
{
    mTova.mSnapshot.slots.resize(static_cast<std::size_t>(mTova.mSampleFactory->NumSamples()));
    if (mTova.RenderThreadRuns())
    {
        mTova.mSnapshotState.store(EHandOff::Requested, std::memory_order_release);
        if (mTova.AwaitRender(
                [this]
                { return mTova.mSnapshotState.load(std::memory_order_acquire) == EHandOff::Done; }))
            return;
    }
    // No render thread takes it: take it here, with the render thread (if it comes back)
    // playing silence meanwhile.
    mAccess = std::make_unique<Exclusive>(mTova);
    mTova.SettleHandOffs();
    if (mTova.mSnapshotState.load(std::memory_order_acquire) != EHandOff::Done)
    {
        mTova.mSnapshotState.store(EHandOff::Idle, std::memory_order_relaxed);
        mTova.SnapshotNow();
    }
}

CTova::HeldSnapshot::~HeldSnapshot()
{
    // The frames are copied: the render thread may move them again.
    mTova.mPoolHeld.store(false, std::memory_order_release);
    mTova.mSnapshotState.store(EHandOff::Idle, std::memory_order_release);
    if (mAccess) mTova.SettleHandOffs();
}

void CTova::InstallImport()
{
    mImportState.store(EHandOff::Requested, std::memory_order_release);
    const bool done = AwaitRender(
        [this] { return mImportState.load(std::memory_order_acquire) == EHandOff::Done; });
    if (!done)
    {
        const Exclusive access(*this);
        SettleHandOffs();
        StepImport(kNoBudget);
    }
    mImportState.store(EHandOff::Idle, std::memory_order_relaxed);
}

void CTova::StepImport(SInt32 budget)
{
    const EHandOff state = mImportState.load(std::memory_order_acquire);
    if (state == EHandOff::Requested)
    {
        const auto frames = static_cast<SInt32>(mImport.left.size());
        const bool growing = mRecordSample != nullptr && mRecordSample->Size() > 0;
        // Room before a long recording would take too long to make now.
        if (growing && budget < kNoBudget && mRecordSample->Size() > kMovableRecording) return;
        // The new sample takes the place of the one waiting.
        if (mImportSample != nullptr)
        {
            mImportSample->Release();
            mImportSample = nullptr;
        }
        if (frames <= kShortestImport)
        {
            FinishImport(noErr);
            return;
        }
        CSample* sample = mSampleFactory->NewSample();
        if (sample == nullptr)
        {
            // Every slot holds a sample of some key.
            FinishImport(kAudio_MemFullError);
            return;
        }
        // Cut at the pool's end.
        const SInt32 fill = mSampleFactory->Fill();
        const SInt32 capacity = mSampleFactory->Capacity();
        const SInt32 room = fill < capacity - 1 ? capacity - fill : 0;
        const SInt32 size = std::min(frames, room);
        if (size <= kShortestImport ||
            !mSampleFactory->Reserve(sample, size, growing ? mRecordSample : nullptr))
        {
            sample->Release();
            FinishImport(noErr);
            return;
        }
        mImport.sample = sample;
        mImport.written = 0;
        mImportState.store(EHandOff::Working, std::memory_order_relaxed);
    }
    else if (state != EHandOff::Working)
        return;

    CSample* sample = mImport.sample;
    const SInt32 n = std::min(budget, sample->Size() - mImport.written);
    mSampleFactory->WriteFrames(sample, mImport.written, mImport.left.data() + mImport.written,
                                mImport.right.data() + mImport.written, n);
    mImport.written += n;
    if (mImport.written < sample->Size()) return;
    sample->SetTempo(mImport.tempo);
    sample->SetSampleRate(mImport.sampleRate);
    sample->SetSync(mImport.sync);
    sample->SetNeverLoop(mImport.neverLoop);
    sample->SetPlayAll(mImport.playAll);
    mImportSample = sample;
    FinishImport(noErr);
}

void CTova::FinishImport(OSStatus result)
{
    mImport.result = result;
    mImport.sample = nullptr;
    mImportState.store(EHandOff::Done, std::memory_order_release);
}
