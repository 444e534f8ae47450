#pragma once
// Saves and restores the unit's class-info state for an LV2 host. The state is written in
// binary property-list form: into a file of the host's state directory when the host offers
// state:makePath and state:mapPath (the host keeps the abstract path), else as an atom:Chunk
// inside the host's own state.
//
// Restoring reads and checks the whole property list before the unit sees it, so a damaged
// file or chunk is refused and what the unit has recorded stays as it was; a state of another
// component is refused by the unit itself.

#include "hosts/lv2/LV2URIs.h"
#include "platform/AUComponent.h"

#include <lv2/state/state.h>

#include <string>

class LV2StateStore
{
public:
    static constexpr const char* kFileName = "state.bplist";

    // [ui]
    LV2StateStore(AudioUnit unit, const LV2URIs& uris) : mUnit(unit), mURIs(uris) {}

    // [ui] May run while the render thread runs: the unit hands over a consistent snapshot.
    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle,
                          const LV2_Feature* const* features);
    // [ui] Never runs together with the render thread.
    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                             const LV2_Feature* const* features);

    // [ui] Why the last Save or Restore failed; empty after a success.
    const std::string& Error() const { return mError; }

private:
    LV2_State_Status Fail(LV2_State_Status status, std::string error);

    AudioUnit mUnit;
    const LV2URIs& mURIs;
    std::string mError;
};
