// CTova: the render cycle. One call renders one output bus; the first call of each time stamp
// (a new cycle) advances the engine, further buses of the same cycle start from the committed
// snapshot and drop their changes to it.

#include "engine/CTova.h"

#include "engine/CDenormalGuard.h"
#include "engine/SaturatingTrunc.h"
#include "samples/CSampleFactory.h"
#include "samples/CVoicer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
// Semitones to the exponent of 2.
constexpr double kOctavesPerSemitone = 0.0833333;

void Zero(float* left, float* right, UInt32 frames)
{
    std::fill_n(left, frames, 0.0f);
    std::fill_n(right, frames, 0.0f);
}
} // namespace

OSStatus CTova::RenderBus(AudioUnitRenderActionFlags& ioActionFlags,
                          const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames)
{
    const CDenormalGuard denormals;
    const CExclusiveToken::Hold hold(mToken, std::try_to_lock);
    if (!hold.Owns())
    {
        // A control thread is doing whole-engine work: this call is silent, and the time
        // stamp still counts as rendered so the cycle's other buses stay repeated calls.
        NeedsToRender(timeStamp);
        WriteSilence(bus, frames);
        return noErr;
    }

    // A new time stamp starts a new cycle: requests from other threads take effect first, and
    // the working copies start from the committed snapshot.
    const bool newCycle = NeedsToRender(timeStamp);
    if (newCycle)
    {
        DrainCommands();
        RenderHandOffs();
        RestoreSnapshot();
    }

    const SpeedPlan plan = PrepareSpeed(newCycle, frames);

    // Erase requests from other threads are completed here.
    if (newCycle) ApplyEraseRequests();

    float* inL = nullptr;
    float* inR = nullptr;
    float* outL = nullptr;
    float* outR = nullptr;
    if (!PrepareBuffers(ioActionFlags, timeStamp, bus, frames, newCycle, inL, inR, outL, outR))
        return noErr;

    // The clock; "Stop Prior" acts on every call while it is on.
    if (newCycle) FollowTransport();
    StopPrior();
    FollowBeatAndTempo(newCycle, frames);

    double lastBeat = mLastBeat;
    Zero(outL, outR, frames);
    float* const busL = outL;
    float* const busR = outR;

    // Sub-blocks of at most 16 frames: parameters, speeds, notes and recording decisions are
    // taken once per sub-block.
    CVoicer& voicer = mVoicers[bus];
    for (UInt32 remaining = frames; remaining > 0;)
    {
        const UInt32 n = std::min(kSubBlockFrames, remaining);
        if (newCycle) CarryOutPendingRecording();
        const Speeds speeds = StepSpeed(plan);
        if (newCycle)
        {
            ScheduleQueuedEvents(frames - remaining + n);
            if (mRecordKey != -1) RecordSubBlock(inL, inR, static_cast<int>(n));
        }
        voicer.Sync(BeatTick(lastBeat));
        const bool voices = voicer.Top() > 0;
        if (voices)
        {
            voicer.SetTempo(mTempo);
            voicer.SetSampleRate(mSampleRate);
            const float rate = speeds.speed * std::exp2(Param(kTovaParam_Time));
            voicer.Play(outL, outR, static_cast<int>(n), Param(kTovaParam_Looping) > kOn, rate);
        }
        RunShifter(bus, n, voices, speeds.bo, outL, outR);
        const bool input = inL != nullptr && inR != nullptr;
        if (newCycle && input) mSampleFactory->RecordLive(inL, inR, static_cast<int>(n));
        if (bus == 0 && input) MixPlayThru(inL, inR, outL, outR, n);
        if (bus == 1 && input)
        {
            for (UInt32 i = 0; i < n; ++i)
            {
                outL[i] += inL[i];
                outR[i] += inR[i];
            }
        }
        lastBeat = mBeat;
        AdvanceBeat(n);
        outL += n;
        outR += n;
        if (inL != nullptr) inL += n;
        if (inR != nullptr) inR += n;
        remaining -= n;
    }

    if (bus == 0) RunReverb(busL, busR, frames);

    Commit(newCycle, lastBeat, plan.bo);
    return noErr;
}

bool CTova::PrepareBuffers(AudioUnitRenderActionFlags& ioActionFlags,
                           const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames,
                           bool newCycle, float*& inL, float*& inR, float*& outL, float*& outR)
{
    if (newCycle || bus <= 1)
    {
        AUInputElement* input = GetInput(0);
        if (input->IsActive())
        {
            // A failed pull leaves silence in the bus, which is what gets recorded and mixed.
            if (bus == 0) input->PullInput(ioActionFlags, timeStamp, 0, frames);
            inL = input->GetChannelData(0);
            inR = input->GetChannelData(1);
        }
    }
    AUOutputElement* output = GetOutput(bus);
    outL = output->GetChannelData(0);
    outR = output->GetChannelData(1);

    if (!ShouldBypassEffect()) return true;
    if (bus != 0 || inL == nullptr || inR == nullptr)
        Zero(outL, outR, frames);
    else
    {
        std::memcpy(outL, inL, frames * sizeof(float));
        std::memcpy(outR, inR, frames * sizeof(float));
    }
    return false;
}

