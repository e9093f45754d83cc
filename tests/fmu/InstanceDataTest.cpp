#include <gtest/gtest.h>

#include "InstanceData.h"
#include "TestSupport.h"
#include "ZEB_Path.h"

namespace {

TEST(InstanceData, DecodesResourceLocationsAsHostsSendThem) {
	EXPECT_EQ(InstanceData::resourceDirectory("file:///tmp/tmp%20dir%20%25x/").str(), "/tmp/tmp dir %x");
	EXPECT_EQ(InstanceData::resourceDirectory("file:/tmp/res").str(), "/tmp/res");
	EXPECT_EQ(InstanceData::resourceDirectory("file://localhost/tmp/res/").str(), "/tmp/res");
	EXPECT_EQ(InstanceData::resourceDirectory("/tmp/tmp%20dir%20%25x").str(), "/tmp/tmp dir %x");
	// what is no escape stays as it is
	EXPECT_EQ(InstanceData::resourceDirectory("file:///tmp/100%/%zz").str(), "/tmp/100%/%zz");
	EXPECT_EQ(TestSupport::failure([] { InstanceData::resourceDirectory("file://server/share"); }),
			  "[InstanceData::resourceDirectory] Resource location 'file://server/share' names another host.");
	EXPECT_EQ(TestSupport::failure([] { InstanceData::resourceDirectory("file://"); }),
			  "[InstanceData::resourceDirectory] Missing resource location ('file://').");
}

} // namespace
