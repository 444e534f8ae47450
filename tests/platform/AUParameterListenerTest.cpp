// The parameter-listener service: registration, delivery in posting order, senders skipped,
// overflow, and posting from several threads at once.

#include "CurvePlugin.h"

#include "platform/AUParameterListenerService.h"
#include "platform/AudioUnitUtilities.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{

struct Delivery
{
    void* object;
    AudioUnitParameterID id;
    AudioUnitParameterValue value;
    bool operator==(const Delivery&) const = default;
};

struct Log
{
    std::vector<Delivery> deliveries;
};

void Record(void* userData, void* object, const AudioUnitParameter* parameter,
            AudioUnitParameterValue value)
{
    static_cast<Log*>(userData)->deliveries.push_back({object, parameter->mParameterID, value});
}

class Listening : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(noErr, AudioComponentInstanceNew(&kCurvePluginRegistration, &mUnit));
        ASSERT_EQ(noErr, AUListenerCreate(Record, &mLog, &mListener));
        AUListenerDispatchPending(); // whatever earlier tests left behind
    }
    void TearDown() override
    {
        if (mListener != nullptr) AUListenerDispose(mListener);
        AudioComponentInstanceDispose(mUnit);
    }
    AudioUnitParameter Parameter(AudioUnitParameterID id) const
    {
        return {mUnit, id, kAudioUnitScope_Global, 0};
    }
    void Follow(AudioUnitParameterID id, void* object)
    {
        const AudioUnitParameter p = Parameter(id);
        ASSERT_EQ(noErr, AUListenerAddParameter(mListener, object, &p));
    }
    OSStatus Set(AudioUnitParameterID id, Float32 value, AUParameterListenerRef sender = nullptr,
                 void* senderObject = nullptr)
    {
        const AudioUnitParameter p = Parameter(id);
        return AUParameterSet(sender, senderObject, &p, value, 0);
    }

    AudioUnit mUnit = nullptr;
    Log mLog;
    AUParameterListenerRef mListener = nullptr;
    int mEditor = 0; // objects a listener follows parameters for
    int mKnob = 0;
};

} // namespace

TEST_F(Listening, SetAppliesAtOnceNotifiesInPostingOrderAndSkipsTheSender)
{
    Follow(kLinear10, &mEditor);
    Follow(kSemitones, &mEditor);
    ASSERT_EQ(noErr, Set(kLinear10, 3.0f));
    AudioUnitParameterValue value = 0;
    ASSERT_EQ(noErr, AudioUnitGetParameter(mUnit, kLinear10, kAudioUnitScope_Global, 0, &value));
    EXPECT_EQ(3.0f, value); // applied before any dispatch
    EXPECT_TRUE(mLog.deliveries.empty());

    ASSERT_EQ(noErr, Set(kSemitones, -5.0f));
    ASSERT_EQ(noErr, AudioUnitSetParameter(mUnit, kLinear10, kAudioUnitScope_Global, 0, 7.0f, 0));
    const AudioUnitParameter linear = Parameter(kLinear10);
    ASSERT_EQ(noErr, AUParameterListenerNotify(nullptr, nullptr, &linear));
    ASSERT_EQ(noErr, Set(kSpan10000, 1.0f)); // nobody follows it
    EXPECT_EQ(4u, AUListenerDispatchPending());
    const std::vector<Delivery> expected{
        {&mEditor, kLinear10, 3.0f}, {&mEditor, kSemitones, -5.0f}, {&mEditor, kLinear10, 7.0f}};
    EXPECT_EQ(expected, mLog.deliveries);
    EXPECT_EQ(0u, AUListenerDispatchPending());

    // Failures post nothing.
    EXPECT_EQ(kAudioUnitErr_InvalidParameter, Set(99, 1.0f));
    const AudioUnitParameter unknown = Parameter(99);
    EXPECT_EQ(kAudioUnitErr_InvalidParameter,
              AUParameterListenerNotify(nullptr, nullptr, &unknown));
    EXPECT_EQ(0u, AUListenerDispatchPending());
    EXPECT_EQ(kAudio_ParamError, AUParameterSet(nullptr, nullptr, nullptr, 1.0f, 0));

    // The knob turned: the editor hears of it, the knob does not.
    mLog.deliveries.clear();
    Follow(kLinear10, &mKnob);
    ASSERT_EQ(noErr, Set(kLinear10, 2.0f, mListener, &mKnob));
    EXPECT_EQ(1u, AUListenerDispatchPending());
    EXPECT_EQ((std::vector<Delivery>{{&mEditor, kLinear10, 2.0f}}), mLog.deliveries);
}

