#pragma once

#include "samples/CSample.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class CACFDictionary;

// The preallocated sample pool: every stored sample is one run of frames, packed in the order
// the samples were stored. Beside it runs a fixed circular buffer of the most recent input, from
// which a late synchronised recording takes its head.
class CSampleFactory
{
public:
    // Frames per channel of the live ring: 8 s at 48 kHz.
    static constexpr int32_t kLiveFrames = 384000;

    // [ui] Allocates the slots and the pool; nothing allocates afterwards.
    CSampleFactory(int capacity, int numSamples);
    virtual ~CSampleFactory() = default;
    CSampleFactory(const CSampleFactory&) = delete;
    CSampleFactory& operator=(const CSampleFactory&) = delete;

    // [render][ui] Claims the lowest free slot with one reference and no frames; null when
    // every slot is in use.
    CSample* NewSample();
    // [render][ui] Gives the sample's frames back by moving every later sample down, and frees
    // its slot. Called by CSample::Release.
    void FreeSample(CSample* sample);
    // [any] The slot with that index, or null outside 0 ... slot count - 1.
    CSample* GetSample(int index);

    // [render][ui] Appends frames to the most recently stored sample (or an empty one); returns
    // how many fitted.
    int SetSamples(CSample* sample, const float* left, const float* right, int frames);
    // [render] Shortens the most recently stored sample to `size` frames.
    void TruncateSample(CSample* sample, int size);
    // [render] Fades the first and last 50 frames of a sample of at least 100 frames.
    void SmoothSample(CSample* sample);

    // [render] Writes input frames into the live ring.
    void RecordLive(const float* left, const float* right, int frames);
    // [render] Marks the ring position `framesAgo` frames before the write position as the
    // start of the bar.
    void SetBarStart(int framesAgo);
    // [render] Gives an empty sample the ring contents from the bar start up to now.
    void CopyLiveBuffer(CSample* sample);
    // [render][ui] Silences the ring and rewinds its write position.
    void ResetLiveBuffer();

    // [render] Renders frames of the sample by linear interpolation at `rate` frames per output
    // frame; returns the next position, or -1.0 once the end was reached.
    double GetSamples(CSample* sample, double position, float* left, float* right, int frames,
                      double rate, bool looping);
    // [render] Advances a position as GetSamples would, without rendering.
    double SkipSamples(CSample* sample, double position, int frames, double rate, bool looping);

    // ---- Preset state (CSampleFactoryState.cpp) ----
    // A slot as a save records it.
    struct SlotState
    {
        bool used = false;
        int32_t start = 0;
        int32_t last = -1;
        int32_t size = 0;
        double tempo = -1.0;
        double sampleRate = 0.0;
        int32_t sync = 0;
        bool neverLoop = false;
        bool playAll = false;
    };
    // [render][ui under the token] Copies every slot's descriptor into slots (NumSamples()
    // entries) and returns the fill, with `growing` (a recording in progress, the last run)
    // counted out: its slot reads free and the fill ends where its frames begin.
    int32_t TakeSnapshot(SlotState* slots, const CSample* growing) const;
    // [ui] Fills d with "version", "length" = fill and, when fill > 0, "samples" (pool frames 0
    // ... fill - 1, left then right, as big-endian floats) and "data" (the slots' dictionaries).
    // Reads only frames below fill, which nobody moves or writes while the pool is frozen.
    void SaveState(CACFDictionary& d, int32_t fill, const SlotState* slots) const;
    // [any] Whether d describes a pool this one can hold: a "length" within the capacity, at
    // least 8 x length bytes of "samples", a "data" array, numbers where numbers belong, and
    // slots that lie inside the length without overlapping. usedSlots gets, per slot, whether
    // d puts a sample there.
    bool CanRestore(const CACFDictionary& d, std::vector<bool>& usedSlots) const;
    // [ui under the token] Replaces the frames and slots with those of d, which CanRestore
    // accepted; every slot ends free, for keys to take.
    void RestoreState(const CACFDictionary& d);

    // ---- Sharing the pool with other threads (CSampleFactoryHandOff.cpp) ----
    // [render] From now until Thaw no frame below the fill moves or changes: a sample whose
    // last holder lets go keeps its frames (and its slot) until then, so that another thread
    // can copy the frames of a snapshot while the render thread goes on.
    void Freeze();
    // [render] Ends the freeze and frees what it kept.
    void Thaw();
    bool IsFrozen() const { return mFrozen; } // [render]
    // [render] For the release of a sample's last holder: true when the freeze keeps it.
    bool KeepWhileFrozen(CSample* sample);
    // [render][ui under the token] Places `frames` frames for an empty sample, at the end of
    // the pool or, with `growing` (the last run, a recording), right before it, moving it up.
    // False when they do not fit. The frames hold nothing defined until they are written.
    bool Reserve(CSample* sample, int32_t frames, CSample* growing);
    // [render][ui under the token] Writes frames into a reserved sample from `offset` on.
    void WriteFrames(CSample* sample, int32_t offset, const float* left, const float* right,
                     int32_t frames);

    // [any] Read access for the engine and the state code.
    int32_t Capacity() const { return mCapacity; }
    int32_t NumSamples() const { return mNumSamples; }
    int32_t Fill() const { return mFill.load(std::memory_order_relaxed); }
    int32_t BarStart() const { return mBarStart; }
    int32_t LivePos() const { return mLivePos; }
    const float* Left() const { return mLeft.get(); }
    const float* Right() const { return mRight.get(); }
    const float* LiveLeft() const { return mLiveLeft.data(); }

private:
    // [any] True for a sample of this pool whose frames lie inside the pool.
    bool IsPlayable(const CSample* sample) const;
    // [any] True when the sample's run ends at `fill`, that is, it is the last in the pool.
    static bool EndsAt(const CSample& sample, int32_t fill);
    // [any] True for a slot of this pool that is in use.
    bool Owns(const CSample* sample) const;
    // [any] Where a render or skip starts: a negative position means the first frame, a
    // position outside the sample is wrapped back in when looping and ends playback otherwise.
    static double EntryPosition(const CSample& sample, double position, bool looping);
    // [any] A looping position brought into the sample by whole lengths, in bounded time.
    static double WrapInto(const CSample& sample, double position);

    std::unique_ptr<float[]> mLeft;
    std::unique_ptr<float[]> mRight;
    std::vector<CSample> mSamples;
    int32_t mCapacity;
    int32_t mNumSamples;
    // Polled by the editor for the memory display while the render thread records.
    std::atomic<int32_t> mFill{0};
    bool mFrozen = false; // see Freeze
    int32_t mBarStart = 0;
    int32_t mLivePos = 0;
    std::array<float, kLiveFrames> mLiveLeft;
    std::array<float, kLiveFrames> mLiveRight;
};
