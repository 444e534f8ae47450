// CTova: recording. Requests arrive as key numbers (mPendingStart, mPendingStop) and are
// carried out on the render thread at a moment the record sync allows; a finished recording is
// cut to whole beats or bars, faded, given to its key and spread as transposed automatic
// copies over the neighbouring keys.

#include "engine/CTova.h"

#include "engine/SaturatingTrunc.h"
#include "samples/CSample.h"
#include "samples/CSampleFactory.h"

#include <algorithm>
#include <cmath>

namespace
{
// A recording of at most this many frames is a slip of the finger and is thrown away.
constexpr int kShortestRecording = 10;
// Requests in the first half of a beat or bar are carried out at once.
constexpr double kHalf = 0.5;
// The autolooper records on the first free key from middle C up; key 127 is never taken.
constexpr int kFirstAutolooperKey = 60;
constexpr int kLastAutolooperKey = 126;
} // namespace

bool CTova::IsRecording() const
{
    return Param(kTovaParam_Recording) > kOn;
}

bool CTova::HasOwnSample(int key) const
{
    return mKeys[key].Size() != 0 && !mKeys[key].Automatic();
}

bool CTova::IsFreeForRecording(int key) const
{
    return mKeys[key].Sample() == nullptr || mKeys[key].Automatic();
}

bool CTova::SyncWaits(int mode) const
{
    return (mode == 1 && std::fmod(mBeat, 1.0) >= kHalf) ||
           (mode == 2 && mBeat / mBeatsPerBar >= kHalf);
}

void CTova::RequestStop()
{
    mPendingStop = mRecordKey != -1 ? mRecordKey : mPendingStart;
}

void CTova::ArmAutolooper()
{
    mPlayAfterRecord = 1;
    for (int k = kFirstAutolooperKey; k <= kLastAutolooperKey; ++k)
    {
        if (!IsFreeForRecording(k)) continue;
        mPriorKey = k;
        mPendingStart = k;
        return;
    }
}

void CTova::StartRecording(int key)
{
    if (key >= 0 && key < kNumKeys && IsFreeForRecording(key))
    {
        mRecordSample = mSampleFactory->NewSample();
        if (mRecordSample == nullptr)
            mRecordKey = -1;
        else
        {
            mRecordKey = key;
            mRecordSample->SetSampleRate(mSampleRate);
            mRecordSample->SetTempo(mTempo);
        }
    }
    mPendingStart = -1;
}

void CTova::StopRecording(int mode)
{
    if (mRecordSample != nullptr)
    {
        const int frames = mRecordSample->Size();
        if (frames > kShortestRecording && mRecordKey != -1)
        {
            if (mode == 1 || mode == 2)
            {
                const double unit = mode == 1 ? mSampleRate * 60 / mTempo
                                              : mBeatsPerBar * mSampleRate * 60 / mTempo;
                const int units = SaturatingTrunc(frames / unit);
                // Less than one beat or bar so far: keep recording and try again later.
                if (units < 1) return;
                mSampleFactory->TruncateSample(mRecordSample, SaturatingTrunc(units * unit));
            }
            mSampleFactory->SmoothSample(mRecordSample);
            mRecordSample->SetSync(mode);
            const int k = mRecordKey;
            GiveSample(k, mRecordSample);
            if (mPlayAfterRecord != 0)
            {
                // The loop plays, but does not count as a held note.
                StartNoteInSync(k, 1.0f, 3);
                NoteOff(k);
            }
        }
        mRecordSample->Release();
        mRecordSample = nullptr;
    }
    mPlayAfterRecord = 0;
    mRecordKey = -1;
    // Pressing the recording key again ends it without restarting it.
    if (mPendingStart == mPendingStop) mPendingStart = -1;
    mPendingStop = -1;
    if (mPendingStart != -1) StartRecording(mPendingStart);
}

void CTova::DiscardRecording()
{
    CSample* const recording = mRecordSample;
    mPlayAfterRecord = 0;
    StopRecording(0);
    // StopRecording gave the recording to its key and spread it over the neighbours: it goes
    // from all of them, and the keys around are filled again from the remaining samples.
    for (CKeyInfo& key : mKeys)
    {
        if (key.Sample() != recording) continue;
        key.StopPlaying();
        key.SetSample(nullptr);
    }
    RefillSamples(0, kNumKeys);
}

void CTova::RefillSamples(int lo, int hi)
{
    for (int k = std::max(lo, 0); k < std::min(hi, kNumKeys); ++k)
        if (HasOwnSample(k)) CopySample(k, 0, 126, true, true);
}

void CTova::GiveSample(int key, CSample* sample)
{
    CKeyInfo& info = mKeys[key];
    info.SetSample(sample);
    info.SetPitchShift(1.0);
    info.SetSpeed(1.0);
    info.SetAutomatic(false);
    CopySample(key, 1, 126, true, false);
}

void CTova::CopySample(int key, int lo, int hi, bool automatic, bool respect)
{
    const double shift = mKeys[key].PitchShift();
    int i = key - 1;
    bool found = false;
    while (i > lo && !found)
    {
        if (HasOwnSample(i))
            found = true;
        else
            --i;
    }
    const int down = found ? key - (key - i) / 2 : i;
    int j = key + 1;
    found = false;
    while (j < hi && !found)
    {
        if (HasOwnSample(j))
            found = true;
        else
            ++j;
    }
    const int up = found ? key + (j - key) / 2 : j;
    if (up <= down) return;
    for (int k = std::max(down, 0); k < std::min(up, kNumKeys); ++k)
    {
        if (k == key || (respect && HasOwnSample(k))) continue;
        mKeys[k] = mKeys[key];
        mKeys[k].SetAutomatic(automatic);
        mKeys[k].SetPitchShift(shift * std::exp2((k - key) / 12.0));
    }
}

void CTova::CarryOutPendingRecording()
{
    if (mPendingStop != -1)
    {
        const int mode = RecordInSync();
        if (!SyncWaits(mode)) StopRecording(mode);
    }
    if (mPendingStart != -1 && mPendingStop == -1)
    {
        const int mode = RecordInSync();
        if (!SyncWaits(mode)) StartRecording(mPendingStart);
    }
}

void CTova::RecordSubBlock(const float* inL, const float* inR, int n)
{
    if (mRecordSample == nullptr) return;
    const bool input = inL != nullptr && inR != nullptr;
    int start = 0;
    if (mRecordSample->Size() == 0)
    {
        // "Threshold" is used as a power of two, although its unit says decibels.
        const float threshold = std::exp2(Param(kTovaParam_Threshold));
        const int mode = RecordInSync();
        if (mode == 1 || mode == 2)
        {
            const double f = mode == 1 ? std::fmod(mBeat, 1.0) : mBeat / mBeatsPerBar;
            if (f < kHalf)
                mSampleFactory->CopyLiveBuffer(mRecordSample); // the head since the boundary
            else
                start = n;
        }
        else if (mode == 0 && input)
        {
            start = n;
            for (int i = 0; i < n; ++i)
            {
                if (std::fabs(inL[i]) > threshold || std::fabs(inR[i]) > threshold)
                {
                    start = i;
                    break;
                }
            }
        }
    }
    if (start >= n || !input) return;
    if (mRecordSample->Record(inL + start, inR + start, n - start)) return;
    // The pool is full: keep what fitted and switch recording off.
    mPlayAfterRecord = 0;
    StopRecording(0);
    SetParameterNotify(kTovaParam_Autolooper, 0);
    SetParameterNotify(kTovaParam_Recording, 0);
}
