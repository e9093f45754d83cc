#include <cstdlib>
#include <gtest/gtest.h>

#include <string>

#include "ZEB_StringUtils.h"

namespace {

std::string trimmedKeyword(std::string s) {
	ZEB::trim_keyword(s);
	return s;
}

} // namespace

TEST(StringUtils, TrimRemovesOnlySetCharactersAtBothEnds) {
	std::string s = "  a b \t";
	ZEB::trim(s);
	EXPECT_EQ("a b", s);
	s = " \t\r";
	ZEB::trim(s);
	EXPECT_EQ("", s);
	s = "";
	ZEB::trim(s);
	EXPECT_EQ("", s);
	s = "xxaxx";
	ZEB::trim(s, "x");
	EXPECT_EQ("a", s);
	// Line feeds are not in the default set.
	s = "a\n";
	ZEB::trim(s);
	EXPECT_EQ("a\n", s);

	const std::string orig = "\r a \t";
	EXPECT_EQ("a", ZEB::trim_copy(orig));
	EXPECT_EQ("\r a \t", orig);
	EXPECT_EQ("", ZEB::trim_copy("xx", "x"));
	EXPECT_EQ("b", ZEB::trim_copy("b"));
}

TEST(StringUtils, TrimKeywordStripsOneBracketPairAndEquals) {
	for (const char * t : {"[abc]", "[abc=]", "abc=", "abc]", "[abc", "abc"})
		EXPECT_EQ("abc", trimmedKeyword(t)) << t;
	EXPECT_EQ("abc]", trimmedKeyword("[abc]="));
	EXPECT_EQ(" abc ", trimmedKeyword("[ abc ]"));
	EXPECT_EQ("[abc]", trimmedKeyword("[[abc]]"));
	for (const char * t : {"[]", "[=]", "[", "=", "=]", "", "]"})
		EXPECT_EQ("", trimmedKeyword(t)) << t;

	std::string s = "[x]";
	EXPECT_EQ(&s, &ZEB::trim_keyword(s));
}

TEST(StringUtils, RemoveCommentCutsAtFirstSemicolon) {
	std::string s = "a = 1 ; note";
	EXPECT_EQ(&s, &ZEB::remove_comment(s));
	EXPECT_EQ("a = 1 ", s);
	s = "a;b;c";
	EXPECT_EQ("a", ZEB::remove_comment(s));
	s = ";x";
	EXPECT_EQ("", ZEB::remove_comment(s));
	s = " abc ";
	EXPECT_EQ(" abc ", ZEB::remove_comment(s));
}

TEST(StringUtils, ExtractKeywordSplitsAtFirstEquals) {
	std::string k = "old", v = "old";
	EXPECT_TRUE(ZEB::extract_keyword(" Name = Room 1 ", k, v));
	EXPECT_EQ("Name", k);
	EXPECT_EQ("Room 1", v);
	EXPECT_TRUE(ZEB::extract_keyword("=5", k, v));
	EXPECT_EQ("", k);
	EXPECT_EQ("5", v);
	EXPECT_TRUE(ZEB::extract_keyword("a=b=c", k, v));
	EXPECT_EQ("a", k);
	EXPECT_EQ("b=c", v);
	EXPECT_TRUE(ZEB::extract_keyword("\tkey\r=\r", k, v));
	EXPECT_EQ("key", k);
	EXPECT_EQ("", v);
	// Without '=' the value is the untrimmed line.
	EXPECT_FALSE(ZEB::extract_keyword(" abc ", k, v));
	EXPECT_EQ("", k);
	EXPECT_EQ(" abc ", v);
}

