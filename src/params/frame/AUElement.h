#pragma once
// One element (bus) of a scope: its parameters, stored as 32-bit floats by id, and its name.
//
// Parameter values are atomics, so any thread may read and write them while the render thread
// runs, without locks. Parameters are only ever added, never removed: they live in fixed-size
// blocks chained by atomic pointers, each block publishing how many of its slots are filled.
// Readers walk the chain lock-free; adding a parameter (only the plug-in does, outside render)
// takes a lock that readers never see.

#include "platform/AudioUnitProperties.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class AUElement
{
public:
    AUElement();
    virtual ~AUElement();
    AUElement(const AUElement&) = delete;
    AUElement& operator=(const AUElement&) = delete;

    // [any] Throws kAudioUnitErr_InvalidParameter for an id the element does not have.
    AudioUnitParameterValue GetParameter(AudioUnitParameterID id) const;
    // [any] Stores the value of an existing parameter; an unknown id is added, which
    // allocates, so only the plug-in itself adds parameters, outside render.
    void SetParameter(AudioUnitParameterID id, AudioUnitParameterValue value);
    // [any] Never add: false for an id the element does not have.
    bool TryGetParameter(AudioUnitParameterID id, AudioUnitParameterValue& outValue) const;
    bool TrySetParameter(AudioUnitParameterID id, AudioUnitParameterValue value);
    UInt32 GetNumberOfParameters() const;                      // [any]
    std::vector<AudioUnitParameterID> GetParameterIDs() const; // [ui] ascending

    bool HasName() const;           // [ui]
    std::string GetName() const;    // [ui] empty when unnamed
    void SetName(std::string name); // [ui]

private:
    static constexpr std::size_t kBlockSize = 32;
    struct Parameter
    {
        AudioUnitParameterID id = 0; // written once, before the slot is published
        mutable std::atomic<AudioUnitParameterValue> value{0};
    };
    struct Block
    {
        std::array<Parameter, kBlockSize> slots;
        std::atomic<std::size_t> filled{0};
        std::atomic<Block*> next{nullptr};
    };
    static_assert(std::atomic<AudioUnitParameterValue>::is_always_lock_free);

    const Parameter* Find(AudioUnitParameterID id) const;
    template <class Visit> void ForEachParameter(Visit&& visit) const;

    Block mFirst;
    std::vector<std::unique_ptr<Block>> mMoreBlocks; // under mAddMutex
    std::mutex mAddMutex;
    mutable std::mutex mNameMutex;
    std::string mName;
};
