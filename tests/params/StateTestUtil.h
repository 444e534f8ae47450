#pragma once
// Saving and restoring Tova's class-info state as a host does, and editing states.

#include "TovaHost.h"

#include "platform/cf/CACFDictionary.h"

#include <functional>

CFType SaveState(const TovaHost& host);
OSStatus RestoreState(const TovaHost& host, const CFType& state);

using Edit = std::function<void(CACFDictionary&)>;
// The state with entry i of the array "data" of the dictionary under key changed by edit.
CFType WithEntry(CFType state, const char* key, std::size_t i, const Edit& edit);
// The state with parameter id set to value in the parameter blob.
CFType WithParameter(CFType state, AudioUnitParameterID id, float value);
