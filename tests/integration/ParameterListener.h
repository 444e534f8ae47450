#pragma once
// Collects the notifications of some parameters of a unit in delivery order; those posted
// before it was made are dispatched away first.

#include "platform/AudioUnitUtilities.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

class ParameterListener
{
public:
    ParameterListener(AudioUnit unit, std::initializer_list<AudioUnitParameterID> ids)
    {
        AUListenerDispatchPending();
        EXPECT_EQ(noErr, AUListenerCreate(OnHeard, this, &mListener));
        for (const AudioUnitParameterID id : ids)
        {
            const AudioUnitParameter p{unit, id, kAudioUnitScope_Global, 0};
            EXPECT_EQ(noErr, AUListenerAddParameter(mListener, nullptr, &p));
        }
    }
    ~ParameterListener() { AUListenerDispose(mListener); }
    ParameterListener(const ParameterListener&) = delete;
    ParameterListener& operator=(const ParameterListener&) = delete;

    // Ids and values heard so far, after delivering what is pending.
    const std::vector<std::pair<AudioUnitParameterID, float>>& Heard()
    {
        AUListenerDispatchPending();
        return mHeard;
    }
    std::vector<AudioUnitParameterID> Ids()
    {
        std::vector<AudioUnitParameterID> ids;
        for (const auto& [id, value] : Heard())
            ids.push_back(id);
        return ids;
    }

private:
    static void OnHeard(void* user, void*, const AudioUnitParameter* p, AudioUnitParameterValue v)
    {
        static_cast<ParameterListener*>(user)->mHeard.emplace_back(p->mParameterID, v);
    }
    AUParameterListenerRef mListener = nullptr;
    std::vector<std::pair<AudioUnitParameterID, float>> mHeard;
};
