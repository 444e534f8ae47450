#pragma once
// CTova: the live sampler and looper as an audio-unit MIDI effect. It captures its stereo input
// continuously, records it into per-key samples on MIDI notes, plays those back through a voice
// allocator, a pitch shifter per output bus and a reverberator, and mixes the input through.
//
// Members are defined by concern: engine/CTova.cpp (construction and lifecycle),
// engine/CTovaRender.cpp (the render cycle), engine/CTovaSpeed.cpp (tape, scratch and scrub
// speed), engine/CTovaSync.cpp (clock and synchronised starts and stops),
// engine/CTovaRecording.cpp (recording and spreading samples over keys),
// engine/CTovaCommands.cpp (hand-offs to the render thread), engine/CTovaMidi.cpp (notes and
// what a key press does), engine/CTovaLearn.cpp (MIDI learn, learned controls, haptic feedback),
// engine/CTovaHandOff.cpp (snapshots for saves, imported frames into the pool),
// engine/CTovaImport.cpp (audio-file import), params/CTovaParameters.cpp (parameter table and
// side effects), params/CTovaState.cpp (preset state), params/CTovaProperties.cpp (custom
// properties) and params/CTovaPreferences.cpp (learn tables in the user's preferences).
//
// Threads. The host renders on one thread and calls everything else (parameters, properties,
// state, MIDI) from others, without locks around the plug-in. Plain stores into engine fields
// from those threads while the render thread reads them would be data races, so:
// - Parameter values live in the frame's atomic storage; any thread reads them at any time.
// - Everything else the render cycle touches (keys, voicers, shifters, reverb, the pool, the
//   recording fields, clock, speed model, held notes, freeze state) belongs to the render
//   thread. No other thread writes it.
// - SetParameter does its parameter-level work synchronously on the caller's thread (stores,
//   the lock test, rising-edge detection against the stored value, the Digi bits, nested
//   SetParameterNotify calls and notifications, in their order) and expresses each change of
//   render-owned state as a Command appended to a bounded lock-free multi-producer queue. The
//   render thread drains the queue at the start of every new render cycle, before anything
//   reads that state, and executes the commands in order: their effects arrive in the stated
//   order, at most one render call later. Reverb settings and freeze requests are coalesced
//   (the latest value waits in an atomic and at most one command is queued for it), so a flood
//   of automation cannot fill the queue.
// - Whoever holds the exclusive token (the render thread inside RenderBus, or a control thread
//   doing whole-engine work such as Reset) executes commands at once, after draining what was
//   queued before. If the queue is ever full, the posting thread takes the token itself and
//   drains the queue: nothing is lost and the render thread never waits.
// - Values other threads read (the stopped flag of property 64002) are atomics.
// Storing straight into the engine's fields from those threads would be simpler and is what a
// plug-in of this kind traditionally does; it is a data race, so we pay for the queue instead.
//
// Real time: RenderBus allocates nothing, takes no lock, never waits and makes no system call.

#include "dsp/CShifter.h"
#include "dsp/revmodel.h"
#include "engine/CExclusiveToken.h"
#include "engine/NoteScheduler.h"
#include "params/TovaParameterIDs.h"
#include "params/TovaPropertyIDs.h"
#include "params/frame/AUMIDIEffectBase.h"
#include "platform/CABoundedQueue.h"
#include "platform/CoreMIDI.h"
#include "samples/CADSR.h"
#include "samples/CKeyInfo.h"
#include "samples/CSampleFactory.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CSample;
class CVoicer;

class CTova : public AUMIDIEffectBase, public NoteScheduler
{
public:
    // The version's packed major, minor and revision: 1.1.0.
    static constexpr UInt32 kVersion = 0x00010100;
    static constexpr int kNumKeys = 128;
    static constexpr UInt32 kNumOutputBuses = 4;
    static constexpr int kVoicesPerBus = 16;
    static constexpr int kPoolFrames = 5000000;
    static constexpr int kPoolSamples = 64;
    static constexpr UInt32 kMaxFramesPerSlice = 2048;
    static constexpr UInt32 kSubBlockFrames = 16;
    static constexpr int kMaxHeldNotes = 128;
    static constexpr int kNumReverbSettings = 5;
    // Learn tables: one entry per note or controller, entry 128 for the pitch wheel.
    static constexpr int kLearnSlots = 129;
    static constexpr int kPitchWheelSlot = 128;
    // A learn-table entry, or the parameter armed for learn, that names no parameter.
    static constexpr SInt16 kUnbound = -1;

