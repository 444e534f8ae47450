// The parameter-listener service: delivery in posting order, senders skipped, registrations
// changed while called, overflow, and posting from several threads at once.

#include "params/frame/AUEffectBase.h"
#include "params/frame/ComponentEntryPoint.h"
#include "platform/AUParameterListenerService.h"
#include "platform/AudioUnitUtilities.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>
#include <vector>

namespace
{
// An effect with global parameters 0 … 3.
class Plugin : public AUEffectBase
{
public:
    explicit Plugin(AudioComponentInstance instance) : AUEffectBase(instance)
    {
        for (AudioUnitParameterID id = 0; id < 4; ++id)
            Globals()->SetParameter(id, 0);
    }
    OSStatus RenderBus(AudioUnitRenderActionFlags&, const AudioTimeStamp&, UInt32, UInt32) override
    {
        return noErr;
    }
};

const AudioComponentRegistration kPlugin{
    {kAudioUnitType_Effect, FourCharCode("Lstn"), FourCharCode("Qzpt")},
    "Listened",
    1,
    [](ComponentParameters* params, void* storage)
    { return ComponentEntryPoint<Plugin>::Dispatch(params, storage); }};

using Delivery = std::tuple<void*, AudioUnitParameterID, Float32>; // object, parameter, value
using Deliveries = std::vector<Delivery>;

struct Listening : ::testing::Test
{
    Listening()
    {
        AudioComponentInstanceNew(&kPlugin, &mUnit);
        AUListenerCreate(
            [](void* log, void* object, const AudioUnitParameter* p, Float32 value) {
                static_cast<Deliveries*>(log)->push_back({object, p->mParameterID, value});
            },
            &mLog, &mListener);
        AUListenerDispatchPending(); // whatever earlier tests left behind
    }
    ~Listening() override
    {
        if (mListener != nullptr) AUListenerDispose(mListener);
        AudioComponentInstanceDispose(mUnit);
    }
    AudioUnitParameter P(AudioUnitParameterID id) const
    {
        return {mUnit, id, kAudioUnitScope_Global, 0};
    }
    void Follow(AudioUnitParameterID id, void* object)
    {
        const AudioUnitParameter p = P(id);
        ASSERT_EQ(noErr, AUListenerAddParameter(mListener, object, &p));
    }
    OSStatus Set(AudioUnitParameterID id, Float32 value, void* senderObject = nullptr)
    {
        const AudioUnitParameter p = P(id);
        return AUParameterSet(senderObject ? mListener : nullptr, senderObject, &p, value, 0);
    }

    AudioUnit mUnit = nullptr;
    Deliveries mLog;
    AUParameterListenerRef mListener = nullptr;
    int mEditor = 0; // objects the listener follows parameters for
    int mKnob = 0;
    int mCalls = 0;
};
} // namespace

TEST_F(Listening, SetAppliesAtOnceNotifiesInPostingOrderAndSkipsTheSender)
{
    Follow(0, &mEditor);
    Follow(1, &mEditor);
    ASSERT_EQ(noErr, Set(0, 3.0f));
    AudioUnitParameterValue value = 0;
    ASSERT_EQ(noErr, AudioUnitGetParameter(mUnit, 0, kAudioUnitScope_Global, 0, &value));
    EXPECT_EQ(3.0f, value); // applied before any dispatch
    EXPECT_TRUE(mLog.empty());
    ASSERT_EQ(noErr, Set(1, -5.0f));
    ASSERT_EQ(noErr, AudioUnitSetParameter(mUnit, 0, kAudioUnitScope_Global, 0, 7.0f, 0));
    const AudioUnitParameter zero = P(0);
    const AudioUnitParameter unknown = P(99);
    ASSERT_EQ(noErr, AUParameterListenerNotify(nullptr, nullptr, &zero));
    ASSERT_EQ(noErr, Set(2, 1.0f)); // nobody follows it
    // Failures post nothing.
    EXPECT_EQ(kAudioUnitErr_InvalidParameter, Set(99, 1.0f));
    EXPECT_EQ(kAudioUnitErr_InvalidParameter,
              AUParameterListenerNotify(nullptr, nullptr, &unknown));
    EXPECT_EQ(4u, AUListenerDispatchPending());
    EXPECT_EQ((Deliveries{{&mEditor, 0, 3.0f}, {&mEditor, 1, -5.0f}, {&mEditor, 0, 7.0f}}), mLog);

    // The knob turned: the editor hears of it, the knob does not.
    mLog.clear();
    Follow(0, &mKnob);
    ASSERT_EQ(noErr, Set(0, 2.0f, &mKnob));
    EXPECT_EQ(1u, AUListenerDispatchPending());
    EXPECT_EQ((Deliveries{{&mEditor, 0, 2.0f}}), mLog);
}

