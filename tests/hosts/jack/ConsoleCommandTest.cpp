#include "hosts/jack/ConsoleCommand.h"

#include <gtest/gtest.h>

TEST(ConsoleCommand, WhatEachLineAsksFor)
{
    using Kind = ConsoleCommand::Kind;
    struct Case
    {
        const char* line;
        Kind kind;
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"", Kind::None, "", ""},
        {"  \t\r", Kind::None, "", ""},
        {"save", Kind::Save, "", ""},
        {"  erase \r", Kind::Erase, "", ""},
        {"learn\t4", Kind::Learn, "4", ""},
        {"set  Record Sync = To Bar ", Kind::Set, "Record Sync", "To Bar"},
        {"set Reverb:Wet=2.5", Kind::Set, "Reverb:Wet", "2.5"},
        {"set a=b=c", Kind::Set, "a", "b=c"},
        {"import /tmp/my loop.wav", Kind::Import, "/tmp/my loop.wav", ""},
        {"import-plain x.flac", Kind::ImportPlain, "x.flac", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.line);
        const ConsoleCommand command = ConsoleCommand::Parse(c.line);
        EXPECT_EQ(c.kind, command.kind) << command.error;
        EXPECT_EQ(c.name, command.name);
        EXPECT_EQ(c.value, command.value);
    }
}

TEST(ConsoleCommand, RefusalsSayWhy)
{
    const std::pair<const char*, const char*> cases[] = {
        {"play", "unknown command 'play' (try help)"},
        {"save now", "'save' takes nothing after it"},
        {"learn", "'learn' needs a parameter name or id"},
        {"import  ", "'import' needs a file"},
        {"set Tape Speed", "'set' needs NAME=VALUE"},
        {"set =1", "'set' needs NAME=VALUE"},
        {"set Tape Speed=", "'set' needs NAME=VALUE"},
    };
    for (const auto& [line, error] : cases)
    {
        SCOPED_TRACE(line);
        const ConsoleCommand command = ConsoleCommand::Parse(line);
        EXPECT_EQ(ConsoleCommand::Kind::Invalid, command.kind);
        EXPECT_EQ(error, command.error);
    }
}