    // The parameter table: rows 0 … 34 describe the parameters, row 35 is the "LAST" sentinel.
    static const AudioUnitParameterInfo s_asParInfo[kTovaParam_Count + 1];

    explicit CTova(ComponentInstanceRecord* instance); // [ui]
    ~CTova() override;                                 // [ui]

    // ---- Frame operations ----
    UInt32 Version() override;                                               // [any]
    void PostConstructor() override;                                         // [ui]
    OSStatus Initialize() override;                                          // [ui]
    OSStatus Reset(AudioUnitScope scope, AudioUnitElement element) override; // [ui]
    OSStatus SetBusCount(AudioUnitScope scope, UInt32 count) override;       // [ui]
    Float64 GetLatency() override;                                           // [any]
    UInt32 SupportedNumChannels(const AUChannelInfo** outInfo) override;     // [any]
    int GetNumCustomUIComponents() override;                                 // [ui]
    void GetUIComponentDescs(ComponentDescription* inDescArray) override;    // [ui]
    OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                              AudioUnitParameterInfo& outInfo) override; // [any]
    OSStatus GetParameterValueStrings(AudioUnitScope scope, AudioUnitParameterID id,
                                      CFType* outStrings) override; // [ui]
    // [any] Stores the value and carries out the parameter's side effects (see the file
    // comment for how those reach the render thread).
    OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                          AudioUnitParameterValue value, UInt32 bufferOffsetInFrames) override;
    // [render] One output bus of one render cycle.
    OSStatus RenderBus(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                       UInt32 bus, UInt32 frames) override;
    // [ui] The frame's state with the pool and the keys added. While a render thread runs, it
    // takes a snapshot at the start of a cycle and goes on recording and playing, never
    // waiting; otherwise the snapshot is taken under the token.
    OSStatus SaveState(CFType* outData) override;
    // [ui] Checks the whole state first and refuses a malformed one before anything changes;
    // then replaces the parameters, the pool and the keys under the token.
    OSStatus RestoreState(const CFType& plist) override;
    // [any] The custom properties (see their ids above); the in-place property is hidden.
    OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32& outDataSize, Boolean& outWritable) override;
    OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         void* outData) override;
    OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         const void* inData, UInt32 inDataSize) override;

    // ---- Engine operations ----
    // [render] True when every voicer with a voice in use is silent.
    bool IsSilent() const;
    // [render] Stops every voice at once and releases the reverb freeze.
    void AllNotesOff();
    // [any] Every key loses its sample at the start of the next render cycle.
    void EraseAllSamples();
    // [any] "Recording" is on (the mode, not whether a key records).
    bool IsRecording() const;
    // [any] 0 while the host is stopped, else the "Record Sync" or "Playback Sync" mode.
    int RecordInSync() const;
    int PlayInSync() const;
    // [render] Starts or stops a key on bus 0's voicer in step with the clock; mode −1 means
    // "Playback Sync". A key outside 0 … 127 (−1 for none) is ignored.
    void StartNoteInSync(int key, float gain, int mode);
    void StopNoteInSync(int key, int mode);
    // [any] The current value of a global parameter.
    AudioUnitParameterValue Param(AudioUnitParameterID id) const;
    // [any] Sets a parameter through the parameter-set service, so listeners hear of it.
    void SetParameterNotify(AudioUnitParameterID id, AudioUnitParameterValue value);
    // [any] Tells listeners that a parameter changed, without changing it.
    void ParameterNotify(AudioUnitParameterID id);
    // [any] Whether the effective speed of the last sub-block was 0 (property 64002).
    bool IsStopped() const { return mStopped.load(std::memory_order_relaxed) != 0; }
    // [ui] Reads the audio file at path (off the render thread) and makes it the sample waiting
    // for the next note on; returns once it waits, with the reader's status when it failed
    // (no sample waits then). With tempo, the tempo follows from the file's length.
    OSStatus ImportFile(const std::string& path, bool withTempo);

    // Exclusive access to the whole engine for a scope: waits for the token (the render thread
    // holds it at most one render call), then executes every queued command so that work done
    // under the token sees their effects. Meanwhile render calls play silence.
    class Exclusive
    {
    public:
        explicit Exclusive(CTova& tova); // [ui]
        Exclusive(const Exclusive&) = delete;
        Exclusive& operator=(const Exclusive&) = delete;

    private:
        CExclusiveToken::Hold mHold;
    };

    // [midi] Notes go to the note scheduler's ring; all notes off and
    // all sound off stop every voice at the next render cycle.
    OSStatus HandleNoteOn(UInt8 channel, UInt8 note, UInt8 velocity,
                          UInt32 offsetSampleFrame) override;
    OSStatus HandleNoteOff(UInt8 channel, UInt8 note, UInt8 velocity,
                           UInt32 offsetSampleFrame) override;
    OSStatus HandleAllNotesOff(UInt8 channel) override;
    OSStatus HandleAllSoundOff(UInt8 channel) override;
    // [midi] Learn binding and learned control of parameters (CTovaLearn.cpp).
    OSStatus HandleControlChange(UInt8 channel, UInt8 controller, UInt8 value,
                                 UInt32 offsetSampleFrame) override;
    OSStatus HandlePitchWheel(UInt8 channel, UInt8 lsb, UInt8 msb,
                              UInt32 offsetSampleFrame) override;

    // [ui] Puts the default bindings into the learn tables shared by every instance: nothing
    // but notes 48, 49 and 50 on "Recording", "Erasing" and "Copying", every controller
    // relative. The tables start out so when the program is loaded.
    static void SetLearnDefaults();

