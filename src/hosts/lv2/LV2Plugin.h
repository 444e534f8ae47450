#pragma once
// One instance of the LV2 plug-in: a thin wrapper that opens the component of its bundle and
// drives it only through the host-side API, as every other host of the component does.
//
// run() splits the host's block where events need it: MIDI goes to the unit before the
// render call that holds its frame, with its offset in that call; a time:Position or a
// protocol message first renders everything before it; no render call is longer than
// kMaxRenderFrames. Each render call renders every output bus, bus 0 first, with one time
// stamp. After the block the notify port gets the unit's feedback notes, a patch:Set for
// each parameter the unit changed itself, and the protocol's replies (PROTOCOL.md).
//
// Threads: instantiate, cleanup, state save and restore on the host's other threads; run,
// connect_port and work_response on the audio thread; work on the host's worker thread (or
// inside run when the host has no worker). run() allocates nothing and takes no lock.

#include "hosts/lv2/LV2BundleInfo.h"
#include "hosts/lv2/LV2HostClock.h"
#include "hosts/lv2/LV2Output.h"
#include "hosts/lv2/LV2ParameterBridge.h"
#include "hosts/lv2/LV2PortLayout.h"
#include "hosts/lv2/LV2StateStore.h"
#include "hosts/lv2/LV2URIs.h"
#include "hosts/lv2/LV2WorkMessage.h"
#include "platform/CoreMIDI.h"

#include <lv2/core/lv2.h>
#include <lv2/worker/worker.h>

#include <array>
#include <atomic>
#include <string>
#include <vector>

class LV2Plugin
{
public:
    // The longest render call; longer host blocks are rendered in pieces.
    static constexpr std::uint32_t kMaxRenderFrames = 2048;
    // Atom buffers are to be 8-byte aligned, but some hosts hand over buffers 4 bytes off
    // (jalv 1.6's event buffers). Such a control sequence is read from an aligned copy of at
    // most this many bytes; events past it are left out.
    static constexpr std::uint32_t kControlCopyBytes = 65536;

    // [ui] Null with a message on stderr when the unit cannot be opened.
    static LV2Plugin* Create(const LV2BundleInfo& bundle, double sampleRate,
                             const LV2_Feature* const* features);
    ~LV2Plugin(); // [ui]
    LV2Plugin(const LV2Plugin&) = delete;
    LV2Plugin& operator=(const LV2Plugin&) = delete;

    void ConnectPort(std::uint32_t port, void* data); // [render]
    void Run(std::uint32_t frames);                   // [render]

    // [ui]
    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle,
                          const LV2_Feature* const* features);
    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                             const LV2_Feature* const* features);
    // [worker]
    LV2_Worker_Status Work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                           std::uint32_t size, const void* data);
    // [render]
    LV2_Worker_Status WorkResponse(std::uint32_t size, const void* data);

private:
    LV2Plugin(AudioUnit unit, const LV2BundleInfo& bundle, double sampleRate, LV2_URID_Map& map,
              const LV2PortLayout& layout, const std::vector<std::string>& symbols,
              const std::vector<AudioUnitParameterID>& ids, MIDIPacketRing* feedback);

    bool Prepare(std::string& error); // [ui] formats, callbacks, initialisation

    // ---- run() ----
    const LV2_Atom_Sequence* AlignedControl(); // [render] the control port, or its copy
    void RenderUntil(std::uint32_t frame);     // [render] renders the block up to frame
    void RenderPiece(std::uint32_t frames);    // [render] one render call of every bus
    // [render] One event of the control port, offset frames into the next render call.
    void Receive(const LV2_Atom_Event& event, std::uint32_t offset);
    void ReceiveObject(const LV2_Atom_Object& object); // [render]
    void ReceiveSet(const LV2_Atom_Object& object);    // [render]
    void ReceiveGet(const LV2_Atom_Object& object);    // [render]
    void Request(LV2WorkMessage& message);             // [render] to the worker
    void Notify();                                     // [render] the notify port's events
    void NotifyFeedback();                             // [render]
    void NotifyProperties();                           // [render]
    bool ReadProperty(AudioUnitPropertyID id, SInt32& value) const; // [render]

    // ---- the worker's side ----
    void Perform(LV2WorkMessage& message);       // [worker] sets the property, status into value
    void Answer(const LV2WorkMessage& response); // [render] queues the reply of a request

    static OSStatus InputProc(void* refCon, AudioUnitRenderActionFlags* ioActionFlags,
                              const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 frames,
                              AudioBufferList* ioData);
    static void PropertyChanged(void* refCon, AudioUnit unit, AudioUnitPropertyID id,
                                AudioUnitScope scope, AudioUnitElement element);

    AudioUnit mUnit;
    const LV2BundleInfo& mBundle;
    double mSampleRate;
    LV2PortLayout mLayout;
    LV2URIs mURIs;
    LV2HostClock mClock;
    LV2Output mOutput;
    LV2ParameterBridge mParameters;
    LV2StateStore mState;
    MIDIPacketRing* mFeedback; // the tap on the unit's virtual source, or null
    LV2_Worker_Schedule* mSchedule = nullptr;

    // Ports.
    std::vector<const float*> mInputs; // bus by bus, left then right
    std::vector<float*> mOutputs;      // bus by bus, left then right
    const LV2_Atom_Sequence* mControl = nullptr;
    std::vector<std::uint64_t> mControlCopy; // 8-byte aligned room for a misaligned sequence
    LV2_Atom_Sequence* mNotify = nullptr;

    // Render state of the current block.
    std::uint32_t mMaxRenderFrames = kMaxRenderFrames;
    std::uint32_t mCursor = 0;     // frames of the block rendered so far
    Float64 mSampleTime = 0;       // frames rendered since the instance began
    std::vector<float> mInputCopy; // the piece's input, bus by bus, channel by channel
    std::vector<float> mSilence;   // for input ports the host left unconnected
    std::vector<float> mDiscard;   // for output ports the host left unconnected

    // What the notify port still owes.
    bool mReportMemoryUse = false;
    bool mReportStopped = false;
    bool mReportMidiLearn = false;
    SInt32 mMemoryUse = -1;
    std::atomic<bool> mStoppedChanged{false}; // set by the unit's announcement
    static constexpr std::size_t kMaxAnswers = 8;
    std::array<LV2WorkMessage, kMaxAnswers> mAnswers{};
    std::size_t mAnswerCount = 0;
};
