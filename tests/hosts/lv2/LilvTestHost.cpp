#include "LilvTestHost.h"

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <cstring>

LilvTestHost::LilvTestHost(const std::string& bundleDir, double sampleRate, bool withWorker,
                           AtomAlignment alignment)
{
    mMap = {this, &MapURI};
    mUnmap = {this, &UnmapURI};
    mSchedule = {this, &Schedule};
    mFeatureStore.push_back({LV2_URID__map, &mMap});
    mFeatureStore.push_back({LV2_URID__unmap, &mUnmap});
    if (withWorker) mFeatureStore.push_back({LV2_WORKER__schedule, &mSchedule});
    for (const LV2_Feature& feature : mFeatureStore)
        mFeatures.push_back(&feature);
    mFeatures.push_back(nullptr);
    lv2_atom_forge_init(&mForge, &mMap);
    mChunk = Map(LV2_ATOM__Chunk);

    mWorld = lilv_world_new();
    const std::string dir = bundleDir.ends_with('/') ? bundleDir : bundleDir + "/";
    LilvNode* bundle = lilv_new_file_uri(mWorld, nullptr, dir.c_str());
    lilv_world_load_bundle(mWorld, bundle);
    lilv_node_free(bundle);
    const LilvPlugins* plugins = lilv_world_get_all_plugins(mWorld);
    LilvIter* first = lilv_plugins_begin(plugins);
    if (lilv_plugins_is_end(plugins, first)) return;
    mPlugin = lilv_plugins_get(plugins, first);
    mPluginURI = lilv_node_as_uri(lilv_plugin_get_uri(mPlugin));
    mInstance = lilv_plugin_instantiate(mPlugin, sampleRate, mFeatures.data());
    if (mInstance == nullptr) return;
    mWorker = static_cast<const LV2_Worker_Interface*>(
        lilv_instance_get_extension_data(mInstance, LV2_WORKER__interface));

    LilvNode* audio = lilv_new_uri(mWorld, LV2_CORE__AudioPort);
    LilvNode* atom = lilv_new_uri(mWorld, LV2_ATOM__AtomPort);
    LilvNode* control = lilv_new_uri(mWorld, LV2_CORE__ControlPort);
    LilvNode* input = lilv_new_uri(mWorld, LV2_CORE__InputPort);
    const std::size_t offset = alignment == AtomAlignment::OffBy4 ? 4 : 0;
    mControlBuffer.assign(kAtomBufferSize / 8 + 1, 0);
    mNotifyBuffer.assign(kAtomBufferSize / 8 + 1, 0);
    mNotifyCopy.assign(kAtomBufferSize / 8, 0);
    mControl = reinterpret_cast<std::uint8_t*>(mControlBuffer.data()) + offset;
    mNotify = reinterpret_cast<std::uint8_t*>(mNotifyBuffer.data()) + offset;
    for (std::uint32_t i = 0; i < lilv_plugin_get_num_ports(mPlugin); ++i)
    {
        const LilvPort* port = lilv_plugin_get_port_by_index(mPlugin, i);
        const bool isInput = lilv_port_is_a(mPlugin, port, input);
        void* data = nullptr;
        if (lilv_port_is_a(mPlugin, port, audio))
        {
            mAudio[i].assign(kMaxFrames, 0.0f);
            (isInput ? mInputPorts : mOutputPorts).push_back(i);
            data = mAudio[i].data();
        }
        else if (lilv_port_is_a(mPlugin, port, atom))
            data = isInput ? mControl : mNotify;
        else if (lilv_port_is_a(mPlugin, port, control))
        {
            LilvNode* defaultValue = nullptr;
            lilv_port_get_range(mPlugin, port, &defaultValue, nullptr, nullptr);
            mControls[i] = defaultValue != nullptr ? lilv_node_as_float(defaultValue) : 0.0f;
            lilv_node_free(defaultValue);
            mSymbols[lilv_node_as_string(lilv_port_get_symbol(mPlugin, port))] = i;
            data = &mControls[i];
        }
        lilv_instance_connect_port(mInstance, i, data);
    }
    for (LilvNode* node : {audio, atom, control, input})
        lilv_node_free(node);
    lilv_instance_activate(mInstance);
    // An empty control sequence until the first event.
    lv2_atom_forge_set_buffer(&mForge, mControl, kAtomBufferSize);
    lv2_atom_forge_sequence_head(&mForge, &mSequence, 0);
}

