#pragma once
// The body of the shifter kernel, built once per instruction set: CShifterKernel.cpp includes
// it for plain x86-64 (SSE2), CShifterKernelAvx2.cpp with -mavx2.  Everything here has internal
// linkage and uses intrinsics only, so neither build calls code compiled for the other.

#include "dsp/CShifterKernel.h"

#include <immintrin.h>

namespace
{
namespace shifter_lanes
{
constexpr int kFrames = CShifterKernel::kChunkFrames;
constexpr double kTable = 17000.0; // entries of the crossfade table
constexpr double kLast = kTable - 1.0;

using Geometry = CShifterKernel::Geometry;
using HeadRun = CShifterKernel::HeadRun;

#ifdef __AVX2__
// Four frames per register of doubles.
struct Lanes
{
    static constexpr int kWidth = 4;
    using D = __m256d;
    using I = __m128i; // kWidth int32

    // Element by element: the values were just stored one at a time, and a wide load of
    // several narrow stores would wait for them to reach the cache.
    static D Load(const double* p)
    {
        return _mm256_set_m128d(_mm_loadh_pd(_mm_load_sd(p + 2), p + 3),
                                _mm_loadh_pd(_mm_load_sd(p), p + 1));
    }
    static void Store(double* p, D x) { _mm256_storeu_pd(p, x); }
    static D Set(double x) { return _mm256_set1_pd(x); }
    static D Iota() { return _mm256_setr_pd(0.0, 1.0, 2.0, 3.0); }
    static D Add(D a, D b) { return _mm256_add_pd(a, b); }
    static D Sub(D a, D b) { return _mm256_sub_pd(a, b); }
    static D Mul(D a, D b) { return _mm256_mul_pd(a, b); }
    static D Min(D a, D b) { return _mm256_min_pd(a, b); }
    static D And(D a, D b) { return _mm256_and_pd(a, b); }
    static D Abs(D x)
    {
        return _mm256_and_pd(x, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffLL)));
    }
    static D AtLeast(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
    static D Equal(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
    static bool AllSet(D mask) { return _mm256_movemask_pd(mask) == 0xf; }
    static D Below(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    static I Truncate(D x) { return _mm256_cvttpd_epi32(x); }
    // The integer part of a non-negative x, as a double.
    static D Whole(D x) { return _mm256_round_pd(x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    // Twice the (non-negative) ints: line offsets.
    static void StoreOffsets(unsigned* p, I x)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_add_epi32(x, x));
    }
    // [a0 b0 a1 b1 ...]
    static void StorePairs(int* p, I a, I b)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_unpacklo_epi32(a, b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4), _mm_unpackhi_epi32(a, b));
    }
};
#else
// Two frames per register of doubles; the ints sit in the low half of theirs.
struct Lanes
{
    static constexpr int kWidth = 2;
    using D = __m128d;
    using I = __m128i;

    static D Load(const double* p) { return _mm_loadh_pd(_mm_load_sd(p), p + 1); }
    static void Store(double* p, D x) { _mm_storeu_pd(p, x); }
    static D Set(double x) { return _mm_set1_pd(x); }
    static D Iota() { return _mm_setr_pd(0.0, 1.0); }
    static D Add(D a, D b) { return _mm_add_pd(a, b); }
    static D Sub(D a, D b) { return _mm_sub_pd(a, b); }
    static D Mul(D a, D b) { return _mm_mul_pd(a, b); }
    static D Min(D a, D b) { return _mm_min_pd(a, b); }
    static D And(D a, D b) { return _mm_and_pd(a, b); }
    static D Abs(D x)
    {
        return _mm_and_pd(x, _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffffLL)));
    }
    static D AtLeast(D a, D b) { return _mm_cmpge_pd(a, b); }
    static D Equal(D a, D b) { return _mm_cmpeq_pd(a, b); }
    static bool AllSet(D mask) { return _mm_movemask_pd(mask) == 0x3; }
    static D Below(D a, D b) { return _mm_cmplt_pd(a, b); }
    static I Truncate(D x) { return _mm_cvttpd_epi32(x); }
    static D Whole(D x) { return _mm_cvtepi32_pd(_mm_cvttpd_epi32(x)); }
    static void StoreOffsets(unsigned* p, I x)
    {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_add_epi32(x, x));
    }
    static void StorePairs(int* p, I a, I b)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_unpacklo_epi32(a, b));
    }
};
#endif

