#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZEB_Exception.h"
#include "ZEB_Unit.h"
#include "ZEB_UnitVector.h"

using TestSupport::throwsWith;

namespace {

ZEB::UnitVector vec(const std::vector<double> & values, const std::string & unit, const std::string & name = "") {
	ZEB::UnitVector v;
	v.m_name = name;
	v.m_unit = ZEB::Unit(unit);
	v.m_data = values;
	return v;
}

// Values of v after converting it into unit.
std::vector<double> into(ZEB::UnitVector v, const std::string & unit) {
	v.convert(ZEB::Unit(unit));
	EXPECT_EQ(v.m_unit.name(), unit);
	return v.m_data;
}

template <typename T>
void put(std::string & bytes, T value) {
	bytes.append(reinterpret_cast<const char *>(&value), sizeof(T));
}

const char * const READ_LOC = "[UnitVector::read]";
const char * const BIN_LOC = "[UnitVector::readBinary]";
const char * const SQRT_MSG = "Conversion error (square-root of negative number)!";

} // namespace


TEST(UnitVector, ConvertsEveryValue) {
	std::vector<double> k = into(vec({0, 100}, "C"), "K");
	EXPECT_DOUBLE_EQ(k[0], 273.15);
	EXPECT_DOUBLE_EQ(k[1], 373.15);
	EXPECT_DOUBLE_EQ(into(vec({1}, "kWh"), "MJ")[0], 3.6);
	EXPECT_DOUBLE_EQ(into(vec({90, 30}, "min"), "h")[1], 0.5);
	EXPECT_NEAR(into(vec({300}, "K"), "C")[0], 26.85, 1e-12);

	ZEB::UnitVector same = vec({-100, 2}, "log(g/m3)");
	same.convert(ZEB::Unit("log(g/m3)"));
	EXPECT_EQ(same.m_data, (std::vector<double>{-100, 2}));

	ZEB::UnitVector m = vec({1, 2}, "m");
	EXPECT_TRUE(throwsWith([&] { m.convert(ZEB::Unit("s")); }, "Can't relate unit [m] to [s]!", "[UnitList::relate_units]"));
	EXPECT_EQ(m.m_data, (std::vector<double>{1, 2}));
	EXPECT_EQ(m.m_unit.name(), "m");
}

TEST(UnitVector, ConvertsSpecialUnitsWithClamping) {
	std::vector<double> d = into(vec({1, 2}, "log(g/m3)"), "kg/m3");
	EXPECT_DOUBLE_EQ(d[0], 0.01);
	EXPECT_DOUBLE_EQ(d[1], 0.1);
	EXPECT_EQ(into(vec({0, -1}, "kg/m3"), "log(mg/m3)"), (std::vector<double>{-50, -50}));
	EXPECT_EQ(into(vec({-50, -60}, "log(g/m3)"), "kg/m3"), (std::vector<double>{1e-50, 1e-50}));
	EXPECT_DOUBLE_EQ(into(vec({-80}, "log(g/m3)"), "g/m3")[0], 1e-47);
	EXPECT_DOUBLE_EQ(into(vec({0}, "log(kg/m3)"), "log(g/m3)")[0], 3);
	EXPECT_DOUBLE_EQ(into(vec({1000}, "g/m3"), "log(kg/m3)")[0], 0);
	EXPECT_DOUBLE_EQ(into(vec({6}, "log(\xC2\xB5g/m3)"), "mg/m3")[0], 1000);
	EXPECT_DOUBLE_EQ(into(vec({2}, "sqrt(h)"), "s")[0], 14400);
	EXPECT_DOUBLE_EQ(into(vec({3}, "sqrt(s)"), "min")[0], 0.15);
	EXPECT_DOUBLE_EQ(into(vec({14400}, "s"), "sqrt(h)")[0], 2);
	EXPECT_DOUBLE_EQ(into(vec({60}, "sqrt(s)"), "sqrt(h)")[0], 1);
	EXPECT_THROW(into(vec({51}, "log(kg/m3)"), "kg/m3"), ZEB::Exception);

	ZEB::UnitVector v = vec({0}, "kg/m3");
	for (double x : {1e-50, 1e-60}) {
		v.convert_special(ZEB::Unit("log(kg/m3)"), x);
		EXPECT_EQ(x, -50);
	}

	// a failing value stops the loop: earlier values are converted, the unit stays
	ZEB::UnitVector s = vec({4, -1, 9}, "s");
	EXPECT_TRUE(throwsWith([&] { s.convert(ZEB::Unit("sqrt(s)")); }, SQRT_MSG, "[UnitVector::convert_special]"));
	EXPECT_EQ(s.m_data, (std::vector<double>{2, -1, 9}));
	EXPECT_EQ(s.m_unit.name(), "s");

	const double nan = std::nan("");
	EXPECT_TRUE(std::isnan(into(vec({nan}, "log(kg/m3)"), "kg/m3")[0]));
	EXPECT_TRUE(std::isnan(into(vec({nan}, "g/m3"), "log(\xC2\xB5g/m3)")[0]));
	EXPECT_TRUE(std::isnan(into(vec({nan}, "h"), "sqrt(s)")[0]));
	EXPECT_TRUE(std::isnan(into(vec({nan}, "sqrt(h)"), "s")[0]));
}

