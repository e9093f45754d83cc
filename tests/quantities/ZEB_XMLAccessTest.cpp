#include <gtest/gtest.h>

#include <string>

#include <tinyxml.h>

#include "ZEB_XMLAccess.h"

TEST(XMLAccess, TextIsNeverNull) {
	TiXmlDocument doc;
	doc.Parse("<r><empty/><text>abc</text><late><!--c-->abc</late></r>");
	const TiXmlElement * root = doc.RootElement();

	const TiXmlElement * empty = root->FirstChildElement("empty");
	ASSERT_NE(ZEB::GetText(empty), nullptr);
	EXPECT_STREQ(ZEB::GetText(empty), "");
	EXPECT_EQ(ZEB::GetTextUnsafe(empty), nullptr);

	EXPECT_STREQ(ZEB::GetText(root->FirstChildElement("text")), "abc");
	EXPECT_STREQ(ZEB::GetTextUnsafe(root->FirstChildElement("text")), "abc");
	// only the first child counts
	EXPECT_STREQ(ZEB::GetText(root->FirstChildElement("late")), "");
	EXPECT_EQ(ZEB::GetTextUnsafe(root->FirstChildElement("late")), nullptr);
	EXPECT_STREQ(ZEB::GetText(nullptr), "");
}


TEST(XMLAccess, FindsAttributesByExactName) {
	TiXmlDocument doc;
	doc.Parse("<e unit=\"m\" Unit=\"K\" un=\"x\"/>");
	const TiXmlElement * e = doc.RootElement();
	ASSERT_NE(ZEB::attributeByName(e, "Unit"), nullptr);
	EXPECT_EQ(ZEB::attributeByName(e, "Unit")->ValueStr(), "K");
	EXPECT_EQ(ZEB::attributeByName(e, "unit")->ValueStr(), "m");
	EXPECT_EQ(ZEB::attributeByName(e, "UNIT"), nullptr);
	EXPECT_EQ(ZEB::attributeByName(e, "u"), nullptr);
	EXPECT_EQ(ZEB::attributeByName(nullptr, "unit"), nullptr);
}
