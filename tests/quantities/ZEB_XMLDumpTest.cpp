#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <tinyxml.h>

#include "TestSupport.h"
#include "ZEB_XMLDump.h"

TEST(XMLDump, IndentTextsGrowByTwoUpToForty) {
	EXPECT_STREQ(ZEB::getIndent(0), "");
	EXPECT_STREQ(ZEB::getIndent(1), "+ ");
	EXPECT_STREQ(ZEB::getIndent(2), "  + ");
	EXPECT_EQ(std::string(ZEB::getIndent(25)), std::string(38, ' ') + "+ ");
	EXPECT_EQ(std::string(ZEB::getIndentAlt(3)), std::string(6, ' '));
	EXPECT_EQ(std::string(ZEB::getIndentAlt(4000000000u)), std::string(40, ' '));
}


TEST(XMLDump, AttributesShowTheirNumberReadings) {
	TiXmlDocument doc;
	doc.Parse("<e n=\"5\" s=\"abc\" f=\"2.5\"/>");
	testing::internal::CaptureStdout();
	int count = ZEB::dump_attribs_to_stdout(doc.RootElement(), 2);
	EXPECT_EQ(testing::internal::GetCapturedStdout(),
			  "\n  + n: value=[5] int=5 d=5.0\n  + s: value=[abc]\n  + f: value=[2.5] int=2 d=2.5\n");
	EXPECT_EQ(count, 3);

	TiXmlElement bare("bare");
	testing::internal::CaptureStdout();
	EXPECT_EQ(ZEB::dump_attribs_to_stdout(&bare, 0), 0);
	EXPECT_EQ(ZEB::dump_attribs_to_stdout(nullptr, 0), 0);
	EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n");
}


TEST(XMLDump, DumpsFilesNodeByNode) {
	TestSupport::TempDirectory dir("xmldump_");
	const std::string file = dir.file("d.xml");
	std::ofstream(file) << "<?xml version=\"1.0\"?>\n<a x=\"1\"><!--c-->t<b/><c p=\"u\" q=\"v\"/></a>\n";
	const std::string missing = dir.file("missing.xml");

	testing::internal::CaptureStdout();
	ZEB::dump_to_stdout(file.c_str());
	ZEB::dump_to_stdout(missing.c_str());
	EXPECT_EQ(testing::internal::GetCapturedStdout(),
			  "\n" + file + ":\n"
			  "Document\n"
			  "+ Declaration\n"
			  "+ Element [a]\n"
			  "  + x: value=[1] int=1 d=1.0\n"
			  "  1 attribute\n"
			  "  + Comment: [c]\n"
			  "  + Text: [t]\n"
			  "  + Element [b]\n (No attributes)\n"
			  "  + Element [c]\n"
			  "    + p: value=[u]\n"
			  "    + q: value=[v]\n"
			  "    2 attributes\n"
			  "Failed to load file \"" + missing + "\"\n");
}
