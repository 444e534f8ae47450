#include "platform/linux/MIDIPacketTimer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
void Put(MIDIPacketRing& ring, MIDITimeStamp time, Byte status, Byte note)
{
    MIDIPacket packet{};
    packet.timeStamp = time;
    packet.length = 3;
    packet.data[0] = status;
    packet.data[1] = note;
    packet.data[2] = 100;
    ASSERT_TRUE(ring.TryPush(packet));
}

// Writes what is sent as "port:time:status:note".
class Sent
{
public:
    MIDIPacketTimer::Send Sink()
    {
        return [this](int port, const MIDIPacket& p)
        {
            mLines.push_back(std::to_string(port) + ":" +
                             std::to_string(MIDITimeStamp{p.timeStamp}) + ":" +
                             std::to_string(p.data[0]) + ":" + std::to_string(p.data[1]));
        };
    }
    std::vector<std::string> Take() { return std::exchange(mLines, {}); }

private:
    std::vector<std::string> mLines;
};

using Lines = std::vector<std::string>;
} // namespace

TEST(MIDIPacketTimer, PacketsWaitForTheirHostTimeInArrivalOrder)
{
    MIDIPacketRing first;
    MIDIPacketRing second;
    MIDIPacketTimer timer;
    Sent sent;
    // Note on now and note off 50 ms (50,000,000 ns) later on port 1; a note on at 20 ms on 2.
    Put(first, 1'000'000'000, 0x90, 48);
    Put(first, 1'050'000'000, 0x80, 48);
    Put(second, 1'020'000'000, 0x90, 60);
    timer.Collect(1, first);
    timer.Collect(2, second);

    timer.SendDue(999'999'999, sent.Sink());
    EXPECT_EQ(sent.Take(), Lines{}) << "one nanosecond early";
    timer.SendDue(1'000'000'000, sent.Sink());
    EXPECT_EQ(sent.Take(), Lines{"1:1000000000:144:48"});
    timer.SendDue(1'049'999'999, sent.Sink());
    EXPECT_EQ(sent.Take(), Lines{"2:1020000000:144:60"});
    timer.SendDue(1'050'000'000, sent.Sink());
    EXPECT_EQ(sent.Take(), Lines{"1:1050000000:128:48"});
    timer.SendDue(UINT64_MAX, sent.Sink());
    EXPECT_EQ(sent.Take(), Lines{}) << "each packet is sent once";

    // Equal times keep their arrival order, and 0 means now.
    MIDIPacketRing third;
    Put(third, 0, 0x90, 1);
    Put(third, 7, 0x90, 2);
    Put(third, 7, 0x80, 2);
    Put(third, 7, 0x90, 3);
    timer.Collect(4, third);
    timer.SendDue(7, sent.Sink());
    EXPECT_EQ(sent.Take(), (Lines{"4:0:144:1", "4:7:144:2", "4:7:128:2", "4:7:144:3"}));
}

TEST(MIDIPacketTimer, DueNoteOffGoesOutBeforeANewerNoteOn)
{
    // The note off of 48 waits; by the time it is due a new note on of 48 has arrived, stamped
    // later. Sending the ring's packets first would cut the new note short.
    MIDIPacketRing ring;
    MIDIPacketTimer timer;
    Sent sent;
    Put(ring, 100, 0x90, 48);
    Put(ring, 150, 0x80, 48);
    timer.Collect(1, ring);
    timer.SendDue(120, sent.Sink());
    EXPECT_EQ(sent.Take(), Lines{"1:100:144:48"});

    Put(ring, 151, 0x90, 48);
    timer.Collect(1, ring);
    timer.SendDue(151, sent.Sink());
    EXPECT_EQ(sent.Take(), (Lines{"1:150:128:48", "1:151:144:48"}));
}

TEST(MIDIPacketTimer, ClosingAPortSendsItsWaitingPacketsEarly)
{
    MIDIPacketRing first;
    MIDIPacketRing second;
    MIDIPacketTimer timer;
    Sent sent;
    Put(first, 500, 0x80, 48);
    Put(first, 300, 0x80, 60);
    Put(second, 400, 0x80, 62);
    timer.Collect(1, first);
    timer.Collect(2, second);

    timer.SendAllOf(1, sent.Sink());
    EXPECT_EQ(sent.Take(), (Lines{"1:300:128:60", "1:500:128:48"})) << "in time order";
    timer.SendDue(399, sent.Sink());
    EXPECT_EQ(sent.Take(), Lines{});
    timer.SendAll(sent.Sink());
    EXPECT_EQ(sent.Take(), Lines{"2:400:128:62"});
}
