#pragma once
// The process-wide registry and notification queue behind the parameter-listener calls of
// platform/AudioUnitUtilities.h.

#include "platform/AudioUnitUtilities.h"
#include "platform/CABoundedQueue.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

struct AUListenerBase
{
    AUParameterListenerProc proc;
    void* userData;
};

class AUParameterListenerService
{
public:
    static constexpr std::size_t kQueueCapacity = 4096;

    // [any] The instance, built while the program loads so that the first post from a
    // render thread finds it ready.
    static AUParameterListenerService& Instance();

    OSStatus CreateListener(AUParameterListenerProc proc, void* userData,
                            AUParameterListenerRef* outListener); // [ui]
    OSStatus DisposeListener(AUParameterListenerRef listener);    // [ui]
    OSStatus AddParameter(AUParameterListenerRef listener, void* object,
                          const AudioUnitParameter& parameter); // [ui]
    OSStatus RemoveParameter(AUParameterListenerRef listener, void* object,
                             const AudioUnitParameter& parameter); // [ui]

    // [any] Lock-free and allocation-free; false (and counted) when the queue is full.
    bool Post(AUParameterListenerRef sendingListener, void* sendingObject,
              const AudioUnitParameter& parameter, AudioUnitParameterValue value) noexcept;
    UInt32 DispatchPending();            // [ui]
    UInt64 DroppedNotifications() const; // [any]

private:
    struct Notification
    {
        AudioUnitParameter parameter;
        AudioUnitParameterValue value;
        AUParameterListenerRef sendingListener;
        void* sendingObject;
    };
    struct Registration
    {
        AUParameterListenerRef listener;
        void* object;
        bool operator==(const Registration&) const = default;
    };
    using Key = std::tuple<AudioUnit, AudioUnitParameterID, AudioUnitScope, AudioUnitElement>;
    static Key KeyOf(const AudioUnitParameter& parameter);

    void Deliver(const Notification& notification);
    bool IsRegistered(const Key& key, const Registration& registration) const;

    CABoundedQueue<Notification, kQueueCapacity> mQueue;
    std::atomic<UInt64> mDropped{0};
    // Recursive: a listener may register, post or even dispatch from inside its callback.
    std::recursive_mutex mMutex;
    std::map<Key, std::vector<Registration>> mRegistrations;
    std::map<AUParameterListenerRef, std::unique_ptr<AUListenerBase>> mListeners;
};
