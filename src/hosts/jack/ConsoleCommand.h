#pragma once
// One line typed at tova-jack's terminal:
//
//     save                  save the state to the --state file
//     erase                 erase every sample
//     learn PARAM           arm MIDI learn for a parameter (name or id)
//     set NAME=VALUE        set a parameter (value: a number or one of its value strings)
//     import FILE           import an audio file with a tempo taken from its length
//     import-plain FILE     the same without a tempo
//     help, quit
//
// Words are separated by blanks; names and paths run to the end of the line (they may hold
// blanks), with the blanks around them and around '=' dropped.

#include <string>
#include <string_view>

class ConsoleCommand
{
public:
    enum class Kind
    {
        None, // an empty line
        Save,
        Erase,
        Learn,
        Set,
        Import,
        ImportPlain,
        Help,
        Quit,
        Invalid
    };

    // [ui]
    static ConsoleCommand Parse(std::string_view line);

    Kind kind = Kind::None;
    std::string name;  // Learn: the parameter; Set: its name; Import: the path
    std::string value; // Set: the value
    std::string error; // Invalid: what is wrong, for the user
};
