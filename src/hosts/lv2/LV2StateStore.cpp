#include "hosts/lv2/LV2StateStore.h"

#include "hosts/common/StatusText.h"
#include "platform/AudioUnitProperties.h"
#include "platform/cf/BinaryPropertyList.h"
#include "platform/cf/PropertyListFile.h"

#include <lv2/core/lv2_util.h>

#include <cstdlib>
#include <cstring>

namespace
{
// The host's way of freeing the paths it hands out: its own function, else free().
void FreePath(const LV2_State_Free_Path* freePath, char* path)
{
    if (freePath != nullptr)
        freePath->free_path(freePath->handle, path);
    else
        std::free(path);
}
} // namespace

LV2_State_Status LV2StateStore::Fail(LV2_State_Status status, std::string error)
{
    mError = std::move(error);
    return status;
}

LV2_State_Status LV2StateStore::Save(LV2_State_Store_Function store, LV2_State_Handle handle,
                                     const LV2_Feature* const* features)
{
    mError.clear();
    CFType state;
    UInt32 size = sizeof state;
    const OSStatus status = AudioUnitGetProperty(mUnit, kAudioUnitProperty_ClassInfo,
                                                 kAudioUnitScope_Global, 0, &state, &size);
    if (status != noErr)
        return Fail(LV2_STATE_ERR_UNKNOWN,
                    "the unit did not hand over its state" + StatusText::Of(status));

    const LV2_State_Make_Path* makePath = nullptr;
    const LV2_State_Map_Path* mapPath = nullptr;
    const LV2_State_Free_Path* freePath = nullptr;
    lv2_features_query(features, LV2_STATE__makePath, &makePath, false, LV2_STATE__mapPath,
                       &mapPath, false, LV2_STATE__freePath, &freePath, false, nullptr);

    if (makePath != nullptr && mapPath != nullptr)
    {
        char* absolute = makePath->path(makePath->handle, kFileName);
        if (absolute == nullptr) return Fail(LV2_STATE_ERR_NO_SPACE, "the host made no path");
        std::string error;
        const bool written =
            PropertyListFile::Write(absolute, state, PropertyListFormat::Binary, error);
        char* abstract = written ? mapPath->abstract_path(mapPath->handle, absolute) : nullptr;
        FreePath(freePath, absolute);
        if (!written) return Fail(LV2_STATE_ERR_NO_SPACE, error);
        if (abstract == nullptr) return Fail(LV2_STATE_ERR_UNKNOWN, "the host mapped no path");
        const LV2_State_Status stored =
            store(handle, mURIs.state, abstract, std::strlen(abstract) + 1, mURIs.atomPath,
                  LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
        FreePath(freePath, abstract);
        return stored;
    }
    const CFDataStorage bytes = BinaryPropertyList::Write(state);
    return store(handle, mURIs.state, bytes.data(), bytes.size(), mURIs.atomChunk,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status LV2StateStore::Restore(LV2_State_Retrieve_Function retrieve,
                                        LV2_State_Handle handle, const LV2_Feature* const* features)
{
    mError.clear();
    std::size_t size = 0;
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    const void* value = retrieve(handle, mURIs.state, &size, &type, &flags);
    if (value == nullptr) return Fail(LV2_STATE_ERR_NO_PROPERTY, "the state holds no Tova state");

    CFType state;
    std::string error;
    if (type == mURIs.atomPath)
    {
        const LV2_State_Map_Path* mapPath = nullptr;
        const LV2_State_Free_Path* freePath = nullptr;
        lv2_features_query(features, LV2_STATE__mapPath, &mapPath, false, LV2_STATE__freePath,
                           &freePath, false, nullptr);
        const auto* abstract = static_cast<const char*>(value);
        if (size == 0 || abstract[size - 1] != '\0')
            return Fail(LV2_STATE_ERR_BAD_TYPE, "the stored path is not a string");
        char* absolute =
            mapPath != nullptr ? mapPath->absolute_path(mapPath->handle, abstract) : nullptr;
        const bool read =
            PropertyListFile::Read(absolute != nullptr ? absolute : abstract, state, error);
        if (absolute != nullptr) FreePath(freePath, absolute);
        if (!read) return Fail(LV2_STATE_ERR_UNKNOWN, error);
    }
    else if (type == mURIs.atomChunk)
    {
        if (!PropertyListFile::Decode(static_cast<const std::uint8_t*>(value), size, state, error))
            return Fail(LV2_STATE_ERR_UNKNOWN, "the stored state is damaged: " + error);
    }
    else
        return Fail(LV2_STATE_ERR_BAD_TYPE, "the stored state has an unknown type");

    const OSStatus status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_ClassInfo,
                                                 kAudioUnitScope_Global, 0, &state, sizeof state);
    if (status != noErr)
        return Fail(LV2_STATE_ERR_UNKNOWN, "the unit refused the state" + StatusText::Of(status));
    return LV2_STATE_SUCCESS;
}
