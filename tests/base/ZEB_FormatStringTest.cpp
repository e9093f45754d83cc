#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"

using ZEB::FormatString;

TEST(FormatString, MatchesPlaceholdersByNumber) {
	EXPECT_EQ(FormatString("%2, %1").arg("a").arg("b").str(), "b, a");
	EXPECT_EQ(FormatString("%1 of %2").arg(3).arg(7).str(), "3 of 7");
	EXPECT_EQ(FormatString("%1 of %2").arg(3).str(), "3 of %2");
	EXPECT_EQ(FormatString("%1 of %2").arg(3).arg(7).arg(9).str(), "3 of 7");
	EXPECT_EQ(FormatString("%1%1").arg("x").str(), "xx");
	EXPECT_EQ(FormatString("").arg("x").str(), "");

	FormatString ten("%10");
	EXPECT_EQ(ten.str(), "%10");
	for (int i = 1; i <= 10; ++i)
		ten.arg(i);
	EXPECT_EQ(ten.str(), "10");

	EXPECT_EQ(FormatString("%0").arg("a").str(), "%0");
	EXPECT_EQ(FormatString("%01").str(), "%1");
	EXPECT_EQ(FormatString("%01").arg("z").str(), "z");
}

TEST(FormatString, KeepsPercentSignsThatAreNoPlaceholders) {
	EXPECT_EQ(FormatString("100%%").str(), "100%");
	EXPECT_EQ(FormatString("%%1").arg("a").str(), "%1");
	EXPECT_EQ(FormatString("50%").str(), "50%");
	EXPECT_EQ(FormatString("%x").str(), "%x");
	EXPECT_EQ(FormatString("%").str(), "%");
	EXPECT_EQ(FormatString("a%%b%1c").arg("-").str(), "a%b-c");
}

TEST(FormatString, RejectsPlaceholderNumbersBeyondInt) {
	try {
		FormatString f("%3000000000");
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Could not convert '3000000000' into value.");
		EXPECT_STREQ(ex.location(), "[string2val]");
	}
	// a failed append leaves the format string as it was
	FormatString f("a %1");
	f.arg("X");
	EXPECT_THROW(f += " b %2 c %99999999999 d", ZEB::Exception);
	EXPECT_EQ(f.str(), "a X");
}

TEST(FormatString, RendersArguments) {
	const double nan = std::numeric_limits<double>::quiet_NaN();
	EXPECT_EQ(FormatString("%1").arg(1.5).str(), "1.5");
	EXPECT_EQ(FormatString("%1").arg(1.0 / 3).str(), "0.333333");
	EXPECT_EQ(FormatString("%1").arg(nan).str(), "1.#QNAN");
	EXPECT_EQ(FormatString("%1").arg(2.0, 8).str(), "2");				// width ignored with 'g'
	EXPECT_EQ(FormatString("%1").arg(12.5, 5, 'f', 2).str(), "12.50");
	EXPECT_EQ(FormatString("%1").arg(7.0, 4, 'f', 0).str(), "   7");
	EXPECT_EQ(FormatString("%1").arg(3.25, 6, 'f', 1, '0').str(), "0003.2");
	EXPECT_EQ(FormatString("%1").arg(1500.0, 0, 'E', 2).str(), "1.50e+03");
	EXPECT_EQ(FormatString("%1").arg(0.5, 0, 'f').str(), "0.500000");
	EXPECT_EQ(FormatString("%1").arg(0.25, 0, 'e', 1).str(), "2.5e-01");
	EXPECT_EQ(FormatString("%1").arg(1234.5, 10, 'x', 3, '*').str(), "**1.23e+03");
	EXPECT_EQ(FormatString("%1").arg(7ul, 3).str(), "  7");

	EXPECT_EQ(FormatString("%1").arg(42u, 5).str(), "   42");
	EXPECT_EQ(FormatString("%1").arg(42ul, 1).str(), "42");
	EXPECT_EQ(FormatString("%1").arg(-3, 4).str(), "  -3");
	EXPECT_EQ(FormatString("%1").arg("ab", 4, std::ios_base::left).str(), "ab  ");
	EXPECT_EQ(FormatString("%1").arg("ab", 4).str(), "  ab");
	EXPECT_EQ(FormatString("%1").arg("abcdef", 4).str(), "abcdef");
}

TEST(FormatString, AppendingTextKeepsArguments) {
	FormatString f("%1");
	f.arg("a").arg("b");
	f += " and %2";
	EXPECT_EQ(f.str(), "a and b");
	f.set("%1!");
	EXPECT_EQ(f.str(), "%1!");
	f.clear();
	EXPECT_EQ(f.str(), "");

	FormatString g("x=%1");
	g.arg(1);
	EXPECT_EQ(g + ";", "x=1;");
	EXPECT_EQ(std::string("> ") + g, "> x=1");
	std::stringstream strm;
	strm << g;
	EXPECT_EQ(strm.str(), "x=1");
}
