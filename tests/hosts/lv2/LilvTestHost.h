#pragma once
// An LV2 host for tests, built on lilv: loads one bundle, instantiates its plug-in, connects
// every port to buffers of its own, maps URIDs (from any thread, as LV2 asks), offers a worker
// whose jobs run right after each run(), sends events on the control port, reads the notify
// port, and saves and restores state through lilv.

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class LilvTestHost
{
public:
    static constexpr std::uint32_t kAtomBufferSize = 65536;
    static constexpr std::uint32_t kMaxFrames = 16384;

    // An object read from the notify port.
    struct Notification
    {
        LV2_URID type = 0;     // its class
        LV2_URID property = 0; // patch:property, for objects that have one
        double number = 0;     // patch:value or tova:status when numeric
        std::string text;      // patch:value or tova:path when a path
    };

    LilvTestHost(const std::string& bundleDir, double sampleRate)
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
        NewSequence();
    }
    ~LilvTestHost()
    {
        if (mInstance != nullptr)
        {
            lilv_instance_deactivate(mInstance);
            lilv_instance_free(mInstance);
        }
        lilv_world_free(mWorld);
    }
    LilvTestHost(const LilvTestHost&) = delete;
    LilvTestHost& operator=(const LilvTestHost&) = delete;

    bool Ok() const { return mInstance != nullptr; }
    std::string Own(const std::string& fragment) const { return mPluginURI + "#" + fragment; }
    std::vector<float>& Input(std::uint32_t channel) { return mAudio.at(mInputPorts.at(channel)); }
    // Bus 0's left output of the last run().
    const std::vector<float>& Output() const { return mAudio.at(mOutputPorts.at(0)); }
    float& Control(const std::string& symbol) { return mControls.at(mSymbols.at(symbol)); }

    // Events for the next run(), in time order.
    void Midi(std::uint32_t frame, std::vector<std::uint8_t> bytes)
    {
        lv2_atom_forge_frame_time(&mForge, frame);
        lv2_atom_forge_atom(&mForge, static_cast<std::uint32_t>(bytes.size()),
                            Map(LV2_MIDI__MidiEvent));
        lv2_atom_forge_write(&mForge, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    // A time:Position rolling at 120 bpm in 4/4 from bar 0, beat 0.
    void Rolling(std::uint32_t frame)
    {
        lv2_atom_forge_frame_time(&mForge, frame);
        lv2_atom_forge_object(&mForge, &mObject, 0, Map(LV2_TIME__Position));
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
        lv2_atom_forge_pop(&mForge, &mObject);
    }
    void Get(std::uint32_t frame, const std::optional<std::string>& property)
    {
        lv2_atom_forge_frame_time(&mForge, frame);
        lv2_atom_forge_object(&mForge, &mObject, 0, Map(LV2_PATCH__Get));
        if (property)
        {
            lv2_atom_forge_key(&mForge, Map(LV2_PATCH__property));
            lv2_atom_forge_urid(&mForge, Map(*property));
        }
        lv2_atom_forge_pop(&mForge, &mObject);
    }
    void SetPath(std::uint32_t frame, const std::string& property, const std::string& path)
    {
        lv2_atom_forge_frame_time(&mForge, frame);
        lv2_atom_forge_object(&mForge, &mObject, 0, Map(LV2_PATCH__Set));
        lv2_atom_forge_key(&mForge, Map(LV2_PATCH__property));
        lv2_atom_forge_urid(&mForge, Map(property));
        lv2_atom_forge_key(&mForge, Map(LV2_PATCH__value));
        lv2_atom_forge_path(&mForge, path.c_str(), static_cast<std::uint32_t>(path.size()));
        lv2_atom_forge_pop(&mForge, &mObject);
    }

    // Runs frames, then the worker's jobs and their responses.
    void Run(std::uint32_t frames) { Cycle(frames), AfterCycle(); }
    // The two halves of Run: the plug-in's run() alone (the host allocates nothing), then the
    // notify port, the worker and a fresh control sequence.
    void Cycle(std::uint32_t frames)
    {
        lv2_atom_forge_pop(&mForge, &mSequence);
        // An empty chunk of the buffer's size: the plug-in's room for its sequence.
        const LV2_Atom room{kAtomBufferSize - static_cast<std::uint32_t>(sizeof(LV2_Atom)), mChunk};
        std::memcpy(mNotifyBuffer.data(), &room, sizeof room);
        lilv_instance_run(mInstance, frames);
    }
    void AfterCycle()
    {
        ReadNotify();
        // The worker's turn, then its answers.
        LV2_Handle handle = lilv_instance_get_handle(mInstance);
        for (const auto& job : std::exchange(mJobs, {}))
            mWorker->work(handle, &Respond, this, static_cast<std::uint32_t>(job.size()),
                          job.data());
        for (const auto& response : std::exchange(mResponses, {}))
            mWorker->work_response(handle, static_cast<std::uint32_t>(response.size()),
                                   response.data());
        NewSequence();
    }
    // The notifications of the last run of one class (and property).
    std::vector<Notification> Find(const std::string& type, const std::string& property = "")
    {
        std::vector<Notification> found;
        for (const Notification& n : mNotifications)
            if (n.type == Map(type) && (property.empty() || n.property == Map(property)))
                found.push_back(n);
        return found;
    }

    // The plug-in's state (not its ports) in dir, its files too (state:makePath).
    bool Save(const std::string& dir)
    {
        LilvState* state = lilv_state_new_from_instance(mPlugin, mInstance, &mMap, nullptr,
                                                        dir.c_str(), dir.c_str(), dir.c_str(),
                                                        nullptr, nullptr, 0, mFeatures.data());
        if (state == nullptr) return false;
        const int result =
            lilv_state_save(mWorld, &mMap, &mUnmap, state, nullptr, dir.c_str(), "state.ttl");
        lilv_state_free(state);
        return result == 0;
    }
    bool Restore(const std::string& dir)
    {
        LilvState* state =
            lilv_state_new_from_file(mWorld, &mMap, nullptr, (dir + "/state.ttl").c_str());
        if (state == nullptr) return false;
        lilv_state_restore(state, mInstance, nullptr, nullptr, 0, mFeatures.data());
        lilv_state_free(state);
        return true;
    }

private:
    LV2_URID Map(const std::string& uri)
    {
        const std::lock_guard lock(mURIDLock);
        const auto found = mURIDs.find(uri);
        if (found != mURIDs.end()) return found->second;
        mURIs.push_back(uri);
        return mURIDs[uri] = static_cast<LV2_URID>(mURIs.size());
    }
    static LV2_URID MapURI(LV2_URID_Map_Handle handle, const char* uri)
    {
        return static_cast<LilvTestHost*>(handle)->Map(uri);
    }
    static const char* UnmapURI(LV2_URID_Unmap_Handle handle, LV2_URID urid)
    {
        auto* host = static_cast<LilvTestHost*>(handle);
        const std::lock_guard lock(host->mURIDLock);
        return urid >= 1 && urid <= host->mURIs.size() ? host->mURIs[urid - 1].c_str() : nullptr;
    }
    static LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle handle, std::uint32_t size,
                                      const void* data)
    {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        static_cast<LilvTestHost*>(handle)->mJobs.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    }
    static LV2_Worker_Status Respond(LV2_Worker_Respond_Handle handle, std::uint32_t size,
                                     const void* data)
    {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        static_cast<LilvTestHost*>(handle)->mResponses.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    }
    void ReadNotify()
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
    // An empty control sequence for the next run().
    void NewSequence()
    {
        lv2_atom_forge_set_buffer(&mForge, reinterpret_cast<std::uint8_t*>(mControlBuffer.data()),
                                  kAtomBufferSize);
        lv2_atom_forge_sequence_head(&mForge, &mSequence, 0);
    }

    LilvWorld* mWorld = nullptr;
    const LilvPlugin* mPlugin = nullptr;
    LilvInstance* mInstance = nullptr;
    std::string mPluginURI;
    std::mutex mURIDLock;
    std::map<std::string, LV2_URID> mURIDs;
    std::deque<std::string> mURIs; // stable: unmap hands out pointers into it
    LV2_URID mChunk = 0;
    LV2_URID_Map mMap{};
    LV2_URID_Unmap mUnmap{};
    LV2_Worker_Schedule mSchedule{};
    std::vector<LV2_Feature> mFeatureStore;
    std::vector<const LV2_Feature*> mFeatures;
    const LV2_Worker_Interface* mWorker = nullptr;
    std::vector<std::vector<std::uint8_t>> mJobs;
    std::vector<std::vector<std::uint8_t>> mResponses;

    std::map<std::uint32_t, std::vector<float>> mAudio; // port index → buffer
    std::vector<std::uint32_t> mInputPorts;
    std::vector<std::uint32_t> mOutputPorts;
    std::map<std::uint32_t, float> mControls;
    std::map<std::string, std::uint32_t> mSymbols;
    std::vector<std::uint64_t> mControlBuffer; // 8-byte aligned atom sequences
    std::vector<std::uint64_t> mNotifyBuffer;
    LV2_Atom_Forge mForge{};
    LV2_Atom_Forge_Frame mSequence{};
    LV2_Atom_Forge_Frame mObject{}; // a member: the forge keeps its address while it is open
    std::vector<Notification> mNotifications;
};
