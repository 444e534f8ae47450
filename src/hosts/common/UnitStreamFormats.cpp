#include "hosts/common/UnitStreamFormats.h"

#include "hosts/common/StatusText.h"

UInt32 UnitStreamFormats::Count(AudioUnit unit, AudioUnitScope scope)
{
    UInt32 buses = 0;
    UInt32 size = sizeof buses;
    if (AudioUnitGetProperty(unit, kAudioUnitProperty_ElementCount, scope, 0, &buses, &size) !=
        noErr)
        return 0;
    return buses;
}

bool UnitStreamFormats::Set(AudioUnit unit, double sampleRate, UInt32 channels, UInt32 inputs,
                            UInt32 outputs, std::string& error)
{
    const AudioStreamBasicDescription format = CanonicalStreamFormat(sampleRate, channels);
    for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output})
    {
        const UInt32 buses = scope == kAudioUnitScope_Input ? inputs : outputs;
        for (UInt32 bus = 0; bus < buses; ++bus)
            if (const OSStatus status = AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat,
                                                             scope, bus, &format, sizeof format))
            {
                error = StatusText::Failed("setting the stream format", status);
                return false;
            }
    }
    return true;
}
