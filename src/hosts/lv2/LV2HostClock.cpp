#include "hosts/lv2/LV2HostClock.h"

#include <lv2/atom/util.h>

#include <cmath>

bool LV2HostClock::ReadNumber(const LV2_Atom* atom, const LV2URIs& uris, double& out)
{
    if (atom == nullptr) return false;
    if (atom->type == uris.atomInt && atom->size >= sizeof(int32_t))
        out = reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
    else if (atom->type == uris.atomLong && atom->size >= sizeof(int64_t))
        out = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
    else if (atom->type == uris.atomFloat && atom->size >= sizeof(float))
        out = reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
    else if (atom->type == uris.atomDouble && atom->size >= sizeof(double))
        out = reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
    else
        return false;
    return std::isfinite(out);
}

void LV2HostClock::Receive(const LV2_Atom_Object& position, const LV2URIs& uris)
{
    const LV2_Atom* bar = nullptr;
    const LV2_Atom* barBeat = nullptr;
    const LV2_Atom* beat = nullptr;
    const LV2_Atom* bpm = nullptr;
    const LV2_Atom* beatsPerBar = nullptr;
    const LV2_Atom* beatUnit = nullptr;
    const LV2_Atom* speed = nullptr;
    const LV2_Atom* frame = nullptr;
    lv2_atom_object_get(&position, uris.timeBar, &bar, uris.timeBarBeat, &barBeat, uris.timeBeat,
                        &beat, uris.timeBeatsPerMinute, &bpm, uris.timeBeatsPerBar, &beatsPerBar,
                        uris.timeBeatUnit, &beatUnit, uris.timeSpeed, &speed, uris.timeFrame,
                        &frame, 0);
    double value = 0;
    // Tempo and meter first: the beat is placed with the meter of the same message.
    if (ReadNumber(bpm, uris, value) && value > 0) mTempo = value;
    if (ReadNumber(beatsPerBar, uris, value) && value > 0) mBeatsPerBar = value;
    if (ReadNumber(beatUnit, uris, value) && value > 0) mBeatUnit = value;
    if (ReadNumber(speed, uris, value)) mSpeed = value;
    if (ReadNumber(frame, uris, value)) mFrame = value;

    double barValue = 0;
    double barBeatValue = 0;
    const bool hasBar = ReadNumber(bar, uris, barValue);
    const bool hasBarBeat = ReadNumber(barBeat, uris, barBeatValue);
    if (hasBar && hasBarBeat)
        mBeat = barValue * mBeatsPerBar + barBeatValue;
    else if (ReadNumber(beat, uris, value))
        mBeat = value;
    else if (hasBarBeat) // the bar stays the one the clock is in
        mBeat = std::floor(mBeat / mBeatsPerBar) * mBeatsPerBar + barBeatValue;
    else if (hasBar)
        mBeat = barValue * mBeatsPerBar + std::fmod(mBeat, mBeatsPerBar);
    mValid = true;
    Publish();
}

void LV2HostClock::Advance(std::uint32_t frames)
{
    if (!mValid || mSpeed == 0.0) return;
    mBeat += frames * mSpeed * mTempo / (60.0 * mSampleRate);
    mFrame += frames * mSpeed;
    Publish();
}

void LV2HostClock::Publish()
{
    mCallbacks.SetMusical(HostClockCallbacks::Steady(mBeat, mTempo, mBeatsPerBar,
                                                     static_cast<UInt32>(mBeatUnit), mSampleRate));
    mCallbacks.SetTransport(mSpeed != 0.0, mFrame);
}
