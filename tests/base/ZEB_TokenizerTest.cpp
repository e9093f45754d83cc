#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <string>
#include <vector>

#include "ZEB_Tokenizer.h"

namespace {

using Strings = std::vector<std::string>;
using StringList = std::list<std::string>;

std::string repeated(unsigned int n, const std::string & word, const std::string & sep) {
	std::string text = word;
	for (unsigned int i = 1; i < n; ++i)
		text += sep + word;
	return text;
}

} // namespace

TEST(Tokenizer, CharExplodeSkipsEmptyRunsButAlwaysGivesOneToken) {
	Strings v{"stale"};
	EXPECT_EQ(2u, ZEB::explode("a,,b,", v, ',', false));
	EXPECT_EQ((Strings{"a", "b"}), v);
	EXPECT_EQ(1u, ZEB::explode("", v, ',', false));
	EXPECT_EQ((Strings{""}), v);
	EXPECT_EQ(1u, ZEB::explode(",,", v, ',', true));
	EXPECT_EQ((Strings{""}), v);
	EXPECT_EQ(2u, ZEB::explode("a , b ", v, ',', false));
	EXPECT_EQ((Strings{"a ", " b "}), v);

	StringList l{"stale"};
	EXPECT_EQ(2u, ZEB::explode(",a,,b", l, ',', false));
	EXPECT_EQ((StringList{"a", "b"}), l);
	EXPECT_EQ(1u, ZEB::explode("", l, ',', false));
	EXPECT_EQ((StringList{""}), l);
}

TEST(Tokenizer, CharExplodeKeepsTokensEmptiedByTrimming) {
	Strings v;
	EXPECT_EQ(2u, ZEB::explode("a , b ", v, ',', true));
	EXPECT_EQ((Strings{"a", "b"}), v);
	EXPECT_EQ(3u, ZEB::explode("a, ,b", v, ',', true));
	EXPECT_EQ((Strings{"a", "", "b"}), v);
	// Line feeds are not part of this trim set.
	EXPECT_EQ(2u, ZEB::explode("\ta\n\r,b", v, ',', true));
	EXPECT_EQ((Strings{"a\n", "b"}), v);

	StringList l;
	EXPECT_EQ(2u, ZEB::explode("a , b ", l, ',', true));
	EXPECT_EQ((StringList{"a", "b"}), l);
	EXPECT_EQ(3u, ZEB::explode("a, ,\t", l, ',', true));
	EXPECT_EQ((StringList{"a", "", ""}), l);
}

TEST(Tokenizer, DelimiterSetExplodeFollowsFlags) {
	Strings v{"stale"};
	EXPECT_EQ(3u, ZEB::explode("a, ,b,", v, ",;", 0));
	EXPECT_EQ((Strings{"a", " ", "b"}), v);
	EXPECT_EQ(2u, ZEB::explode("a, ,b,", v, ",;", ZEB::EXPLODE_TRIM_TOKENS));
	EXPECT_EQ((Strings{"a", "b"}), v);
	EXPECT_EQ(4u, ZEB::explode("a, ,b,", v, ",;", ZEB::EXPLODE_KEEP_EMPTY_TOKENS));
	EXPECT_EQ((Strings{"a", " ", "b", ""}), v);
	EXPECT_EQ(4u, ZEB::explode("a, ,b,", v, ",;", ZEB::EXPLODE_TRIM_TOKENS | ZEB::EXPLODE_KEEP_EMPTY_TOKENS));
	EXPECT_EQ((Strings{"a", "", "b", ""}), v);
	EXPECT_EQ(3u, ZEB::explode("a, ,b,", v, ",;", 4));
	EXPECT_EQ((Strings{"a", " ", "b"}), v);

	EXPECT_EQ(0u, ZEB::explode("", v, ",;", 0));
	EXPECT_TRUE(v.empty());
	EXPECT_EQ(0u, ZEB::explode("", v, ",;", 1));
	EXPECT_EQ(1u, ZEB::explode("", v, ",;", 2));
	EXPECT_EQ((Strings{""}), v);
	EXPECT_EQ(1u, ZEB::explode("", v, ",;", 3));

	EXPECT_EQ(3u, ZEB::explode(";a;;b,c", v, ",;", 0));
	EXPECT_EQ((Strings{"a", "b", "c"}), v);
	// This trim set includes line feeds.
	EXPECT_EQ(2u, ZEB::explode(" a\n;\r\nb\t", v, ";", ZEB::EXPLODE_TRIM_TOKENS));
	EXPECT_EQ((Strings{"a", "b"}), v);
}

