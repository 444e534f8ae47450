#pragma once
// Saving and restoring Tova's class-info state through the host-side API, and editing states.

#include "TovaHost.h"

#include "platform/cf/CACFArray.h"
#include "platform/cf/CACFDictionary.h"

#include <functional>

// The unit's state, as a host gets it.
CFType SaveState(const TovaHost& host);
// Hands a state to the unit, as a host restores one.
OSStatus RestoreState(const TovaHost& host, const CFType& state);

// The state with the dictionary under key (a top-level key) changed by edit.
CFType WithDictionary(CFType state, const char* key,
                      const std::function<void(CACFDictionary&)>& edit);
// The state with entry i of the array "data" inside the dictionary under key changed by edit.
CFType WithEntry(CFType state, const char* key, std::size_t i,
                 const std::function<void(CACFDictionary&)>& edit);
// The state with parameter id's value in the parameter blob set to value.
CFType WithParameter(CFType state, AudioUnitParameterID id, float value);
