#include <gtest/gtest.h>

#include <locale>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"

namespace {

// Runs f and hands back the ZEB::Exception it throws, so message and location can be checked.
template <typename F>
ZEB::Exception thrownBy(F f) {
	try {
		f();
	}
	catch (const ZEB::Exception & ex) {
		return ex;
	}
	ADD_FAILURE() << "no ZEB::Exception thrown";
	return ZEB::Exception();
}

const double INF = std::numeric_limits<double>::infinity();

} // namespace

TEST(Conversions, DoubleReadsLongestLeadingNumber) {
	EXPECT_EQ(12.0, ZEB::string2val<double>("12abc"));
	EXPECT_EQ(0.0, ZEB::string2val<double>("0x10"));
	EXPECT_EQ(1.0, ZEB::string2val<double>("1,5"));
	EXPECT_EQ(100000.0, ZEB::string2val<double>("1e5"));
	EXPECT_EQ(-0.025, ZEB::string2val<double>("-2.5E-2"));
	EXPECT_EQ(1.0, ZEB::string2val<double>("1e"));
	EXPECT_EQ(2.0, ZEB::string2val<double>("2e+x"));
	EXPECT_EQ(0.5, ZEB::string2val<double>(".5"));
	EXPECT_EQ(-0.5, ZEB::string2val<double>("-.5"));
	EXPECT_EQ(5.0, ZEB::string2val<double>("5."));
	EXPECT_EQ(-INF, ZEB::string2val<double>("-Infinity"));
	EXPECT_EQ(INF, ZEB::string2val<double>("inf"));
	EXPECT_TRUE(std::isnan(ZEB::string2val<double>("NAN")));
	EXPECT_TRUE(std::isnan(ZEB::string2val<double>("nan(x)")));
	// Only the exact spelling is the NaN marker; otherwise its leading "1." is a number.
	EXPECT_EQ(1.0, ZEB::string2val<double>("1.#qnan"));
}

TEST(Conversions, NanMarkerGivesQuietNanAndRoundTrips) {
	double v = ZEB::string2val<double>("1.#QNAN");
	std::uint64_t bits;
	std::memcpy(&bits, &v, sizeof bits);
	EXPECT_EQ(0x7FF8000000000000ull, bits);

	EXPECT_EQ("1.#QNAN", ZEB::val2string<double>(std::numeric_limits<double>::quiet_NaN()));
	EXPECT_EQ("1.#QNAN", ZEB::val2string<double>(-std::numeric_limits<double>::quiet_NaN()));
	EXPECT_TRUE(std::isnan(ZEB::string2val<double>(ZEB::val2string<double>(std::nan("")))));
}

TEST(Conversions, DoubleRejectsTextWithoutLeadingNumber) {
	for (const char * t : {"", " 1", "+1", ".", "-", "abc", "e5"})
		EXPECT_THROW(ZEB::string2val<double>(t), ZEB::Exception) << "'" << t << "'";
	ZEB::Exception ex = thrownBy([] { ZEB::string2val<double>(" 1"); });
	EXPECT_STREQ("Could not convert ' 1' into value.", ex.what());
	EXPECT_STREQ("[ZEB::string2val<double>]", ex.location());
}

TEST(Conversions, DoubleWithDefaultNeverThrows) {
	EXPECT_EQ(7.0, ZEB::string2valDef<double>("abc", 7.0));
	EXPECT_EQ(7.0, ZEB::string2valDef<double>("", 7.0));
	EXPECT_EQ(7.0, ZEB::string2valDef<double>("+1", 7.0));
	EXPECT_EQ(2.5, ZEB::string2valDef<double>("2.5m", 7.0));
	EXPECT_TRUE(std::isnan(ZEB::string2valDef<double>("1.#QNAN", 7.0)));
}

TEST(Conversions, IntegersUseStreamExtraction) {
	EXPECT_EQ(42, ZEB::string2val<int>("  42 "));
	EXPECT_EQ(4, ZEB::string2val<int>("4x"));
	EXPECT_EQ(12, ZEB::string2val<int>("12.5"));
	EXPECT_EQ(-7, ZEB::string2val<int>("-7"));
	EXPECT_EQ(3, ZEB::string2val<int>("+3"));
	EXPECT_EQ(2147483647, ZEB::string2val<int>("2147483647"));
	EXPECT_EQ(4294967295u, ZEB::string2val<unsigned int>("4294967295"));
	EXPECT_EQ(17u, ZEB::string2val<unsigned int>("\t17\n"));

	for (const char * t : {"x4", "", "3000000000", "2147483648", "-"}) {
		ZEB::Exception ex = thrownBy([t] { ZEB::string2val<int>(t); });
		EXPECT_EQ("Could not convert '" + std::string(t) + "' into value.", ex.what());
		EXPECT_STREQ("[string2val]", ex.location());
	}
	for (const char * t : {"x", "", "4294967296"}) {
		ZEB::Exception ex = thrownBy([t] { ZEB::string2val<unsigned int>(t); });
		EXPECT_STREQ("[string2val]", ex.location()) << "'" << t << "'";
	}
}