TEST(Tokenizer, LimitedExplodeDropsRestAfterLimit) {
	EXPECT_EQ((Strings{"a", "b"}), ZEB::explode("a b c d", ' ', 2));
	EXPECT_EQ((Strings{"a", "b", "c"}), ZEB::explode("a b c d", ' ', 3));
	EXPECT_EQ((Strings{"a", "b", "c", "d"}), ZEB::explode("a b c d", ' ', 4));
	EXPECT_EQ((Strings{"a", "b", "c", "d"}), ZEB::explode("a b c d", ' ', -1));
	EXPECT_EQ((Strings{"a", "b", "c", "d"}), ZEB::explode("a b c d", ' ', -2));
	EXPECT_EQ((Strings{"a"}), ZEB::explode("a b c d", ' ', 0));
	EXPECT_EQ((Strings{"a", "b"}), ZEB::explode("  a  b ", ' ', -1));
	EXPECT_EQ((Strings{" a", "b "}), ZEB::explode(" a,b ", ',', -1));
	EXPECT_TRUE(ZEB::explode("", ' ', -1).empty());
	EXPECT_TRUE(ZEB::explode("   ", ' ', -1).empty());
}

TEST(Tokenizer, SeparatorRecordExplodeRecordsDelimiters) {
	StringList l{"stale"};
	std::string rec = "stale";
	EXPECT_EQ(3u, ZEB::explode("a b\nc", l, rec, " \n"));
	EXPECT_EQ((StringList{"a", "b", "c"}), l);
	ASSERT_EQ(500u, rec.size());
	EXPECT_EQ(std::string(" \n "), rec.substr(0, 3));
	EXPECT_EQ(std::string(497, '\0'), rec.substr(3));

	// Empty tokens between delimiters are kept here.
	EXPECT_EQ(4u, ZEB::explode(",a,,b", l, rec, ",;"));
	EXPECT_EQ((StringList{"", "a", "", "b"}), l);
	EXPECT_EQ(std::string(",,, "), rec.substr(0, 4));

	EXPECT_EQ(1u, ZEB::explode("", l, rec, " "));
	EXPECT_EQ((StringList{""}), l);
	EXPECT_EQ(500u, rec.size());
}

TEST(Tokenizer, SeparatorRecordExplodeStopsAtFiveHundredDelimiters) {
	StringList l;
	std::string rec;
	EXPECT_EQ(500u, ZEB::explode(repeated(600, "w", " "), l, rec, " "));
	EXPECT_EQ(500u, l.size());
	EXPECT_EQ(std::string(500, ' '), rec);
}

TEST(Tokenizer, ExplodeIn2SplitsOnce) {
	Strings v{"stale"};
	EXPECT_EQ(2u, ZEB::explode_in2("key=value=x", v, '='));
	EXPECT_EQ((Strings{"key", "value=x"}), v);
	EXPECT_EQ(1u, ZEB::explode_in2("key", v, '='));
	EXPECT_EQ((Strings{"key"}), v);
	EXPECT_EQ(2u, ZEB::explode_in2("=", v, '='));
	EXPECT_EQ((Strings{"", ""}), v);
	EXPECT_EQ(1u, ZEB::explode_in2("", v, '='));
	EXPECT_EQ((Strings{""}), v);

	EXPECT_EQ(2u, ZEB::explode_in2("a:b=c", v, std::string(":=")));
	EXPECT_EQ((Strings{"a", "b=c"}), v);
	EXPECT_EQ(2u, ZEB::explode_in2("a=b:c", v, std::string(":=")));
	EXPECT_EQ((Strings{"a", "b:c"}), v);
	EXPECT_EQ(1u, ZEB::explode_in2("abc", v, std::string(":=")));
	EXPECT_EQ((Strings{"abc"}), v);
}

TEST(Tokenizer, CsvKeepsQuotedCommasAndQuotes) {
	Strings v{"stale"};
	ZEB::explode_csv("1,\"a,b\",3", v);
	EXPECT_EQ((Strings{"1", "\"a,b\"", "3"}), v);
	ZEB::explode_csv("a,,", v);
	EXPECT_EQ((Strings{"a", ""}), v);
	ZEB::explode_csv(",a", v);
	EXPECT_EQ((Strings{"", "a"}), v);
	ZEB::explode_csv("", v);
	EXPECT_TRUE(v.empty());
	// A doubled quote toggles twice and leaves the field quoted.
	ZEB::explode_csv("\"x\"\"y,z\",w", v);
	EXPECT_EQ((Strings{"\"x\"\"y,z\"", "w"}), v);

	StringList l{"stale"};
	ZEB::explode_csv(" 1 ,\"a,b\",", l);
	EXPECT_EQ((StringList{" 1 ", "\"a,b\""}), l);
}

