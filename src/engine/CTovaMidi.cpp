// CTova: MIDI notes. The handlers act on learned notes at once and queue every other note for
// the render thread, where the note scheduler delivers it inside the sub-block that holds its
// offset. There a key press records, erases, copies or plays, depending on the mode switches
// and on whether an imported sample waits for a key.

#include "engine/CTova.h"

#include "engine/SaturatingTrunc.h"
#include "samples/CSample.h"

#include <cmath>

namespace
{
// A velocity of 100 plays at unit gain.
constexpr double kGainPerVelocity = 0.01;
constexpr double kSemitonesPerOctave = 12.0;
} // namespace

OSStatus CTova::HandleNoteOn(UInt8 channel, UInt8 note, UInt8 velocity, UInt32 offsetSampleFrame)
{
    if (note >= kNumKeys) return noErr;
    std::atomic<SInt16>& entry = mMIDINote[note];
    if (LearnInto(entry))
    {
        // The note was only a choice: it does not play.
        Post(ECommand::EraseCountReset);
        return noErr;
    }
    // A learned note is a momentary button: held at the maximum, released at the minimum.
    if (const int id = BoundParameter(entry); id >= 0)
    {
        SetParameterNotify(static_cast<AudioUnitParameterID>(id), s_asParInfo[id].maxValue);
        return noErr;
    }
    MusicDeviceNoteParams params;
    params.mPitch = note;
    params.mVelocity = velocity;
    NoteInstanceID instance = 0;
    QueueExtendedNoteOn(0, channel, &instance, offsetSampleFrame, params);
    return noErr;
}

OSStatus CTova::HandleNoteOff(UInt8 channel, UInt8 note, UInt8, UInt32 offsetSampleFrame)
{
    if (note >= kNumKeys) return noErr;
    if (const int id = BoundParameter(mMIDINote[note]); id >= 0)
    {
        SetParameterNotify(static_cast<AudioUnitParameterID>(id), s_asParInfo[id].minValue);
        return noErr;
    }
    QueueExtendedNoteOff(channel, note, offsetSampleFrame);
    return noErr;
}

OSStatus CTova::HandleAllNotesOff(UInt8)
{
    Post(ECommand::AllNotesOff);
    return noErr;
}

OSStatus CTova::HandleAllSoundOff(UInt8)
{
    Post(ECommand::AllNotesOff);
    return noErr;
}

OSStatus CTova::ExtendedNoteOn(MusicDeviceInstrumentID, MusicDeviceGroupID,
                               NoteInstanceID* outNoteInstanceID, UInt32,
                               const MusicDeviceNoteParams& inParams)
{
    const int key = SaturatingTrunc(inParams.mPitch + 0.1);
    if (outNoteInstanceID != nullptr) *outNoteInstanceID = static_cast<NoteInstanceID>(key);
    if (key < 0 || key >= kNumKeys) return noErr;

    if (mImportSample != nullptr)
    {
        AssignImport(key);
        return noErr;
    }
    if (IsRecording() && IsFreeForRecording(key))
    {
        // A recording in progress on another key ends first; the same key ends without
        // restarting (StopRecording).
        mPendingStart = key;
        mPendingStop = mRecordKey;
        mEraseCount = 0;
        return noErr;
    }
    if (Param(kTovaParam_Erasing) > kOn)
        EraseKey(key);
    else if (Param(kTovaParam_Copying) > kOn)
        CopyFromSource(key);
    else
        PlayKey(key, inParams.mVelocity);
    mEraseCount = 0;
    return noErr;
}

OSStatus CTova::ExtendedNoteOff(MusicDeviceGroupID, NoteInstanceID inNoteInstanceID, UInt32)
{
    if (inNoteInstanceID >= static_cast<NoteInstanceID>(kNumKeys)) return noErr;
    const int key = static_cast<int>(inNoteInstanceID);
    mEraseCount = 0;
    // Hold to record: releasing the recording key ends the recording at the next allowed
    // moment.
    if (key == mRecordKey)
        mPendingStop = key;
    else
        ReleaseKey(key);
    return noErr;
}

void CTova::AssignImport(int key)
{
    GiveSample(key, mImportSample);
    mImportSample->Release();
    mImportSample = nullptr;
}

void CTova::EraseKey(int key)
{
    if (mEraseCount < 2)
    {
        mKeys[key].SetSample(nullptr);
        RefillSamples(0, kNumKeys);
        return;
    }
    // "Erasing" pressed twice: the sample goes from every key that shares it. All of them
    // are emptied before the refill, which would otherwise spread the sample again from its
    // own key onto copies already passed.
    CSample* const shared = mKeys[key].Sample();
    if (shared == nullptr) return;
    for (CKeyInfo& info : mKeys)
        if (info.Sample() == shared) info.SetSample(nullptr);
    RefillSamples(0, kNumKeys);
}

void CTova::CopyFromSource(int key)
{
    CKeyInfo& info = mKeys[key];
    if (mCopySource == -1)
    {
        if (info.Size() != 0 || info.Automatic()) mCopySource = key;
        return;
    }
    if (info.Size() != 0) return;
    const CKeyInfo& source = mKeys[mCopySource];
    if (source.Sample() == nullptr) return; // erased since it was chosen
    // Only the pressed key changes: it becomes a key with a sample of its own, tuned by its
    // distance from the source. The keys in between keep what they hold, so a copy never
    // takes a neighbour's sample away; the next refill spreads the new key like any other.
    info = source;
    info.SetAutomatic(false);
    info.SetPitchShift(source.PitchShift() * std::exp2((key - mCopySource) / kSemitonesPerOctave));
}

void CTova::PlayKey(int key, float velocity)
{
    const auto gain = static_cast<float>(velocity * kGainPerVelocity);
    HoldNote(key);
    if (Param(kTovaParam_Legato) > kOn)
    {
        if (mLegatoKey != -1 && mKeys[mLegatoKey].IsPlaying())
        {
            // The sounding key glides to the new note instead of a new voice starting.
            BendLegatoKey(key);
            mKeys[mLegatoKey].SetGain(gain);
            return;
        }
        StopNoteInSync(mLegatoKey, -1);
        mLegatoKey = key;
    }
    StartNoteInSync(key, gain, -1);
}

void CTova::ReleaseKey(int key)
{
    NoteOff(key);
    int stop = key;
    if (Param(kTovaParam_Legato) > kOn)
    {
        if (mHeldCount > 0)
        {
            // Back to the newest note still held; the legato key keeps sounding.
            if (mLegatoKey != -1) BendLegatoKey(mHeldNotes[mHeldCount - 1]);
            return;
        }
        stop = mLegatoKey;
        mLegatoKey = -1;
    }
    StopNoteInSync(stop, -1);
}

void CTova::BendLegatoKey(int key)
{
    mKeys[mLegatoKey].SetLegatoShift(std::exp2((key - mLegatoKey) / kSemitonesPerOctave));
}
