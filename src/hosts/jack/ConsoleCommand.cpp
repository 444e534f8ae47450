#include "hosts/jack/ConsoleCommand.h"

namespace
{
constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string Quoted(std::string_view word)
{
    std::string text(1, '\'');
    text.append(word).push_back('\'');
    return text;
}

ConsoleCommand Invalid(std::string error)
{
    ConsoleCommand command;
    command.kind = ConsoleCommand::Kind::Invalid;
    command.error = std::move(error);
    return command;
}
} // namespace

ConsoleCommand ConsoleCommand::Parse(std::string_view line)
{
    line = Trim(line);
    ConsoleCommand command;
    if (line.empty()) return command;
    const std::size_t blank = line.find_first_of(kBlanks);
    const std::string_view verb = line.substr(0, blank);
    const std::string_view argument =
        blank == std::string_view::npos ? std::string_view() : Trim(line.substr(blank));

    struct Verb
    {
        std::string_view word;
        Kind kind;
        const char* argument; // what it takes, or null for nothing
    };
    static constexpr Verb kVerbs[] = {
        {"save", Kind::Save, nullptr},
        {"erase", Kind::Erase, nullptr},
        {"learn", Kind::Learn, "a parameter name or id"},
        {"set", Kind::Set, "NAME=VALUE"},
        {"import", Kind::Import, "a file"},
        {"import-plain", Kind::ImportPlain, "a file"},
        {"help", Kind::Help, nullptr},
        {"quit", Kind::Quit, nullptr},
    };
    for (const Verb& known : kVerbs)
    {
        if (verb != known.word) continue;
        if (known.argument == nullptr && !argument.empty())
            return Invalid(Quoted(verb) + " takes nothing after it");
        if (known.argument != nullptr && argument.empty())
            return Invalid(Quoted(verb) + " needs " + known.argument);
        command.kind = known.kind;
        if (known.kind != Kind::Set)
        {
            command.name = argument;
            return command;
        }
        const std::size_t equals = argument.find('=');
        const std::string_view name = Trim(argument.substr(0, equals));
        const std::string_view value = equals == std::string_view::npos
                                           ? std::string_view()
                                           : Trim(argument.substr(equals + 1));
        if (name.empty() || value.empty()) return Invalid("'set' needs NAME=VALUE");
        command.name = name;
        command.value = value;
        return command;
    }
    return Invalid("unknown command " + Quoted(verb) + " (try help)");
}
