#include <gtest/gtest.h>

#include <string>

#include <tinyxml.h>

#include "ZEB_XMLComments.h"
#include "ZEB_XMLPrinter.h"

TEST(XMLComments, AddedCommentsPrintOnTheirOwnLines) {
	TiXmlElement a("a");
	a.LinkEndChild(new TiXmlElement("b"));
	ZEB::addComment(&a, "note");
	ZEB::addSeparatorComment(&a);
	const std::string tildes(100, '~');
	EXPECT_EQ(std::string(ZEB::XML_SEPARATOR_COMMENT), "\n" + tildes + "\n");
	EXPECT_EQ(ZEB::PrintToString(&a, 0),
			  "<a>\n\t<b />\n\t<!--note-->\n\n\t<!--" + tildes + "-->\n\n</a>");
}


TEST(XMLComments, KillsCommentsAtEveryDepth) {
	TiXmlDocument doc;
	doc.Parse("<a><!--x--><b><!--y-->t<!--z--></b><!--w--><c/></a>");
	TiXmlElement * a = doc.RootElement();
	EXPECT_FALSE(ZEB::killAllComments(a));
	EXPECT_EQ(ZEB::PrintToString(a, 0), "<a>\n\t<b>t</b>\n\t<c />\n</a>");

	TiXmlComment * kept = new TiXmlComment("keep");
	a->LinkEndChild(kept);
	EXPECT_TRUE(ZEB::killAllComments(kept));
	EXPECT_EQ(a->LastChild(), kept);
	EXPECT_FALSE(ZEB::killAllComments(nullptr));
}
