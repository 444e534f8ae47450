#include "hosts/render/RenderCommand.h"

#include "hosts/common/StatusText.h"
#include "hosts/common/UnitCustomProperties.h"
#include "hosts/common/UnitParameters.h"
#include "hosts/common/UnitStateFile.h"
#include "hosts/render/AudioFileWriter.h"
#include "hosts/render/ProgressBar.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
// Silence after the last sound: release tails and reverb decay.
constexpr double kTailSeconds = 2.0;
constexpr double kDefaultSampleRate = 48000.0;

// Audio-file errors are four-character codes ('typ?'); they read better as such.
std::string Status(OSStatus status)
{
    const auto code = static_cast<std::uint32_t>(status);
    std::string text(1, '\'');
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const auto c = static_cast<char>((code >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) return StatusText::Of(status);
        text.push_back(c);
    }
    return " (status " + text + "')";
}

std::string Seconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}
} // namespace

RenderCommand::RenderCommand(const AudioComponentRegistration& component) : mComponent(component) {}

RenderCommand::~RenderCommand()
{
    mHost.reset();
    if (mUnit != nullptr) AudioComponentInstanceDispose(mUnit);
}

bool RenderCommand::Fail(int status, const std::string& message)
{
    std::fprintf(stderr, "tova-render: %s\n", message.c_str());
    mStatus = status;
    return false;
}

bool RenderCommand::FailFile(const std::string& path, const std::string& message)
{
    return Fail(RenderOptions::kExitRuntimeError, path + ": " + message);
}

int RenderCommand::Run(int argc, const char* const* argv)
{
    const RenderOptions::Result parsed = mOptions.Parse(argc, argv);
    if (!parsed.run) return parsed.Stop();
    Summary summary;
    if (ReadInputs() && PlanRender() && OpenUnit() && ResolveParameters() && RestoreState() &&
        ImportFiles() && ApplyParameters() && RenderToFile(summary) && SaveState())
        PrintSummary(summary);
    return mStatus;
}

bool RenderCommand::ReadInputs()
{
    std::string error;
    if (mOptions.inPath)
    {
        mInput.emplace();
        if (!mInput->Open(*mOptions.inPath, error)) return FailFile(*mOptions.inPath, error);
    }
    if (mOptions.midiPath && !StandardMidiFile::Read(*mOptions.midiPath, mMidi, error))
        return FailFile(*mOptions.midiPath, error);
    return true;
}

bool RenderCommand::PlanRender()
{
    mSampleRate = mOptions.sampleRate.value_or(mInput ? mInput->SampleRate() : kDefaultSampleRate);
    if (mInput && mInput->SampleRate() != mSampleRate)
        return Fail(RenderOptions::kExitUsage,
                    "--rate " + std::to_string(std::lround(mSampleRate)) + " differs from the " +
                        std::to_string(std::lround(mInput->SampleRate())) + " Hz of " +
                        *mOptions.inPath + " (tova-render does not resample)");

    // Without tempo events the file plays at the host tempo; with them, --tempo only covers
    // the time before the first one.
    mTempoMap = std::make_unique<TempoMap>(mMidi, mOptions.tempo);
    double lastEvent = 0.0;
    for (const StandardMidiFile::Event& event : mMidi.Events())
    {
        const double seconds = mTempoMap->SecondsAtTick(event.tick);
        lastEvent = std::max(lastEvent, seconds);
        if (seconds > RenderOptions::kMaxSeconds) break; // refused below; no need to place the rest
        mMidiMessages.push_back({static_cast<std::uint64_t>(std::llround(seconds * mSampleRate)),
                                 event.status, event.data1, event.data2});
    }
    double seconds = 0.0;
    if (mOptions.lengthSeconds)
        seconds = *mOptions.lengthSeconds;
    else
    {
        const double input = mInput ? static_cast<double>(mInput->Frames()) / mSampleRate : 0.0;
        seconds = std::max(input, lastEvent) + kTailSeconds;
        if (seconds > RenderOptions::kMaxSeconds)
            return Fail(RenderOptions::kExitRuntimeError, "the input would render for " +
                                                              Seconds(seconds) +
                                                              ", more than a day; give --length");
    }
    mFrames =
        std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::llround(seconds * mSampleRate)));
    return true;
}

bool RenderCommand::OpenUnit()
{
    const OSStatus status = AudioComponentInstanceNew(&mComponent, &mUnit);
    if (status != noErr)
    {
        mUnit = nullptr;
        return Fail(RenderOptions::kExitRuntimeError,
                    std::string("cannot open the component ") + mComponent.name + Status(status));
    }
    OfflineHost::Settings settings;
    settings.sampleRate = mSampleRate;
    settings.blockFrames = mOptions.blockFrames;
    settings.outputBus = mOptions.bus;
    settings.playing = mOptions.playing;
    settings.hostClock = mOptions.hostClock;
    mHost = std::make_unique<OfflineHost>(mUnit, settings, *mTempoMap);
    return true;
}