TEST(UnitVector, ClearAndSetKeepName) {
	ZEB::UnitVector v = vec({1, 2}, "K", "T");
	v.clear();
	EXPECT_TRUE(v.m_data.empty());
	EXPECT_EQ(v.m_unit.id(), 0u);
	EXPECT_EQ(v.m_name, "T");
	v.set(3, 2.5, "kWh");
	EXPECT_EQ(v.m_data, (std::vector<double>(3, 2.5)));
	EXPECT_EQ(v.m_unit.name(), "kWh");
	EXPECT_EQ(v.m_name, "T");
	EXPECT_TRUE(throwsWith([&] { v.set(2, 1.0, "kwh"); }, "Unit 'kwh' not found.", "[Unit::set]"));
	EXPECT_EQ(v.m_data, (std::vector<double>(2, 1.0)));
	EXPECT_EQ(v.m_unit.name(), "kWh");
}

TEST(UnitVector, ComparesUnitAndValuesNotName) {
	EXPECT_FALSE(vec({1, 2}, "K", "a") != vec({1, 2}, "K", "b"));
	EXPECT_TRUE(vec({1, 2}, "K") == vec({1, 2}, "K"));
	EXPECT_TRUE(vec({1, 2}, "K") != vec({1, 2}, "C"));
	EXPECT_TRUE(vec({1, 2}, "K") != vec({1}, "K"));
	EXPECT_TRUE(vec({1, 2}, "K") != vec({1, 3}, "K"));
	EXPECT_TRUE(vec({std::nan("")}, "K") != vec({std::nan("")}, "K"));
	EXPECT_FALSE(ZEB::UnitVector() != ZEB::UnitVector());
}

TEST(UnitVector, WritesBaseValuesInOwnUnit) {
	EXPECT_EQ(vec({1, 2}, "K").toString(true), "1 2 K");
	EXPECT_EQ(vec({1, 2}, "K").toString(false), "1 2 ");
	EXPECT_EQ(vec({}, "K").toString(true), "K");
	EXPECT_EQ(ZEB::UnitVector().toString(true), "undefined");
	EXPECT_EQ(vec({20}, "C").toString(true), "-253.15 C");
	EXPECT_EQ(vec({7200}, "h").toString(true), "2 h");

	std::ostringstream out;
	out << '>';
	vec({1, 2.5, 3}, "K").write(out, 2, true);
	EXPECT_EQ(out.str(), ">  1 2.5 3 K");
	std::ostringstream precise;
	precise.precision(3);
	vec({3.14159}, "m").write(precise, 0, false);
	EXPECT_EQ(precise.str(), "3.14 ");

	ZEB::UnitVector bad = vec({-4}, "sqrt(s)");
	EXPECT_TRUE(throwsWith([&] { bad.toString(true); }, SQRT_MSG, "[UnitVector::convert_special]"));
}