TEST(StringUtils, NocaseCompareAndOrder) {
	EXPECT_TRUE(ZEB::string_nocase_compare("ABC", "abc"));
	EXPECT_TRUE(ZEB::string_nocase_compare("", ""));
	EXPECT_FALSE(ZEB::string_nocase_compare("abc", "abcd"));
	EXPECT_FALSE(ZEB::string_nocase_compare("abc", "abd"));

	EXPECT_TRUE(ZEB::string_nocase_less("a", "B"));
	EXPECT_FALSE(ZEB::string_nocase_less("B", "a"));
	EXPECT_FALSE(ZEB::string_nocase_less("ab", "AB"));
	EXPECT_FALSE(ZEB::string_nocase_less("AB", "ab"));
	EXPECT_TRUE(ZEB::string_nocase_less("a", "ab"));
	EXPECT_FALSE(ZEB::string_nocase_less("ab", "a"));
	EXPECT_TRUE(ZEB::string_nocase_less("", "a"));
	EXPECT_FALSE(ZEB::string_nocase_less("", ""));
	// Letters compare as lower case: '_' lies between 'Z' and 'a'.
	EXPECT_TRUE(ZEB::string_nocase_less("_", "A"));
	EXPECT_FALSE(ZEB::string_nocase_less("a", "_"));
	// Bytes from 0x80 on are negative and order before the end of the text.
	EXPECT_TRUE(ZEB::string_nocase_less("a\xC3", "a"));
	EXPECT_FALSE(ZEB::string_nocase_less("a", "a\xC3"));
	EXPECT_TRUE(ZEB::string_nocase_less("\xC3", "A"));
}

TEST(StringUtils, NocaseFindReturnsFirstMatch) {
	EXPECT_EQ(6u, ZEB::string_nocase_find("Hello World", "WORLD"));
	EXPECT_EQ(1u, ZEB::string_nocase_find("aaab", "AAB"));
	EXPECT_EQ(0u, ZEB::string_nocase_find("abc", ""));
	EXPECT_EQ(std::string::npos, ZEB::string_nocase_find("abc", "cd"));
	EXPECT_EQ(std::string::npos, ZEB::string_nocase_find("ab", "abc"));
	EXPECT_EQ(std::string::npos, ZEB::string_nocase_find("", ""));
	EXPECT_EQ(std::string::npos, ZEB::string_nocase_find("", "a"));
}

TEST(StringUtils, ReplaceStringHonoursKind) {
	EXPECT_EQ("a::b::c", ZEB::replace_string("a.b.c", ".", "::", ZEB::REPLACE_ALL));
	EXPECT_EQ("a::b.c", ZEB::replace_string("a.b.c", ".", "::", ZEB::REPLACE_FIRST));
	EXPECT_EQ("a.b::c", ZEB::replace_string("a.b.c", ".", "::", ZEB::REPLACE_LAST));
	EXPECT_EQ("a.b.c", ZEB::replace_string("a.b.c", ".", "::", ZEB::REPLACE_NONE));
	EXPECT_EQ("a.b.c", ZEB::replace_string("a.b.c", ".", "::", static_cast<ZEB::StringReplaceKind>(7)));
	// Overlapping occurrences: the last one starts furthest right.
	EXPECT_EQ("ab", ZEB::replace_string("aaa", "aa", "b", ZEB::REPLACE_LAST));
	EXPECT_EQ("ba", ZEB::replace_string("aaa", "aa", "b", ZEB::REPLACE_FIRST));
	EXPECT_EQ("ba", ZEB::replace_string("aaa", "aa", "b", ZEB::REPLACE_ALL));
	EXPECT_EQ("abc", ZEB::replace_string("abc", "z", "y", ZEB::REPLACE_FIRST));
	EXPECT_EQ("abc", ZEB::replace_string("abc", "z", "y", ZEB::REPLACE_LAST));
	EXPECT_EQ("", ZEB::replace_string("", "z", "y", ZEB::REPLACE_ALL));
	EXPECT_EQ("a-c", ZEB::replace_string("abc", "b", "-", ZEB::REPLACE_ALL));
}

TEST(StringUtils, ReplaceStringNeverRescansInsertedText) {
	EXPECT_EQ("aa", ZEB::replace_string("aaaa", "aa", "a", ZEB::REPLACE_ALL));
	EXPECT_EQ("xx", ZEB::replace_string("x", "x", "xx", ZEB::REPLACE_ALL));
	EXPECT_EQ("xxaxx", ZEB::replace_string("xax", "x", "xx", ZEB::REPLACE_ALL));
	EXPECT_EQ("ac", ZEB::replace_string("abbc", "b", "", ZEB::REPLACE_ALL));
}

TEST(StringUtils, ReplaceStringWithEmptySearchChangesNothing) {
	for (ZEB::StringReplaceKind k : {ZEB::REPLACE_NONE, ZEB::REPLACE_ALL, ZEB::REPLACE_FIRST, ZEB::REPLACE_LAST}) {
		EXPECT_EQ("abc", ZEB::replace_string("abc", "", "x", k)) << k;
		EXPECT_EQ("abc", ZEB::replace_string("abc", "", "", k)) << k;
		EXPECT_EQ("", ZEB::replace_string("", "", "x", k)) << k;
		EXPECT_EQ("abc", ZEB::replace_string("abc", "b", "b", k)) << k;
	}
}

