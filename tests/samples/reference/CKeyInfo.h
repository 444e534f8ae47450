#pragma once
// The key as it stood before the voice path was optimised, playing its sample through the
// reference playback: the voicer reference is built on it.

#include <atomic>
#include <cstdint>

class CSample;

namespace reference
{

// One MIDI key: its sample (one reference held), how to play it, where playback stands, and the
// flags by which a start or stop waits for its beat or bar.
class CKeyInfo
{
public:
    // [ui] Keys are embedded in the engine and built with it.
    CKeyInfo() = default;
    // [ui] Releases the sample.
    virtual ~CKeyInfo();
    // Copying a key must go through operator=, which keeps the reference counts right.
    CKeyInfo(const CKeyInfo&) = delete;
    // [render][ui] Takes the other key's sample (one more reference) and settings; the key
    // is left neither playing nor pending.
    CKeyInfo& operator=(const CKeyInfo& other);

    // [any] Queries.
    CSample* Sample() const { return mSample; }
    int Size() const;
    double Tempo() const;
    bool IsPlaying() const { return mPlaying != 0; }
    double Speed() const { return mSpeed; }
    double PitchShift() const { return mPitchShift; }
    double LegatoShift() const { return mLegatoShift; }
    bool Looping() const { return mLooping != 0; }
    bool Automatic() const { return mAutomatic != 0; }
    float Gain() const { return mGain; }
    int32_t Skip() const { return mSkip; }
    double Position() const { return mPosition; }
    bool ShouldStart() const { return mShouldStart != 0; }
    bool ShouldStop() const { return mShouldStop != 0; }
    bool ErasePending() const { return mErasePending.load(std::memory_order_acquire); }

    // [render][ui] Setters that only store.
    void SetSpeed(double speed) { mSpeed = speed; }
    void SetPitchShift(double shift) { mPitchShift = shift; }
    void SetLegatoShift(double shift) { mLegatoShift = shift; }
    void SetLooping(bool looping) { mLooping = looping ? 1 : 0; }
    void SetAutomatic(bool automatic) { mAutomatic = automatic ? 1 : 0; }
    // [render] The voice stores the note's velocity gain here.
    void SetGain(float gain) { mGain = gain; }
    // [any] Asks the render thread to drop the sample; it completes the request.
    void SetErasePending(bool pending) { mErasePending.store(pending, std::memory_order_release); }

    // [render][ui] Exchanges the sample, moving one reference from the old to the new one.
    void SetSample(CSample* sample);
    // [render] Starts from the first frame; false without a sample.
    bool StartPlaying();
    // [render] Stops at once; the sample stays.
    bool StopPlaying();
    // [render][midi]
    void SetShouldStart(bool start);
    // [render][midi] Ignored for a sample that must play to its end; a sample made without a
    // host tempo stops at once.
    void SetShouldStop(bool stop);
    // [render][midi] Frames the position must advance before the next rendered frame.
    void SkipSamples(int frames);
    // [render] Renders the sample over the buffers in 16-frame chunks at `rate` sample frames
    // per output frame; true while the key is playing or has a start pending.
    bool Play(float* left, float* right, int frames, double rate, double sampleRate);
    // [ui] Back to defaults before a state restore replaces the pool; the sample is dropped
    // without releasing it, because the restore discards every reference count at once.
    void Reset();

private:
    // [render] Stops playback and forgets any pending stop and skip.
    void Halt();

    CSample* mSample = nullptr;
    double mPitchShift = 1.0;
    double mLegatoShift = 1.0;
    float mGain = 1.0f;
    double mSpeed = 1.0;
    int32_t mLooping = 0;
    int32_t mAutomatic = 0;
    int32_t mSkip = 0;
    double mPosition = -1.0;
    int32_t mPlaying = 0;
    int32_t mShouldStart = 0;
    int32_t mShouldStop = 0;
    // Set by the erase-all request from the editor's thread, completed on the render thread.
    std::atomic<bool> mErasePending{false};
};
} // namespace reference
