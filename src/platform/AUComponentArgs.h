#pragma once
// The argument record behind ComponentParameters::args for each selector. Only the host-side
// calls (platform/AUComponent.cpp) build them and only component entries read them; hosts
// use the typed calls instead. The open selector passes the ComponentInstanceRecord being
// opened, the version selector a UInt32* to fill, close and the lifecycle selectors nothing.

#include "platform/AudioUnitProperties.h"

struct AUResetArgs
{
    AudioUnitScope scope;
    AudioUnitElement element;
};

struct AUGetPropertyInfoArgs
{
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;
    UInt32* outDataSize;  // may be null
    Boolean* outWritable; // may be null
};

struct AUGetPropertyArgs
{
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;
    void* outData; // null: report the size only
    UInt32* ioDataSize;
};

struct AUSetPropertyArgs
{
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;
    const void* inData;
    UInt32 inDataSize;
};

// Used by the add, remove and remove-with-user-data selectors (remove ignores userData).
struct AUPropertyListenerArgs
{
    AudioUnitPropertyID id;
    AudioUnitPropertyListenerProc proc;
    void* userData;
};

struct AURenderNotifyArgs
{
    AURenderCallback proc;
    void* userData;
};

struct AUGetParameterArgs
{
    AudioUnitParameterID id;
    AudioUnitScope scope;
    AudioUnitElement element;
    AudioUnitParameterValue* outValue;
};

struct AUSetParameterArgs
{
    AudioUnitParameterID id;
    AudioUnitScope scope;
    AudioUnitElement element;
    AudioUnitParameterValue value;
    UInt32 bufferOffset;
};

struct AUScheduleParametersArgs
{
    const AudioUnitParameterEvent* events;
    UInt32 numEvents;
};

struct AURenderArgs
{
    AudioUnitRenderActionFlags* ioActionFlags;
    const AudioTimeStamp* timeStamp;
    UInt32 bus;
    UInt32 frames;
    AudioBufferList* ioData;
};

struct MusicDeviceMIDIEventArgs
{
    UInt32 status;
    UInt32 data1;
    UInt32 data2;
    UInt32 offsetSampleFrame;
};

struct MusicDeviceSysExArgs
{
    const UInt8* data;
    UInt32 length;
};
