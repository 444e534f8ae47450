// CTova: the preset state. The frame's dictionary (identity, parameter blob, preset name) gets
// "tova-version", "tova-samples" (the pool, CSampleFactoryState.cpp) and "tova-keysinfo" (one
// dictionary per key). A save never stops the render thread (CTovaHandOff.cpp); a restore
// checks everything before it changes anything, then rebuilds the pool and the keys under the
// token, so the render thread plays the old content or silence, then the new.

#include "engine/CTova.h"

#include "platform/cf/CACFArray.h"
#include "platform/cf/CACFDictionary.h"
#include "samples/StateNumbers.h"

#include <limits>

namespace
{
constexpr SInt32 kTovaStateVersion = 1;
constexpr std::int64_t kMinInt = std::numeric_limits<SInt32>::min();
constexpr std::int64_t kMaxInt = std::numeric_limits<SInt32>::max();

// A key's entry in a state, with the defaults for what a state may leave out.
struct KeyEntry
{
    SInt32 id = -1;
    double pitchShift = 1.0;
    double speed = 1.0;
    SInt32 automatic = 0;
    SInt32 looping = 0;
};

// False when the entry cannot be used; a key without "id" or with a negative one is empty.
bool ReadKey(const CACFDictionary& entry, KeyEntry& key)
{
    key = KeyEntry{};
    return ReadStateInteger(entry, "id", kMinInt, kMaxInt, key.id) != EStateNumber::Invalid &&
           ReadStateReal(entry, "pitchshift", key.pitchShift) != EStateNumber::Invalid &&
           ReadStateReal(entry, "speed", key.speed) != EStateNumber::Invalid &&
           ReadStateInteger(entry, "auto", kMinInt, kMaxInt, key.automatic) !=
               EStateNumber::Invalid &&
           ReadStateInteger(entry, "looping", kMinInt, kMaxInt, key.looping) !=
               EStateNumber::Invalid;
}

// The value under key when it is there; null otherwise.
const CFType* Find(const CACFDictionary& d, std::string_view key)
{
    const CFType* value = nullptr;
    return d.GetCFType(key, value) ? value : nullptr;
}
} // namespace

OSStatus CTova::SaveState(CFType* outData)
{
    if (const OSStatus status = AUMIDIEffectBase::SaveState(outData)) return status;
    CACFDictionary samples;
    CACFDictionary keysInfo;
    {
        const std::lock_guard lock(mStateMutex);
        const HeldSnapshot held(*this);
        mSampleFactory->SaveState(samples, mSnapshot.fill, mSnapshot.slots.data());
        CACFArray keys;
        for (const KeyState& key : mSnapshot.keys)
        {
            CACFDictionary entry;
            entry.AddSInt32("id", key.id);
            if (key.id >= 0)
            {
                entry.AddFloat64("pitchshift", key.pitchShift);
                entry.AddFloat64("speed", key.speed);
                entry.AddSInt32("auto", key.automatic ? 1 : 0);
                entry.AddSInt32("looping", key.looping ? 1 : 0);
            }
            keys.AppendDictionary(entry);
        }
        keysInfo.AddSInt32("version", kTovaStateVersion);
        keysInfo.AddArray("data", keys);
    }
    CACFDictionary state(std::move(*outData));
    state.AddSInt32("tova-version", kTovaStateVersion);
    state.AddDictionary("tova-samples", samples);
    state.AddDictionary("tova-keysinfo", keysInfo);
    *outData = std::move(state.GetCFType());
    return noErr;
}

