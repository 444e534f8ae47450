#pragma once

#include "samples/CSample.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

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

    // [any] Read access for the engine and the state code.
    int32_t Capacity() const { return mCapacity; }
    int32_t NumSamples() const { return mNumSamples; }
    int32_t Fill() const { return mFill.load(std::memory_order_relaxed); }
    int32_t BarStart() const { return mBarStart; }
    int32_t LivePos() const { return mLivePos; }
    const float* Left() const { return mLeft.get(); }
    const float* Right() const { return mRight.get(); }
    const float* LiveLeft() const { return mLiveLeft.data(); }
    const float* LiveRight() const { return mLiveRight.data(); }

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
    int32_t mBarStart = 0;
    int32_t mLivePos = 0;
    std::array<float, kLiveFrames> mLiveLeft;
    std::array<float, kLiveFrames> mLiveRight;
};
