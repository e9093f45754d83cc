#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZEB_SectionSplitting.h"

using TestSupport::thrown;

namespace {

typedef std::vector<std::string> Strings;
typedef std::vector<Strings> Groups;

} // namespace


TEST(SectionSplitting, DistributesLinesToKnownTitles) {
	const std::string text = "; note\n[A]\n1 2\n[B]\nx\n[A]\n3";
	Strings blocks{"old"};
	ZEB::explode_sections(text, {"A", "B"}, blocks);
	EXPECT_EQ(blocks, (Strings{"1 2\n3\n", "x\n"}));

	// headers of other titles are data
	ZEB::explode_sections("[A]\n1 2\n[B]\nx\n[C]\n[A]\n3", {"A", "B"}, blocks);
	EXPECT_EQ(blocks, (Strings{"1 2\n3\n", "x\n[C]\n"}));

	// trimmed headers, comments only at the line start, data stored whole
	ZEB::explode_sections("  [A]  \n # x\nx # y\nv\r\n\t\nB=\n", {"A", "B"}, blocks);
	EXPECT_EQ(blocks, (Strings{"x # y\nv\r\n", ""}));

	ZEB::explode_sections("", {"A", "B"}, blocks);
	EXPECT_EQ(blocks, (Strings{"", ""}));

	std::istringstream in("A\n% c\nv\n");
	ZEB::explode_sections(in, {"A"}, blocks, "%");
	EXPECT_EQ(blocks, Strings{"v\n"});

	Groups groups;
	ZEB::explode_sections(Strings{"", "[B]", " b ", "# c", "[A]", "a"}, {"A", "B"}, groups, "#");
	EXPECT_EQ(groups, (Groups{{"a"}, {" b "}}));
	ZEB::explode_sections(Strings(), {"A", "B"}, groups, "#");
	EXPECT_EQ(groups, (Groups{{}, {}}));
}


TEST(SectionSplitting, CollectsEachOccurrenceOfOneTitle) {
	Strings blocks;
	ZEB::explode_section(std::string("A=\nv = 1 ; c\n[A]\nw"), "A", blocks);
	EXPECT_EQ(blocks, (Strings{"v = 1\n", "w\n"}));
	ZEB::explode_section(std::string(""), "A", blocks);
	EXPECT_TRUE(blocks.empty());
	// "NAME =" names "NAME " with its blank
	ZEB::explode_section(std::string("A =\nv"), "A ", blocks);
	EXPECT_EQ(blocks, Strings{"v\n"});

	Groups groups;
	ZEB::explode_section(Strings{"", "[A]", "  v ", "[A]"}, "A", groups);
	EXPECT_EQ(groups, (Groups{{"  v "}, {}}));
	ZEB::explode_section(Strings{"A", "; kept", "[B]"}, "A", groups);
	EXPECT_EQ(groups, (Groups{{"; kept", "[B]"}}));
	ZEB::explode_section(Strings(), "A", groups);
	EXPECT_TRUE(groups.empty());
}


TEST(SectionSplitting, RefusesDataBeforeTheFirstHeader) {
	const std::string expected = "Expected section header in first non-empty line:\n'1 2'";
	Strings blocks;
	EXPECT_EQ(thrown([&]() { ZEB::explode_sections("; c\n\n1 2\n[A]\n", {"A"}, blocks); }),
			  expected + " @ [ZEB::explode_sections]");
	Groups groups;
	EXPECT_EQ(thrown([&]() { ZEB::explode_sections(Strings{"1 2"}, {"A"}, groups, ";"); }),
			  expected + " @ [ZEB::explode_sections]");
	EXPECT_EQ(thrown([&]() { ZEB::explode_section(Strings{" ", "1 2", "[A]"}, "A", groups); }),
			  expected + " @ [ZEB::explode_section]");
	EXPECT_EQ(thrown([&]() { ZEB::explode_section(std::string("x\n[A]"), "A", blocks); }),
			  "Expected keyword/section title! @ [explode_section]");
}
