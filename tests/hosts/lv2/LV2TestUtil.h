#pragma once
// Shared by the tests that load bundles through lilv.

#include "LilvTestHost.h"
#include "RenderTestUtil.h"

#include <lv2/patch/patch.h>
#include <lv2/time/time.h>

#include <filesystem>
#include <string>

constexpr double kRate = 48000.0;

// A fresh folder for saved states in the test process's scratch directory.
inline std::string StateDir(const std::string& name)
{
    const std::string dir = ScratchPath(name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string Own(const LilvTestHost& host, const std::string& fragment)
{
    return host.PluginURI() + "#" + fragment;
}

// The notifications of the last run of one type and property.
inline std::vector<LilvTestHost::Notification>
Find(const LilvTestHost& host, const std::string& type, const std::string& property = "")
{
    std::vector<LilvTestHost::Notification> found;
    for (const auto& n : host.Notifications())
        if (n.type == type && (property.empty() || n.property == property)) found.push_back(n);
    return found;
}

inline std::vector<LilvTestHost::Notification> Sets(const LilvTestHost& host,
                                                    const std::string& property)
{
    return Find(host, LV2_PATCH__Set, property);
}

// The memory use the plug-in reports when asked for it in a run of 64 frames; -1 without a
// report.
inline double MemoryUse(LilvTestHost& host)
{
    host.Get(0, Own(host, "memoryUse"));
    host.Run(64);
    const auto sets = Sets(host, Own(host, "memoryUse"));
    return sets.empty() ? -1 : sets.back().number;
}

// A time:Position with the transport rolling at the given tempo, in 4/4, at bar and beat.
inline void Rolling(LilvTestHost& host, std::uint32_t frame, double bpm, double bar = 0,
                    double barBeat = 0)
{
    using N = LilvTestHost::Number;
    host.Object(frame, LV2_TIME__Position,
                {{LV2_TIME__bar, N::Long, bar},
                 {LV2_TIME__barBeat, N::Float, barBeat},
                 {LV2_TIME__beatsPerBar, N::Float, 4},
                 {LV2_TIME__beatUnit, N::Int, 4},
                 {LV2_TIME__beatsPerMinute, N::Float, bpm},
                 {LV2_TIME__speed, N::Float, 1}});
}
