#include "hosts/jack/JackProgram.h"

#include "hosts/common/HostPlatform.h"
#include "hosts/common/StatusText.h"
#include "hosts/common/UnitCustomProperties.h"
#include "hosts/jack/StatusLine.h"
#include "platform/AudioUnitUtilities.h"
#include "platform/MIDITapCapture.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace
{
// How often the main loop wakes (listener notifications are delivered then), and how often
// the status line may change at most.
constexpr int kTickMilliseconds = 50;
constexpr auto kStatusInterval = std::chrono::milliseconds(250);

const char* kCommands = R"(commands:
  save               save the state to the --state file
  erase              erase every sample
  learn PARAM        arm MIDI learn for a parameter (name or id); the next controller, pitch
                     wheel or note binds to it; learning it again clears its bindings
  set NAME=VALUE     set a parameter to a number or one of its value strings
  import FILE        import an audio file (tempo from its length); the next key takes it
  import-plain FILE  the same without a tempo
  quit               save the state and leave)";
} // namespace

JackProgram::JackProgram(const AudioComponentRegistration& component) : mComponent(component) {}

JackProgram::~JackProgram()
{
    mClient.reset();
    mHost.reset();
    if (mUnit != nullptr) AudioComponentInstanceDispose(mUnit);
}

bool JackProgram::Fail(const std::string& message)
{
    mTerminal.Complain(message);
    mStatus = JackCommandLine::kExitRuntimeError;
    return false;
}

int JackProgram::Run(int argc, const char* const* argv)
{
    const JackCommandLine::Result parsed = mOptions.Parse(argc, argv);
    if (!parsed.run) return parsed.Stop();
    if (!mSignals.Ok())
    {
        Fail("cannot watch for signals");
        return mStatus;
    }
    if (Open() && OpenUnit() && Start())
    {
        Serve();
        Finish();
    }
    return mStatus;
}

bool JackProgram::Open()
{
    JackClient::Settings settings;
    settings.name = mOptions.clientName;
    settings.server = mOptions.serverName;
    settings.allBuses = mOptions.allBuses;
    if (mOptions.master)
        settings.master.emplace(mOptions.master->tempo, mOptions.master->beatsPerBar);
    std::string error;
    mClient = JackClient::Open(settings, error);
    return mClient != nullptr || Fail(error);
}

bool JackProgram::OpenUnit()
{
    HostPlatform::Install();
    {
        // The unit's virtual source is tapped for midi_out as it is created.
        const MIDITapCapture capture;
        if (const OSStatus status = AudioComponentInstanceNew(&mComponent, &mUnit))
        {
            mUnit = nullptr;
            return Fail(std::string("cannot open the component ") + mComponent.name +
                        StatusText::Of(status));
        }
        mUnitInfo.unit = mUnit;
        mUnitInfo.feedback = capture.Tap();
    }
    std::string error;
    if (!mParameters.Load(mUnit, error)) return Fail(error);
    AudioUnitParameterID recording = 0;
    if (mParameters.Lookup("Recording", recording, error)) mUnitInfo.recording = recording;

    mHost = std::make_unique<LiveHost>(mUnit, mClient->Buses(), mClient->ClockCallbacks());
    return mClient->Prepare(*mHost, mUnitInfo, mUnitAccess, error) || Fail(error);
}

void JackProgram::RestoreAndImport()
{
    if (mOptions.statePath)
    {
        mState.emplace(mUnit, mUnitAccess, *mOptions.statePath);
        std::string message;
        if (mState->Load(message) == StateKeeper::Loaded::Refused)
            mTerminal.Complain(message);
        else
            mTerminal.Say(message);
    }
    for (const JackCommandLine::Import& import : mOptions.imports)
        Import(import.path, import.withTempo);
}

bool JackProgram::Start()
{
    RestoreAndImport();
    std::string error;
    if (!mClient->Activate(error)) return Fail(error);
    if (mOptions.connect)
        for (const std::string& line : mClient->ConnectToSystem(kFeedbackSource))
            mTerminal.Say(line);
    char text[160];
    std::snprintf(text, sizeof text,
                  "%s plays as JACK client '%s' at %.0f Hz, %u frames per cycle%s; type help "
                  "for the commands",
                  mComponent.name, mClient->Name().c_str(), mHost->SampleRate(), mHost->MaxFrames(),
                  mOptions.master ? ", as the timebase master" : "");
    mTerminal.Say(text);
    return true;
}

