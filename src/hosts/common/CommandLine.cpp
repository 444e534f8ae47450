#include "hosts/common/CommandLine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

int CommandLine::Result::Stop() const
{
    std::fprintf(exitStatus == 0 ? stdout : stderr, "%s\n", message.c_str());
    return exitStatus;
}

bool CommandLine::TakeValue(int argc, const char* const* argv, int& i,
                            std::span<const std::string_view> withValue, std::string& value,
                            std::string& error)
{
    const std::string_view option = argv[i];
    if (std::find(withValue.begin(), withValue.end(), option) == withValue.end())
    {
        error = "unknown option '" + std::string(option) + "' (try --help)";
        return false;
    }
    if (i + 1 >= argc || argv[i + 1][0] == '\0')
    {
        error = std::string(option) + " needs a value";
        return false;
    }
    value = argv[++i];
    return true;
}

bool CommandLine::ParseNumber(std::string_view text, double& out)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && std::isfinite(out);
}