using D = Lanes::D;
using I = Lanes::I;

// Where the frames of a run read, derived from the head positions.
struct Taps
{
    // Line offsets of the heads' frames, unsigned so that they widen to addresses for free.
    alignas(32) unsigned head1[kFrames];
    alignas(32) unsigned head2[kFrames];
    alignas(32) int weights[2 * kFrames]; // table entries, per frame at the heads and one on
    alignas(32) double frac[kFrames];     // fraction of the head position one on
};

// x - length where x >= length.  Subtracting 0 elsewhere leaves x as it is.
inline D WrapDown(D x, D length)
{
    return Lanes::Sub(x, Lanes::And(Lanes::AtLeast(x, length), length));
}

// The crossfade table entries for heads at `head` while the writer stands at `write`: from a
// head's distance behind the writer, 0 at half a buffer, the last entry when they meet.
inline I TableIndex(const Geometry& g, D write, D head)
{
    D d = Lanes::Sub(write, head);
    // d + length where d < 0.  Adding 0 elsewhere can only turn -0 into +0, which lies as far
    // from half.
    d = Lanes::Add(d, Lanes::And(Lanes::Below(d, Lanes::Set(0.0)), Lanes::Set(g.length)));
    const D x =
        Lanes::Mul(Lanes::Mul(Lanes::Abs(Lanes::Sub(d, Lanes::Set(g.half))), Lanes::Set(g.invHalf)),
                   Lanes::Set(kTable));
    // d = 0 exactly gives kTable, one past the table.  x is never negative, so clamping
    // before the truncation is the same as clamping the index after it; x is never NaN, so
    // min is x < kLast ? x : kLast.
    return Lanes::Truncate(Lanes::Min(x, Lanes::Set(kLast)));
}

// The first stage: every offset, table entry and fraction of the run, Lanes::kWidth frames at
// a time.  Returns whether each head's frame one on is the next frame of the line (the copy of
// frame 0 standing in at the wrap), so that one read fetches both.
inline bool FindTaps(const Geometry& g, const HeadRun& run, Taps& taps)
{
    const D length = Lanes::Set(g.length);
    const D one = Lanes::Set(1.0);
    const D zero = Lanes::Set(0.0);
    D adjacent = Lanes::AtLeast(zero, zero);
    // Each frame reads after writing its own input, so the writer stands one further on.
    // Whole numbers far below 2^53: exact in doubles.
    const D width = Lanes::Set(Lanes::kWidth);
    D writer = Lanes::Add(Lanes::Set(run.write + 1.0), Lanes::Iota());
    for (int i = 0; i < run.frames; i += Lanes::kWidth)
    {
        const D w = WrapDown(writer, length);
        writer = Lanes::Add(w, width);
        const D r = Lanes::Load(run.read + i);
        const D r2 = Lanes::Load(run.read2 + i);
        // The first head one frame further on; a head is below the length, so one
        // subtraction brings the sum back.
        const D sum1 = Lanes::Add(r, one);
        const D n1 = WrapDown(sum1, length);
        Lanes::StoreOffsets(taps.head1 + i, Lanes::Truncate(r));
        Lanes::StoreOffsets(taps.head2 + i, Lanes::Truncate(r2));
        Lanes::StorePairs(taps.weights + 2 * i, TableIndex(g, w, r), TableIndex(g, w, n1));
        Lanes::Store(taps.frac + i, Lanes::Sub(n1, Lanes::Whole(n1)));
        // A head h >= 0 whose h + 1 is exact (it is unless h lies just below a power of two
        // with bits that the sum cannot keep) has its frame one on at int(h) + 1, or at the
        // copy of frame 0 where it wraps.  The second head is never negative; the first can be
        // just below 0 after leaving the bypass.
        const D exact1 = Lanes::Equal(Lanes::Sub(sum1, one), r);
        const D exact2 = Lanes::Equal(Lanes::Sub(Lanes::Add(r2, one), one), r2);
        adjacent =
            Lanes::And(adjacent, Lanes::And(Lanes::And(exact1, exact2), Lanes::AtLeast(r, zero)));
    }
    return Lanes::AllSet(adjacent);
}

