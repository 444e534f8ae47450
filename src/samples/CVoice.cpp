#include "samples/CVoice.h"

#include "samples/CKeyInfo.h"

void CVoice::SetNote(CKeyInfo* key, float gain)
{
    if (key == mNote) return;
    mShifter.Reset();
    mNote = key;
    if (key != nullptr) key->SetGain(gain);
    mEnvelope.Reset();
}

void CVoice::StartPlaying(int syncMode)
{
    if (mNote == nullptr) return;
    mSyncMode = syncMode;
    mNote->SetShouldStart(true);
    mShifter.Reset();
    // The shifter's heads take the same offset as the key's first rendered frame.
    mShifter.SkipSamples(mNote->Skip());
}

void CVoice::StopPlaying(int syncMode)
{
    if (mNote == nullptr) return;
    mSyncMode = syncMode;
    mNote->SetShouldStop(true);
}

void CVoice::Sync(int beat)
{
    if (mNote == nullptr) return;
    const bool due =
        mSyncMode == 0 || (mSyncMode == 1 && beat >= 0) || (mSyncMode == 2 && beat == 0);
    if (!due) return;
    if (mNote->ShouldStart())
    {
        mEnvelope.SetStage(CADSR::kAttack);
        mNote->StartPlaying();
    }
    if (mNote->ShouldStop())
    {
        // The key itself stops when the release ramp has finished.
        mEnvelope.SetStage(CADSR::kRelease);
        mNote->SetShouldStop(false);
    }
}

bool CVoice::Play(float* left, float* right, int frames, bool looping, double speed, double tempo,
                  double sampleRate)
{
    if (mNote == nullptr) return false;
    if (left == nullptr || right == nullptr || frames <= 0) return IsActive();
    for (int i = 0; i < frames; ++i)
    {
        left[i] = 0.0f;
        right[i] = 0.0f;
    }
    mNote->SetLooping(looping);

    // Tempo following: play faster or slower by the ratio of the host's tempo to the tempo the
    // sample was made at, and let the shifter take the pitch change back out.
    double ratio = 1.0;
    const double keyTempo = mNote->Tempo();
    if (keyTempo > 0.0 && tempo > 0.0 && tempo != keyTempo) ratio = tempo * (1.0 / keyTempo);

    if (mEnvelope.Stage() != CADSR::kIdle && mNote->IsPlaying())
        mNote->Play(left, right, frames, speed * ratio, sampleRate);
    // The shifter runs also when the key produced nothing, so its delay line drains.
    mShifter.SetShifting(mNote->PitchShift() * mNote->LegatoShift() / ratio);
    mShifter.GetSamples(left, right, left, right, frames);
    ReleaseIfKeyEnded();
    if (mEnvelope.GetSamples(left, right, frames, sampleRate)) mNote->StopPlaying();
    const float gain = mNote->Gain();
    for (int i = 0; i < frames; ++i)
    {
        left[i] *= gain;
        right[i] *= gain;
    }
    return IsActive();
}

void CVoice::ReleaseIfKeyEnded()
{
    // A key can end without a stop at a sync point: a one-shot runs out, a sample without a
    // tempo stops the moment it is asked to, a play-all sample reaches its end. Nothing would
    // then ever release the voice; it would stay assigned and silent, and the voicer would
    // never count as silent again. Release it now: the ramp also fades the shifter's tail.
    const CADSR::EStage stage = mEnvelope.Stage();
    if ((stage == CADSR::kAttack || stage == CADSR::kSustain) && !mNote->IsPlaying() &&
        !mNote->ShouldStart())
        mEnvelope.SetStage(CADSR::kRelease);
}

bool CVoice::IsSilent() const
{
    return mNote == nullptr || mNote->Sample() == nullptr || mEnvelope.Stage() == CADSR::kIdle;
}

bool CVoice::IsActive() const
{
    if (mNote->ErasePending()) return false;
    return mEnvelope.Stage() != CADSR::kIdle || mNote->ShouldStart();
}