bool RenderCommand::ResolveParameters()
{
    UnitParameters parameters;
    std::string error;
    if (!parameters.Load(mUnit, error)) return Fail(RenderOptions::kExitRuntimeError, error);
    const double renderSeconds = static_cast<double>(mFrames) / mSampleRate;
    for (const RenderOptions::ParameterSetting& setting : mOptions.parameters)
    {
        OfflineHost::ParameterChange change;
        if (!parameters.Resolve(setting.name, setting.value, change.id, change.value, error))
            return Fail(RenderOptions::kExitUsage, error);
        if (!setting.seconds)
        {
            mInitialParameters.push_back(change);
            continue;
        }
        change.frame = static_cast<std::uint64_t>(std::llround(*setting.seconds * mSampleRate));
        if (change.frame >= mFrames)
            return Fail(RenderOptions::kExitUsage, "--set at " + Seconds(*setting.seconds) +
                                                       " lies past the end of the " +
                                                       Seconds(renderSeconds) + " render");
        mTimedParameters.push_back(change);
    }
    // Changes at the same moment keep their command-line order.
    std::stable_sort(mTimedParameters.begin(), mTimedParameters.end(),
                     [](const auto& a, const auto& b) { return a.frame < b.frame; });
    return true;
}

bool RenderCommand::RestoreState()
{
    std::string error;
    if (!mHost->Prepare(error)) return Fail(RenderOptions::kExitRuntimeError, error);
    if (!mOptions.stateIn) return true;
    CFType state;
    if (!PropertyListFile::Read(*mOptions.stateIn, state, error) ||
        !UnitStateFile::Restore(mUnit, state, error))
        return FailFile(*mOptions.stateIn, error);
    return true;
}

bool RenderCommand::ImportFiles()
{
    for (const RenderOptions::Import& import : mOptions.imports)
    {
        // The component's refusal is a bare status; a file that cannot be opened at all is
        // better told by the system's own words.
        if (std::FILE* file = std::fopen(import.path.c_str(), "rb"); file != nullptr)
            std::fclose(file);
        else
            return FailFile(import.path, std::strerror(errno));
        const OSStatus status = UnitCustomProperties::Import(
            mUnit, import.path.c_str(), static_cast<UInt32>(import.path.size()), import.withTempo);
        if (status != noErr)
            return FailFile(import.path, "the component could not import it" + Status(status));
    }
    return true;
}

bool RenderCommand::ApplyParameters()
{
    for (const OfflineHost::ParameterChange& change : mInitialParameters)
    {
        const OSStatus status =
            AudioUnitSetParameter(mUnit, change.id, kAudioUnitScope_Global, 0, change.value, 0);
        if (status != noErr)
            return Fail(RenderOptions::kExitRuntimeError, "setting parameter " +
                                                              std::to_string(change.id) +
                                                              " failed" + Status(status));
    }
    return true;
}

bool RenderCommand::RenderToFile(Summary& summary)
{
    AudioFileWriter writer;
    std::string error;
    if (!writer.Open(mOptions.outPath, mSampleRate, mOptions.sampleFormat, error))
        return FailFile(mOptions.outPath, error);

    OfflineHost::Input input;
    if (mInput)
        input = [this](float* left, float* right, UInt32 frames)
        { return mInput->ReadStereo(left, right, frames); };
    std::string writeError;
    const OfflineHost::Output output = [&](const float* left, const float* right, UInt32 frames)
    {
        for (UInt32 i = 0; i < frames; ++i)
            summary.peak = std::max({summary.peak, std::fabs(left[i]), std::fabs(right[i])});
        return writer.WriteStereo(left, right, frames, writeError);
    };
    ProgressBar bar(!mOptions.quiet && ProgressBar::StderrIsTerminal());
    const auto start = std::chrono::steady_clock::now();
    const bool rendered = mHost->Render(
        mFrames, mMidiMessages, mTimedParameters, input, output,
        [&bar](std::uint64_t done, std::uint64_t total) { bar.Update(done, total); }, error);
    bar.Finish();
    summary.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    summary.frames = mFrames;
    if (!rendered)
        return writeError.empty() ? Fail(RenderOptions::kExitRuntimeError, error)
                                  : FailFile(mOptions.outPath, writeError);
    if (!writer.Close(error)) return FailFile(mOptions.outPath, error);
    return true;
}

bool RenderCommand::SaveState()
{
    if (!mOptions.stateOut) return true;
    CFType state;
    std::string error;
    if (!UnitStateFile::Capture(mUnit, state, error))
        return Fail(RenderOptions::kExitRuntimeError, error);
    if (!UnitStateFile::Write(*mOptions.stateOut, state, error))
        return FailFile(*mOptions.stateOut, error);
    return true;
}

void RenderCommand::PrintSummary(const Summary& summary) const
{
    const double seconds = static_cast<double>(summary.frames) / mSampleRate;
    char peak[32];
    if (summary.peak > 0.0f)
        std::snprintf(peak, sizeof peak, "%.1f dBFS", 20.0 * std::log10(summary.peak));
    else
        std::snprintf(peak, sizeof peak, "-inf dBFS");
    char speed[32];
    if (summary.wallSeconds > 0.0)
        std::snprintf(speed, sizeof speed, "%.1fx real time", seconds / summary.wallSeconds);
    else
        std::snprintf(speed, sizeof speed, "instant");
    std::printf("tova-render: %llu frames (%s at %.0f Hz, bus %u) -> %s; peak %s; %s\n",
                static_cast<unsigned long long>(summary.frames), Seconds(seconds).c_str(),
                mSampleRate, mOptions.bus, mOptions.outPath.c_str(), peak, speed);
}
