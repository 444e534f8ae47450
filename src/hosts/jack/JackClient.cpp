#include "hosts/jack/JackClient.h"

#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

namespace
{
// Switches on at 0.1, as the unit's own switches do.
constexpr AudioUnitParameterValue kOn = 0.1f;

void Silent(const char*) {}

// The ports jack_get_ports finds, freed with the list.
class PortList
{
public:
    PortList(jack_client_t* client, const char* type, unsigned long flags)
        : mPorts(jack_get_ports(client, nullptr, type, flags))
    {
    }
    ~PortList() { jack_free(mPorts); }
    PortList(const PortList&) = delete;
    PortList& operator=(const PortList&) = delete;

    std::size_t Size() const
    {
        std::size_t n = 0;
        while (mPorts != nullptr && mPorts[n] != nullptr)
            ++n;
        return n;
    }
    const char* operator[](std::size_t i) const { return mPorts[i]; }

private:
    const char** mPorts;
};
} // namespace

bool JackClient::Unit::RecordingOn() const
{
    AudioUnitParameterValue value = 0;
    AudioUnitGetParameter(unit, *recording, kAudioUnitScope_Global, 0, &value);
    return value > kOn;
}

std::unique_ptr<JackClient> JackClient::Open(const Settings& settings, std::string& error)
{
    // The library's own complaints (about a missing server, or one that went away) would bury
    // the one clear line the player gets instead.
    jack_set_error_function(&Silent);
    jack_set_info_function(&Silent);
    jack_status_t status{};
    const auto options = static_cast<jack_options_t>(
        JackNoStartServer | (settings.server ? JackServerName : JackNullOption));
    jack_client_t* client =
        settings.server
            ? jack_client_open(settings.name.c_str(), options, &status, settings.server->c_str())
            : jack_client_open(settings.name.c_str(), options, &status);
    if (client == nullptr)
    {
        const bool noServer = (status & JackServerFailed) != 0;
        const std::string server = settings.server ? " named '" + *settings.server + "'" : "";
        char code[16];
        std::snprintf(code, sizeof code, "0x%x", static_cast<unsigned>(status));
        error = noServer ? "no JACK server" + server +
                               " is running (start one first, e.g. jackd -d alsa)"
                         : "the JACK server" + server + " refused the client '" + settings.name +
                               "' (status " + code + ")";
        return nullptr;
    }
    const int events = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (events < 0)
    {
        error = std::string("cannot create an event descriptor: ") + std::strerror(errno);
        jack_client_close(client);
        return nullptr;
    }
    return std::unique_ptr<JackClient>(new JackClient(client, settings, events));
}

JackClient::JackClient(jack_client_t* client, const Settings& settings, int events)
    : mClient(client), mSettings(settings), mEvents(events)
{
}

JackClient::~JackClient()
{
    Deactivate();
    jack_client_close(mClient);
    ::close(mEvents);
}

std::string JackClient::Name() const
{
    return jack_get_client_name(mClient);
}

