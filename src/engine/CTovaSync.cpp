// CTova: the musical clock (following the host's transport, beat, tempo and time signature,
// and advancing the beat between host updates), the bar start in the live ring, the sync-mode
// queries, and starting and stopping notes in step with the beat or bar.

#include "engine/CTova.h"

#include "engine/CHostCheck.h"
#include "engine/SaturatingTrunc.h"
#include "samples/CSample.h"
#include "samples/CSampleFactory.h"
#include "samples/CVoicer.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kDefaultTempo = 120.0;
constexpr float kDefaultBeatsPerBar = 4.0f;
// "Back In Time" counts blocks of this many frames.
constexpr float kBackInTimeFrames = 32.0f;
// A start in the first half of a beat or bar catches up; a stop waits unless within 0.2.
constexpr double kCatchUpLimit = 0.5;
constexpr double kLateStopLimit = 0.2;

// A host that reports a tempo that is not a positive number has none.
bool UsableTempo(double tempo)
{
    return std::isfinite(tempo) && tempo > 0;
}

// Frames to a boundary as the unsigned count the bar mark takes; finite non-negative only.
UInt32 FramesToBoundary(double frames)
{
    if (!(frames > 0)) return 0;
    if (frames >= 4294967295.0) return UINT32_MAX;
    return static_cast<UInt32>(frames);
}
} // namespace

void CTova::FollowTransport()
{
    if (!CHostCheck::TransportStateProcIsSafe()) return;
    Boolean playing = false;
    Boolean changed = false;
    if (CallHostTransportState(&playing, &changed, nullptr, nullptr, nullptr, nullptr) != noErr)
        return;
    mIsPlaying = playing != 0;
    if (!changed) return;
    mSampleFactory->ResetLiveBuffer();
    Float64 beat = 0;
    Float64 tempo = 0;
    if (CallHostBeatAndTempo(&beat, &tempo) != noErr || !std::isfinite(beat) || !UsableTempo(tempo))
        return;
    mBeat = beat;
    mTempo = tempo;
    mBeatsPerBar = HostBeatsPerBar();
    mLastBeat = mBeat;
    mLastBeatSaved = mBeat;
}

float CTova::HostBeatsPerBar() const
{
    Float32 numerator = 0;
    if (CallHostMusicalTimeLocation(nullptr, &numerator, nullptr, nullptr) != noErr ||
        !std::isfinite(numerator) || !(numerator > 0))
        return kDefaultBeatsPerBar;
    return numerator;
}

void CTova::FollowBeatAndTempo(bool newCycle, UInt32 frames)
{
    Float64 beat = 0;
    Float64 tempo = 0;
    if (CallHostBeatAndTempo(&beat, &tempo) != noErr || !std::isfinite(beat) || !UsableTempo(tempo))
    {
        mTempo = kDefaultTempo;
        return;
    }
    mTempo = tempo;
    mBeatsPerBar = HostBeatsPerBar();
    // Every boundary of the engine falls "Back In Time" × 32 frames after the host's.
    const float backFrames = Param(kTovaParam_BackInTime) * kBackInTimeFrames;
    mBeat = std::fmod(beat - backFrames * mTempo / (mSampleRate * 60), mBeatsPerBar);
    if (newCycle) PlaceBarStart(frames);
}

void CTova::PlaceBarStart(UInt32 frames)
{
    UInt32 toNext = 0;
    double unit = 0;
    if (RecordInSync() == 2)
    {
        toNext = FramesToBoundary((mBeatsPerBar - mBeat) * mSampleRate / mTempo * 60);
        unit = mSampleRate * mBeatsPerBar * 60 / mTempo;
    }
    else
    {
        toNext = FramesToBoundary((1 - std::fmod(mBeat, 1.0)) * mSampleRate / mTempo * 60);
        unit = mSampleRate * 60 / mTempo;
    }
    // The boundary may lie ahead inside this very buffer: mark it there.
    const int framesAgo =
        toNext < frames ? -static_cast<int>(toNext) : SaturatingTrunc(unit - toNext);
    mSampleFactory->SetBarStart(framesAgo);
}

