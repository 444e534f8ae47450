#include "samples/reference/CVoicer.h"

#include "samples/reference/CKeyInfo.h"

#include <algorithm>

namespace reference
{

CVoicer::CVoicer(int numVoices)
    : mNumVoices(std::max(numVoices, 0)), mVoices(std::make_unique<CVoice[]>(mNumVoices)),
      mPriority(std::make_unique<int32_t[]>(mNumVoices))
{
}

bool CVoicer::StartNote(CKeyInfo* key, int syncMode, float gain)
{
    if (key == nullptr || key->Sample() == nullptr) return false;
    key->SetLegatoShift(1.0);
    int slot = GetSlot(key);
    if (slot == -1)
    {
        // Every voice is busy: the oldest one is taken, without a release.
        RemovePriority(1);
        slot = GetSlot(key);
        if (slot == -1) return false;
    }
    CVoice& voice = mVoices[slot];
    if (voice.Note() == key)
    {
        // The key keeps its voice, envelope and shifter; it only becomes the newest.
        MoveToTop(mPriority[slot]);
        key->SetGain(gain);
    }
    else
    {
        mPriority[slot] = ++mTop;
        voice.SetNote(key, gain);
    }
    voice.StartPlaying(syncMode);
    return true;
}

bool CVoicer::StopNote(CKeyInfo* key, int syncMode)
{
    for (int i = 0; i < mNumVoices; ++i)
    {
        if (mVoices[i].Note() == key) mVoices[i].StopPlaying(syncMode);
    }
    return true;
}

void CVoicer::AllNotesOff()
{
    for (int i = 0; i < mNumVoices; ++i)
    {
        if (mVoices[i].Used() && mPriority[i] != 0)
        {
            mVoices[i].StopPlaying(0);
            RemovePriority(mPriority[i]);
        }
    }
}

void CVoicer::Sync(int beat)
{
    for (int i = 0; i < mNumVoices; ++i)
    {
        if (mVoices[i].Used()) mVoices[i].Sync(beat);
    }
}

bool CVoicer::Play(float* left, float* right, int frames, bool looping, double speed)
{
    if (mTop <= 0 || left == nullptr || right == nullptr || frames <= 0) return false;
    int done = 0;
    while (done < frames)
    {
        const int chunk = std::min(kChunkFrames, frames - done);
        for (int i = 0; i < mNumVoices; ++i)
        {
            if (mPriority[i] == 0) continue;
            CVoice& voice = mVoices[i];
            if (!voice.Used() || voice.Note()->Sample() == nullptr)
            {
                RemovePriority(mPriority[i]);
                continue;
            }
            if (!voice.Play(mScratchL.data(), mScratchR.data(), chunk, looping, speed, mTempo,
                            mSampleRate))
                RemovePriority(mPriority[i]);
            // A finishing voice's last chunk is still heard.
            for (int k = 0; k < chunk; ++k)
            {
                left[done + k] += mScratchL[k];
                right[done + k] += mScratchR[k];
            }
        }
        done += chunk;
    }
    return true;
}

bool CVoicer::IsSilent() const
{
    for (int i = 0; i < mNumVoices; ++i)
    {
        if (!mVoices[i].IsSilent()) return false;
    }
    return true;
}

int CVoicer::GetSlot(const CKeyInfo* key) const
{
    for (int i = 0; i < mNumVoices; ++i)
    {
        if (mVoices[i].Note() == key) return i;
    }
    for (int i = 0; i < mNumVoices; ++i)
    {
        if (!mVoices[i].Used()) return i;
    }
    return -1;
}

void CVoicer::MoveToTop(int rank)
{
    if (rank < 1) return;
    for (int i = 0; i < mNumVoices; ++i)
    {
        if (mPriority[i] > rank)
            --mPriority[i];
        else if (mPriority[i] == rank)
            mPriority[i] = mTop;
    }
}

void CVoicer::RemovePriority(int rank)
{
    // A rank above mTop belongs to no voice; lowering mTop for it would break the ranking.
    if (rank < 1 || rank > mTop) return;
    for (int i = 0; i < mNumVoices; ++i)
    {
        if (mPriority[i] == rank)
        {
            mVoices[i].StopPlaying(0);
            mVoices[i].SetNote(nullptr, 1.0f);
            mPriority[i] = 0;
        }
        else if (mPriority[i] > rank)
        {
            --mPriority[i];
        }
    }
    --mTop;
}
} // namespace reference
