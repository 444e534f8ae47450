#include "LilvTestHost.h"

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>

#include <cstring>
#include <utility>

LilvTestHost::LilvTestHost(const std::string& bundleDir, double sampleRate)
{
    mMap = {this, &MapURI};
    mUnmap = {this, &UnmapURI};
    mSchedule = {this, &Schedule};
    mFeatureStore = {
        {LV2_URID__map, &mMap}, {LV2_URID__unmap, &mUnmap}, {LV2_WORKER__schedule, &mSchedule}};
    for (const LV2_Feature& feature : mFeatureStore)
        mFeatures.push_back(&feature);
    mFeatures.push_back(nullptr);
    lv2_atom_forge_init(&mForge, &mMap);
    mChunk = Map(LV2_ATOM__Chunk); // mapped here: Cycle() must not allocate

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
    mControlBuffer.assign(kAtomBufferSize / 8, 0);
    mNotifyBuffer.assign(kAtomBufferSize / 8, 0);
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
            data = isInput ? mControlBuffer.data() : mNotifyBuffer.data();
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
    lv2_atom_forge_set_buffer(&mForge, reinterpret_cast<std::uint8_t*>(mControlBuffer.data()),
                              kAtomBufferSize);
    lv2_atom_forge_sequence_head(&mForge, &mSequence, 0);
}

LilvTestHost::~LilvTestHost()
{
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

LV2_URID LilvTestHost::MapURI(LV2_URID_Map_Handle handle, const char* uri)
{
    return static_cast<LilvTestHost*>(handle)->Map(uri);
}

const char* LilvTestHost::UnmapURI(LV2_URID_Unmap_Handle handle, LV2_URID urid)
{
    auto* host = static_cast<LilvTestHost*>(handle);
    const std::lock_guard lock(host->mURIDLock);
    return urid >= 1 && urid <= host->mURIs.size() ? host->mURIs[urid - 1].c_str() : nullptr;
}

LV2_Worker_Status LilvTestHost::Schedule(LV2_Worker_Schedule_Handle handle, std::uint32_t size,
                                         const void* data)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    static_cast<LilvTestHost*>(handle)->mJobs.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status LilvTestHost::Respond(LV2_Worker_Respond_Handle handle, std::uint32_t size,
                                        const void* data)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    static_cast<LilvTestHost*>(handle)->mResponses.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
}

void LilvTestHost::Midi(std::uint32_t frame, std::vector<std::uint8_t> bytes)
{
    lv2_atom_forge_frame_time(&mForge, frame);
    lv2_atom_forge_atom(&mForge, static_cast<std::uint32_t>(bytes.size()),
                        Map(LV2_MIDI__MidiEvent));
    lv2_atom_forge_write(&mForge, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

void LilvTestHost::Rolling(std::uint32_t frame)
{
    lv2_atom_forge_frame_time(&mForge, frame);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&mForge, &object, 0, Map(LV2_TIME__Position));
    for (const auto& [key, value] : {std::pair{LV2_TIME__bar, 0.0f},
                                     {LV2_TIME__barBeat, 0.0f},
                                     {LV2_TIME__beatsPerBar, 4.0f},
                                     {LV2_TIME__beatUnit, 4.0f},
                                     {LV2_TIME__beatsPerMinute, 120.0f},
                                     {LV2_TIME__speed, 1.0f}})
    {
        lv2_atom_forge_key(&mForge, Map(key));
        lv2_atom_forge_float(&mForge, value);
    }
    lv2_atom_forge_pop(&mForge, &object);
}

void LilvTestHost::Get(std::uint32_t frame, const std::optional<std::string>& property)
{
    lv2_atom_forge_frame_time(&mForge, frame);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&mForge, &object, 0, Map(LV2_PATCH__Get));
    if (property)
    {
        lv2_atom_forge_key(&mForge, Map(LV2_PATCH__property));
        lv2_atom_forge_urid(&mForge, Map(*property));
    }
    lv2_atom_forge_pop(&mForge, &object);
}

