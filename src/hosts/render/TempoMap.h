#pragma once
// The musical clock of a render: where every tick of a MIDI file falls in seconds, and where a
// moment in seconds falls in beats and bars. Beats are quarter notes counted from 0 at the
// start; tempos are quarter notes per minute, as in a MIDI file's tempo events.
//
// A time signature starts a new bar where it stands; bars then follow each other at the
// meter's length (numerator × 4 / denominator quarter notes) until the next one, and a bar cut
// short by a signature still counts as a bar. Before the file's first tempo event the tempo is
// the initial one; before its first time signature the meter is 4/4.
//
// A plug-in finds its place in the bar as the host's beat modulo the numerator, so the clock
// a host reports (HostClock) counts beats in the unit the numerator counts (eighth notes in
// 6/8), the bars before it at their own numerators: bar index × numerator + beat in the bar.

#include "hosts/render/StandardMidiFile.h"

#include <cstdint>
#include <vector>

class TempoMap
{
public:
    // A constant tempo in 4/4.
    explicit TempoMap(double bpm);
    TempoMap(const StandardMidiFile& file, double initialBpm);

    struct Meter
    {
        std::uint8_t numerator = 4;
        std::uint32_t denominator = 4;
        double barBeats = 4.0; // bar length in quarter notes
        double downBeat = 0.0; // beat at which the bar holding the asked beat starts
        std::uint64_t bar = 0; // that bar's index, from 0 at the start
    };

    // The musical clock as a host reports it, in beats of the meter's unit.
    struct HostClock
    {
        double beat = 0.0;     // bar × numerator + beats into the bar
        double tempo = 120.0;  // those beats per minute
        double downBeat = 0.0; // the beat at which the bar starts: bar × numerator
        std::uint8_t numerator = 4;
        std::uint32_t denominator = 4;
        double secondsToNextBeat = 0.0; // 0 on a beat
    };

    double SecondsAtTick(std::uint64_t tick) const;
    double BeatAtSeconds(double seconds) const;
    double SecondsAtBeat(double beat) const;
    double TempoAtSeconds(double seconds) const;
    Meter MeterAtBeat(double beat) const;
    HostClock HostClockAtSeconds(double seconds) const;

private:
    // The clock between two tempo events runs linearly in ticks, seconds and beats.
    struct Segment
    {
        std::uint64_t tick = 0;
        double seconds = 0.0;
        double beat = 0.0;
        double bpm = 120.0;
        double secondsPerTick = 0.0;
        double beatsPerTick = 0.0;
    };
    struct MeterStart
    {
        double beat = 0.0;
        std::uint8_t numerator = 4;
        std::uint32_t denominator = 4;
        std::uint64_t firstBar = 0;

        double BarBeats() const { return numerator * 4.0 / denominator; }
        // Whole bars from this start to the beat, a bar line within the tolerance counting as
        // reached.
        std::uint64_t BarsTo(double beat) const;
    };

    void SetRates(Segment& segment) const;
    const Segment& SegmentAtTick(std::uint64_t tick) const;
    const Segment& SegmentAtSeconds(double seconds) const;
    const Segment& SegmentAtBeat(double beat) const;

    StandardMidiFile::Division mDivision;
    std::vector<Segment> mSegments;  // by tick, never empty, the first at tick 0
    std::vector<MeterStart> mMeters; // by beat, never empty, the first at beat 0
};