void CTova::WriteSilence(UInt32 bus, UInt32 frames)
{
    AUOutputElement* output = GetOutput(bus);
    Zero(output->GetChannelData(0), output->GetChannelData(1), frames);
}

void CTova::ApplyEraseRequests()
{
    bool cleared = false;
    for (int k = kNumKeys - 1; k >= 0; --k)
    {
        CKeyInfo& key = mKeys[k];
        if (!key.ErasePending()) continue;
        key.StopPlaying();
        key.SetSample(nullptr);
        cleared = true;
    }
    if (cleared) RefillSamples(0, kNumKeys);
}

void CTova::StopPrior()
{
    if (!(Param(kTovaParam_StopPrior) > kOn)) return;
    if (mRecordKey == -1)
    {
        if (mPriorKey != -1)
        {
            StopNoteInSync(mPriorKey, 0);
            mPriorKey = -1;
        }
    }
    else
        DiscardRecording();
    SetParameterNotify(kTovaParam_Autolooper, 0);
}

void CTova::RunShifter(UInt32 bus, UInt32 n, bool voices, float bo, float* outL, float* outR)
{
    CShifter& shifter = mShifters[bus];
    SInt32& tail = mShifterTail[bus];
    if (voices)
    {
        // Whatever entered the delay line leaves it within its length plus the bypass fade.
        tail = shifter.Size() + CShifter::kMaxFade;
    }
    else if (shifter.Size() > shifter.ResetSize() || tail > 0)
    {
        tail = std::max<SInt32>(tail - static_cast<SInt32>(n), 0);
    }
    else
        return;
    const double f = bo >= 0.2f ? bo : 1.0;
    const double ratio = std::exp2(Param(kTovaParam_Pitch) * kOctavesPerSemitone) /
                         (std::exp2(Param(kTovaParam_Time)) * f);
    shifter.SetShifting(ratio);
    shifter.GetSamples(outL, outR, outL, outR, static_cast<int>(n));
}

void CTova::MixPlayThru(const float* inL, const float* inR, float* outL, float* outR, UInt32 n)
{
    const int mode = SaturatingTrunc(Param(kTovaParam_PlayThru) + 0.1);
    const bool pass = mode == 2 || (mode == 1 && IsSilent()) || (mode == 3 && IsRecording());
    const bool idle = mPlayThru.Stage() == CADSR::kIdle;
    if (idle && !pass) return;
    if (idle)
    {
        mPlayThru.SetLevel(0);
        mPlayThru.SetStage(CADSR::kAttack);
    }
    if (!pass) mPlayThru.SetStage(CADSR::kRelease);
    float left[kSubBlockFrames];
    float right[kSubBlockFrames];
    std::copy_n(inL, n, left);
    std::copy_n(inR, n, right);
    mPlayThru.GetSamples(left, right, static_cast<int>(n), mSampleRate);
    for (UInt32 i = 0; i < n; ++i)
    {
        outL[i] += left[i];
        outR[i] += right[i];
    }
}

void CTova::RunReverb(float* outL, float* outR, UInt32 frames)
{
    if (mFreezeState == 1)
    {
        mReverb.setmode(0.0f);
        mFreezeState = 3;
    }
    else if (mFreezeState == 0)
    {
        mReverb.setmode(1.0f);
        mFreezeState = 2;
    }
    // Silent unless heard or frozen, but always fed, so its tail stays current.
    const bool heard = mFreezeState == 2 || !(Param(kTovaParam_PlayReverb) < kOn);
    mReverb.processreplace(outL, outR, heard ? outL : nullptr, heard ? outR : nullptr, frames);
}

void CTova::Commit(bool newCycle, double lastBeat, float bo)
{
    if (!newCycle)
    {
        RestoreSnapshot();
        return;
    }
    mLastBeat = lastBeat;
    mLastBo = bo;
    SaveSnapshot();
}

void CTova::SaveSnapshot()
{
    mTapeSpeedSaved = mTapeSpeed;
    mLastBeatSaved = mLastBeat;
    mScratchPosSaved = mScratchPos;
    mScratchVelSaved = mScratchVel;
    mLastBoSaved = mLastBo;
    mBoMotionSaved = mBoMotion;
}

void CTova::RestoreSnapshot()
{
    mTapeSpeed = mTapeSpeedSaved;
    mLastBeat = mLastBeatSaved;
    mScratchPos = mScratchPosSaved;
    mScratchVel = mScratchVelSaved;
    mLastBo = mLastBoSaved;
    mBoMotion = mBoMotionSaved;
}
