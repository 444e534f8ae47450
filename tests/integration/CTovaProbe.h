#pragma once
// Test access to CTova's render-owned state (CTova names this class its friend): only while no
// render call runs, or under CTova::Exclusive.

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
    float& ScratchPos() { return t.mScratchPos; }
    float& ScratchVel() { return t.mScratchVel; }
    double& Beat() { return t.mBeat; }
    SInt32& RecordKey() { return t.mRecordKey; }
    SInt32& PendingStart() { return t.mPendingStart; }
    SInt32& PendingStop() { return t.mPendingStop; }
    SInt32& EraseCount() { return t.mEraseCount; }
    SInt32& PriorKey() { return t.mPriorKey; }
    SInt32& FreezeState() { return t.mFreezeState; }
    CKeyInfo& Key(int key) { return t.mKeys[key]; }
    CSample*& RecordSample() { return t.mRecordSample; }
    CSample*& ImportSample() { return t.mImportSample; }
    std::atomic<SInt16>& LearnParam() { return t.mLearnParam; }
    SInt32& Haptic() { return t.mHaptic; }
    static std::atomic<SInt16>& LearnedNote(int slot) { return CTova::mMIDINote[slot]; }
    static std::atomic<SInt16>& LearnedCC(int slot) { return CTova::mMIDICC[slot]; }
    static std::atomic<SInt32>& Incremental(int slot) { return CTova::mMIDICCIncremental[slot]; }
    CVoicer& Voicer(UInt32 bus) { return t.mVoicers[bus]; }
    revmodel& Reverb() { return t.mReverb; }
    CSampleFactory& Factory() { return *t.mSampleFactory; }

    void CopySample(int key, int lo, int hi, bool automatic, bool respect)
    {
        t.CopySample(key, lo, hi, automatic, respect);
    }

    // [render] Gives key an own sample of frames of value, as a recording would.
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

private:
    CTova& t;
};
