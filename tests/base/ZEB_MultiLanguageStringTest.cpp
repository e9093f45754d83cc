#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MultiLanguageString.h"

using ZEB::MultiLanguageString;

TEST(MultiLanguageString, ParsesEncodedTextWithFallbacks) {
	const std::string encoded = "en:<New Window Type>|de:<Neuer Fenstertyp>";
	MultiLanguageString s(encoded);
	EXPECT_EQ(s.string("DE", false), "<Neuer Fenstertyp>");
	EXPECT_EQ(s.string("fr", true), encoded);
	EXPECT_EQ(s.string("fr", false), "");
	EXPECT_EQ(s.string("fr", "en"), "<New Window Type>");
	EXPECT_EQ(s.string("fr", "EN"), encoded);				// the fallback id is taken as given
	EXPECT_EQ(s.languages(), (std::vector<std::string>{"de", "en"}));
	EXPECT_TRUE(s.hasLanguage("EN"));
	EXPECT_FALSE(s.hasLanguage("all"));
	EXPECT_EQ(MultiLanguageString::composeLangIDString(s.m_texts), "DE: <Neuer Fenstertyp> |EN: <New Window Type>");

	std::set<std::string> langs{"xx"};
	s.languages(langs);
	EXPECT_EQ(langs, (std::set<std::string>{"de", "en", "xx"}));

	try {
		s.string("ALL");
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Cannot use 'all' as language ID for MultiLanguageString.");
		EXPECT_STREQ(ex.location(), "[MultiLanguageString::string]");
	}
}

TEST(MultiLanguageString, KeepsUnreadableTextPlain) {
	for (const char * plain : {"Just a name", "en:Hello|x", "english:Hello", "EN : Hello"}) {
		MultiLanguageString s(plain);
		EXPECT_EQ(s.m_texts.size(), 1u) << plain;
		EXPECT_EQ(s.string("en"), plain);
		EXPECT_TRUE(s.languages().empty());
	}
	MultiLanguageString partial("en:|de:Hallo");
	EXPECT_EQ(partial.languages(), std::vector<std::string>{"de"});
	MultiLanguageString repeated(" en: a | en: b |no colon here");
	EXPECT_EQ(repeated.string("en", false), "b");
	EXPECT_TRUE(MultiLanguageString("").languages().empty());
}

TEST(MultiLanguageString, SetsAndRemovesLanguages) {
	MultiLanguageString s("en:Window");
	s.setString("Fenster", "DE");
	std::stringstream strm;
	strm << s;
	EXPECT_EQ(strm.str(), "DE: Fenster |EN: Window");

	s.setString("  ", "de");
	EXPECT_FALSE(s.hasLanguage("de"));
	s.setString(" \t", "en");
	EXPECT_TRUE(s.languages().empty());
	EXPECT_EQ(s.string("fr"), "EN: Window");				// "all" keeps its last text
	EXPECT_THROW(s.setString("x", "All"), ZEB::Exception);

	s.clear();
	EXPECT_EQ(s.m_texts.size(), 1u);
	EXPECT_EQ(s.string("en"), "");

	std::stringstream in("en:A|de:B\nrest");
	in >> s;
	EXPECT_EQ(s.string("de", false), "B");
}

TEST(MultiLanguageString, RoundTripsBinaryForm) {
	MultiLanguageString s("en:One|de:Eins");
	std::stringstream strm;
	s.writeBinary(strm);
	MultiLanguageString back;
	back.readBinary(strm);
	EXPECT_EQ(back.m_texts, s.m_texts);

	// a truncated stream or a corrupt count ends with an error, not a loop
	const std::string blob = strm.str();
	for (std::size_t cut : {std::size_t(3), std::size_t(12), blob.size() - 1}) {
		std::stringstream truncated(blob.substr(0, cut));
		MultiLanguageString t;
		EXPECT_THROW(t.readBinary(truncated), ZEB::Exception) << cut;
	}
	std::string corrupt = blob;
	const std::uint64_t huge = 0xFFFFFFFFFFFFull;
	std::memcpy(&corrupt[0], &huge, sizeof(huge));
	std::stringstream corruptStrm(corrupt);
	try {
		MultiLanguageString t;
		t.readBinary(corruptStrm);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Error reading from input stream!");
	}
}

TEST(MultiLanguageString, FormatsItsEnglishText) {
	MultiLanguageString s("en:%1 windows|de:%1 Fenster");
	EXPECT_EQ(ZEB::FormatString(s).arg(3).str(), "3 windows");
	MultiLanguageString name("en:South|de:Sued");
	EXPECT_EQ(ZEB::FormatString("Wall %1.").arg(name, 7).str(), "Wall   South.");
	EXPECT_EQ(ZEB::FormatString(MultiLanguageString("plain")).str(), "");
	EXPECT_EQ(MultiLanguageString::m_language, "en");
}
