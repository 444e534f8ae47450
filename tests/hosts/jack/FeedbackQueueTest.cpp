#include "hosts/jack/FeedbackQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using Message = std::vector<Byte>;

// An output with room for `room` messages.
struct Output
{
    std::vector<Message> written;
    std::size_t room = 1000;

    static bool Write(void* context, const Byte* data, std::size_t size)
    {
        auto* output = static_cast<Output*>(context);
        if (output->written.size() == output->room) return false;
        output->written.emplace_back(data, data + size);
        return true;
    }
};

void Push(MIDIPacketRing& ring, MIDITimeStamp time, const Message& data)
{
    MIDIPacket packet{};
    packet.timeStamp = time;
    packet.length = static_cast<UInt16>(data.size());
    std::copy(data.begin(), data.end(), packet.data);
    ASSERT_TRUE(ring.TryPush(packet));
}

std::vector<Message> Send(FeedbackQueue& queue, MIDIPacketRing& ring, MIDITimeStamp now)
{
    Output output;
    queue.Collect(ring);
    queue.SendDue(now, &Output::Write, &output);
    return output.written;
}
} // namespace

TEST(FeedbackQueue, PacketsLeaveWhenDueInTimeOrderThenArrivalOrder)
{
    MIDIPacketRing ring;
    FeedbackQueue queue;
    constexpr MIDITimeStamp kMs = 1000000; // host time is in nanoseconds
    Push(ring, 100 * kMs, {0x90, 48, 100});
    Push(ring, 150 * kMs, {0x80, 48, 100}); // the pair's note off, 50 ms later
    Push(ring, 120 * kMs, {0x90, 60, 100});
    Push(ring, 170 * kMs, {0x80, 60, 100});
    EXPECT_EQ((std::vector<Message>{}), Send(queue, ring, 99 * kMs));
    EXPECT_EQ((std::vector<Message>{{0x90, 48, 100}}), Send(queue, ring, 100 * kMs));
    // A note off waits for its time while a later packet passes.
    EXPECT_EQ((std::vector<Message>{{0x90, 60, 100}}), Send(queue, ring, 149 * kMs));
    EXPECT_EQ((std::vector<Message>{{0x80, 48, 100}, {0x80, 60, 100}}),
              Send(queue, ring, 200 * kMs));
    EXPECT_EQ((std::vector<Message>{}), Send(queue, ring, 300 * kMs));

    Push(ring, 20, {0x90, 1, 1});
    Push(ring, 10, {0x80, 2, 0}); // earlier time, later arrival: first
    Push(ring, 20, {0x90, 3, 1}); // same time as the first: after it
    Push(ring, 0, {0x90, 4, 1});  // 0 means at once, which is before any time
    EXPECT_EQ((std::vector<Message>{{0x90, 4, 1}, {0x80, 2, 0}, {0x90, 1, 1}, {0x90, 3, 1}}),
              Send(queue, ring, 400 * kMs));
}

TEST(FeedbackQueue, PacketsSplitIntoMessagesAndAFullOutputDropsThem)
{
    MIDIPacketRing ring;
    FeedbackQueue queue;
    Push(ring, 0, {0x90, 60, 100, 0x80, 60, 0, 0xC0, 5, 0xF0, 1, 2, 0xF7, 0xF8});
    EXPECT_EQ((std::vector<Message>{
                  {0x90, 60, 100}, {0x80, 60, 0}, {0xC0, 5}, {0xF0, 1, 2, 0xF7}, {0xF8}}),
              Send(queue, ring, 1));

    Push(ring, 0, {0x90, 1, 1});
    Push(ring, 0, {0x90, 2, 1});
    Output full;
    full.room = 1;
    queue.Collect(ring);
    queue.SendDue(1, &Output::Write, &full);
    EXPECT_EQ((std::vector<Message>{{0x90, 1, 1}}), full.written);
    EXPECT_EQ(1u, queue.Dropped());
    EXPECT_EQ((std::vector<Message>{}), Send(queue, ring, 2)) << "dropped, not kept";
}

TEST(FeedbackQueue, WhatDoesNotFitWaitsInTheTap)
{
    MIDIPacketRing ring;
    FeedbackQueue queue;
    const std::size_t extra = 20;
    for (std::size_t i = 0; i < FeedbackQueue::kCapacity + extra; ++i)
        Push(ring, 1000 + i, {0x90, static_cast<Byte>(i), 1});
    // The first round holds what the queue has room for; the rest is taken from the tap in
    // the next round. Nothing is lost and the order holds.
    const std::vector<Message> first = Send(queue, ring, 5000);
    const std::vector<Message> second = Send(queue, ring, 5000);
    ASSERT_EQ(FeedbackQueue::kCapacity, first.size());
    ASSERT_EQ(extra, second.size());
    for (std::size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(i, first[i][1]);
    for (std::size_t i = 0; i < extra; ++i)
        EXPECT_EQ(FeedbackQueue::kCapacity + i, second[i][1]);
}

TEST(FeedbackQueue, MessageLengths)
{
    struct Case
    {
        Message data;
        std::size_t length;
    };
    const Case cases[] = {
        {{0x90, 60, 100}, 3}, {{0xC1, 5, 0x90}, 2},
        {{0xF2, 1, 2}, 3},    {{0xF1, 1}, 2},
        {{0xF8, 0x90}, 1},    {{0x40, 0x41}, 1},
        {{0x90, 60}, 2},      {{0xF0, 1, 2, 0xF7, 0x90}, 4},
        {{0xF0, 1, 2}, 3}, // an unfinished sysex ends with the data
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(c.data));
        EXPECT_EQ(c.length, FeedbackQueue::MessageLength(c.data.data(), c.data.size()));
    }
}