TEST_F(Listening, RemovedWhileCalledOrDisposedWhileQueuedHearNothing)
{
    // Another listener removes the knob's registration while it is called, and posts again.
    AUParameterListenerRef first = nullptr;
    ASSERT_EQ(noErr, AUListenerCreate(
                         [](void* fixture, void*, const AudioUnitParameter* p, Float32)
                         {
                             auto* self = static_cast<Listening*>(fixture);
                             AUListenerRemoveParameter(self->mListener, &self->mKnob, p);
                             if (++self->mCalls == 1)
                                 AUParameterListenerNotify(nullptr, nullptr, p);
                         },
                         this, &first));
    const AudioUnitParameter zero = P(0);
    ASSERT_EQ(noErr, AUListenerAddParameter(first, nullptr, &zero));
    Follow(0, &mKnob);
    ASSERT_EQ(noErr, Set(0, 4.0f));
    EXPECT_EQ(2u, AUListenerDispatchPending()); // the post from inside the callback too
    EXPECT_EQ(2, mCalls);
    EXPECT_TRUE(mLog.empty());
    ASSERT_EQ(noErr, AUListenerDispose(first));

    Follow(0, &mEditor);
    ASSERT_EQ(noErr, Set(0, 2.0f));
    ASSERT_EQ(noErr, AUListenerDispose(mListener)); // before the queued notification goes out
    EXPECT_EQ(kAudio_ParamError, AUListenerDispose(mListener));
    mListener = nullptr;
    EXPECT_EQ(1u, AUListenerDispatchPending());
    EXPECT_TRUE(mLog.empty());
}

TEST_F(Listening, AFullQueueDropsTheNewestAndCounts)
{
    Follow(0, &mEditor);
    const UInt64 droppedBefore = AUListenerDroppedNotifications();
    const UInt32 capacity = AUParameterListenerService::kQueueCapacity;
    for (UInt32 i = 0; i < capacity + 10; ++i)
        ASSERT_EQ(noErr, Set(0, static_cast<Float32>(i % 10)));
    EXPECT_EQ(10u, AUListenerDroppedNotifications() - droppedBefore);
    EXPECT_EQ(capacity, AUListenerDispatchPending());
    ASSERT_EQ(capacity, mLog.size());
    EXPECT_EQ(5.0f, std::get<2>(mLog.back())); // post 4095: 4095 mod 10 = 5
}

TEST_F(Listening, PostingFromSeveralThreadsAtOnce)
{
    constexpr int kThreads = 4;
    constexpr int kPerThread = 3000;
    for (AudioUnitParameterID t = 0; t < kThreads; ++t)
        Follow(t, &mEditor);
    const UInt64 droppedBefore = AUListenerDroppedNotifications();
    std::atomic<int> running{kThreads};
    std::vector<std::thread> threads;
    for (AudioUnitParameterID t = 0; t < kThreads; ++t)
        threads.emplace_back(
            [&, t]
            {
                for (int i = 0; i < kPerThread; ++i)
                    Set(t, static_cast<Float32>(i));
                --running;
            });
    threads.emplace_back(
        [&]
        {
            while (running.load() > 0)
                AUListenerDispatchPending();
            AUListenerDispatchPending();
        });
    for (std::thread& thread : threads)
        thread.join();

    // Each notification is delivered or counted as dropped; each thread's arrive in its order.
    EXPECT_EQ(static_cast<UInt64>(kThreads * kPerThread),
              mLog.size() + AUListenerDroppedNotifications() - droppedBefore);
    std::vector<Float32> last(kThreads, -1.0f);
    for (const auto& [object, id, value] : mLog)
    {
        ASSERT_LT(id, static_cast<AudioUnitParameterID>(kThreads));
        EXPECT_GT(value, last[id]);
        last[id] = value;
    }
}
