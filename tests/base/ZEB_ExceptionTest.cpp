#include <gtest/gtest.h>

#include <stdexcept>

#include "TestSupport.h"
#include "ZEB_Exception.h"

TEST(Exception, EmptyStackGivesEmptyTexts) {
	ZEB::Exception ex;
	EXPECT_STREQ(ex.what(), "");
	EXPECT_STREQ(ex.location(), "");
	EXPECT_EQ(ex.msgStack(), "");
}

TEST(Exception, ContextKeepsWholeStack) {
	try {
		try {
			try {
				throw ZEB::Exception(ZEB::FormatString("File '%1' missing.").arg("a.txt"), "[Reader::open]");
			}
			catch (ZEB::Exception & ex) {
				throw ZEB::Exception(ex, "Error reading climate.", "");
			}
		}
		catch (ZEB::Exception & ex) {
			throw ZEB::Exception(ex, ZEB::FormatString("Init of '%1' failed.").arg("room"), "[InstanceData::init]");
		}
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Init of 'room' failed.");
		EXPECT_STREQ(ex.location(), "[InstanceData::init]");
		EXPECT_EQ(ex.msgStack(), "File 'a.txt' missing. \nError reading climate. \nInit of 'room' failed.");

		ZEB::Exception copy(ex);
		EXPECT_EQ(copy.msgStack(), ex.msgStack());
	}
}

TEST(Exception, StandardExceptionBecomesFirstEntry) {
	std::out_of_range oor("index 7");
	ZEB::Exception ex(oor, ZEB::FormatString("Bad row %1.").arg(7), "[CSVReader::read]");
	EXPECT_STREQ(ex.what(), "Bad row 7.");
	EXPECT_EQ(ex.msgStack(), "index 7 \nBad row 7.");

	TestSupport::MessageRecorder handler;
	ex.writeMsgStackToError();
	ASSERT_EQ(handler.m_messages.size(), 2u);
	EXPECT_EQ(handler.m_messages[0].m_location, "[CSVReader::read]");
	EXPECT_EQ(handler.m_messages[1].m_location, "[CSVReader::read]");
}

TEST(Exception, WritesStackOldestFirstAsErrors) {
	TestSupport::MessageRecorder handler;

	ZEB::Exception().writeMsgStackToError();
	EXPECT_TRUE(handler.m_messages.empty());

	ZEB::Exception inner("first", "[A::a]");
	ZEB::Exception middle(inner, "second", "");
	ZEB::Exception outer(middle, ZEB::FormatString("third"), "[C::c]");
	outer.writeMsgStackToError();
	ASSERT_EQ(handler.m_messages.size(), 3u);
	const char * texts[] = {"first", "second", "third"};
	const char * locations[] = {"[A::a]", "", "[C::c]"};
	for (int i = 0; i < 3; ++i) {
		EXPECT_EQ(handler.m_messages[i].m_text, texts[i]);
		EXPECT_EQ(handler.m_messages[i].m_location, locations[i]);
		EXPECT_EQ(handler.m_messages[i].m_type, ZEB::MSG_ERROR);
		EXPECT_EQ(handler.m_messages[i].m_level, 1);
	}
	// writing does not consume the stack
	outer.writeMsgStackToError();
	EXPECT_EQ(handler.m_messages.size(), 6u);
}