void CTova::AdvanceBeat(UInt32 frames)
{
    if (!mIsPlaying) return;
    mBeat += frames / mSampleRate * mTempo * (1.0 / 60);
    mBeat = std::fmod(mBeat, mBeatsPerBar);
}

int CTova::BeatTick(double lastBeat) const
{
    const int beat = SaturatingTrunc(mBeat);
    return SaturatingTrunc(lastBeat) != beat ? beat : -1;
}

int CTova::RecordInSync() const
{
    return mIsPlaying ? SaturatingTrunc(Param(kTovaParam_RecordSync) + 0.5) : 0;
}

int CTova::PlayInSync() const
{
    return mIsPlaying ? SaturatingTrunc(Param(kTovaParam_PlaybackSync) + 0.5) : 0;
}

void CTova::NoteOff(int key)
{
    const auto end = mHeldNotes.begin() + mHeldCount;
    const auto found = std::find(mHeldNotes.begin(), end, key);
    if (found == end) return;
    std::copy(found + 1, end, found);
    --mHeldCount;
}

void CTova::HoldNote(int key)
{
    NoteOff(key);
    if (mHeldCount > kMaxHeldNotes - 2) NoteOff(mHeldNotes[0]);
    mHeldNotes[mHeldCount++] = key;
}

void CTova::StartNoteInSync(int key, float gain, int mode)
{
    if (key < 0 || key >= kNumKeys) return;
    CKeyInfo& info = mKeys[key];
    HoldNote(key);

    const float digi = Param(kTovaParam_DigiValue);
    if (digi > 0)
    {
        // Start d eighths of a bar in, or further if a larger skip is already pending; never
        // past one eighth of a bar before the end.
        const double bar = mBeatsPerBar * mSampleRate / mTempo * 60;
        double skip = std::max(bar * digi * 0.125 - info.Skip(), 0.0);
        if (skip > info.Size()) skip = info.Size() - mBeatsPerBar * mSampleRate / mTempo * 7.5;
        // A sample shorter than an eighth of a bar starts at its beginning.
        info.SkipSamples(std::max(SaturatingTrunc(skip), 0));
    }

    if (mode == -1) mode = PlayInSync();
    if (mode == 3 && info.Sample() != nullptr) mode = info.Sample()->Sync();

    CVoicer& voicer = mVoicers[0];
    if (mode == 1)
    {
        const double f = std::fmod(mBeat, 1.0);
        if (f >= kCatchUpLimit)
        {
            voicer.StartNote(&info, 1, gain);
            return;
        }
        // Late in the first half of the beat: play as if started on it.
        voicer.StartNote(&info, 0, gain);
        info.SkipSamples(SaturatingTrunc(mSampleRate * 60 / mTempo -
                                         SaturatingTrunc((1 - f) * mSampleRate / mTempo * 60)));
    }
    else if (mode == 2)
    {
        if (mBeat >= mBeatsPerBar * kCatchUpLimit)
        {
            voicer.StartNote(&info, 2, gain);
            return;
        }
        voicer.StartNote(&info, 0, gain);
        info.SkipSamples(
            SaturatingTrunc(mSampleRate * mBeatsPerBar * 60 / mTempo -
                            SaturatingTrunc((mBeatsPerBar - mBeat) * mSampleRate / mTempo * 60)));
    }
    else
        voicer.StartNote(&info, 0, gain);
}

void CTova::StopNoteInSync(int key, int mode)
{
    if (key < 0 || key >= kNumKeys) return;
    CKeyInfo& info = mKeys[key];
    NoteOff(key);
    if (mode == -1) mode = PlayInSync();
    if (mode == 3 && info.Sample() != nullptr) mode = info.Sample()->Sync();
    int when = 0;
    if (mode == 1)
        when = std::fmod(mBeat, 1.0) >= kLateStopLimit ? 1 : 0;
    else if (mode == 2)
        when = mBeat >= kLateStopLimit ? 2 : 0;
    mVoicers[0].StopNote(&info, when);
}
