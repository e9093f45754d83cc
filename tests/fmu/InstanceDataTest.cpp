#include <gtest/gtest.h>

#include <string>

#include "InstanceData.h"

namespace {

TEST(InstanceData, MakesOneDirectoryNameOfAnyInstanceName) {
	EXPECT_EQ(InstanceData::resultsDirectoryName("Test FMI 2.0 CS"), "Test FMI 2.0 CS");
	EXPECT_EQ(InstanceData::resultsDirectoryName("a/b\\c\td"), "a_b_c_d");
	EXPECT_EQ(InstanceData::resultsDirectoryName(".."), "__");
	EXPECT_EQ(InstanceData::resultsDirectoryName("."), "_");
	// paths drop blanks at the ends, which would leave the data directory itself or its parent
	EXPECT_EQ(InstanceData::resultsDirectoryName(" "), "_");
	EXPECT_EQ(InstanceData::resultsDirectoryName(" .. "), "____");
	// a lead byte without its continuation bytes hides no separator
	EXPECT_EQ(InstanceData::resultsDirectoryName("\xc3/.."), "\xc3_..");
	EXPECT_EQ(InstanceData::resultsDirectoryName("\xf0" "a/.."), "\xf0" "a_..");
	// cut before a character that would pass 200 bytes, never inside it
	std::string umlauts;
	for (unsigned int i = 0; i < 150; ++i)
		umlauts += "\xc3\xa4";
	EXPECT_EQ(InstanceData::resultsDirectoryName("x" + umlauts), "x" + umlauts.substr(0, 198));
}

} // namespace
