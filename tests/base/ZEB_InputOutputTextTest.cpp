#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ZEB_InputOutput.h"

namespace {

const std::string INVALID_END = "string contains invalid data.";

} // namespace


TEST(TextVectors, WritesTheThreeLayouts) {
	const double values[] = {1, 2.5};
	std::ostringstream out;
	ZEB::write_vector(out, 2, values, 5);
	EXPECT_EQ(out.str(), "    1  2.5\n");

	out.str("");
	ZEB::write_vector(out, std::string("x"), std::vector<double>{1, 2.5}) << "|";
	EXPECT_EQ(out.str(), "x\t1\t2.5\t|");
	out.str("");
	ZEB::write_vector(out, std::string("x"), std::vector<double>());
	EXPECT_EQ(out.str(), "x\t");

	out.str("");
	out.width(4);
	ZEB::write_vector(out, "name", 2, values, 4);
	EXPECT_EQ(out.str(), "name\t   1 2.5\n");
	out.str("");
	ZEB::write_vector(out, "n", 0, values, 4);
	EXPECT_EQ(out.str(), "n\t\n");
	EXPECT_TRUE(out.flags() & std::ios_base::right);

	out.str("");
	ZEB::dump_vector(out, "x", 2, values, 3);
	EXPECT_EQ(out.str(), "x:\n[   1 ]\n[ 2.5 ]\n");
}


TEST(TextVectors, KeepsTheCallersNumberFormatAndRefusesNullNames) {
	const double values[] = {1.0 / 3.0};
	std::ostringstream out;
	out.precision(2);
	out.setf(std::ios_base::fixed, std::ios_base::floatfield);
	ZEB::write_vector(out, 1, values, 6);
	EXPECT_EQ(out.str(), "  0.33\n");

	std::ostringstream bad;
	ZEB::write_vector(bad, nullptr, 1, values, 3);
	EXPECT_TRUE(bad.bad());
	EXPECT_EQ(bad.str(), "");
	std::ostringstream badDump;
	ZEB::dump_vector(badDump, nullptr, 1, values, 3);
	EXPECT_TRUE(badDump.bad());
	EXPECT_EQ(badDump.str(), "");
}


TEST(TextVectors, ReadsAtLeastTwoNumbers) {
	std::vector<double> vec{9};
	std::string errmsg;
	EXPECT_TRUE(ZEB::read_vector(" 1 2.5\t3e2 \n", vec, &errmsg));
	EXPECT_EQ(vec, (std::vector<double>{1, 2.5, 300}));
	EXPECT_EQ(errmsg, "");

	EXPECT_FALSE(ZEB::read_vector("1,2", vec, &errmsg));
	EXPECT_EQ(errmsg, "Couldn't read a vector from string '1,2': " + INVALID_END);
	EXPECT_EQ(vec, std::vector<double>{1});

	EXPECT_FALSE(ZEB::read_vector("", vec, &errmsg));
	EXPECT_EQ(errmsg, "Couldn't read a vector from string ''.");
	EXPECT_TRUE(vec.empty());
	EXPECT_FALSE(ZEB::read_vector("4", vec, &errmsg));
	EXPECT_EQ(errmsg, "Couldn't read a vector from string '4'.");
	EXPECT_EQ(vec, std::vector<double>{4});

	// a number cut off at the end of the text is not dropped silently
	EXPECT_FALSE(ZEB::read_vector("1 2 3e", vec, &errmsg));
	EXPECT_EQ(errmsg, "Couldn't read a vector from string '1 2 3e': " + INVALID_END);
	EXPECT_FALSE(ZEB::read_vector("1 2 x", vec, nullptr));
	EXPECT_FALSE(ZEB::read_vector("1", vec, nullptr));
}