// One frame of the second stage from [left right] at each head and one on: the heads blended
// by their weights, then the blend at the heads and the one one on interpolated by the
// fraction.  Returns [left right - -].
inline __m128 BlendFrame(const Geometry& g, const Taps& taps, int i, __m128 head1, __m128 head2)
{
    const __m128 ga = _mm_load_ss(g.table + taps.weights[2 * i]);
    const __m128 gb = _mm_load_ss(g.table + taps.weights[2 * i + 1]);
    const __m128 ab = _mm_unpacklo_ps(ga, gb);
    const __m128 weight = _mm_unpacklo_ps(ab, ab); // [ga ga gb gb]
    // [aL aR bL bR]
    const __m128 blend = _mm_add_ps(_mm_mul_ps(head1, _mm_sub_ps(_mm_set1_ps(1.0f), weight)),
                                    _mm_mul_ps(head2, weight));
    const __m128 rise = _mm_sub_ps(_mm_movehl_ps(blend, blend), blend); // [bL-aL bR-aR]
    const __m128d frac = _mm_set1_pd(taps.frac[i]);
    return _mm_cvtpd_ps(_mm_add_pd(_mm_cvtps_pd(blend), _mm_mul_pd(frac, _mm_cvtps_pd(rise))));
}

inline __m128 Pair(const Geometry& g, unsigned offset)
{
    return _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(g.line + offset)));
}

// [left right] of the frame one on from a head, found as the first stage finds it.
inline __m128 NextPair(const Geometry& g, double head)
{
    double next = head + 1.0;
    if (next >= g.length) next -= g.length;
    return Pair(g, 2U * static_cast<unsigned>(next));
}

// The second stage one frame at a time.  `Adjacent` reads a head and its frame one on at once.
template <bool Adjacent>
inline void BlendFrames(const Geometry& g, const HeadRun& run, const Taps& taps, float* outLeft,
                        float* outRight)
{
    for (int i = 0; i < run.frames; ++i)
    {
        __m128 head1;
        __m128 head2;
        if constexpr (Adjacent)
        {
            head1 = _mm_loadu_ps(g.line + taps.head1[i]);
            head2 = _mm_loadu_ps(g.line + taps.head2[i]);
        }
        else
        {
            head1 = _mm_movelh_ps(Pair(g, taps.head1[i]), NextPair(g, run.read[i]));
            head2 = _mm_movelh_ps(Pair(g, taps.head2[i]), NextPair(g, run.read2[i]));
        }
        const __m128 out = BlendFrame(g, taps, i, head1, head2);
        _mm_store_ss(outLeft + i, out);
        _mm_store_ss(outRight + i, _mm_shuffle_ps(out, out, 1));
    }
}

