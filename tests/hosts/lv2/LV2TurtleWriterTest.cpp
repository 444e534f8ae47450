#include "hosts/lv2/LV2TurtleWriter.h"
#include "LV2TestComponent.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(LV2TurtleWriter, NumbersReadBackAsTheSameFloat)
{
    // Shortest fixed notation: 0.1f prints as 0.1 although it is 0.100000001490116...
    EXPECT_EQ(LV2TurtleWriter::Number(0.1f), "0.1");
    EXPECT_EQ(LV2TurtleWriter::Number(0.84f), "0.84");
    EXPECT_EQ(LV2TurtleWriter::Number(-8.0f), "-8");
    EXPECT_EQ(LV2TurtleWriter::Number(5000000.0f), "5000000");
    EXPECT_EQ(LV2TurtleWriter::Quote("say \"a\\b\""), "\"say \\\"a\\\\b\\\"\"");
}

TEST(LV2TurtleWriter, DescribesPortsFromTheUnitsTable)
{
    AudioUnit unit = nullptr;
    ASSERT_EQ(AudioComponentInstanceNew(&kLV2TestComponent, &unit), noErr);
    LV2ParameterTable table;
    std::string error;
    ASSERT_TRUE(table.Read(unit, error)) << error;
    const LV2PortLayout layout = table.Layout(unit);
    AudioComponentInstanceDispose(unit);

    const LV2BundleInfo bundle{&kLV2TestComponent, "http://example.org/t", "T",
                               "http://opensource.org/licenses/isc"};
    std::ostringstream out;
    LV2TurtleWriter(bundle, layout, table).Write(out);
    const std::string ttl = out.str();
    const char* expected[] = {
        "doap:name \"T\"",
        "lv2:project <http://example.org/t#project>",
        "rsz:minimumSize 65536",
        "atom:supports midi:MidiEvent, time:Position, patch:Message",
        // "Mode": indexed with value strings
        "lv2:index 13 ;\n        lv2:symbol \"mode\" ;\n        lv2:name \"Mode\" ;\n"
        "        lv2:default 1 ;\n        lv2:minimum 0 ;\n        lv2:maximum 2 ;\n"
        "        lv2:portProperty lv2:integer, lv2:enumeration ;\n        lv2:scalePoint [\n"
        "            rdfs:label \"Slow\" ;\n            rdf:value 0\n        ]",
        // "Armed" is boolean, "Lock" an index of 0 … 1 without strings: both switches
        "lv2:symbol \"armed\" ;\n        lv2:name \"Armed\" ;\n        lv2:default 0 ;\n"
        "        lv2:minimum 0 ;\n        lv2:maximum 1 ;\n        lv2:portProperty lv2:toggled",
        "lv2:symbol \"lock\" ;\n        lv2:name \"Lock\" ;\n        lv2:default 0 ;\n"
        "        lv2:minimum 0 ;\n        lv2:maximum 1 ;\n        lv2:portProperty lv2:toggled",
        "<http://example.org/t#learned>\n    a lv2:Parameter ;",
    };
    for (const char* text : expected)
    {
        SCOPED_TRACE(text);
        EXPECT_NE(ttl.find(text), std::string::npos);
    }
}
