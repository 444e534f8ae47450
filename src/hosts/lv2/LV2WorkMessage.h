#pragma once
// What run() hands to the worker and what comes back: plain bytes that the host copies
// between threads. Only the used part of the path travels.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

struct LV2WorkMessage
{
    enum class Kind : std::uint32_t
    {
        Import,          // UnitCustomProperties::kImport: a file without tempo
        ImportWithTempo, // UnitCustomProperties::kImportWithTempo
        EraseAll,        // UnitCustomProperties::kEraseAll
        MidiLearn        // UnitCustomProperties::kMidiLearn
    };
    static constexpr std::size_t kMaxPath = 4096;

    Kind kind = Kind::EraseAll;
    std::int32_t value = 0; // request: the learn parameter; response: the status
    std::uint32_t pathLength = 0;
    char path[kMaxPath] = {};

    // [any] False when the path does not fit.
    bool SetPath(std::string_view text)
    {
        if (text.size() >= kMaxPath) return false;
        std::memcpy(path, text.data(), text.size());
        path[text.size()] = '\0';
        pathLength = static_cast<std::uint32_t>(text.size());
        return true;
    }
    std::string_view Path() const { return {path, pathLength}; }
    // [any] The bytes that carry the message.
    std::uint32_t Size() const
    {
        return static_cast<std::uint32_t>(offsetof(LV2WorkMessage, path)) + pathLength + 1;
    }
    // [any] Whether size bytes hold a whole message (a host hands back what it was given).
    static bool Fits(const void* data, std::uint32_t size)
    {
        if (size < offsetof(LV2WorkMessage, path) + 1 || size > sizeof(LV2WorkMessage))
            return false;
        std::uint32_t length = 0; // the bytes may sit anywhere: no aligned read
        std::memcpy(&length, static_cast<const char*>(data) + offsetof(LV2WorkMessage, pathLength),
                    sizeof length);
        return std::size_t{length} + 1 + offsetof(LV2WorkMessage, path) <= size;
    }
};
