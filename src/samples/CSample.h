#pragma once

#include <cstdint>

class CSampleFactory;

// One stored sample: a contiguous run of pool frames with the tempo, rate and flags it was
// made with. Keys share it by reference counting; the last Release gives the frames back to
// the pool.
class CSample
{
public:
    // [ui] Slots are made once, by the factory's constructor.
    explicit CSample(CSampleFactory* owner);
    virtual ~CSample() = default;

    // [render][ui] Adds a holder.
    void Retain();
    // [render][ui] Drops a holder; the last one hands the frames back to the pool.
    void Release();
    // [any]
    bool IsUsed() const { return mRefCount > 0; }

    // [render][ui] Appends frames; false when the pool could not take all of them.
    bool Record(const float* left, const float* right, int frames);

    // [render] Renders frames at `rate` sample frames per output frame, corrected for a sample
    // made at another rate than `sampleRate`; returns the next position or -1.0 at the end.
    double Play(double position, float* left, float* right, int frames, double rate, bool looping,
                double sampleRate);
    // [render] Advances a position by `frames` output frames without rendering them.
    double SkipSamples(double position, int frames, double rate, bool looping, double sampleRate);

    // [any] Read access for the engine and the state code.
    CSampleFactory* Factory() const { return mFactory; }
    int32_t Start() const { return mStart; }
    int32_t Last() const { return mLast; }
    int32_t Size() const { return mSize; }
    int32_t RefCount() const { return mRefCount; }
    int32_t Sync() const { return mSync; }
    double Tempo() const { return mTempo; }
    double SampleRate() const { return mSampleRate; }
    bool NeverLoop() const { return mNeverLoop != 0; }
    bool PlayAll() const { return mPlayAll != 0; }
    int32_t Index() const { return mIndex; }

    // [render][ui] Metadata written by whoever fills the sample (recording, import, restore).
    void SetSync(int32_t sync) { mSync = sync; }
    void SetTempo(double tempo) { mTempo = tempo; }
    void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
    void SetNeverLoop(bool neverLoop) { mNeverLoop = neverLoop ? 1 : 0; }
    void SetPlayAll(bool playAll) { mPlayAll = playAll ? 1 : 0; }

private:
    // The pool owns the frame fields: it places, moves and frees the runs of frames.
    friend class CSampleFactory;

    // [any] `rate` scaled by the recorded rate over the output rate, when both are known.
    double CorrectedRate(double rate, double sampleRate) const;

    CSampleFactory* mFactory;
    int32_t mStart = 0;
    int32_t mLast = -1;
    int32_t mSize = 0;
    int32_t mRefCount = 0;
    int32_t mSync = 0;
    double mTempo = -1.0;
    double mSampleRate = 0.0;
    int32_t mNeverLoop = 0;
    int32_t mPlayAll = 0;
    int32_t mIndex = 0;
    // Set while a frozen pool keeps the sample after its last holder let go (see
    // CSampleFactory::Freeze).
    int32_t mKeptWhileFrozen = 0;
};