#ifdef __AVX2__
// The second stage for adjacent heads, four frames at a time, each register holding two frames
// of [left right] at a head and one on.
inline void BlendAdjacent(const Geometry& g, const HeadRun& run, const Taps& taps, float* outLeft,
                          float* outRight)
{
    const int frames = run.frames;
    const __m256 one = _mm256_set1_ps(1.0f);
    const float* const line = g.line;
    for (int i = 0; i < frames; i += 4)
    {
        const __m256 h1a = _mm256_loadu2_m128(line + taps.head1[i + 1], line + taps.head1[i]);
        const __m256 h1b = _mm256_loadu2_m128(line + taps.head1[i + 3], line + taps.head1[i + 2]);
        const __m256 h2a = _mm256_loadu2_m128(line + taps.head2[i + 1], line + taps.head2[i]);
        const __m256 h2b = _mm256_loadu2_m128(line + taps.head2[i + 3], line + taps.head2[i + 2]);
        // [ga ga gb gb] per frame, two frames per register.
        const auto weight = [&g, &taps](int k)
        {
            return _mm_shuffle_ps(_mm_broadcast_ss(g.table + taps.weights[2 * k]),
                                  _mm_broadcast_ss(g.table + taps.weights[2 * k + 1]), 0);
        };
        const __m256 g01 = _mm256_set_m128(weight(i + 1), weight(i));
        const __m256 g23 = _mm256_set_m128(weight(i + 3), weight(i + 2));
        // [aL0 aR0 bL0 bR0 | aL1 aR1 bL1 bR1] and the same for frames 2 and 3.
        const __m256 x01 =
            _mm256_add_ps(_mm256_mul_ps(h1a, _mm256_sub_ps(one, g01)), _mm256_mul_ps(h2a, g01));
        const __m256 x23 =
            _mm256_add_ps(_mm256_mul_ps(h1b, _mm256_sub_ps(one, g23)), _mm256_mul_ps(h2b, g23));
        // [aL0 aR0 aL2 aR2 | aL1 aR1 aL3 aR3] and the b values in the same places.
        const __m256 a = _mm256_shuffle_ps(x01, x23, 0x44);
        const __m256 rise = _mm256_sub_ps(_mm256_shuffle_ps(x01, x23, 0xee), a);
        const __m256d frac = _mm256_load_pd(taps.frac + i);
        const __m256d frac02 = _mm256_permute4x64_pd(frac, 0xa0); // [f0 f0 f2 f2]
        const __m256d frac13 = _mm256_permute4x64_pd(frac, 0xf5); // [f1 f1 f3 f3]
        const __m128 out02 = _mm256_cvtpd_ps(
            _mm256_add_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(a)),
                          _mm256_mul_pd(frac02, _mm256_cvtps_pd(_mm256_castps256_ps128(rise)))));
        const __m128 out13 = _mm256_cvtpd_ps(
            _mm256_add_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(a, 1)),
                          _mm256_mul_pd(frac13, _mm256_cvtps_pd(_mm256_extractf128_ps(rise, 1)))));
        // [L0 R0 L2 R2] and [L1 R1 L3 R3] to [L0 L1 L2 L3] and [R0 R1 R2 R3].
        const __m128 low = _mm_unpacklo_ps(out02, out13);  // [L0 L1 R0 R1]
        const __m128 high = _mm_unpackhi_ps(out02, out13); // [L2 L3 R2 R3]
        const __m128 left = _mm_movelh_ps(low, high);
        const __m128 right = _mm_movehl_ps(high, low);
        if (frames - i >= 4)
        {
            _mm_storeu_ps(outLeft + i, left);
            _mm_storeu_ps(outRight + i, right);
        }
        else
        {
            // The run ends inside the group: the padded frames are not written.
            alignas(16) float tailLeft[4];
            alignas(16) float tailRight[4];
            _mm_store_ps(tailLeft, left);
            _mm_store_ps(tailRight, right);
            for (int k = 0; k < frames - i; ++k)
            {
                outLeft[i + k] = tailLeft[k];
                outRight[i + k] = tailRight[k];
            }
        }
    }
}
#else
inline void BlendAdjacent(const Geometry& g, const HeadRun& run, const Taps& taps, float* outLeft,
                          float* outRight)
{
    BlendFrames<true>(g, run, taps, outLeft, outRight);
}
#endif

[[gnu::always_inline]] inline void Shift(const Geometry& g, const HeadRun& run, float* outLeft,
                                         float* outRight)
{
    Taps taps;
    if (FindTaps(g, run, taps))
        BlendAdjacent(g, run, taps, outLeft, outRight);
    else
        BlendFrames<false>(g, run, taps, outLeft, outRight);
}
} // namespace shifter_lanes
} // namespace
