#pragma once
// The arithmetic core of CShifter: shifts a run of up to kChunkFrames frames whose input is
// already in the delay line and whose head positions have been laid out.  Once the head
// recurrence is done nothing depends on the previous frame, so every index, weight and blend is
// computed for several frames side by side: two at a time on any x86-64 processor, four with
// AVX2, which is chosen at run time.  The operations, their order and their precision are
// those of one frame at a time, so every path gives the same bits.

class CShifterKernel
{
public:
    static constexpr int kChunkFrames = 16;
    static constexpr int kLanes = 4; // head positions come in whole groups of this many

    // What a call of the shifter works with, the float quantities held as the doubles they
    // are used as.
    struct Geometry
    {
        const float* line;  // the stereo delay line, frames of [left right], with a copy of
                            // frame 0 at index size
        const float* table; // the crossfade table
        int size;
        double length;  // size
        double half;    // size * 0.5 rounded to float
        double invHalf; // 1 / half rounded to float
    };

    // The head positions of one run and where its first frame was written.  The positions are
    // padded to whole groups of kLanes with copies of the last one.
    struct HeadRun
    {
        int frames;
        int write;
        alignas(32) double read[kChunkFrames];
        alignas(32) double read2[kChunkFrames];
    };

    // Writes the run's shifted frames.  No head may read a frame that the run writes after the
    // head's own frame. [render]
    static void Shift(const Geometry& geometry, const HeadRun& run, float* outLeft,
                      float* outRight);

private:
    // The same, built for plain x86-64 and for AVX2 (CShifterKernelAvx2.cpp). [render]
    static void ShiftPortable(const Geometry& geometry, const HeadRun& run, float* outLeft,
                              float* outRight);
    static void ShiftAvx2(const Geometry& geometry, const HeadRun& run, float* outLeft,
                          float* outRight);
};
