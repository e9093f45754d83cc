#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <tinyxml.h>

#include "ZEB_XMLPrinter.h"

namespace {

std::string commentAt(const char * text, int depth) {
	TiXmlComment comment(text);
	return ZEB::PrintToString(&comment, depth);
}

} // namespace


TEST(XMLPrinter, IndentsElementsWithOneTabPerLevel) {
	TiXmlElement a("a");
	a.LinkEndChild(new TiXmlElement("b"));
	EXPECT_EQ(ZEB::PrintToString(&a, 0), "<a>\n\t<b />\n</a>");
	EXPECT_EQ(ZEB::PrintToString(&a, 2), "\t\t<a>\n\t\t\t<b />\n\t\t</a>");

	TiXmlDocument doc;
	doc.Parse("<r k=\"1\" q='say \"hi\"'><t>x &amp; y</t><m>text<e/></m><n><o><p/></o></n></r>");
	EXPECT_EQ(ZEB::PrintToString(doc.RootElement(), 0),
			  "<r k=\"1\" q='say &quot;hi&quot;'>\n"
			  "\t<t>x &amp; y</t>\n"
			  "\t<m>text\n"
			  "\t\t<e />\n"
			  "\t</m>\n"
			  "\t<n>\n"
			  "\t\t<o>\n"
			  "\t\t\t<p />\n"
			  "\t\t</o>\n"
			  "\t</n>\n"
			  "</r>");
}


TEST(XMLPrinter, WritesLineFeedsOfCommentsOutsideTheMarkup) {
	EXPECT_EQ(commentAt("", 1), "");
	EXPECT_EQ(commentAt("\n", 1), "\n");
	EXPECT_EQ(commentAt("\n\n", 1), "\n\n");
	EXPECT_EQ(commentAt("abc", 2), "\t\t<!--abc-->");
	EXPECT_EQ(commentAt("\nabc\n", 2), "\n\t\t<!--abc-->\n");
	EXPECT_EQ(commentAt("a\nb\n", 0), "<!--a\nb-->\n");
}


TEST(XMLPrinter, SavesDocumentsThatLoadAgain) {
	std::string pattern = "/tmp/xmlprinter_XXXXXX";
	ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
	const std::string file = pattern + "/doc.xml";

	TiXmlDocument doc;
	doc.LinkEndChild(new TiXmlComment("top"));
	TiXmlElement * root = new TiXmlElement("root");
	doc.LinkEndChild(root);
	TiXmlElement * child = new TiXmlElement("child");
	child->SetAttribute("v", "1.5");
	child->LinkEndChild(new TiXmlText("some text"));
	root->LinkEndChild(child);
	ASSERT_TRUE(ZEB::SaveFile(doc, file));

	std::ifstream in(file);
	std::stringstream content;
	content << in.rdbuf();
	EXPECT_EQ(content.str(), "<!--top-->\n<root>\n\t<child v=\"1.5\">some text</child>\n</root>\n");

	TiXmlDocument loaded;
	ASSERT_TRUE(loaded.LoadFile(file));
	EXPECT_STREQ(loaded.RootElement()->FirstChildElement("child")->GetText(), "some text");

	EXPECT_FALSE(ZEB::SaveFile(doc, pattern + "/no/such/dir.xml"));
	std::filesystem::remove_all(pattern);
}