TEST(Conversions, BoolAcceptsOnlyExactSpellings) {
	EXPECT_TRUE(ZEB::string2val<bool>("true"));
	EXPECT_TRUE(ZEB::string2val<bool>("1"));
	EXPECT_FALSE(ZEB::string2val<bool>("false"));
	EXPECT_FALSE(ZEB::string2val<bool>("0"));
	for (const char * t : {"TRUE", " true", "true ", "yes", "", "2", "01"})
		EXPECT_THROW(ZEB::string2val<bool>(t), ZEB::Exception) << "'" << t << "'";
	ZEB::Exception ex = thrownBy([] { ZEB::string2val<bool>("yes"); });
	EXPECT_STREQ("Could not convert 'yes' into bool.", ex.what());
	EXPECT_STREQ("[ZEB::string2val<bool>]", ex.location());
}

TEST(Conversions, ValueToTextUsesStreamDefaults) {
	EXPECT_EQ("0.1", ZEB::val2string<double>(0.1));
	EXPECT_EQ("1.23457e+06", ZEB::val2string<double>(1234567.0));
	EXPECT_EQ("1e-05", ZEB::val2string<double>(1e-5));
	EXPECT_EQ("inf", ZEB::val2string<double>(INF));
	EXPECT_EQ("-inf", ZEB::val2string<double>(-INF));
	EXPECT_EQ("-42", ZEB::val2string<int>(-42));
	EXPECT_EQ("0", ZEB::val2string<int>(0));
	EXPECT_EQ("4000000000", ZEB::val2string<unsigned int>(4000000000u));
}

TEST(Conversions, FormatDoubleAppliesPrecisionFlagsAndWidth) {
	EXPECT_EQ("   3.142", ZEB::format_double(3.14159, 3, std::ios_base::fixed, 8));
	EXPECT_EQ("3.14", ZEB::format_double(3.14159, 3, std::ios_base::fmtflags(), 0));
	EXPECT_EQ("1.23e+03", ZEB::format_double(1234.5, 2, std::ios_base::scientific, 0));
	EXPECT_EQ("2.5   ", ZEB::format_double(2.5, 1, std::ios_base::fixed | std::ios_base::left, 6));
	// The width is a minimum, never a cut.
	EXPECT_EQ("12345.0", ZEB::format_double(12345.0, 1, std::ios_base::fixed, 3));
	// No NaN marker here, unlike val2string.
	EXPECT_EQ("nan", ZEB::format_double(std::numeric_limits<double>::quiet_NaN(), 3, std::ios_base::fixed, 0));
}

TEST(Conversions, ValueVectorSplitsAtWhiteSpace) {
	std::vector<double> v{9, 9};
	ZEB::string2valueVector("1 2\t3\r\n", v);
	EXPECT_EQ((std::vector<double>{1, 2, 3}), v);
	ZEB::string2valueVector("", v);
	EXPECT_TRUE(v.empty());
	v = {9};
	ZEB::string2valueVector(" \t  \t", v);
	EXPECT_TRUE(v.empty());
	ZEB::string2valueVector("1e3 -2.5E-1", v);
	EXPECT_EQ((std::vector<double>{1000, -0.25}), v);
	ZEB::string2valueVector("1.#QNAN", v);
	EXPECT_EQ((std::vector<double>{1}), v);
	ZEB::string2valueVector("4;5", v);
	EXPECT_EQ((std::vector<double>{4}), v);
	ZEB::string2valueVector("  2.5m 1,5 ", v);
	EXPECT_EQ((std::vector<double>{2.5, 1}), v);
}

TEST(Conversions, ValueVectorReportsBadTokenAndKeepsEarlierValues) {
	std::vector<double> v;
	ZEB::Exception ex = thrownBy([&v] { ZEB::string2valueVector("1 2 x", v); });
	EXPECT_STREQ("'x' at character pos #4 is not a valid number.", ex.what());
	EXPECT_STREQ("[ZEB::string2valueVector]", ex.location());
	EXPECT_EQ((std::vector<double>{1, 2}), v);

	ex = thrownBy([&v] { ZEB::string2valueVector(" \t7  abc 8", v); });
	EXPECT_STREQ("'abc' at character pos #5 is not a valid number.", ex.what());
	EXPECT_EQ((std::vector<double>{7}), v);

	for (const char * t : {"inf", "-infinity", "nan", "+5", "."})
		EXPECT_THROW(ZEB::string2valueVector(t, v), ZEB::Exception) << "'" << t << "'";
}

TEST(Conversions, HexDigitsInBothCases) {
	const std::string digits = "0123456789abcdef";
	for (short i = 0; i < 16; ++i) {
		EXPECT_EQ(i, ZEB::HexToShort(digits[i]));
		EXPECT_EQ(i, ZEB::HexToShort(static_cast<char>(std::toupper(digits[i]))));
	}
	for (char c : {'g', 'G', '/', ':', '@', '`', ' ', '\0'}) {
		ZEB::Exception ex = thrownBy([c] { ZEB::HexToShort(c); });
		EXPECT_STREQ("Given char does not name a hex!", ex.what()) << int(c);
		EXPECT_STREQ("[HexToShort]", ex.location());
	}
	EXPECT_EQ(255, ZEB::Hex2DToShort('F', 'f'));
	EXPECT_EQ(0, ZEB::Hex2DToShort('0', '0'));
	EXPECT_EQ(122, ZEB::Hex2DToShort('7', 'a'));
	EXPECT_THROW(ZEB::Hex2DToShort('1', 'x'), ZEB::Exception);
	EXPECT_THROW(ZEB::Hex2DToShort('x', '1'), ZEB::Exception);
}