TEST(StringUtils, DeleteCharsAndCaseConversion) {
	EXPECT_EQ("abc", ZEB::delete_chars("a-b_c", "-_"));
	EXPECT_EQ("", ZEB::delete_chars("--__", "-_"));
	EXPECT_EQ("a-b", ZEB::delete_chars("a-b", ""));
	EXPECT_EQ("abc1! \xC3\xA4", ZEB::tolower_string("AbC1! \xC3\xA4"));
	EXPECT_EQ("ABC1! \xC3\xA4", ZEB::toupper_string("AbC1! \xC3\xA4"));
}

TEST(StringUtils, ShortenStringKeepsHeadAndTail) {
	const std::string abc = "abcdefghijklmnopqrstuvwxyz";
	EXPECT_EQ("abcd...xyz", ZEB::shorten_string(abc, 10));
	EXPECT_EQ(abc, ZEB::shorten_string(abc, 23));
	EXPECT_EQ("abcdefghij...rstuvwxyz", ZEB::shorten_string(abc, 22));
	// Odd remainder: the head gets the extra character.
	EXPECT_EQ("a...", ZEB::shorten_string(abc, 4));
	EXPECT_EQ("...", ZEB::shorten_string(abc, 3));
	EXPECT_EQ("", ZEB::shorten_string("", 3));
}

TEST(StringUtils, ReadUntilCharCutConsumesFrontPart) {
	std::string s = "key:value";
	EXPECT_EQ("key", ZEB::read_until_char_cut(s, ':'));
	EXPECT_EQ("value", s);
	s = "key:value";
	EXPECT_EQ("", ZEB::read_until_char_cut(s, '#'));
	EXPECT_EQ("key:value", s);
	s = "a:b:c";
	EXPECT_EQ("a", ZEB::read_until_char_cut(s, ':'));
	EXPECT_EQ("b:c", s);
	s = ":x";
	EXPECT_EQ("", ZEB::read_until_char_cut(s, ':'));
	EXPECT_EQ("x", s);
	s = "abc:";
	EXPECT_EQ("abc", ZEB::read_until_char_cut(s, ':'));
	EXPECT_EQ("", s);
}

TEST(StringUtils, CountTokensCountsWhiteSpaceSeparatedWords) {
	EXPECT_EQ(3u, ZEB::count_tokens(" a  b\tc\n"));
	EXPECT_EQ(0u, ZEB::count_tokens(""));
	EXPECT_EQ(0u, ZEB::count_tokens(" \t\r\n"));
	EXPECT_EQ(1u, ZEB::count_tokens("one"));
	EXPECT_EQ(2u, ZEB::count_tokens("a,b c;d"));
}

TEST(StringUtils, Utf8CheckRejectsMalformedSequences) {
	for (const char * t : {"", "abc", "\xC3\xA4", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xED\x9F\xBF",
						   "\xEE\x80\x80", "\xEF\xBF\xBD", "\xF4\x8F\xBF\xBF", "\xC2\x80"})
		EXPECT_TRUE(ZEB::is_valid_utf8_string(t)) << t;
	for (const char * t : {"\xC3", "a\xC3", "\xC3\x41", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80",
						   "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xEF\xBF\xBF", "\xEF\xBF\xBE",
						   "\xE2\x82", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF0\x9F\x98",
						   "\x80", "a\xBF", "\xF8\x88\x80\x80\x80", "\xFF"})
		EXPECT_FALSE(ZEB::is_valid_utf8_string(t)) << t;
}

TEST(StringUtils, ConvertXml2HtmlEscapesAmpersandFirst) {
	EXPECT_EQ("a&lt;b &amp; &quot;c&quot;<br>d", ZEB::convertXml2Html("a<b & \"c\"\nd"));
	EXPECT_EQ("&amp;lt; &gt;", ZEB::convertXml2Html("&lt; >"));
	EXPECT_EQ("it's", ZEB::convertXml2Html("it's"));
	// Repeated calls use the same table.
	EXPECT_EQ("&lt;&lt;", ZEB::convertXml2Html("<<"));
	EXPECT_EQ("&lt;&lt;", ZEB::convertXml2Html("<<"));
}