OSStatus CTova::RestoreState(const CFType& plist)
{
    const std::lock_guard lock(mStateMutex);
    // Unlike what the frame refuses below, a malformed pool or key leaves everything as it is.
    if (!CanRestoreContent(plist)) return kAudioUnitErr_InvalidPropertyValue;
    const Exclusive access(*this);
    SettleHandOffs();
    const OSStatus status = AUMIDIEffectBase::RestoreState(plist);
    if (status == noErr)
    {
        RestoreContent(plist);
        for (const AudioUnitParameterID id :
             {kTovaParam_AllSoundsOff, kTovaParam_ToggleAutolooper, kTovaParam_StopPrior})
            SetParameter(id, kAudioUnitScope_Global, 0, 0, 0);
        // Again through SetParameter, so that their side effects follow the restored values
        // ("Memory Lock", already restored, turns the locked switches back off).
        for (AudioUnitParameterID id = 0; id < kTovaParam_Count; ++id)
            SetParameter(id, kAudioUnitScope_Global, 0, Param(id), 0);
    }
    mStopped.store(1, std::memory_order_relaxed);
    PropertyChanged(kTovaProperty_Stopped, kAudioUnitScope_Global, 0);
    Reset(kAudioUnitScope_Global, 0);
    return status;
}

bool CTova::CanRestoreContent(const CFType& plist) const
{
    // Not a dictionary: the frame refuses it.
    if (plist.GetKind() != CFType::Kind::Dictionary) return true;
    const CACFDictionary state(plist);
    // Missing: nothing recorded (not an error, the frame's own states have no pool).
    const CFType* samples = Find(state, "tova-samples");
    if (samples == nullptr) return true;
    if (samples->GetKind() != CFType::Kind::Dictionary) return false;
    std::vector<bool> used;
    if (!mSampleFactory->CanRestore(CACFDictionary(*samples), used)) return false;

    const CFType* keysInfo = Find(state, "tova-keysinfo");
    if (keysInfo == nullptr) return true;
    if (keysInfo->GetKind() != CFType::Kind::Dictionary) return false;
    CACFArray data;
    if (!CACFDictionary(*keysInfo).GetArray("data", data)) return false;
    for (std::size_t k = 0; k < static_cast<std::size_t>(kNumKeys); ++k)
    {
        CACFDictionary entry;
        if (!data.GetDictionary(k, entry)) continue;
        KeyEntry key;
        if (!ReadKey(entry, key)) return false;
        // A key must name a slot that holds a sample.
        if (key.id >= 0 && (key.id >= static_cast<SInt32>(used.size()) || !used[key.id]))
            return false;
    }
    return true;
}

void CTova::RestoreContent(const CFType& plist)
{
    EraseAllSamples();
    // The pool is replaced below, and the old references with it. The keys are rebuilt from
    // the state at once, so no erase is left pending: it would spread copies over the keys
    // the state leaves empty at the next cycle, and they would no longer be what was saved.
    for (CKeyInfo& key : mKeys)
    {
        key.Reset();
        key.SetErasePending(false);
    }
    mRecordSample = nullptr;
    mRecordKey = -1;
    mPendingStart = -1;
    mPendingStop = -1;
    // An import half copied in goes with the old pool.
    if (mImportState.load(std::memory_order_acquire) == EHandOff::Working)
        FinishImport(kAudioUnitErr_CannotDoInCurrentContext);

    const CACFDictionary state(plist);
    CACFDictionary samples;
    if (!state.GetDictionary("tova-samples", samples))
    {
        // Nothing recorded: an empty pool, so that no slot stays taken by nobody.
        samples.AddSInt32("length", 0);
        mSampleFactory->RestoreState(samples);
        return;
    }
    mSampleFactory->RestoreState(samples);

    CACFDictionary keysInfo;
    CACFArray data;
    if (!state.GetDictionary("tova-keysinfo", keysInfo) || !keysInfo.GetArray("data", data)) return;
    for (int k = 0; k < kNumKeys; ++k)
    {
        CACFDictionary entry;
        KeyEntry key;
        if (!data.GetDictionary(static_cast<std::size_t>(k), entry) || !ReadKey(entry, key) ||
            key.id < 0)
            continue;
        CKeyInfo& info = mKeys[k];
        info.SetSample(mSampleFactory->GetSample(key.id));
        info.SetAutomatic(key.automatic != 0);
        info.SetLooping(key.looping != 0);
        info.SetPitchShift(key.pitchShift);
        info.SetSpeed(key.speed);
    }
}
