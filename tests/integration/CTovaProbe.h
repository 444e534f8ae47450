#pragma once
// Test access to CTova's render-owned state (CTova names this class its friend). Read it only
// while no render call runs: between render calls of a single-threaded test, or under
// CTova::Exclusive.

#include "engine/CTova.h"
#include "samples/CSampleFactory.h"
#include "samples/CVoicer.h"

#include <utility>
#include <vector>

class CTovaProbe
{
public:
    explicit CTovaProbe(CTova& tova) : t(tova) {}

    double& TapeSpeed() { return t.mTapeSpeed; }
    double& TapeSpeedSaved() { return t.mTapeSpeedSaved; }
    float& ScratchPos() { return t.mScratchPos; }
    float& ScratchVel() { return t.mScratchVel; }
    float& LastBo() { return t.mLastBo; }
    float& BoMotion() { return t.mBoMotion; }
    SInt32& BoStill() { return t.mBoStill; }
    double& Beat() { return t.mBeat; }
    double& LastBeat() { return t.mLastBeat; }
    double& Tempo() { return t.mTempo; }
    float& BeatsPerBar() { return t.mBeatsPerBar; }
    bool& IsPlaying() { return t.mIsPlaying; }
    double& SampleRate() { return t.mSampleRate; }
    SInt32& RecordKey() { return t.mRecordKey; }
    SInt32& PendingStart() { return t.mPendingStart; }
    SInt32& PendingStop() { return t.mPendingStop; }
    SInt32& EraseCount() { return t.mEraseCount; }
    SInt32& CopySource() { return t.mCopySource; }
    SInt32& LegatoKey() { return t.mLegatoKey; }
    SInt32& PriorKey() { return t.mPriorKey; }
    SInt32& PlayAfterRecord() { return t.mPlayAfterRecord; }
    SInt32& FreezeState() { return t.mFreezeState; }
    SInt32& HeldCount() { return t.mHeldCount; }
    CKeyInfo& Key(int key) { return t.mKeys[key]; }
    SInt32 HeldNote(int index) { return t.mHeldNotes[index]; }
    CSample*& RecordSample() { return t.mRecordSample; }
    CSample*& ImportSample() { return t.mImportSample; }
    std::atomic<SInt16>& LearnParam() { return t.mLearnParam; }
    SInt32& Haptic() { return t.mHaptic; }
    MIDIEndpointRef Source() { return t.mMIDISource; }
    static std::atomic<SInt16>& LearnedNote(int slot) { return CTova::mMIDINote[slot]; }
    static std::atomic<SInt16>& LearnedCC(int slot) { return CTova::mMIDICC[slot]; }
    static std::atomic<SInt32>& Incremental(int slot) { return CTova::mMIDICCIncremental[slot]; }
    CVoicer& Voicer(UInt32 bus) { return t.mVoicers[bus]; }
    CShifter& Shifter(UInt32 bus) { return t.mShifters[bus]; }
    CADSR& PlayThru() { return t.mPlayThru; }
    revmodel& Reverb() { return t.mReverb; }
    CSampleFactory& Factory() { return *t.mSampleFactory; }
    CExclusiveToken& Token() { return t.mToken; }

    // [render] One step of the speed model as a further sub-block of a repeated call would
    // take it: {effective speed, Bo speed}.
    std::pair<float, float> NextSpeeds(UInt32 frames = CTova::kSubBlockFrames)
    {
        const CTova::SpeedPlan plan = t.PrepareSpeed(false, frames);
        const CTova::Speeds speeds = t.StepSpeed(plan);
        return {speeds.speed, speeds.bo};
    }

    void CopySample(int key, int lo, int hi, bool automatic, bool respect)
    {
        t.CopySample(key, lo, hi, automatic, respect);
    }

    // [render] Records a sample of frames of value onto key, as a recording would.
    CSample* GiveSample(int key, int frames, float value = 0.5f, double tempo = -1.0)
    {
        CSample* sample = t.mSampleFactory->NewSample();
        std::vector<float> data(static_cast<std::size_t>(frames), value);
        sample->Record(data.data(), data.data(), frames);
        sample->SetTempo(tempo);
        sample->SetSampleRate(t.mSampleRate);
        t.mKeys[key].SetSample(sample);
        t.mKeys[key].SetAutomatic(false);
        sample->Release(); // the key holds the only reference
        return sample;
    }

    // [render] An imported sample of frames of value, waiting for the next note on.
    CSample* GiveImport(int frames, float value = 0.5f)
    {
        CSample* sample = t.mSampleFactory->NewSample();
        std::vector<float> data(static_cast<std::size_t>(frames), value);
        sample->Record(data.data(), data.data(), frames);
        sample->SetTempo(-1.0);
        sample->SetSampleRate(t.mSampleRate);
        t.mImportSample = sample; // the engine holds the reference
        return sample;
    }

private:
    CTova& t;
};