TEST(UnitVector, ReadsValuesAndOptionalUnit) {
	ZEB::UnitVector v = vec({9}, "kWh", "name");
	v.read("1 2 3 C", true);
	ASSERT_EQ(v.m_data.size(), 3u);
	EXPECT_DOUBLE_EQ(v.m_data[0], 274.15);
	EXPECT_DOUBLE_EQ(v.m_data[1], 275.15);
	EXPECT_DOUBLE_EQ(v.m_data[2], 276.15);
	EXPECT_EQ(v.m_unit.name(), "K");
	EXPECT_EQ(v.m_name, "name");

	v.read("1 2 3 C", false);
	EXPECT_EQ(v.m_data, (std::vector<double>{1, 2, 3}));
	EXPECT_EQ(v.m_unit.name(), "undefined");
	v.m_unit = ZEB::Unit("kWh");
	v.read(" 4\t5\n6  ", true);
	EXPECT_EQ(v.m_data, (std::vector<double>{4, 5, 6}));
	EXPECT_EQ(v.m_unit.name(), "kWh");
	v.read("1e3 kWh trailing", true);
	EXPECT_DOUBLE_EQ(v.m_data[0], 3.6e9);
	EXPECT_EQ(v.m_unit.name(), "J");
	v.read("2 sqrt(h)", true);
	EXPECT_DOUBLE_EQ(v.m_data[0], 14400);
	EXPECT_EQ(v.m_unit.name(), "s");
	v.read("1 2 foo", false);
	EXPECT_EQ(v.m_unit.name(), "undefined");

	const std::string empty = "Error reading vector data. String was empty or did not contain any values "
							  "(started with string or similar)!";
	v.m_unit = ZEB::Unit("kWh");
	EXPECT_TRUE(throwsWith([&] { v.read("C 1 2", true); }, empty, READ_LOC));
	EXPECT_TRUE(v.m_data.empty());
	EXPECT_EQ(v.m_unit.name(), "kWh");
	EXPECT_TRUE(throwsWith([&] { v.read("", true); }, empty, READ_LOC));
	EXPECT_TRUE(throwsWith([&] { v.read("1 2 foo", true); }, "Invalid vector unit 'foo'!", READ_LOC));
	EXPECT_EQ(v.m_data, (std::vector<double>{1, 2}));
	EXPECT_EQ(v.m_unit.name(), "kWh");
	// the number extraction eats the leading digit of the unit word
	EXPECT_TRUE(throwsWith([&] { v.read("1 2 1/s", true); }, "Invalid vector unit '/s'!", READ_LOC));
	EXPECT_EQ(v.m_data, (std::vector<double>{1, 2, 1}));
	v.read("-3 sqrt(s)", true);
	EXPECT_EQ(v.m_data, (std::vector<double>{9}));
	EXPECT_EQ(v.m_unit.name(), "s");
}

TEST(UnitVector, RoundTripsBinaryForm) {
	std::ostringstream out;
	vec({1, 2}, "K", "T").writeBinary(out);
	std::string expected;
	put<std::uint32_t>(expected, 1);
	expected += 'T';
	put<std::uint64_t>(expected, 2);
	put<double>(expected, 1);
	put<double>(expected, 2);
	EXPECT_EQ(out.str().size(), 29u);
	EXPECT_EQ(out.str(), expected);

	ZEB::UnitVector r = vec({7, 8, 9}, "C", "old");
	std::istringstream in(out.str());
	r.readBinary(in);
	EXPECT_EQ(r.m_name, "T");
	EXPECT_EQ(r.m_data, (std::vector<double>{1, 2}));
	EXPECT_EQ(r.m_unit.name(), "C");

	std::ostringstream none;
	ZEB::UnitVector().writeBinary(none);
	EXPECT_EQ(none.str(), std::string(12, '\0'));
	std::istringstream noneIn(none.str());
	r.readBinary(noneIn);
	EXPECT_TRUE(r.m_data.empty());
	EXPECT_EQ(r.m_name, "");

	ZEB::UnitVector keep = vec({5}, "K", "keep");
	auto unchanged = [&] { return keep.m_name == "keep" && keep.m_data == std::vector<double>{5}; };
	for (std::size_t len : {std::size_t(2), std::size_t(5), std::size_t(12), std::size_t(28)}) {
		std::istringstream cut(expected.substr(0, len));
		EXPECT_THROW(keep.readBinary(cut), ZEB::Exception) << len;
		EXPECT_TRUE(unchanged()) << len;
	}
	std::istringstream cutValues(expected.substr(0, 28));
	EXPECT_TRUE(throwsWith([&] { keep.readBinary(cutValues); }, "Error reading from input stream!", BIN_LOC));
	std::istringstream cutCount(expected.substr(0, 10));
	EXPECT_TRUE(throwsWith([&] { keep.readBinary(cutCount); }, "Error reading from input stream!", BIN_LOC));

	std::string huge;
	put<std::uint32_t>(huge, 0);
	put<std::uint64_t>(huge, 10000001);
	std::istringstream hugeIn(huge);
	EXPECT_TRUE(throwsWith([&] { keep.readBinary(hugeIn); }, "Vector length exceeds given maximum!", BIN_LOC));
	EXPECT_TRUE(unchanged());

	std::ostringstream longName;
	vec({1}, "K", std::string(10001, 'n')).writeBinary(longName);
	std::istringstream longIn(longName.str());
	EXPECT_TRUE(throwsWith([&] { keep.readBinary(longIn); }, "String length exceeds given maximum!", "[read_string_binary]"));
	EXPECT_TRUE(unchanged());
	std::ostringstream maxName;
	vec({1}, "K", std::string(10000, 'n')).writeBinary(maxName);
	std::istringstream maxIn(maxName.str());
	keep.readBinary(maxIn);
	EXPECT_EQ(keep.m_name.size(), 10000u);
}