using ZEB::levenshtein_distance;
using ZEB::levenshtein_distance_min;

TEST(EditDistance, CountsEditsAndLateSwaps) {
	EXPECT_EQ(levenshtein_distance("kitten", "sitting"), 3u);
	EXPECT_EQ(levenshtein_distance("sitting", "kitten"), 3u);
	EXPECT_EQ(levenshtein_distance("flaw", "lawn"), 2u);
	EXPECT_EQ(levenshtein_distance("abc", "acb"), 1u);
	EXPECT_EQ(levenshtein_distance("abcd", "abdc"), 1u);
	EXPECT_EQ(levenshtein_distance("ab", "ba"), 2u);
	EXPECT_EQ(levenshtein_distance("bac", "abc"), 2u);
	EXPECT_EQ(levenshtein_distance("", "abc"), 3u);
	EXPECT_EQ(levenshtein_distance("abc", ""), 3u);
	EXPECT_EQ(levenshtein_distance("same", "same"), 0u);
	EXPECT_EQ(levenshtein_distance("A", "a"), 1u);
	EXPECT_EQ(levenshtein_distance(std::string(3000, 'a'), std::string(2000, 'a') + "b"), 1000u);
}


TEST(EditDistance, FindsTheBestWindowOfTheLongerText) {
	EXPECT_EQ(levenshtein_distance_min("abc", "xxabcxx"), 0u);
	EXPECT_EQ(levenshtein_distance_min("xxabcxx", "abc"), 0u);
	EXPECT_EQ(levenshtein_distance_min("abd", "xxabcxx"), 1u);
	EXPECT_EQ(levenshtein_distance_min("", "abc"), 0u);
	EXPECT_EQ(levenshtein_distance_min("abc", "abd"), 1u);
	EXPECT_EQ(levenshtein_distance_min("xyz", "abcdefg"), 3u);
}


TEST(RandomString, TestsCharacterClasses) {
	EXPECT_TRUE(ZEB::isInCharType('a', 1));
	EXPECT_FALSE(ZEB::isInCharType('a', 2));
	EXPECT_TRUE(ZEB::isInCharType('Z', 2));
	EXPECT_TRUE(ZEB::isInCharType('5', 4));
	EXPECT_TRUE(ZEB::isInCharType('_', 8));
	EXPECT_TRUE(ZEB::isInCharType('~', 8));
	EXPECT_FALSE(ZEB::isInCharType(' ', 15));
	EXPECT_FALSE(ZEB::isInCharType('a', 0));
	EXPECT_FALSE(ZEB::isInCharType('\x7f', 15));
	EXPECT_FALSE(ZEB::isInCharType('\xe4', 15));
	EXPECT_FALSE(ZEB::isInCharType('5', 8));
}


TEST(RandomString, DrawsFromTheChosenClasses) {
	const std::string digits = ZEB::random_string(8, 4);
	ASSERT_EQ(digits.size(), 8u);
	for (char c : digits)
		EXPECT_TRUE(c >= '0' && c <= '9') << c;
	for (char c : ZEB::random_string(200, 8)) {
		EXPECT_TRUE(ZEB::isInCharType(c, 8)) << c;
		EXPECT_TRUE(c != '{' && c != '|' && c != '}' && c != '~') << c;
	}
	for (char c : ZEB::random_string(100, 3))
		EXPECT_TRUE(ZEB::isInCharType(c, 3)) << c;

	EXPECT_EQ(ZEB::random_string(0, 4), "");
	EXPECT_EQ(ZEB::random_string(8, 0), "");
	EXPECT_EQ(ZEB::random_string(3, 16), std::string(3, '\0'));
	EXPECT_EQ(ZEB::random_string(2, 17), std::string(2, '\0'));
}


TEST(RandomString, LeavesTheCGeneratorAlone) {
	std::srand(42);
	const int first = std::rand();
	const int second = std::rand();
	std::srand(42);
	EXPECT_EQ(std::rand(), first);
	const std::string a = ZEB::random_string(32, 15);
	const std::string b = ZEB::random_string(32, 15);
	EXPECT_EQ(std::rand(), second);
	// successive calls continue one sequence
	EXPECT_NE(a, b);
}
