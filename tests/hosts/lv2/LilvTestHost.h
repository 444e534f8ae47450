#pragma once
// An LV2 host for tests, built on lilv: loads one bundle, instantiates its plug-in, connects
// every port to buffers of its own, maps URIDs (from any thread, as LV2 asks), offers a worker
// whose jobs run right after each run(), sends events on the control port, reads the notify
// port, and saves and restores state through lilv.

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
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
    LilvTestHost(const std::string& bundleDir, double sampleRate);
    ~LilvTestHost();
    LilvTestHost(const LilvTestHost&) = delete;
    LilvTestHost& operator=(const LilvTestHost&) = delete;

    bool Ok() const { return mInstance != nullptr; }
    // A URI of the plug-in's own: its URI and the fragment.
    std::string Own(const std::string& fragment) const { return mPluginURI + "#" + fragment; }
    LV2_URID Map(const std::string& uri);

    std::vector<float>& Input(std::uint32_t channel) { return mAudio.at(mInputPorts.at(channel)); }
    // Output bus b, channel c of the last run().
    const std::vector<float>& Output(std::uint32_t bus, std::uint32_t channel) const
    {
        return mAudio.at(mOutputPorts.at(bus * 2 + channel));
    }
    float& Control(const std::string& symbol) { return mControls.at(mSymbols.at(symbol)); }

    // Events for the next run(), in time order.
    void Midi(std::uint32_t frame, std::vector<std::uint8_t> bytes);
    // A time:Position rolling at 120 bpm in 4/4 from bar 0, beat 0.
    void Rolling(std::uint32_t frame);
    void Get(std::uint32_t frame, const std::optional<std::string>& property);
    void SetPath(std::uint32_t frame, const std::string& property, const std::string& path);

    // Runs frames, then the worker's jobs and their responses.
    void Run(std::uint32_t frames) { Cycle(frames), AfterCycle(); }
    // The two halves of Run: the plug-in's run() alone (the host allocates nothing), then the
    // notify port, the worker and a fresh control sequence.
    void Cycle(std::uint32_t frames);
    void AfterCycle();
    // The notifications of the last run of one class (and property).
    std::vector<Notification> Find(const std::string& type, const std::string& property = "");

    // Saves the plug-in's state (not its ports) into dir, its files too (state:makePath), and
    // restores one.
    bool Save(const std::string& dir);
    bool Restore(const std::string& dir);

private:
    static LV2_URID MapURI(LV2_URID_Map_Handle handle, const char* uri);
    static const char* UnmapURI(LV2_URID_Unmap_Handle handle, LV2_URID urid);
    static LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle handle, std::uint32_t size,
                                      const void* data);
    static LV2_Worker_Status Respond(LV2_Worker_Respond_Handle handle, std::uint32_t size,
                                     const void* data);
    void ReadNotify();

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
    std::vector<Notification> mNotifications;
};