bool JackClient::Prepare(LiveHost& host, const Unit& unit, std::mutex& unitAccess,
                         std::string& error)
{
    mHost = &host;
    mUnit = unit;
    mUnitAccess = &unitAccess;

    const auto audio = [&](const std::string& name, unsigned long flags)
    { return jack_port_register(mClient, name.c_str(), JACK_DEFAULT_AUDIO_TYPE, flags, 0); };
    mAudioIn[0] = audio("in_L", JackPortIsInput);
    mAudioIn[1] = audio("in_R", JackPortIsInput);
    for (UInt32 bus = 0; bus < Buses(); ++bus)
    {
        const std::string prefix = bus == 0 ? "out" : "out" + std::to_string(bus);
        mAudioOut.push_back(audio(prefix + "_L", JackPortIsOutput));
        mAudioOut.push_back(audio(prefix + "_R", JackPortIsOutput));
    }
    mMidiIn = jack_port_register(mClient, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    mMidiOut = jack_port_register(mClient, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    const bool registered =
        mAudioIn[0] != nullptr && mAudioIn[1] != nullptr && mMidiIn != nullptr &&
        mMidiOut != nullptr &&
        std::find(mAudioOut.begin(), mAudioOut.end(), nullptr) == mAudioOut.end();
    if (!registered)
    {
        error = "the JACK server refused to register the ports";
        return false;
    }

    {
        const std::lock_guard<std::mutex> access(unitAccess);
        if (!host.Configure(jack_get_sample_rate(mClient), jack_get_buffer_size(mClient), error))
            return false;
    }
    // JACK2 calls the sample-rate callback at once, with the rate the host has already.
    if (jack_set_process_callback(mClient, &ProcessCallback, this) != 0 ||
        jack_set_buffer_size_callback(mClient, &BufferSizeCallback, this) != 0 ||
        jack_set_sample_rate_callback(mClient, &SampleRateCallback, this) != 0)
    {
        error = "the JACK server refused the callbacks";
        return false;
    }
    jack_on_info_shutdown(mClient, &ShutdownCallback, this);
    return true;
}

bool JackClient::Activate(std::string& error)
{
    if (jack_activate(mClient) != 0)
    {
        error = "the JACK server refused to activate the client";
        return false;
    }
    mActive = true;
    if (mSettings.master)
    {
        // Unconditionally: a player who asks for the tempo takes it over from any other master.
        if (jack_set_timebase_callback(mClient, 0, &TimebaseCallback, this) != 0)
        {
            error = "the JACK server refused to make the client the timebase master";
            return false;
        }
        mMaster = true;
    }
    return true;
}

void JackClient::Deactivate()
{
    // A client the server has shut down is only closed.
    if (Lost()) mActive = mMaster = false;
    if (mMaster) jack_release_timebase(mClient);
    mMaster = false;
    if (mActive) jack_deactivate(mClient);
    mActive = false;
}

bool JackClient::Connect(const char* source, const char* destination,
                         std::vector<std::string>& lines)
{
    const int result = jack_connect(mClient, source, destination);
    const bool connected = result == 0 || result == EEXIST;
    lines.push_back(std::string(connected ? "connected " : "could not connect ") + source + " -> " +
                    destination);
    return connected;
}

bool JackClient::IsOwn(const char* port, const std::string& skip) const
{
    if (skip.empty()) return false;
    if (std::strstr(port, skip.c_str()) != nullptr) return true;
    const jack_port_t* handle = jack_port_by_name(mClient, port);
    if (handle == nullptr) return false;
    const int size = jack_port_name_size();
    std::vector<char> storage(2 * static_cast<std::size_t>(size), '\0');
    char* aliases[2] = {storage.data(), storage.data() + size};
    const int count = jack_port_get_aliases(handle, aliases);
    for (int i = 0; i < count; ++i)
        if (std::strstr(aliases[i], skip.c_str()) != nullptr) return true;
    return false;
}

std::vector<std::string> JackClient::ConnectToSystem(const std::string& skipMidi)
{
    std::vector<std::string> lines;
    const auto pair =
        [&](const PortList& system, jack_port_t* const* ours, bool toOurs, const char* what)
    {
        if (system.Size() == 0)
        {
            lines.push_back(std::string("no physical ") + what + " ports to connect to");
            return;
        }
        // A mono interface feeds, or is fed by, both channels.
        for (std::size_t c = 0; c < LiveHost::kChannels; ++c)
        {
            const char* port = system[std::min(c, system.Size() - 1)];
            const char* own = jack_port_name(ours[c]);
            Connect(toOurs ? port : own, toOurs ? own : port, lines);
        }
    };
    pair(PortList(mClient, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsOutput),
         mAudioIn, true, "capture");
    pair(PortList(mClient, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput),
         mAudioOut.data(), false, "playback");
    const PortList midi(mClient, JACK_DEFAULT_MIDI_TYPE, JackPortIsPhysical | JackPortIsOutput);
    for (std::size_t i = 0; i < midi.Size(); ++i)
        if (!IsOwn(midi[i], skipMidi)) Connect(midi[i], jack_port_name(mMidiIn), lines);
    return lines;
}

std::vector<std::string> JackClient::TakeNotices()
{
    eventfd_t ignored = 0;
    eventfd_read(mEvents, &ignored);
    const std::lock_guard<std::mutex> lock(mNoticeLock);
    return std::exchange(mNotices, {});
}

std::string JackClient::LostReason() const
{
    return Lost() ? std::string(mLostReason) : std::string();
}

void JackClient::Notice(std::string text)
{
    {
        const std::lock_guard<std::mutex> lock(mNoticeLock);
        mNotices.push_back(std::move(text));
    }
    eventfd_write(mEvents, 1);
}

void JackClient::Follow(double sampleRate, UInt32 frames)
{
    if (sampleRate == mHost->SampleRate() && frames == mHost->MaxFrames()) return;
    std::string error;
    bool configured = false;
    {
        const std::lock_guard<std::mutex> access(*mUnitAccess);
        configured = mHost->Configure(sampleRate, frames, error);
    }
    char text[96];
    std::snprintf(text, sizeof text, "%.0f Hz, %u frames per cycle", sampleRate, frames);
    Notice(configured ? std::string("the server now runs at ") + text
                      : std::string("cannot follow the server to ") + text + ": " + error +
                            " (playing silence)");
}

int JackClient::ProcessCallback(jack_nframes_t frames, void* arg)
{
    static_cast<JackClient*>(arg)->Process(frames);
    return 0;
}

int JackClient::BufferSizeCallback(jack_nframes_t frames, void* arg)
{
    auto* client = static_cast<JackClient*>(arg);
    client->Follow(client->mHost->SampleRate(), frames);
    return 0;
}

int JackClient::SampleRateCallback(jack_nframes_t rate, void* arg)
{
    auto* client = static_cast<JackClient*>(arg);
    client->Follow(rate, client->mHost->MaxFrames());
    return 0;
}

void JackClient::ShutdownCallback(jack_status_t, const char* reason, void* arg)
{
    // Runs like a signal handler: a copy, an atomic and a write, nothing else.
    auto* client = static_cast<JackClient*>(arg);
    std::size_t n = 0;
    for (; reason != nullptr && reason[n] != '\0' && n + 1 < sizeof client->mLostReason; ++n)
        client->mLostReason[n] = reason[n];
    client->mLostReason[n] = '\0';
    client->mLost.store(true, std::memory_order_release);
    eventfd_write(client->mEvents, 1);
}

void JackClient::TimebaseCallback(jack_transport_state_t, jack_nframes_t, jack_position_t* position,
                                  int, void* arg)
{
    static_cast<JackClient*>(arg)->mSettings.master->Fill(*position);
}

bool JackClient::WriteFeedback(void* buffer, const Byte* data, std::size_t size)
{
    return jack_midi_event_write(buffer, 0, data, size) == 0;
}

void JackClient::Process(jack_nframes_t frames)
{
    jack_position_t position;
    const jack_transport_state_t state = jack_transport_query(mClient, &position);
    mClock.Update(state, position);

    const auto* inL = static_cast<const float*>(jack_port_get_buffer(mAudioIn[0], frames));
    const auto* inR = static_cast<const float*>(jack_port_get_buffer(mAudioIn[1], frames));
    std::array<float*, kMaxBuses * LiveHost::kChannels> outputs{};
    const auto count = static_cast<UInt32>(mAudioOut.size());
    for (UInt32 i = 0; i < count; ++i)
        outputs[i] = static_cast<float*>(jack_port_get_buffer(mAudioOut[i], frames));
    void* midiOut = jack_port_get_buffer(mMidiOut, frames);
    jack_midi_clear_buffer(midiOut);

    {
        const LiveHost::Cycle cycle(*mHost, frames);
        if (cycle)
        {
            PassMidi(jack_port_get_buffer(mMidiIn, frames), frames);
            mHost->Render(frames, inL, inR, outputs.data());
        }
        else
            LiveHost::Silence(frames, outputs.data(), count);
    }

    if (mUnit.feedback != nullptr)
    {
        mFeedback.Collect(*mUnit.feedback);
        mFeedback.SendDue(AudioGetCurrentHostTime(), &WriteFeedback, midiOut);
    }
}

void JackClient::PassMidi(void* buffer, jack_nframes_t frames)
{
    const jack_nframes_t count = jack_midi_get_event_count(buffer);
    for (jack_nframes_t i = 0; i < count; ++i)
    {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0) continue;
        const UInt8 status = event.buffer[0];
        // Channel messages only: the unit takes no system messages.
        if (status < 0x80 || status >= 0xF0) continue;
        const UInt8 data1 = event.size > 1 ? event.buffer[1] & 0x7F : 0;
        const UInt8 data2 = event.size > 2 ? event.buffer[2] & 0x7F : 0;
        if (mUnit.recording) mRecordingKey.Message(status, data1, data2, mUnit.RecordingOn());
        mHost->Midi(status, data1, data2, std::min(event.time, frames - 1));
    }
}
