#pragma once
// An LV2 host for tests, built on lilv: loads one bundle, instantiates its plug-in, connects
// every port to buffers of its own, offers URID mapping and (optionally) a worker whose jobs
// run right after each run() (as an offline host would) or on a thread of their own (as a
// live host's do), sends events on the control port,
// reads the notify port and saves and restores state through lilv. URID mapping may be called
// from any thread, as LV2 asks of a host; everything else belongs to one thread at a time.

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class LilvTestHost
{
public:
    static constexpr std::uint32_t kAtomBufferSize = 65536;

    // One event read from the notify port.
    struct Notification
    {
        std::int64_t frame = 0;
        std::string type;     // midi:MidiEvent, patch:Set, or the object's class
        std::string property; // patch:property, for objects that have one
        double number = 0;    // patch:value or tova:status when numeric
        std::string text;     // patch:value or tova:path when a path or string
        std::vector<std::uint8_t> midi;
    };

    enum class Number
    {
        Int,
        Long,
        Float,
        Double
    };
    struct Field
    {
        const char* key; // a URI
        Number type;
        double value;
    };

    // Where the atom ports' sequences start: on 8 bytes, as LV2 asks, or 4 bytes off, as
    // jalv 1.6's event buffers do.
    enum class AtomAlignment
    {
        Aligned,
        OffBy4
    };

    // bundleDir: the bundle's folder. withWorker: whether work:schedule is offered.
    LilvTestHost(const std::string& bundleDir, double sampleRate, bool withWorker = true,
                 AtomAlignment alignment = AtomAlignment::Aligned);
    ~LilvTestHost();
    LilvTestHost(const LilvTestHost&) = delete;
    LilvTestHost& operator=(const LilvTestHost&) = delete;

    bool Ok() const { return mInstance != nullptr; }
    const std::string& PluginURI() const { return mPluginURI; }
    LV2_URID Map(const std::string& uri);
    std::string Unmap(LV2_URID urid) const;

    // The input the next run() reads, per channel; zeros unless set.
    std::vector<float>& Input(std::uint32_t channel) { return mAudio.at(mInputPorts.at(channel)); }
    // Output bus b, channel c of the last run().
    const std::vector<float>& Output(std::uint32_t bus, std::uint32_t channel) const
    {
        return mAudio.at(mOutputPorts.at(bus * 2 + channel));
    }
    float& Control(const std::string& symbol) { return mControls.at(mSymbols.at(symbol)); }

    // Events for the next run(), in time order.
    void Midi(std::uint32_t frame, std::vector<std::uint8_t> bytes);
    void Object(std::uint32_t frame, const std::string& type, const std::vector<Field>& fields);
    void Get(std::uint32_t frame, const std::optional<std::string>& property);
    void SetNumber(std::uint32_t frame, const std::string& property, Number type, double value);
    void SetPath(std::uint32_t frame, const std::string& property, const std::string& path);

    // From now on the worker's jobs run on a thread of their own; their responses reach the
    // plug-in after the next cycle that follows them. Only with a worker.
    void StartWorkerThread();

    // Runs frames (at most the buffers' size), then the worker's jobs and their responses.
    void Run(std::uint32_t frames) { Cycle(frames), AfterCycle(); }
    // The two halves of Run: only the plug-in's run() (nothing of the host allocates), then
    // the notify port, the worker and a fresh control sequence.
    void Cycle(std::uint32_t frames);
    void AfterCycle();
    const std::vector<Notification>& Notifications() const { return mNotifications; }

    // Saves the instance's state into dir (its files too: state:makePath) and restores one.
    bool Save(const std::string& dir);
    bool Restore(const std::string& dir);
    // Saves without a directory: the plug-in gets no makePath. Restores what it saved.
    bool SaveInMemory();
    bool RestoreFromMemory();

    static constexpr std::uint32_t kMaxFrames = 16384;

private:
    static LV2_URID MapURI(LV2_URID_Map_Handle handle, const char* uri);
    static const char* UnmapURI(LV2_URID_Unmap_Handle handle, LV2_URID urid);
    static LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle handle, std::uint32_t size,
                                      const void* data);
    static LV2_Worker_Status Respond(LV2_Worker_Respond_Handle handle, std::uint32_t size,
                                     const void* data);
    static const void* GetPortValue(const char* symbol, void* user, std::uint32_t* size,
                                    std::uint32_t* type);
    static void SetPortValue(const char* symbol, void* user, const void* value, std::uint32_t size,
                             std::uint32_t type);
    void BeginEvent(std::uint32_t frame);
    // The head of a patch:Set of property, up to its value.
    void BeginSet(std::uint32_t frame, const std::string& property, LV2_Atom_Forge_Frame& object);
    void ReadNotify();
    bool RestoreState(LilvState* state);
    void RunJobs(std::vector<std::vector<std::uint8_t>>& jobs);

    LilvWorld* mWorld = nullptr;
    const LilvPlugin* mPlugin = nullptr;
    LilvInstance* mInstance = nullptr;
    std::string mPluginURI;
    mutable std::mutex mURIDLock;
    std::map<std::string, LV2_URID> mURIDs;
    std::deque<std::string> mURIs; // stable: unmap hands out pointers into it
    LV2_URID mChunk = 0;
    LV2_URID_Map mMap{};
    LV2_URID_Unmap mUnmap{};
    LV2_Worker_Schedule mSchedule{};
    std::vector<LV2_Feature> mFeatureStore;
    std::vector<const LV2_Feature*> mFeatures;
    const LV2_Worker_Interface* mWorker = nullptr;
    std::mutex mWorkLock; // guards the two queues and mWorkerStop
    std::condition_variable mWorkReady;
    std::vector<std::vector<std::uint8_t>> mJobs;
    std::vector<std::vector<std::uint8_t>> mResponses;
    std::thread mWorkerThread;
    bool mWorkerStop = false;

    std::map<std::uint32_t, std::vector<float>> mAudio; // port index → buffer
    std::vector<std::uint32_t> mInputPorts;
    std::vector<std::uint32_t> mOutputPorts;
    std::map<std::uint32_t, float> mControls;
    std::map<std::string, std::uint32_t> mSymbols;
    std::vector<std::uint64_t> mControlBuffer; // 8-byte aligned atom storage
    std::vector<std::uint64_t> mNotifyBuffer;
    std::uint8_t* mControl = nullptr; // the sequences, inside those, as the alignment asks
    std::uint8_t* mNotify = nullptr;
    std::vector<std::uint64_t> mNotifyCopy; // where the notify port is read, aligned
    LV2_Atom_Forge mForge{};
    LV2_Atom_Forge_Frame mSequence{};
    std::vector<Notification> mNotifications;
    LilvState* mMemoryState = nullptr;
};
