#include "platform/AUParameterListenerService.h"

#include <algorithm>

AUParameterListenerService& AUParameterListenerService::Instance()
{
    static AUParameterListenerService service;
    return service;
}

namespace
{
// Built while the program loads, so that no render thread pays for the construction.
[[maybe_unused]] const AUParameterListenerService& gBuiltAtLoad =
    AUParameterListenerService::Instance();
} // namespace

AUParameterListenerService::Key
AUParameterListenerService::KeyOf(const AudioUnitParameter& parameter)
{
    return {parameter.mAudioUnit, parameter.mParameterID, parameter.mScope, parameter.mElement};
}

OSStatus AUParameterListenerService::CreateListener(AUParameterListenerProc proc, void* userData,
                                                    AUParameterListenerRef* outListener)
{
    if (proc == nullptr || outListener == nullptr) return kAudio_ParamError;
    auto listener = std::make_unique<AUListenerBase>(AUListenerBase{proc, userData});
    const std::lock_guard<std::recursive_mutex> lock(mMutex);
    *outListener = listener.get();
    mListeners.emplace(listener.get(), std::move(listener));
    return noErr;
}

OSStatus AUParameterListenerService::DisposeListener(AUParameterListenerRef listener)
{
    const std::lock_guard<std::recursive_mutex> lock(mMutex);
    const auto found = mListeners.find(listener);
    if (found == mListeners.end()) return kAudio_ParamError;
    for (auto entry = mRegistrations.begin(); entry != mRegistrations.end();)
    {
        std::erase_if(entry->second,
                      [listener](const Registration& r) { return r.listener == listener; });
        entry = entry->second.empty() ? mRegistrations.erase(entry) : std::next(entry);
    }
    mListeners.erase(found);
    return noErr;
}

OSStatus AUParameterListenerService::AddParameter(AUParameterListenerRef listener, void* object,
                                                  const AudioUnitParameter& parameter)
{
    const std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mListeners.contains(listener)) return kAudio_ParamError;
    auto& registrations = mRegistrations[KeyOf(parameter)];
    const Registration registration{listener, object};
    if (std::find(registrations.begin(), registrations.end(), registration) == registrations.end())
        registrations.push_back(registration);
    return noErr;
}

OSStatus AUParameterListenerService::RemoveParameter(AUParameterListenerRef listener, void* object,
                                                     const AudioUnitParameter& parameter)
{
    const std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (!mListeners.contains(listener)) return kAudio_ParamError;
    const auto entry = mRegistrations.find(KeyOf(parameter));
    if (entry == mRegistrations.end()) return noErr;
    std::erase(entry->second, Registration{listener, object});
    if (entry->second.empty()) mRegistrations.erase(entry);
    return noErr;
}

bool AUParameterListenerService::Post(AUParameterListenerRef sendingListener, void* sendingObject,
                                      const AudioUnitParameter& parameter,
                                      AudioUnitParameterValue value) noexcept
{
    if (mQueue.TryPush(Notification{parameter, value, sendingListener, sendingObject})) return true;
    mDropped.fetch_add(1, std::memory_order_relaxed);
    return false;
}

UInt32 AUParameterListenerService::DispatchPending()
{
    const std::lock_guard<std::recursive_mutex> lock(mMutex);
    UInt32 delivered = 0;
    Notification notification;
    while (delivered < kQueueCapacity && mQueue.TryPop(notification))
    {
        Deliver(notification);
        ++delivered;
    }
    return delivered;
}

UInt64 AUParameterListenerService::DroppedNotifications() const
{
    return mDropped.load(std::memory_order_relaxed);
}

void AUParameterListenerService::Deliver(const Notification& notification)
{
    const Key key = KeyOf(notification.parameter);
    const auto entry = mRegistrations.find(key);
    if (entry == mRegistrations.end()) return;
    // A callback may change the registrations (even remove itself), so walk a copy and make
    // sure each registration is still there before calling it.
    const std::vector<Registration> registrations = entry->second;
    for (const Registration& r : registrations)
    {
        if (r.listener == notification.sendingListener && r.object == notification.sendingObject)
            continue;
        if (!IsRegistered(key, r)) continue;
        r.listener->proc(r.listener->userData, r.object, &notification.parameter,
                         notification.value);
    }
}

bool AUParameterListenerService::IsRegistered(const Key& key,
                                              const Registration& registration) const
{
    const auto entry = mRegistrations.find(key);
    return entry != mRegistrations.end() && std::find(entry->second.begin(), entry->second.end(),
                                                      registration) != entry->second.end();
}
