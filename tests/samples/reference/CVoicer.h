#pragma once
// Reference copy, frozen as it stood before the optimisation of the voice path and the
// reverberator: the optimised class is checked against it bit for bit.  Do not optimise.

#include "samples/reference/CVoice.h"

#include <array>
#include <cstdint>
#include <memory>

namespace reference
{

class CKeyInfo;

// A fixed set of voices: hands a voice to each started key, ranks the voices by age so that the
// oldest is taken when all are busy, and mixes them into the output in 16-frame chunks.
class CVoicer
{
public:
    // Frames rendered per voice call: the granularity of sync points, envelopes and shifts.
    static constexpr int kChunkFrames = 16;

    // [ui] Allocates every voice; nothing allocates afterwards.
    explicit CVoicer(int numVoices);
    virtual ~CVoicer() = default;
    CVoicer(const CVoicer&) = delete;
    CVoicer& operator=(const CVoicer&) = delete;

    // [render] Gives the key a voice (its own, or a free one, or the oldest) and requests its
    // start; false for a key without a sample.
    bool StartNote(CKeyInfo* key, int syncMode, float gain);
    // [render] Requests a stop on every voice playing the key.
    bool StopNote(CKeyInfo* key, int syncMode);
    // [render] Frees every voice at once, without a release.
    void AllNotesOff();
    // [render] Passes the beat tick (-1 when no new beat) to every voice in use.
    void Sync(int beat);
    // [render] Adds every ranked voice into the buffers at `speed`, freeing finished ones.
    bool Play(float* left, float* right, int frames, bool looping, double speed);
    // [render] True when every voice is silent.
    bool IsSilent() const;

    // [render] The first voice playing the key, else the first free voice, else -1.
    int GetSlot(const CKeyInfo* key) const;
    // [render] Makes the voice of that rank the newest.
    void MoveToTop(int rank);
    // [render] Frees the voice of that rank and closes the gap in the ranking.
    void RemovePriority(int rank);

    // [render] Written by the engine before each Play.
    void SetTempo(double tempo) { mTempo = tempo; }
    void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }

    // [any] Read access for the engine and tests.
    int32_t NumVoices() const { return mNumVoices; }
    // Number of ranked voices, that is voices in use.
    int32_t Top() const { return mTop; }
    double Tempo() const { return mTempo; }
    double SampleRate() const { return mSampleRate; }
    const CVoice& Voice(int index) const { return mVoices[index]; }
    // 0 for a free voice, 1 for the oldest ... Top() for the newest.
    int32_t Priority(int index) const { return mPriority[index]; }

private:
    int32_t mNumVoices;
    int32_t mTop = 0;
    std::unique_ptr<CVoice[]> mVoices;
    std::unique_ptr<int32_t[]> mPriority;
    double mTempo = 120.0;
    double mSampleRate = 44100.0;
    std::array<float, kChunkFrames> mScratchL{};
    std::array<float, kChunkFrames> mScratchR{};
};
} // namespace reference
