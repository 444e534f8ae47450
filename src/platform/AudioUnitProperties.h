#pragma once
// Audio-unit property ids and the records they carry: parameter descriptions with their unit
// codes and flag bits, channel configurations, input sources, presets and host callbacks.

#include "platform/AUComponent.h"

#include <string>

constexpr AudioUnitPropertyID kAudioUnitProperty_ClassInfo = 0;
constexpr AudioUnitPropertyID kAudioUnitProperty_MakeConnection = 1;
constexpr AudioUnitPropertyID kAudioUnitProperty_SampleRate = 2;
constexpr AudioUnitPropertyID kAudioUnitProperty_ParameterList = 3;
constexpr AudioUnitPropertyID kAudioUnitProperty_ParameterInfo = 4;
constexpr AudioUnitPropertyID kAudioUnitProperty_CPULoad = 6;
constexpr AudioUnitPropertyID kAudioUnitProperty_StreamFormat = 8;
constexpr AudioUnitPropertyID kAudioUnitProperty_ElementCount = 11;
constexpr AudioUnitPropertyID kAudioUnitProperty_Latency = 12;
constexpr AudioUnitPropertyID kAudioUnitProperty_SupportedNumChannels = 13;
constexpr AudioUnitPropertyID kAudioUnitProperty_MaximumFramesPerSlice = 14;
constexpr AudioUnitPropertyID kAudioUnitProperty_ParameterValueStrings = 16;
constexpr AudioUnitPropertyID kAudioUnitProperty_GetUIComponentList = 18;
constexpr AudioUnitPropertyID kAudioUnitProperty_TailTime = 20;
constexpr AudioUnitPropertyID kAudioUnitProperty_BypassEffect = 21;
constexpr AudioUnitPropertyID kAudioUnitProperty_SetRenderCallback = 23;
constexpr AudioUnitPropertyID kAudioUnitProperty_FactoryPresets = 24;
constexpr AudioUnitPropertyID kAudioUnitProperty_RenderQuality = 26;
constexpr AudioUnitPropertyID kAudioUnitProperty_HostCallbacks = 27;
constexpr AudioUnitPropertyID kAudioUnitProperty_CurrentPreset = 28;
constexpr AudioUnitPropertyID kAudioUnitProperty_InPlaceProcessing = 29;
constexpr AudioUnitPropertyID kAudioUnitProperty_ElementName = 30;
constexpr AudioUnitPropertyID kAudioUnitProperty_PresentPreset = 36;

using AudioUnitParameterUnit = UInt32;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Generic = 0;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Indexed = 1;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Boolean = 2;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Percent = 3;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Seconds = 4;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_SampleFrames = 5;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Phase = 6;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Rate = 7;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Hertz = 8;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Cents = 9;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_RelativeSemiTones = 10;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_MIDINoteNumber = 11;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_MIDIController = 12;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Decibels = 13;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_LinearGain = 14;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Degrees = 15;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_EqualPowerCrossfade = 16;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_MixerFaderCurve1 = 17;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Pan = 18;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Meters = 19;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_AbsoluteCents = 20;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Octaves = 21;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_BPM = 22;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Beats = 23;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Milliseconds = 24;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Ratio = 25;
constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_CustomUnit = 26;

using AudioUnitParameterOptions = UInt32;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_CFNameRelease = 1u << 4;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_OmitFromPresets = 1u << 13;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_PlotHistory = 1u << 14;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_MeterReadOnly = 1u << 15;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_DisplayMask = (7u << 16) | (1u << 22);
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_DisplaySquareRoot = 1u << 16;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_DisplaySquared = 2u << 16;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_DisplayCubed = 3u << 16;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_DisplayCubeRoot = 4u << 16;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_DisplayExponential = 5u << 16;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_HasClump = 1u << 20;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_ValuesHaveStrings = 1u << 21;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_DisplayLogarithmic = 1u << 22;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_IsHighResolution = 1u << 23;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_NonRealTime = 1u << 24;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_CanRamp = 1u << 25;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_ExpertMode = 1u << 26;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_HasCFNameString = 1u << 27;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_IsGlobalMeta = 1u << 28;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_IsElementMeta = 1u << 29;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_IsReadable = 1u << 30;
constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_IsWritable = 1u << 31;

// The names are constant C strings owned by the plug-in (never released by anyone).
struct AudioUnitParameterInfo
{
    char name[52] = {};
    const char* unitName = nullptr;
    UInt32 clumpID = 0;
    const char* cfNameString = nullptr;
    AudioUnitParameterUnit unit = kAudioUnitParameterUnit_Generic;
    AudioUnitParameterValue minValue = 0;
    AudioUnitParameterValue maxValue = 0;
    AudioUnitParameterValue defaultValue = 0;
    AudioUnitParameterOptions flags = 0;
};

// One supported pair of input and output channel counts; −1 on a side means any count.
struct AUChannelInfo
{
    SInt16 inChannels = 0;
    SInt16 outChannels = 0;
};

struct AURenderCallbackStruct
{
    AURenderCallback inputProc = nullptr;
    void* inputProcRefCon = nullptr;
};

// Feeds input bus destInputNumber from output bus sourceOutputNumber of another unit; a null
// source disconnects.
struct AudioUnitConnection
{
    AudioUnit sourceAudioUnit = nullptr;
    UInt32 sourceOutputNumber = 0;
    UInt32 destInputNumber = 0;
};

// A negative number names a user preset; factory presets count from 0.
struct AUPreset
{
    SInt32 presetNumber = -1;
    std::string presetName;
};

using HostCallback_GetBeatAndTempo = OSStatus (*)(void* inHostUserData, Float64* outCurrentBeat,
                                                  Float64* outCurrentTempo);
using HostCallback_GetMusicalTimeLocation = OSStatus (*)(void* inHostUserData,
                                                         UInt32* outDeltaSampleOffsetToNextBeat,
                                                         Float32* outTimeSig_Numerator,
                                                         UInt32* outTimeSig_Denominator,
                                                         Float64* outCurrentMeasureDownBeat);
using HostCallback_GetTransportState = OSStatus (*)(void* inHostUserData, Boolean* outIsPlaying,
                                                    Boolean* outTransportStateChanged,
                                                    Float64* outCurrentSampleInTimeLine,
                                                    Boolean* outIsCycling,
                                                    Float64* outCycleStartBeat,
                                                    Float64* outCycleEndBeat);

// Any callback may be null: the unit then answers its own defaults. Every out pointer a unit
// passes may be null too (it does not want that value).
struct HostCallbackInfo
{
    void* hostUserData = nullptr;
    HostCallback_GetBeatAndTempo beatAndTempoProc = nullptr;
    HostCallback_GetMusicalTimeLocation musicalTimeLocationProc = nullptr;
    HostCallback_GetTransportState transportStateProc = nullptr;
};