TEST(Conversions, SingleNumberInParenthesesFallsBackToDefault) {
	EXPECT_EQ(12u, ZEB::extractFromParenthesis("Wall (12)", 0u));
	EXPECT_EQ(12u, ZEB::extractFromParenthesis("( 12 )", 0u));
	EXPECT_EQ(12u, ZEB::extractFromParenthesis("Wall (12a)", 0u));
	EXPECT_EQ(3u, ZEB::extractFromParenthesis("a (3) (4)", 0u));
	for (const char * t : {"Wall (x)", "Wall )12(", ")(5)", "Wall 12", "(12", "12)", "()"})
		EXPECT_EQ(5u, ZEB::extractFromParenthesis(t, 5u)) << "'" << t << "'";
}

TEST(Conversions, NumberPairInParenthesesIsAllOrNothing) {
	using P = std::pair<unsigned int, double>;
	const P def(0, 1.5);
	EXPECT_EQ(P(3, 1.5), ZEB::extractFromParenthesis("(3)", def));
	EXPECT_EQ(P(3, 0.5), ZEB::extractFromParenthesis("Room (3,0.5)", def));
	EXPECT_EQ(P(3, 0.5), ZEB::extractFromParenthesis("( 3,0.5)", def));
	// Empty pieces do not count.
	EXPECT_EQ(P(3, 0.5), ZEB::extractFromParenthesis("(,3,,0.5,)", def));
	for (const char * t : {"(3, 0.5)", "(1,2,3)", "(3,x)", "(x,0.5)", "()", "Room", ")3,0.5("})
		EXPECT_EQ(def, ZEB::extractFromParenthesis(t, def)) << "'" << t << "'";
}

TEST(Conversions, VersionNumberFillsMissingPartsWithZero) {
	unsigned int ma = 9, mi = 9, pa = 9;
	ZEB::decode_version_number("1.2", ma, mi, pa);
	EXPECT_EQ(1u, ma); EXPECT_EQ(2u, mi); EXPECT_EQ(0u, pa);
	ZEB::decode_version_number("10.20.30.4", ma, mi, pa);
	EXPECT_EQ(10u, ma); EXPECT_EQ(20u, mi); EXPECT_EQ(30u, pa);
	ZEB::decode_version_number(" 1 . 2 ", ma, mi, pa);
	EXPECT_EQ(1u, ma); EXPECT_EQ(2u, mi); EXPECT_EQ(0u, pa);
	ZEB::decode_version_number("1..2", ma, mi, pa);
	EXPECT_EQ(1u, ma); EXPECT_EQ(2u, mi); EXPECT_EQ(0u, pa);
	ZEB::decode_version_number("7", ma, mi, pa);
	EXPECT_EQ(7u, ma); EXPECT_EQ(0u, mi); EXPECT_EQ(0u, pa);
}

TEST(Conversions, VersionNumberFailureKeepsPartsAssignedBefore) {
	unsigned int ma = 9, mi = 9, pa = 9;
	EXPECT_THROW(ZEB::decode_version_number("", ma, mi, pa), ZEB::Exception);
	ZEB::Exception ex = thrownBy([&] { ZEB::decode_version_number("1.x", ma, mi, pa); });
	EXPECT_STREQ("Cannot parse version string '1.x'", ex.what());
	EXPECT_STREQ("[decode_version_number]", ex.location());
	EXPECT_EQ("Cannot parse version string '1.x'", ex.msgStack());

	ma = mi = pa = 9;
	EXPECT_THROW(ZEB::decode_version_number("1.x.3", ma, mi, pa), ZEB::Exception);
	EXPECT_EQ(3u, pa);
	EXPECT_EQ(9u, mi);
	EXPECT_EQ(9u, ma);
}

TEST(Conversions, IgnoreTheGlobalLocale) {
	// a locale with digit grouping and a decimal comma
	struct Grouping : std::numpunct<char> {
		char do_decimal_point() const override { return ','; }
		char do_thousands_sep() const override { return '.'; }
		std::string do_grouping() const override { return "\3"; }
	};
	const std::locale old = std::locale::global(std::locale(std::locale::classic(), new Grouping));
	EXPECT_EQ(ZEB::val2string<int>(1234567), "1234567");
	EXPECT_EQ(ZEB::val2string<unsigned int>(1234567u), "1234567");
	EXPECT_EQ(ZEB::val2string<double>(1.5), "1.5");
	EXPECT_EQ(ZEB::string2val<int>("1.234"), 1);
	EXPECT_EQ(ZEB::string2val<double>("1.25"), 1.25);
	std::locale::global(old);
}
