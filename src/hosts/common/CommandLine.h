#pragma once
// What the command lines of the host programs share: the exit statuses, the outcome of a
// parse, the audio files to import, and the checks of form every option goes through (an
// option that takes a value is known and has one; a number is written whole).

#include <charconv>
#include <span>
#include <string>
#include <string_view>

class CommandLine
{
public:
    static constexpr int kExitRuntimeError = 1;
    static constexpr int kExitUsage = 2;

    struct Import
    {
        std::string path;
        bool withTempo = true; // --import derives a tempo from the length; --import-plain not
    };

    // The outcome of a parse: run, or stop with this exit status after printing the message
    // (to stdout for --help with status 0, to stderr otherwise).
    struct Result
    {
        bool run = false;
        int exitStatus = 0;
        std::string message;

        // [ui] Prints the message where it belongs and returns the exit status.
        int Stop() const;
    };

    // [any] The value of the option argv[i], which must be one of `withValue`, with i moved
    // onto it; false with a message for the user when the option is unknown or its value is
    // missing or empty.
    static bool TakeValue(int argc, const char* const* argv, int& i,
                          std::span<const std::string_view> withValue, std::string& value,
                          std::string& error);

    // [any] The whole text as a finite number.
    static bool ParseNumber(std::string_view text, double& out);
    // [any] The whole text as a whole number of Whole's range.
    template <typename Whole> static bool ParseCount(std::string_view text, Whole& out)
    {
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, out);
        return ec == std::errc() && ptr == end;
    }
};