TEST_F(Listening, RemovedAndDisposedListenersHearNothing)
{
    Follow(kLinear10, &mEditor);
    Follow(kLinear10, &mEditor); // a second registration of the same pair changes nothing
    Follow(kLinear10, &mKnob);
    const AudioUnitParameter p = Parameter(kLinear10);
    ASSERT_EQ(noErr, AUListenerRemoveParameter(mListener, &mKnob, &p));
    ASSERT_EQ(noErr, Set(kLinear10, 1.0f));
    AUListenerDispatchPending();
    EXPECT_EQ((std::vector<Delivery>{{&mEditor, kLinear10, 1.0f}}), mLog.deliveries);

    ASSERT_EQ(noErr, Set(kLinear10, 2.0f));
    ASSERT_EQ(noErr, AUListenerDispose(mListener)); // before the queued notification goes out
    EXPECT_EQ(kAudio_ParamError, AUListenerDispose(mListener));
    mListener = nullptr;
    EXPECT_EQ(1u, AUListenerDispatchPending());
    EXPECT_EQ(1u, mLog.deliveries.size());
}

TEST_F(Listening, ListenersMayChangeRegistrationsWhileCalled)
{
    // The first registration removes the second while it is called; the second must not run.
    struct Remover
    {
        AUParameterListenerRef listener;
        AudioUnitParameter parameter;
        void* victim;
        int calls = 0;
    };
    Remover remover{mListener, Parameter(kLinear10), &mKnob};
    AUParameterListenerRef first = nullptr;
    ASSERT_EQ(noErr, AUListenerCreate(
                         [](void* userData, void*, const AudioUnitParameter*, Float32)
                         {
                             auto* r = static_cast<Remover*>(userData);
                             AUListenerRemoveParameter(r->listener, r->victim, &r->parameter);
                             if (++r->calls == 1)
                                 AUParameterListenerNotify(nullptr, nullptr, &r->parameter);
                         },
                         &remover, &first));
    const AudioUnitParameter p = Parameter(kLinear10);
    ASSERT_EQ(noErr, AUListenerAddParameter(first, nullptr, &p));
    Follow(kLinear10, &mKnob);
    ASSERT_EQ(noErr, Set(kLinear10, 4.0f));
    // The notification posted from inside the callback is delivered by the same dispatch.
    EXPECT_EQ(2u, AUListenerDispatchPending());
    EXPECT_EQ(2, remover.calls);
    EXPECT_TRUE(mLog.deliveries.empty());
    ASSERT_EQ(noErr, AUListenerDispose(first));
    AUListenerDispatchPending();
}

TEST_F(Listening, AFullQueueDropsAndCounts)
{
    Follow(kLinear10, &mEditor);
    const UInt64 droppedBefore = AUListenerDroppedNotifications();
    const UInt32 capacity = AUParameterListenerService::kQueueCapacity;
    for (UInt32 i = 0; i < capacity + 10; ++i)
        ASSERT_EQ(noErr, Set(kLinear10, static_cast<Float32>(i % 10)));
    EXPECT_EQ(10u, AUListenerDroppedNotifications() - droppedBefore);
    EXPECT_EQ(capacity, AUListenerDispatchPending());
    ASSERT_EQ(capacity, mLog.deliveries.size());
    // The oldest survive: the last one delivered was post 4095, value 4095 mod 10 = 5.
    EXPECT_EQ(5.0f, mLog.deliveries.back().value);
}

TEST_F(Listening, PostingFromSeveralThreadsAtOnce)
{
    constexpr int kThreads = 4;
    constexpr int kPerThread = 3000;
    for (int t = 0; t < kThreads; ++t)
        Follow(static_cast<AudioUnitParameterID>(t), &mEditor);
    const UInt64 droppedBefore = AUListenerDroppedNotifications();
    std::atomic<int> running{kThreads};
    std::thread dispatcher(
        [&]
        {
            while (running.load() > 0)
                AUListenerDispatchPending();
            AUListenerDispatchPending();
        });
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back(
            [&, t]
            {
                const AudioUnitParameter p = Parameter(static_cast<AudioUnitParameterID>(t));
                for (int i = 0; i < kPerThread; ++i)
                    AUParameterSet(nullptr, nullptr, &p, static_cast<Float32>(i), 0);
                running.fetch_sub(1);
            });
    for (std::thread& poster : posters)
        poster.join();
    dispatcher.join();

    // Every notification is delivered or counted as dropped, and each thread's own ones
    // arrive in the order it posted them.
    const UInt64 dropped = AUListenerDroppedNotifications() - droppedBefore;
    EXPECT_EQ(static_cast<UInt64>(kThreads * kPerThread), mLog.deliveries.size() + dropped);
    std::vector<Float32> last(kThreads, -1.0f);
    for (const Delivery& d : mLog.deliveries)
    {
        ASSERT_LT(d.id, static_cast<AudioUnitParameterID>(kThreads));
        EXPECT_GT(d.value, last[d.id]);
        last[d.id] = d.value;
    }
}