protected:
    // [render] The note scheduler delivers queued notes here.
    OSStatus ExtendedNoteOn(MusicDeviceInstrumentID inInstrument, MusicDeviceGroupID inGroupID,
                            NoteInstanceID* outNoteInstanceID, UInt32 inOffsetSampleFrame,
                            const MusicDeviceNoteParams& inParams) override;
    OSStatus ExtendedNoteOff(MusicDeviceGroupID inGroupID, NoteInstanceID inNoteInstanceID,
                             UInt32 inOffsetSampleFrame) override;

private:
    friend class CTovaProbe; // tests look inside

    // A switch parameter counts as on above this value, off below it.
    static constexpr float kOn = 0.1f;

    // Changes of render-owned state requested from other threads.
    enum class ECommand : UInt32
    {
        StopRequest,     // a recording, or a start not yet carried out, is to stop
        EraseCountReset, // consecutive "Erasing" switch-ons start again from 0
        EraseEdge,       // "Erasing" switched on: the third in a row erases everything
        CopyReset,       // no copy source chosen, erase count 0
        LegatoReset,     // no legato key
        AutolooperArm,   // play after record, record on the next free key from 60
        AllNotesOff,
        EraseAll,
        Freeze, // apply mFreezeRequest
        Reverb  // apply the reverb settings marked in mReverbDirty
    };
    struct Command
    {
        ECommand type;
    };
    static constexpr std::size_t kCommandQueueSize = 1024;

    // What the speed model prepares once per render call.
    struct SpeedPlan
    {
        float bo = 0;        // "Bo" as read for this call
        float deltaBo = 0;   // |mLastBo − Bo|
        double g = 0;        // smoothing coefficient of the Bo motion
        double beta = 0;     // Bo curve
        double sigma = 0;    // Rarorovaz curve
        float rarorovaz = 0; // "Rarorovaz" as read for this call
    };
    // The speeds of one sub-block.
    struct Speeds
    {
        float speed = 0; // effective speed for the voices
        float bo = 0;    // the Bo speed v_bo: 0 or at least 0.2
    };

    // ---- Commands (CTovaCommands.cpp) ----
    void Post(ECommand type);                          // [any]
    void DrainCommands();                              // [render] or under the token
    void Execute(ECommand type);                       // [render] or under the token
    void RequestFreeze(SInt32 request);                // [any] 0 freeze, 1 release
    void RequestReverbSetting(int index, float value); // [any] index 0 … 4 = ids 28 … 32
    void ApplyFreezeRequest();                         // [render]
    void ApplyReverbSettings();                        // [render]
    void ArmAutolooper();                              // [render]
    void EraseAllSamplesNow();                         // [render]

    // ---- Parameters (CTovaParameters.cpp) ----
    // [any] The frame's store, in the scope, element and offset of the call.
    OSStatus StoreParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                            AudioUnitParameterValue value, UInt32 offset);
    void SetDigiBit(AudioUnitScope scope, AudioUnitElement element, UInt32 offset); // [any]
    void SetDigiValue(AudioUnitParameterValue value, AudioUnitScope scope, AudioUnitElement element,
                      UInt32 offset); // [any]

    // ---- Render cycle (CTovaRender.cpp) ----
    // [render] Input (pulled on bus 0) and output pointers, and bypass; false when bypassed.
    bool PrepareBuffers(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                        UInt32 bus, UInt32 frames, bool newCycle, float*& inL, float*& inR,
                        float*& outL, float*& outR);
    void ApplyEraseRequests(); // [render] completes erase requests
    void StopPrior();          // [render] "Stop Prior" ends the autolooper
    // [render] The bus's global shifter over one sub-block; voices: whether its voicer played.
    void RunShifter(UInt32 bus, UInt32 n, bool voices, float bo, float* outL, float* outR);
    // [render] Adds the input through the play-thru envelope.
    void MixPlayThru(const float* inL, const float* inR, float* outL, float* outR, UInt32 n);
    void RunReverb(float* outL, float* outR, UInt32 frames); // [render] bus 0, with freeze
    void Commit(bool newCycle, double lastBeat, float bo);   // [render] the snapshot
    void SaveSnapshot();    // [render][ui] the values a repeated time stamp must not advance
    void RestoreSnapshot(); // [render] the working copies from the snapshot
    void WriteSilence(UInt32 bus, UInt32 frames); // [render]

    // ---- Speed model (CTovaSpeed.cpp) ----
    SpeedPlan PrepareSpeed(bool newCycle, UInt32 frames); // [render] once per call
    Speeds StepSpeed(const SpeedPlan& plan);              // [render] once per sub-block
    float StepPlatter(float target);                      // [render]

    // ---- Clock (CTovaSync.cpp) ----
    void FollowTransport();                                // [render] new cycles
    void FollowBeatAndTempo(bool newCycle, UInt32 frames); // [render] every call
    float HostBeatsPerBar() const;                         // [render]
    void PlaceBarStart(UInt32 frames);                     // [render]
    void AdvanceBeat(UInt32 frames);                       // [render] between host updates
    int BeatTick(double lastBeat) const;                   // [render]
    void NoteOff(int key);                                 // [render] forgets a held key
    void HoldNote(int key);                                // [render] remembers a started key

    // ---- Recording (CTovaRecording.cpp) ----
    void StartRecording(int key);                                           // [render]
    void StopRecording(int mode);                                           // [render]
    void RefillSamples(int lo, int hi);                                     // [render]
    void CopySample(int key, int lo, int hi, bool automatic, bool respect); // [render]
    // [render] The sample becomes the key's own, untransposed, and is spread over the keys around.
    void GiveSample(int key, CSample* sample);
    void CarryOutPendingRecording();                                // [render] synced start/stop
    void RecordSubBlock(const float* inL, const float* inR, int n); // [render]
    bool HasOwnSample(int key) const;                               // [render]
    bool IsFreeForRecording(int key) const;                         // [render]
    bool SyncWaits(int mode) const;                                 // [render]
    void RequestStop();                                             // [render]
    void DiscardRecording(); // [render] "Stop Prior" while recording

    // ---- Key actions of delivered notes (CTovaMidi.cpp) ----
    void AssignImport(int key);            // [render] the waiting import goes to the key
    void EraseKey(int key);                // [render] "Erasing"
    void CopyFromSource(int key);          // [render] "Copying"
    void PlayKey(int key, float velocity); // [render] held notes, legato, start
    void ReleaseKey(int key);              // [render] note off of a key that plays
    void BendLegatoKey(int key);           // [render] towards key, in semitones

    // ---- MIDI learn and feedback (CTovaLearn.cpp) ----
    // [midi] The parameter a learn-table entry names, or −1 when it names none of ours.
    static int BoundParameter(const std::atomic<SInt16>& entry);
    // [midi] Binds the entry to the armed parameter, or unbinds it when it already names that
    // parameter; false when nothing is armed. Disarms learn.
    bool LearnInto(std::atomic<SInt16>& entry);
    // [midi] Moves a learned parameter; value in steps of 1/128 of its linear range.
    void SetLearnedParameter(int id, int value, int defaultStep);
    // [midi] The parameter's value as a step of 1/128 of its linear range, rounded.
    int LinearStep(int id, AudioUnitParameterValue value);
    // [midi] A note on now and its note off 50 ms later on the feedback source.
    void SendFeedbackPair(Byte note);
    void OpenMIDIFeedback();  // [ui] client, source and the "Haptic" preference
    void CloseMIDIFeedback(); // [ui]

    // ---- Preferences (CTovaPreferences.cpp) ----
    void LoadPreferences(); // [ui] the first instance of the process loads the learn tables
    void SavePreferences(); // [ui] that instance writes them back, with "Haptic"

    // ---- Properties (CTovaProperties.cpp) ----
    OSStatus ArmLearn(SInt32 id); // [ui] learn arming, or clearing on the second arming
    UInt32 MemoryUse() const;     // [any] tenths of a percent of the pool

    // ---- Preset state (CTovaState.cpp) ----
    // [any] Whether the pool and keys of a state can be restored; checked before anything of
    // the state is applied.
    bool CanRestoreContent(const CFType& plist) const;
    // [ui under the token] Erases every sample and rebuilds the pool and the keys from plist.
    void RestoreContent(const CFType& plist);

    // ---- Work handed to the render thread (CTovaHandOff.cpp) ----
    // A hand-off: requested by a control thread, carried out by the render thread at the start
    // of its next cycles, or by the control thread itself under the token when no render
    // thread runs.
    enum class EHandOff : SInt32
    {
        Idle,
        Requested,
        Working, // an import's frames are being copied in
        Done
    };
    // A key as a save records it; id is the slot of its sample, −1 without one.
    struct KeyState
    {
        SInt32 id = -1;
        double pitchShift = 1.0;
        double speed = 1.0;
        bool automatic = false;
        bool looping = false;
    };
    // What a save needs of the engine at one moment.
    struct Snapshot
    {
        SInt32 fill = 0;
        std::vector<CSampleFactory::SlotState> slots; // sized by the saver
        std::array<KeyState, kNumKeys> keys;
    };
    // An import: frames decoded by the importing thread, placed in the pool by the render
    // thread a bounded piece per cycle.
    struct ImportJob
    {
        std::vector<float> left;
        std::vector<float> right;
        double tempo = -1.0;
        double sampleRate = 0.0;
        SInt32 sync = 0;
        bool neverLoop = false;
        bool playAll = false;
        CSample* sample = nullptr; // placed in the pool, being filled
        SInt32 written = 0;
        OSStatus result = noErr;
    };
    // A snapshot of the engine in mSnapshot for the scope of a save: taken by the render thread
    // (which freezes the pool until the scope ends) or, when none runs, under the token.
    class HeldSnapshot
    {
    public:
        explicit HeldSnapshot(CTova& tova); // [ui]
        ~HeldSnapshot();                    // [ui]
        HeldSnapshot(const HeldSnapshot&) = delete;
        HeldSnapshot& operator=(const HeldSnapshot&) = delete;

    private:
        CTova& mTova;
        std::unique_ptr<Exclusive> mAccess;
    };
    void RenderHandOffs(); // [render] at the start of every cycle
    // [render][ui under the token] Thaws the pool once the save that froze it is done.
    void SettleHandOffs();
    void SnapshotNow();                 // [render][ui under the token]
    void StepImport(SInt32 budget);     // [render][ui under the token] at most budget frames
    void FinishImport(OSStatus result); // [render][ui under the token]
    void InstallImport();               // [ui] hands mImport over and waits until it is done
    bool RenderThreadRuns() const;      // [any] a render cycle began lately on another thread
    // [ui] Waits while the render thread runs until done() holds; false when no render thread
    // (still) runs, and the caller then does the work under the token.
    template <class Done> bool AwaitRender(Done done);

    // ---- Learn tables, shared by every instance of the process ----
    static std::array<std::atomic<SInt16>, kLearnSlots> mMIDICC;
    static std::array<std::atomic<SInt32>, kLearnSlots> mMIDICCIncremental;
    static std::array<std::atomic<SInt16>, kLearnSlots> mMIDINote;

    // ---- Data model, in the original declaration order ----
    // Armed by the learn property on a control thread, taken by the MIDI handlers.
    std::atomic<SInt16> mLearnParam{kUnbound};
    std::atomic<SInt32> mStopped{0};
    double mTapeSpeed = 1.0;
    double mTapeSpeedSaved = 1.0;
    std::array<CKeyInfo, kNumKeys> mKeys;
    SInt32 mRecordKey = -1;
    SInt32 mCopySource = -1;
    SInt32 mEraseCount = 0;
    SInt32 mLegatoKey = -1;
    std::array<CShifter, kNumOutputBuses> mShifters;
    CADSR mPlayThru;
    std::unique_ptr<CSampleFactory> mSampleFactory;
    std::unique_ptr<CVoicer[]> mVoicers;
    CSample* mRecordSample = nullptr;
    CSample* mImportSample = nullptr;
    double mSampleRate = 44100.0;
    double mTempo = 120.0;
    double mBeat = 0;
    double mLastBeat = 0;
    double mLastBeatSaved = 0;
    float mBeatsPerBar = 4.0f;
    bool mIsPlaying = false;
    float mScratchPos = 0;
    float mScratchVel = 0;
    float mLastBo = 0;
    float mBoMotion = 0;
    float mScratchPosSaved = 0;
    float mScratchVelSaved = 0;
    float mLastBoSaved = 0;
    float mBoMotionSaved = 0;
    SInt32 mBoStill = 0;
    SInt32 mPendingStop = -1;
    SInt32 mPendingStart = -1;
    SInt32 mPlayAfterRecord = 0;
    SInt32 mPriorKey = -1;
    std::array<SInt32, kMaxHeldNotes> mHeldNotes{};
    SInt32 mHeldCount = 0;
    SInt32 mFreezeState = 3;
    revmodel mReverb;
    // Haptic feedback: set in the constructor, read by the MIDI handlers.
    MIDIClientRef mMIDIClient = 0;
    MIDIEndpointRef mMIDISource = 0;
    SInt32 mHaptic = 0;

    // ---- Added for the thread hand-offs and the shifter tail ----
    AUElement* mGlobals; // the global element, which exists from the frame's constructor on
    // Frames each global shifter still runs after its bus's last voice stopped, so that its
    // delay line drains instead of being cut off.
    std::array<SInt32, kNumOutputBuses> mShifterTail{};
    CExclusiveToken mToken;
    CABoundedQueue<Command, kCommandQueueSize> mCommands;
    std::atomic<SInt32> mFreezeRequest{-1}; // −1 none pending
    std::array<std::atomic<float>, kNumReverbSettings> mReverbSettings{};
    std::atomic<UInt32> mReverbDirty{0}; // bit i: setting i waits to be applied

    // ---- Added for preferences, saves and imports ----
    static std::atomic<bool> mPrefsInitialized; // the learn tables were loaded in this process
    SInt32 mPrefsOwner = 0;                     // 1 in the instance that loaded them
    // Host time of the latest render cycle's start, 0 before the first.
    std::atomic<UInt64> mLastCycleTime{0};
    Snapshot mSnapshot;
    std::atomic<EHandOff> mSnapshotState{EHandOff::Idle};
    // Set by the render thread with its snapshot, cleared by the save when it has copied the
    // frames: the pool stays frozen meanwhile.
    std::atomic<bool> mPoolHeld{false};
    ImportJob mImport;
    std::atomic<EHandOff> mImportState{EHandOff::Idle};
    std::mutex mStateMutex;  // one save or restore at a time; never taken by the render thread
    std::mutex mImportMutex; // one import at a time, likewise
};