TEST(Tokenizer, BreakStringWrapsAtLengthAndLineFeeds) {
	Strings lines{"stale"};
	ZEB::break_string("aaa bbb ccc", lines, 8);
	EXPECT_EQ((Strings{"aaa bbb ", "ccc "}), lines);
	ZEB::break_string("aaa bbb ccc", lines, 3);
	EXPECT_EQ((Strings{"", "aaa ", "bbb ", "ccc "}), lines);
	ZEB::break_string("one\ntwo", lines, 80);
	EXPECT_EQ((Strings{"one", "two "}), lines);
	ZEB::break_string("", lines, 80);
	EXPECT_EQ((Strings{" "}), lines);
	ZEB::break_string("a\n", lines, 80);
	EXPECT_EQ((Strings{"a", ""}), lines);
	ZEB::break_string("a  b", lines, 80);
	EXPECT_EQ((Strings{"a  b "}), lines);
	ZEB::break_string("a\n\nb", lines, 80);
	EXPECT_EQ((Strings{"a", "", "b "}), lines);
	// A negative length compares as a huge unsigned one.
	ZEB::break_string("aaa bbb ccc", lines, -1);
	EXPECT_EQ((Strings{"aaa bbb ccc "}), lines);
}

TEST(Tokenizer, BreakStringKeepsWordsBeyondFiveHundredSeparators) {
	Strings lines;
	ZEB::break_string(repeated(600, "w", " "), lines, 10);
	std::string all;
	for (const std::string & line : lines) {
		EXPECT_LE(line.size(), 10u);
		all += line;
	}
	EXPECT_EQ(600, std::count(all.begin(), all.end(), 'w'));
	EXPECT_EQ(120u, lines.size());
	EXPECT_EQ("w w w w w ", lines.back());

	ZEB::break_string(repeated(700, "w", "\n"), lines, 80);
	EXPECT_EQ(700u, lines.size());
	EXPECT_EQ("w ", lines.back());
}

TEST(Tokenizer, ParseMsgStringSplitsOffBracketedType) {
	std::string type = "stale";
	Strings lines;
	ZEB::parse_msg_string("[Warning]  disk full", type, lines, 80, true);
	EXPECT_EQ("[Warning]  ", type);
	EXPECT_EQ((Strings{"[Warning]    disk full "}), lines);
	ZEB::parse_msg_string("[Warning]  disk full", type, lines, 80, false);
	EXPECT_EQ("[Warning]  ", type);
	EXPECT_EQ((Strings{"disk full "}), lines);
	ZEB::parse_msg_string("[E]\t x", type, lines, 80, false);
	EXPECT_EQ("[E]\t ", type);
	EXPECT_EQ((Strings{"x "}), lines);
	ZEB::parse_msg_string("[]x", type, lines, 80, false);
	EXPECT_EQ("[]", type);

	ZEB::parse_msg_string("[Warning] \t ", type, lines, 80, true);
	EXPECT_EQ("", type);
	for (const char * m : {"[Warning]", "x [a] b", "plain"}) {
		ZEB::parse_msg_string(m, type, lines, 80, true);
		EXPECT_EQ("", type) << m;
		EXPECT_EQ((Strings{std::string(m) + " "}), lines) << m;
	}
}

TEST(Tokenizer, ParseMsgStringWidensLinesForTypeAndSkipsEmptyLastLine) {
	std::string type;
	Strings lines;
	// Type of length 4: the line length becomes max(4 + 20, 10 - 4 - 2) = 24.
	ZEB::parse_msg_string("[W] aaaa bbbb cccc dddd eeee", type, lines, 10, false);
	EXPECT_EQ((Strings{"aaaa bbbb cccc dddd ", "eeee "}), lines);
	// and max(24, 40 - 4 - 2) = 34.
	ZEB::parse_msg_string("[W] aaaa bbbb cccc dddd eeee ffff gggg", type, lines, 40, false);
	EXPECT_EQ((Strings{"aaaa bbbb cccc dddd eeee ffff ", "gggg "}), lines);

	ZEB::parse_msg_string("[W] a\n", type, lines, 80, true);
	EXPECT_EQ((Strings{"[W]   a", ""}), lines);
	ZEB::parse_msg_string("[W] a\n\nb", type, lines, 80, true);
	EXPECT_EQ((Strings{"[W]   a", "[W]   ", "[W]   b "}), lines);
}
