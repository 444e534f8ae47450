#pragma once
// Collects the parameter notifications of some parameters of a unit, in the order they are
// delivered. Notifications posted before it was made are dispatched away first.

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
        AUListenerDispatchPending(); // notifications of earlier tests are not ours
        EXPECT_EQ(noErr, AUListenerCreate(Heard, this, &mListener));
        for (const AudioUnitParameterID id : ids)
        {
            const AudioUnitParameter p{unit, id, kAudioUnitScope_Global, 0};
            EXPECT_EQ(noErr, AUListenerAddParameter(mListener, nullptr, &p));
        }
    }
    ~ParameterListener() { AUListenerDispose(mListener); }
    ParameterListener(const ParameterListener&) = delete;
    ParameterListener& operator=(const ParameterListener&) = delete;

    // The ids heard so far, after delivering what is pending.
    std::vector<AudioUnitParameterID> Ids()
    {
        AUListenerDispatchPending();
        std::vector<AudioUnitParameterID> ids;
        for (const auto& [id, value] : mHeard)
            ids.push_back(id);
        return ids;
    }
    // Ids and values heard so far, after delivering what is pending.
    const std::vector<std::pair<AudioUnitParameterID, float>>& Heard()
    {
        AUListenerDispatchPending();
        return mHeard;
    }

private:
    static void Heard(void* user, void*, const AudioUnitParameter* p, AudioUnitParameterValue v)
    {
        static_cast<ParameterListener*>(user)->mHeard.emplace_back(p->mParameterID, v);
    }
    AUParameterListenerRef mListener = nullptr;
    std::vector<std::pair<AudioUnitParameterID, float>> mHeard;
};