void LilvTestHost::SetPath(std::uint32_t frame, const std::string& property,
                           const std::string& path)
{
    lv2_atom_forge_frame_time(&mForge, frame);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&mForge, &object, 0, Map(LV2_PATCH__Set));
    lv2_atom_forge_key(&mForge, Map(LV2_PATCH__property));
    lv2_atom_forge_urid(&mForge, Map(property));
    lv2_atom_forge_key(&mForge, Map(LV2_PATCH__value));
    lv2_atom_forge_path(&mForge, path.c_str(), static_cast<std::uint32_t>(path.size()));
    lv2_atom_forge_pop(&mForge, &object);
}

void LilvTestHost::Cycle(std::uint32_t frames)
{
    lv2_atom_forge_pop(&mForge, &mSequence);
    // An empty chunk of the buffer's size: the plug-in's room for its sequence.
    const LV2_Atom room{kAtomBufferSize - static_cast<std::uint32_t>(sizeof(LV2_Atom)), mChunk};
    std::memcpy(mNotifyBuffer.data(), &room, sizeof room);
    lilv_instance_run(mInstance, frames);
}

void LilvTestHost::AfterCycle()
{
    ReadNotify();
    // The worker's turn, then its answers.
    LV2_Handle handle = lilv_instance_get_handle(mInstance);
    for (const auto& job : std::exchange(mJobs, {}))
        mWorker->work(handle, &Respond, this, static_cast<std::uint32_t>(job.size()), job.data());
    for (const auto& response : std::exchange(mResponses, {}))
        mWorker->work_response(handle, static_cast<std::uint32_t>(response.size()),
                               response.data());
    lv2_atom_forge_set_buffer(&mForge, reinterpret_cast<std::uint8_t*>(mControlBuffer.data()),
                              kAtomBufferSize);
    lv2_atom_forge_sequence_head(&mForge, &mSequence, 0);
}

void LilvTestHost::ReadNotify()
{
    mNotifications.clear();
    const auto* notify = reinterpret_cast<const LV2_Atom_Sequence*>(mNotifyBuffer.data());
    LV2_ATOM_SEQUENCE_FOREACH(notify, event)
    {
        if (event->body.type != Map(LV2_ATOM__Object)) continue;
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
        Notification n;
        n.type = object->body.otype;
        LV2_ATOM_OBJECT_FOREACH(object, property)
        {
            const LV2_Atom& value = property->value;
            if (property->key == Map(LV2_PATCH__property) && value.type == Map(LV2_ATOM__URID))
                n.property = reinterpret_cast<const LV2_Atom_URID&>(value).body;
            else if (value.type == Map(LV2_ATOM__Float))
                n.number = reinterpret_cast<const LV2_Atom_Float&>(value).body;
            else if (value.type == Map(LV2_ATOM__Int))
                n.number = reinterpret_cast<const LV2_Atom_Int&>(value).body;
            else if (value.type == Map(LV2_ATOM__Path))
                n.text = static_cast<const char*>(LV2_ATOM_BODY_CONST(&value));
        }
        mNotifications.push_back(std::move(n));
    }
}

std::vector<LilvTestHost::Notification> LilvTestHost::Find(const std::string& type,
                                                           const std::string& property)
{
    std::vector<Notification> found;
    for (const Notification& n : mNotifications)
        if (n.type == Map(type) && (property.empty() || n.property == Map(property)))
            found.push_back(n);
    return found;
}

bool LilvTestHost::Save(const std::string& dir)
{
    LilvState* state =
        lilv_state_new_from_instance(mPlugin, mInstance, &mMap, nullptr, dir.c_str(), dir.c_str(),
                                     dir.c_str(), nullptr, nullptr, 0, mFeatures.data());
    if (state == nullptr) return false;
    const int result =
        lilv_state_save(mWorld, &mMap, &mUnmap, state, nullptr, dir.c_str(), "state.ttl");
    lilv_state_free(state);
    return result == 0;
}

bool LilvTestHost::Restore(const std::string& dir)
{
    LilvState* state =
        lilv_state_new_from_file(mWorld, &mMap, nullptr, (dir + "/state.ttl").c_str());
    if (state == nullptr) return false;
    lilv_state_restore(state, mInstance, nullptr, nullptr, 0, mFeatures.data());
    lilv_state_free(state);
    return true;
}
