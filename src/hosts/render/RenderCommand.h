#pragma once
// The tova-render program for a given component: reads the command line, the input audio and
// the MIDI file, opens the component like any host, restores a state, imports files, sets
// parameters, renders into the output file and saves the state. Every failure ends in one line
// on stderr and the exit status of RenderOptions (2 for usage, 1 for everything at run time).

#include "hosts/render/AudioFileReader.h"
#include "hosts/render/OfflineHost.h"
#include "hosts/render/RenderOptions.h"
#include "hosts/render/StandardMidiFile.h"
#include "hosts/render/TempoMap.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class RenderCommand
{
public:
    explicit RenderCommand(const AudioComponentRegistration& component);
    ~RenderCommand();
    RenderCommand(const RenderCommand&) = delete;
    RenderCommand& operator=(const RenderCommand&) = delete;

    // Returns the exit status.
    int Run(int argc, const char* const* argv);

private:
    struct Summary
    {
        std::uint64_t frames = 0;
        float peak = 0.0f;
        double wallSeconds = 0.0;
    };

    bool Fail(int status, const std::string& message);
    bool FailFile(const std::string& path, const std::string& message);
    bool ReadInputs();
    bool PlanRender();
    bool OpenUnit();
    bool ResolveParameters();
    bool RestoreState();
    bool ImportFiles();
    bool ApplyParameters();
    bool RenderToFile(Summary& summary);
    bool SaveState();
    void PrintSummary(const Summary& summary) const;

    const AudioComponentRegistration& mComponent;
    RenderOptions mOptions;
    int mStatus = 0;
    std::optional<AudioFileReader> mInput;
    StandardMidiFile mMidi;
    std::unique_ptr<TempoMap> mTempoMap;
    double mSampleRate = 48000.0;
    std::uint64_t mFrames = 0;
    std::vector<OfflineHost::MidiMessage> mMidiMessages;
    std::vector<OfflineHost::ParameterChange> mInitialParameters;
    std::vector<OfflineHost::ParameterChange> mTimedParameters;
    AudioUnit mUnit = nullptr;
    std::unique_ptr<OfflineHost> mHost;
};