LilvTestHost::~LilvTestHost()
{
    if (mWorkerThread.joinable())
    {
        {
            const std::lock_guard lock(mWorkLock);
            mWorkerStop = true;
        }
        mWorkReady.notify_one();
        mWorkerThread.join();
    }
    if (mMemoryState != nullptr) lilv_state_free(mMemoryState);
    if (mInstance != nullptr)
    {
        lilv_instance_deactivate(mInstance);
        lilv_instance_free(mInstance);
    }
    lilv_world_free(mWorld);
}

LV2_URID LilvTestHost::Map(const std::string& uri)
{
    const std::lock_guard lock(mURIDLock);
    const auto found = mURIDs.find(uri);
    if (found != mURIDs.end()) return found->second;
    mURIs.push_back(uri);
    return mURIDs[uri] = static_cast<LV2_URID>(mURIs.size());
}

std::string LilvTestHost::Unmap(LV2_URID urid) const
{
    const std::lock_guard lock(mURIDLock);
    return urid >= 1 && urid <= mURIs.size() ? mURIs[urid - 1] : std::string();
}

LV2_URID LilvTestHost::MapURI(LV2_URID_Map_Handle handle, const char* uri)
{
    return static_cast<LilvTestHost*>(handle)->Map(uri);
}

const char* LilvTestHost::UnmapURI(LV2_URID_Unmap_Handle handle, LV2_URID urid)
{
    const auto* host = static_cast<const LilvTestHost*>(handle);
    const std::lock_guard lock(host->mURIDLock);
    return urid >= 1 && urid <= host->mURIs.size() ? host->mURIs[urid - 1].c_str() : nullptr;
}

LV2_Worker_Status LilvTestHost::Schedule(LV2_Worker_Schedule_Handle handle, std::uint32_t size,
                                         const void* data)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    auto* host = static_cast<LilvTestHost*>(handle);
    {
        const std::lock_guard lock(host->mWorkLock);
        host->mJobs.emplace_back(bytes, bytes + size);
    }
    host->mWorkReady.notify_one();
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status LilvTestHost::Respond(LV2_Worker_Respond_Handle handle, std::uint32_t size,
                                        const void* data)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    auto* host = static_cast<LilvTestHost*>(handle);
    const std::lock_guard lock(host->mWorkLock);
    host->mResponses.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
}

void LilvTestHost::BeginEvent(std::uint32_t frame)
{
    lv2_atom_forge_frame_time(&mForge, frame);
}

void LilvTestHost::Midi(std::uint32_t frame, std::vector<std::uint8_t> bytes)
{
    BeginEvent(frame);
    lv2_atom_forge_atom(&mForge, static_cast<std::uint32_t>(bytes.size()),
                        Map(LV2_MIDI__MidiEvent));
    lv2_atom_forge_write(&mForge, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

namespace
{
void WriteNumber(LV2_Atom_Forge& forge, LilvTestHost::Number type, double value)
{
    switch (type)
    {
    case LilvTestHost::Number::Int:
        lv2_atom_forge_int(&forge, static_cast<int32_t>(value));
        break;
    case LilvTestHost::Number::Long:
        lv2_atom_forge_long(&forge, static_cast<int64_t>(value));
        break;
    case LilvTestHost::Number::Float:
        lv2_atom_forge_float(&forge, static_cast<float>(value));
        break;
    case LilvTestHost::Number::Double:
        lv2_atom_forge_double(&forge, value);
        break;
    }
}
} // namespace

void LilvTestHost::Object(std::uint32_t frame, const std::string& type,
                          const std::vector<Field>& fields)
{
    BeginEvent(frame);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&mForge, &object, 0, Map(type));
    for (const Field& field : fields)
    {
        lv2_atom_forge_key(&mForge, Map(field.key));
        WriteNumber(mForge, field.type, field.value);
    }
    lv2_atom_forge_pop(&mForge, &object);
}

void LilvTestHost::Get(std::uint32_t frame, const std::optional<std::string>& property)
{
    BeginEvent(frame);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&mForge, &object, 0, Map(LV2_PATCH__Get));
    if (property)
    {
        lv2_atom_forge_key(&mForge, Map(LV2_PATCH__property));
        lv2_atom_forge_urid(&mForge, Map(*property));
    }
    lv2_atom_forge_pop(&mForge, &object);
}

