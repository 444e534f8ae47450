#pragma once
// Where each port sits: the stereo input buses, the stereo output buses (bus 0 first), the
// atom input and output, then one control input per parameter in the unit's list order. The
// .ttl generator and the running plug-in both derive the indices from here.

#include <cstdint>
#include <string>

class LV2PortLayout
{
public:
    static constexpr std::uint32_t kChannels = 2;
    // What the plug-in asks for the notify port (rsz:minimumSize): room for a patch:Set of
    // every parameter, the protocol's replies and a full ring of feedback notes in one cycle.
    static constexpr std::uint32_t kNotifyBufferSize = 65536;

    LV2PortLayout(std::uint32_t inputBuses, std::uint32_t outputBuses, std::uint32_t parameters)
        : mInputBuses(inputBuses), mOutputBuses(outputBuses), mParameters(parameters)
    {
    }

    std::uint32_t InputBuses() const { return mInputBuses; }
    std::uint32_t OutputBuses() const { return mOutputBuses; }
    std::uint32_t Parameters() const { return mParameters; }

    std::uint32_t Input(std::uint32_t bus, std::uint32_t channel) const
    {
        return bus * kChannels + channel;
    }
    std::uint32_t Output(std::uint32_t bus, std::uint32_t channel) const
    {
        return (mInputBuses + bus) * kChannels + channel;
    }
    std::uint32_t ControlIn() const { return (mInputBuses + mOutputBuses) * kChannels; }
    std::uint32_t NotifyOut() const { return ControlIn() + 1; }
    std::uint32_t Parameter(std::uint32_t index) const { return NotifyOut() + 1 + index; }
    std::uint32_t Count() const { return Parameter(mParameters); }

    // Symbols of the stereo groups ("in", "in2", "out1") and of the fixed ports ("in_l",
    // "out2_r", "control", "notify"); the parameters' symbols are made from their names and kept
    // apart from these (LV2ParameterTable).
    static std::string InputGroup(std::uint32_t bus)
    {
        return bus == 0 ? std::string("in") : "in" + std::to_string(bus + 1);
    }
    static std::string OutputGroup(std::uint32_t bus) { return "out" + std::to_string(bus + 1); }
    static std::string InputSymbol(std::uint32_t bus, std::uint32_t channel)
    {
        return InputGroup(bus) + Side(channel);
    }
    static std::string OutputSymbol(std::uint32_t bus, std::uint32_t channel)
    {
        return OutputGroup(bus) + Side(channel);
    }
    static constexpr const char* kControlSymbol = "control";
    static constexpr const char* kNotifySymbol = "notify";

private:
    static const char* Side(std::uint32_t channel) { return channel == 0 ? "_l" : "_r"; }

    std::uint32_t mInputBuses;
    std::uint32_t mOutputBuses;
    std::uint32_t mParameters;
};
