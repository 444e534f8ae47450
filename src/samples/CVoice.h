#pragma once

#include "dsp/CShifter.h"
#include "samples/CADSR.h"

#include <cstdint>

class CKeyInfo;

// Plays one key: the key's sample frames, pitch shifted by the key's ratio (with tempo following
// taken back out), shaped by the envelope and scaled by the key's gain.
class CVoice
{
public:
    // [ui] Voices are made with their voicer.
    CVoice() = default;
    virtual ~CVoice() = default;
    CVoice(const CVoice&) = delete;
    CVoice& operator=(const CVoice&) = delete;

    // [render]
    bool Used() const { return mNote != nullptr; }
    // [render]
    CKeyInfo* Note() const { return mNote; }
    // [render] Binds the voice to a key (null frees it); a new key starts silent.
    void SetNote(CKeyInfo* key, float gain);
    // [render] Requests a start at the sync point of `syncMode`.
    void StartPlaying(int syncMode);
    // [render] Requests a stop at the sync point of `syncMode`.
    void StopPlaying(int syncMode);
    // [render] Carries out a pending start or stop when `beat` is this voice's sync point:
    // any call for mode 0, a beat (>= 0) for mode 1, the bar (beat 0) for mode 2.
    void Sync(int beat);
    // [render] Renders the voice over the buffers at `speed` for a host tempo of `tempo`;
    // false once the voice has finished.
    bool Play(float* left, float* right, int frames, bool looping, double speed, double tempo,
              double sampleRate);
    // [render]
    bool IsSilent() const;

    // [any] Read access for the voicer and tests.
    const CShifter& Shifter() const { return mShifter; }
    const CADSR& Envelope() const { return mEnvelope; }
    int32_t SyncMode() const { return mSyncMode; }

private:
    // [render] Whether the voice goes on: sounding, or silent with a start pending, and in
    // neither case about to lose its sample.
    bool IsActive() const;
    // [render] Starts the release of a voice whose key has stopped playing by itself.
    void ReleaseIfKeyEnded();

    CKeyInfo* mNote = nullptr;
    CShifter mShifter;
    CADSR mEnvelope;
    int32_t mSyncMode = 0;
};