void LilvTestHost::BeginSet(std::uint32_t frame, const std::string& property,
                            LV2_Atom_Forge_Frame& object)
{
    BeginEvent(frame);
    lv2_atom_forge_object(&mForge, &object, 0, Map(LV2_PATCH__Set));
    lv2_atom_forge_key(&mForge, Map(LV2_PATCH__property));
    lv2_atom_forge_urid(&mForge, Map(property));
    lv2_atom_forge_key(&mForge, Map(LV2_PATCH__value));
}

void LilvTestHost::SetNumber(std::uint32_t frame, const std::string& property, Number type,
                             double value)
{
    LV2_Atom_Forge_Frame object;
    BeginSet(frame, property, object);
    WriteNumber(mForge, type, value);
    lv2_atom_forge_pop(&mForge, &object);
}

void LilvTestHost::SetPath(std::uint32_t frame, const std::string& property,
                           const std::string& path)
{
    LV2_Atom_Forge_Frame object;
    BeginSet(frame, property, object);
    lv2_atom_forge_path(&mForge, path.c_str(), static_cast<std::uint32_t>(path.size()));
    lv2_atom_forge_pop(&mForge, &object);
}

void LilvTestHost::Cycle(std::uint32_t frames)
{
    lv2_atom_forge_pop(&mForge, &mSequence);
    // An empty chunk of the buffer's size: the plug-in's room for its sequence.
    const LV2_Atom room{kAtomBufferSize - static_cast<std::uint32_t>(sizeof(LV2_Atom)), mChunk};
    std::memcpy(mNotify, &room, sizeof room);
    lilv_instance_run(mInstance, frames);
}

void LilvTestHost::AfterCycle()
{
    ReadNotify();
    // The worker's turn (unless its thread takes the jobs), then its answers, before the next
    // cycle.
    std::vector<std::vector<std::uint8_t>> jobs;
    std::vector<std::vector<std::uint8_t>> responses;
    if (!mWorkerThread.joinable())
    {
        {
            const std::lock_guard lock(mWorkLock);
            jobs.swap(mJobs);
        }
        RunJobs(jobs);
    }
    {
        const std::lock_guard lock(mWorkLock);
        responses.swap(mResponses);
    }
    for (const auto& response : responses)
        mWorker->work_response(lilv_instance_get_handle(mInstance),
                               static_cast<std::uint32_t>(response.size()), response.data());
    lv2_atom_forge_set_buffer(&mForge, mControl, kAtomBufferSize);
    lv2_atom_forge_sequence_head(&mForge, &mSequence, 0);
}

void LilvTestHost::RunJobs(std::vector<std::vector<std::uint8_t>>& jobs)
{
    for (const auto& job : jobs)
        mWorker->work(lilv_instance_get_handle(mInstance), &Respond, this,
                      static_cast<std::uint32_t>(job.size()), job.data());
    jobs.clear();
}

void LilvTestHost::StartWorkerThread()
{
    mWorkerThread = std::thread(
        [this]
        {
            std::vector<std::vector<std::uint8_t>> jobs;
            for (;;)
            {
                {
                    std::unique_lock lock(mWorkLock);
                    mWorkReady.wait(lock, [this] { return mWorkerStop || !mJobs.empty(); });
                    if (mWorkerStop) return;
                    jobs.swap(mJobs);
                }
                RunJobs(jobs);
            }
        });
}