void JackProgram::Serve()
{
    pollfd watched[3] = {{mSignals.Descriptor(), POLLIN, 0},
                         {mClient->EventDescriptor(), POLLIN, 0},
                         {STDIN_FILENO, POLLIN, 0}};
    while (!mQuit)
    {
        const nfds_t count = mTerminalOpen ? 3 : 2;
        if (::poll(watched, count, kTickMilliseconds) < 0 && errno != EINTR)
        {
            Fail(std::string("cannot wait for input: ") + std::strerror(errno));
            return;
        }
        while (const int signal = mSignals.Take())
        {
            if (signal == SIGUSR1)
                Save();
            else
                mQuit = true;
        }
        for (const std::string& notice : mClient->TakeNotices())
            mTerminal.Say(notice);
        if (mClient->Lost())
        {
            Fail("the JACK server has gone away: " + mClient->LostReason());
            return;
        }
        if (mTerminalOpen && (watched[2].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
            ReadTerminal();
        AUListenerDispatchPending();
        ShowStatus();
    }
}

void JackProgram::Finish()
{
    // Nothing renders any more: the state saved is the one the player last heard.
    mClient->Deactivate();
    if (mState) Save();
}

void JackProgram::ReadTerminal()
{
    char bytes[4096];
    const ssize_t n = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0)
    {
        // A player who ends the input at the terminal means to leave; a script whose input
        // ends leaves the program running until a signal.
        mTerminalOpen = false;
        if (::isatty(STDIN_FILENO) != 0) mQuit = true;
        return;
    }
    mTyped.append(bytes, static_cast<std::size_t>(n));
    for (std::size_t end; !mQuit && (end = mTyped.find('\n')) != std::string::npos;)
    {
        const std::string line = mTyped.substr(0, end);
        mTyped.erase(0, end + 1);
        Execute(ConsoleCommand::Parse(line));
    }
}

void JackProgram::Execute(const ConsoleCommand& command)
{
    switch (command.kind)
    {
    case ConsoleCommand::Kind::None:
        return;
    case ConsoleCommand::Kind::Save:
        if (mState)
            Save();
        else
            mTerminal.Complain("no state file to save to (start with --state FILE)");
        return;
    case ConsoleCommand::Kind::Erase:
        return Erase();
    case ConsoleCommand::Kind::Learn:
        return Learn(command.name);
    case ConsoleCommand::Kind::Set:
        return Set(command.name, command.value);
    case ConsoleCommand::Kind::Import:
    case ConsoleCommand::Kind::ImportPlain:
        return Import(command.name, command.kind == ConsoleCommand::Kind::Import);
    case ConsoleCommand::Kind::Help:
        return mTerminal.Say(kCommands);
    case ConsoleCommand::Kind::Quit:
        mQuit = true;
        return;
    case ConsoleCommand::Kind::Invalid:
        return mTerminal.Complain(command.error);
    }
}

void JackProgram::Save()
{
    std::string message;
    if (mState->Save(message))
        mTerminal.Say(message);
    else
        Fail(message);
}

void JackProgram::Erase()
{
    const UInt32 any = 1;
    const std::lock_guard<std::mutex> access(mUnitAccess);
    const OSStatus status = AudioUnitSetProperty(mUnit, UnitCustomProperties::kEraseAll,
                                                 kAudioUnitScope_Global, 0, &any, sizeof any);
    if (status == noErr)
        mTerminal.Say("erased every sample");
    else
        mTerminal.Complain("the component erased nothing" + StatusText::Of(status));
}

void JackProgram::Learn(const std::string& name)
{
    AudioUnitParameterID id = 0;
    std::string error;
    if (!mParameters.Lookup(name, id, error)) return mTerminal.Complain(error);
    const auto armed = static_cast<SInt32>(id);
    SInt32 now = -1;
    UInt32 size = sizeof now;
    OSStatus status = noErr;
    {
        const std::lock_guard<std::mutex> access(mUnitAccess);
        status = AudioUnitSetProperty(mUnit, UnitCustomProperties::kMidiLearn,
                                      kAudioUnitScope_Global, 0, &armed, sizeof armed);
        if (status == noErr)
            status = AudioUnitGetProperty(mUnit, UnitCustomProperties::kMidiLearn,
                                          kAudioUnitScope_Global, 0, &now, &size);
    }
    if (status != noErr)
        mTerminal.Complain("the component cannot learn" + StatusText::Of(status));
    else if (now == armed)
        mTerminal.Say("learning '" + name +
                      "': the next controller, pitch wheel or note binds to it");
    else
        mTerminal.Say("cleared every binding of '" + name + "'; learning is off");
}

void JackProgram::Set(const std::string& name, const std::string& value)
{
    AudioUnitParameter parameter{mUnit, 0, kAudioUnitScope_Global, 0};
    AudioUnitParameterValue number = 0;
    std::string error;
    if (!mParameters.Resolve(name, value, parameter.mParameterID, number, error))
        return mTerminal.Complain(error);
    // Through the listener service, as an editor would, so that everyone hears of it.
    if (const OSStatus status = AUParameterSet(nullptr, nullptr, &parameter, number, 0))
        return mTerminal.Complain("the component refused " + name + StatusText::Of(status));
    mTerminal.Say(name + " = " + value);
}

void JackProgram::Import(const std::string& path, bool withTempo)
{
    OSStatus status = noErr;
    {
        const std::lock_guard<std::mutex> access(mUnitAccess);
        status = UnitCustomProperties::Import(mUnit, path.c_str(), static_cast<UInt32>(path.size()),
                                              withTempo);
    }
    if (status == noErr)
        mTerminal.Say("imported '" + path + "': the next key pressed takes it");
    else
        mTerminal.Complain("'" + path + "': the component could not import it" +
                           StatusText::Of(status));
}

void JackProgram::ShowStatus()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - mLastStatus < kStatusInterval) return;
    mLastStatus = now;
    StatusLine::Values values;
    UInt32 memory = 0;
    UInt32 size = sizeof memory;
    if (AudioUnitGetProperty(mUnit, UnitCustomProperties::kMemoryUse, kAudioUnitScope_Global, 0,
                             &memory, &size) == noErr)
        values.memoryUse = memory;
    if (mUnitInfo.recording) values.recording = mUnitInfo.RecordingOn();
    values.recordingKey = mClient->RecordingKey().Key();
    values.clock = mClient->Clock().Read();
    values.sampleRate = mHost->SampleRate();
    values.bufferFrames = mHost->MaxFrames();
    values.renderErrors = mHost->Failures();
    mTerminal.Status(StatusLine::Format(values));
}
