// The server's notification thread reconfigures Tova while the render thread keeps cycling:
// cycles meanwhile are refused (silence), never overlapping the reconfiguration.

#include "engine/CTovaEntry.h"
#include "hosts/jack/JackTransportClock.h"
#include "hosts/jack/LiveHost.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

TEST(LiveHostConcurrency, ReconfiguringWhileTheRenderThreadCycles)
{
    AudioUnit unit = nullptr;
    ASSERT_EQ(noErr, AudioComponentInstanceNew(&kTovaRegistration, &unit));
    JackTransportClock clock;
    LiveHost host(unit, 1, clock.Callbacks());
    std::string error;
    ASSERT_TRUE(host.Configure(48000, 256, error)) << error;

    std::atomic<bool> stop{false};
    std::atomic<int> admitted{0};
    std::thread render(
        [&]
        {
            std::vector<float> in(256, 0.25f);
            std::array<std::vector<float>, 2> out{std::vector<float>(256), std::vector<float>(256)};
            std::array<float*, 2> outputs{out[0].data(), out[1].data()};
            jack_position_t position{};
            position.frame_rate = 48000;
            for (UInt8 n = 0; !stop.load(std::memory_order_relaxed); ++n)
            {
                clock.Update(JackTransportRolling, position);
                position.frame += 256;
                const LiveHost::Cycle cycle(host, 256);
                if (!cycle)
                {
                    LiveHost::Silence(256, outputs.data(), 2);
                    continue;
                }
                host.Midi(n % 2 == 0 ? 0x90 : 0x80, 60 + n % 8, 100, n % 256);
                host.Render(256, in.data(), in.data(), outputs.data());
                admitted.fetch_add(1, std::memory_order_relaxed);
            }
        });

    for (int round = 0; round < 20; ++round)
    {
        const double rate = round % 2 == 0 ? 44100.0 : 48000.0;
        const UInt32 frames = round % 3 == 0 ? 512 : 256;
        ASSERT_TRUE(host.Configure(rate, frames, error)) << error;
        EXPECT_EQ(rate, host.SampleRate());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const int before = admitted.load();
    while (admitted.load() < before + 10)
        std::this_thread::yield();
    stop = true;
    render.join();
    EXPECT_EQ(0u, host.Failures());
    AudioComponentInstanceDispose(unit);
}