void LilvTestHost::ReadNotify()
{
    mNotifications.clear();
    // Read from an aligned copy: the port's buffer may sit 4 bytes off.
    LV2_Atom header;
    std::memcpy(&header, mNotify, sizeof header);
    std::memcpy(mNotifyCopy.data(), mNotify,
                std::min<std::size_t>(sizeof header + header.size, kAtomBufferSize));
    const auto* notify = reinterpret_cast<const LV2_Atom_Sequence*>(mNotifyCopy.data());
    LV2_ATOM_SEQUENCE_FOREACH(notify, event)
    {
        Notification n;
        n.frame = event->time.frames;
        n.type = Unmap(event->body.type);
        if (event->body.type == Map(LV2_MIDI__MidiEvent))
        {
            const auto* bytes = static_cast<const std::uint8_t*>(LV2_ATOM_BODY_CONST(&event->body));
            n.midi.assign(bytes, bytes + event->body.size);
        }
        else if (event->body.type == Map(LV2_ATOM__Object))
        {
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
            n.type = Unmap(object->body.otype);
            LV2_ATOM_OBJECT_FOREACH(object, property)
            {
                const LV2_Atom& value = property->value;
                const std::string key = Unmap(property->key);
                if (key == LV2_PATCH__property && value.type == Map(LV2_ATOM__URID))
                    n.property = Unmap(reinterpret_cast<const LV2_Atom_URID&>(value).body);
                else if (value.type == Map(LV2_ATOM__Float))
                    n.number = reinterpret_cast<const LV2_Atom_Float&>(value).body;
                else if (value.type == Map(LV2_ATOM__Int))
                    n.number = reinterpret_cast<const LV2_Atom_Int&>(value).body;
                else if (value.type == Map(LV2_ATOM__Bool))
                    n.number = reinterpret_cast<const LV2_Atom_Bool&>(value).body;
                else if (value.type == Map(LV2_ATOM__Path))
                    n.text = static_cast<const char*>(LV2_ATOM_BODY_CONST(&value));
            }
        }
        mNotifications.push_back(std::move(n));
    }
}

const void* LilvTestHost::GetPortValue(const char* symbol, void* user, std::uint32_t* size,
                                       std::uint32_t* type)
{
    auto* host = static_cast<LilvTestHost*>(user);
    const auto found = host->mSymbols.find(symbol);
    if (found == host->mSymbols.end()) return nullptr;
    *size = sizeof(float);
    *type = host->Map(LV2_ATOM__Float);
    return &host->mControls[found->second];
}

void LilvTestHost::SetPortValue(const char* symbol, void* user, const void* value,
                                std::uint32_t size, std::uint32_t type)
{
    auto* host = static_cast<LilvTestHost*>(user);
    const auto found = host->mSymbols.find(symbol);
    if (found != host->mSymbols.end() && size == sizeof(float) &&
        type == host->Map(LV2_ATOM__Float))
        std::memcpy(&host->mControls[found->second], value, sizeof(float));
}

bool LilvTestHost::Save(const std::string& dir)
{
    LilvState* state =
        lilv_state_new_from_instance(mPlugin, mInstance, &mMap, nullptr, dir.c_str(), dir.c_str(),
                                     dir.c_str(), &GetPortValue, this, 0, mFeatures.data());
    if (state == nullptr) return false;
    const int result =
        lilv_state_save(mWorld, &mMap, &mUnmap, state, nullptr, dir.c_str(), "state.ttl");
    lilv_state_free(state);
    return result == 0;
}

bool LilvTestHost::RestoreState(LilvState* state)
{
    if (state == nullptr) return false;
    lilv_state_restore(state, mInstance, &SetPortValue, this, 0, mFeatures.data());
    return true;
}

bool LilvTestHost::Restore(const std::string& dir)
{
    LilvState* state =
        lilv_state_new_from_file(mWorld, &mMap, nullptr, (dir + "/state.ttl").c_str());
    const bool restored = RestoreState(state);
    if (state != nullptr) lilv_state_free(state);
    return restored;
}

bool LilvTestHost::SaveInMemory()
{
    if (mMemoryState != nullptr) lilv_state_free(mMemoryState);
    mMemoryState =
        lilv_state_new_from_instance(mPlugin, mInstance, &mMap, nullptr, nullptr, nullptr, nullptr,
                                     &GetPortValue, this, 0, mFeatures.data());
    return mMemoryState != nullptr;
}

bool LilvTestHost::RestoreFromMemory()
{
    return RestoreState(mMemoryState);
}
