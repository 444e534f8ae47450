#include "hosts/render/TempoMap.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kMicrosecondsPerMinute = 60.0e6;
// Tick resolution of a constant-tempo map, which has no file to take one from.
constexpr std::uint16_t kDefaultTicksPerQuarter = 480;
// Beats computed from ticks can land a hair below a bar line; count them as on it.
constexpr double kBarLineTolerance = 1e-9;

double FramesPerSecond(const StandardMidiFile::Division& division)
{
    // SMPTE rate 29 is 30-frame drop-frame timecode, which runs at 29.97 frames per second.
    return division.framesPerSecond == 29 ? 30000.0 / 1001.0 : division.framesPerSecond;
}

template <typename Items, typename Key, typename Field>
const auto& LastAtOrBefore(const Items& items, Key key, Field field)
{
    auto it = std::upper_bound(items.begin(), items.end(), key,
                               [&](Key k, const auto& item) { return k < item.*field; });
    return it == items.begin() ? *it : *(it - 1);
}
} // namespace

TempoMap::TempoMap(double bpm) : TempoMap(StandardMidiFile(), bpm) {}

TempoMap::TempoMap(const StandardMidiFile& file, double initialBpm) : mDivision(file.GetDivision())
{
    if (mDivision.ticksPerQuarter == 0 && mDivision.framesPerSecond == 0)
        mDivision.ticksPerQuarter = kDefaultTicksPerQuarter;

    Segment first;
    first.bpm = initialBpm;
    SetRates(first);
    mSegments.push_back(first);
    for (const StandardMidiFile::TempoChange& change : file.TempoChanges())
    {
        Segment next = mSegments.back();
        if (change.tick != next.tick)
        {
            const double ticks = static_cast<double>(change.tick - next.tick);
            next.seconds += ticks * next.secondsPerTick;
            next.beat += ticks * next.beatsPerTick;
            next.tick = change.tick;
            mSegments.push_back(next);
        }
        // Several tempo events at one tick: the last one holds.
        Segment& current = mSegments.back();
        current.bpm = kMicrosecondsPerMinute / change.microsecondsPerQuarter;
        SetRates(current);
    }

    mMeters.push_back(MeterStart{});
    for (const StandardMidiFile::TimeSignature& signature : file.TimeSignatures())
    {
        const Segment& segment = SegmentAtTick(signature.tick);
        const double beat = segment.beat + static_cast<double>(signature.tick - segment.tick) *
                                               segment.beatsPerTick;
        MeterStart next{beat, signature.numerator, signature.denominator, 0};
        const MeterStart& last = mMeters.back();
        if (beat == last.beat)
        {
            // Several signatures at one place: the last one holds.
            next.firstBar = last.firstBar;
            mMeters.back() = next;
            continue;
        }
        // A signature inside a bar ends that bar there; the next one starts with it.
        const double bars = (beat - last.beat) / last.BarBeats();
        next.firstBar =
            last.firstBar + static_cast<std::uint64_t>(std::ceil(bars - kBarLineTolerance));
        mMeters.push_back(next);
    }
}

std::uint64_t TempoMap::MeterStart::BarsTo(double to) const
{
    return static_cast<std::uint64_t>(
        std::max(0.0, std::floor((to - beat) / BarBeats() + kBarLineTolerance)));
}

void TempoMap::SetRates(Segment& segment) const
{
    if (mDivision.ticksPerQuarter != 0)
    {
        segment.beatsPerTick = 1.0 / mDivision.ticksPerQuarter;
        segment.secondsPerTick = 60.0 / (segment.bpm * mDivision.ticksPerQuarter);
    }
    else
    {
        segment.secondsPerTick = 1.0 / (FramesPerSecond(mDivision) * mDivision.ticksPerFrame);
        segment.beatsPerTick = segment.secondsPerTick * segment.bpm / 60.0;
    }
}

const TempoMap::Segment& TempoMap::SegmentAtTick(std::uint64_t tick) const
{
    return LastAtOrBefore(mSegments, tick, &Segment::tick);
}

const TempoMap::Segment& TempoMap::SegmentAtSeconds(double seconds) const
{
    return LastAtOrBefore(mSegments, seconds, &Segment::seconds);
}

const TempoMap::Segment& TempoMap::SegmentAtBeat(double beat) const
{
    return LastAtOrBefore(mSegments, beat, &Segment::beat);
}

double TempoMap::SecondsAtTick(std::uint64_t tick) const
{
    const Segment& segment = SegmentAtTick(tick);
    return segment.seconds + static_cast<double>(tick - segment.tick) * segment.secondsPerTick;
}

double TempoMap::BeatAtSeconds(double seconds) const
{
    const Segment& segment = SegmentAtSeconds(seconds);
    return segment.beat + (seconds - segment.seconds) * segment.bpm / 60.0;
}

double TempoMap::SecondsAtBeat(double beat) const
{
    const Segment& segment = SegmentAtBeat(beat);
    return segment.seconds + (beat - segment.beat) * 60.0 / segment.bpm;
}

double TempoMap::TempoAtSeconds(double seconds) const
{
    return SegmentAtSeconds(seconds).bpm;
}

TempoMap::Meter TempoMap::MeterAtBeat(double beat) const
{
    const MeterStart& start = LastAtOrBefore(mMeters, beat, &MeterStart::beat);
    Meter meter;
    meter.numerator = start.numerator;
    meter.denominator = start.denominator;
    meter.barBeats = start.BarBeats();
    const std::uint64_t bars = start.BarsTo(beat);
    meter.downBeat = start.beat + static_cast<double>(bars) * meter.barBeats;
    meter.bar = start.firstBar + bars;
    return meter;
}

TempoMap::HostClock TempoMap::HostClockAtSeconds(double seconds) const
{
    const double quarters = BeatAtSeconds(seconds);
    const Meter meter = MeterAtBeat(quarters);
    const double quartersPerBeat = 4.0 / meter.denominator;
    HostClock clock;
    clock.numerator = meter.numerator;
    clock.denominator = meter.denominator;
    clock.downBeat = static_cast<double>(meter.bar) * meter.numerator;
    // A beat a hair below the bar line was counted onto it; it must not read as the end of
    // the bar before.
    const double inBar = std::max(0.0, (quarters - meter.downBeat) / quartersPerBeat);
    clock.beat = clock.downBeat + inBar;
    clock.tempo = TempoAtSeconds(seconds) / quartersPerBeat;
    // On a beat the next one is this one.
    const double next = std::ceil(inBar - kBarLineTolerance);
    clock.secondsToNextBeat =
        std::max(0.0, SecondsAtBeat(meter.downBeat + next * quartersPerBeat) - seconds);
    return clock;
}
