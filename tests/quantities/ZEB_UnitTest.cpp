#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "TestSupport.h"
#include "ZEB_Exception.h"
#include "ZEB_Unit.h"
#include "ZEB_UnitList.h"
#include "ZEB_ptr_list.h"

using TestSupport::throwsWith;

namespace {

ZEB::UnitList * list() { return ZEB::UnitList::instance(); }

double converted(const std::string & from, const std::string & to, double value) {
	list()->convert(ZEB::Unit(from), ZEB::Unit(to), value);
	return value;
}

void expectRecord(const ZEB::UnitData * u, const std::string & name, unsigned int baseId, double factor, unsigned int op) {
	ASSERT_NE(u, nullptr) << name;
	EXPECT_EQ(u->name, name);
	EXPECT_EQ(u->base_id, baseId) << name;
	EXPECT_EQ(u->factor, factor) << name;
	EXPECT_EQ(u->operation, op) << name;
}

struct Counted {
	explicit Counted(int & alive) : m_alive(alive) { ++m_alive; }
	~Counted() { --m_alive; }
	int & m_alive;
};

} // namespace

// Every UnitList test may replace the process-wide table; the built-in one comes back afterwards.
class UnitList : public ::testing::Test {
protected:
	void TearDown() override {
		ZEB::UnitList::instance()->clear();
		ZEB::UnitList::instance()->read_default();
	}
	std::string tempDir() {
		m_tmp.emplace("unitlist");
		m_dir = m_tmp->path();
		return m_dir;
	}
	std::optional<TestSupport::TempDirectory>	m_tmp;
	std::string									m_dir;
};


TEST(Unit, LooksUpByNameAndId) {
	static_assert(!std::is_convertible<std::string, ZEB::Unit>::value, "name constructor is explicit");
	static_assert(!std::is_convertible<unsigned int, ZEB::Unit>::value, "id constructor is explicit");
	EXPECT_EQ(ZEB::Unit().name(), "undefined");
	EXPECT_EQ(ZEB::Unit("undefined").id(), 0u);
	ZEB::Unit c("C");
	EXPECT_EQ(c.id(), 183u);
	EXPECT_EQ(c.base_id(), 182u);
	EXPECT_EQ(c.base_unit(), ZEB::Unit("K"));
	EXPECT_EQ(ZEB::Unit(252u).name(), "Kh");
	EXPECT_EQ(ZEB::Unit("\xC2\xB5g/s").id(), 50u);

	EXPECT_TRUE(throwsWith([] { ZEB::Unit u(253u); }, "Unit index 253 out of range 0..252.", "[Unit::Unit]"));
	EXPECT_TRUE(throwsWith([] { ZEB::Unit u("mm/mK"); }, "Unit 'mm/mK' not found.", "[Unit::Unit]"));
	EXPECT_TRUE(throwsWith([] { ZEB::Unit u("kwh"); }, "Unit 'kwh' not found.", "[Unit::Unit]"));
	ZEB::Unit bad;
	bad.m_id = 300;
	EXPECT_TRUE(throwsWith([&] { bad.name(); }, "[UnitList::retrieve]  Unit index 300 out of range 0..252!",
						   "[UnitList::retrieve]"));
}

TEST(Unit, SetKeepsUnitOnFailure) {
	ZEB::Unit u;
	u.set("kWh");
	EXPECT_EQ(u.id(), 95u);
	EXPECT_TRUE(throwsWith([&] { u.set("KWH"); }, "Unit 'KWH' not found.", "[Unit::set]"));
	EXPECT_TRUE(throwsWith([&] { u.set(999u); }, "Unit index 999 out of range 0..252.", "[Unit::set]"));
	EXPECT_EQ(u.name(), "kWh");
	u.set(0u);
	EXPECT_EQ(u.name(), "undefined");
}

TEST(Unit, StreamsByName) {
	std::ostringstream out;
	out << ZEB::Unit("W/m2") << '|';
	EXPECT_EQ(out.str(), "W/m2|");
	EXPECT_EQ(ZEB::FormatString("in %1.").arg(ZEB::Unit("kWh")).str(), "in kWh.");

	std::istringstream in("  kWh\tmin ");
	ZEB::Unit a, b, c("K");
	in >> a >> b;
	EXPECT_EQ(a.name(), "kWh");
	EXPECT_EQ(b.name(), "min");
	in >> c;	// nothing left: unit unchanged
	EXPECT_EQ(c.name(), "K");
	std::istringstream bad("kelvin");
	EXPECT_TRUE(throwsWith([&] { bad >> c; }, "Unit 'kelvin' not found.", "[Unit::Unit]"));
	EXPECT_EQ(c.name(), "K");
}

TEST(Unit, RelatesToUnitOfSameBase) {
	double f = 0;
	unsigned int op = 0;
	ZEB::Unit("C").relate_to(ZEB::Unit("C"), f, op);
	EXPECT_EQ(f, 1.0);
	EXPECT_EQ(op, 3u);
	ZEB::Unit("C").relate_to("K", f, op);
	EXPECT_DOUBLE_EQ(f, 273.15);
	EXPECT_EQ(op, 1u);
	ZEB::Unit("min").relate_to(ZEB::Unit("h").id(), f, op);
	EXPECT_DOUBLE_EQ(f, 1.0 / 60);
	EXPECT_EQ(op, 3u);
	ZEB::Unit("s").relate_to("sqrt(h)", f, op);
	EXPECT_EQ(op, 5u);
	EXPECT_TRUE(throwsWith([&] { ZEB::Unit("s").relate_to("m", f, op); }, "Can't relate unit [s] to [m]!",
						   "[UnitList::relate_units]"));
	EXPECT_TRUE(throwsWith([&] { ZEB::Unit("s").relate_to("sec", f, op); }, "Unit 'sec' not found.",
						   "[Unit::relate_to]"));
	EXPECT_TRUE(throwsWith([&] { ZEB::Unit("s").relate_to(400u, f, op); },
						   "[UnitList::retrieve]  Unit index 400 out of range 0..252!", "[UnitList::retrieve]"));
}


TEST_F(UnitList, HoldsBuiltInTable) {
	ASSERT_EQ(list()->size(), 253u);
	std::set<std::string> names;
	unsigned int bases = 0, specials = 0;
	for (unsigned int i = 0; i < list()->size(); ++i) {
		const ZEB::UnitData * u = list()->retrieve(i);
		EXPECT_EQ(u->id, i);
		EXPECT_EQ(list()->retrieve(u->base_id)->base_id, u->base_id) << u->name;
		EXPECT_TRUE(names.insert(u->name).second) << u->name;
		bases += u->id == u->base_id;
		specials += u->operation == 5;
		EXPECT_NE(u->operation, 1u) << u->name;
		if (u->operation == 2) {
			EXPECT_EQ(u->name, "C");
		}
	}
	EXPECT_EQ(bases, 80u);
	EXPECT_EQ(specials, 6u);

	expectRecord(list()->retrieve(183u), "C", 182, 273.15, 2);
	expectRecord(list()->retrieve(18u), "sqrt(s)", 13, 0, 5);
	expectRecord(list()->retrieve(223u), "-", 223, 1, 0);
	expectRecord(list()->retrieve(224u), "mm/m", 224, 1, 0);
	expectRecord(list()->retrieve("g/a"), "g/a", 42, 31536e6, 3);
	expectRecord(list()->retrieve("MW/m2s"), "MW/m2s", 238, 1e6, 4);
	EXPECT_EQ(list()->retrieve("\xC2\xB5g/m3")->id, 71u);
	EXPECT_EQ(list()->retrieve("mm/mK"), nullptr);
	EXPECT_EQ(list()->retrieve("KWH"), nullptr);
	EXPECT_TRUE(throwsWith([] { list()->retrieve(253u); },
						   "[UnitList::retrieve]  Unit index 253 out of range 0..252!", "[UnitList::retrieve]"));
}

TEST_F(UnitList, EnumeratesUnits) {
	std::vector<ZEB::Unit> v(3);
	list()->all_units(v);
	ASSERT_EQ(v.size(), 252u);
	EXPECT_EQ(v.front().name(), "m");
	list()->base_units(v);
	ASSERT_EQ(v.size(), 80u);
	EXPECT_EQ(v[0].name(), "undefined");
	EXPECT_TRUE(list()->convertible_units(v, ZEB::Unit("C"), true));
	ASSERT_EQ(v.size(), 1u);
	EXPECT_EQ(v[0].name(), "K");
	EXPECT_TRUE(list()->convertible_units(v, ZEB::Unit("C"), false));
	ASSERT_EQ(v.size(), 2u);
	EXPECT_EQ(v[1].name(), "C");
	EXPECT_FALSE(list()->convertible_units(v, ZEB::Unit("Kh"), true));
	EXPECT_TRUE(v.empty());
	EXPECT_TRUE(list()->convertible_units(v, ZEB::Unit("log(g/m3)"), true));
	EXPECT_EQ(v.size(), 10u);
}

TEST_F(UnitList, ConvertsThroughBaseUnit) {
	EXPECT_DOUBLE_EQ(converted("C", "K", 20), 293.15);		EXPECT_DOUBLE_EQ(converted("K", "C", 293.15), 20);
	EXPECT_DOUBLE_EQ(converted("K", "C", 0), -273.15);		EXPECT_DOUBLE_EQ(converted("kWh", "J", 1), 3.6e6);
	EXPECT_DOUBLE_EQ(converted("kWh", "MJ", 1), 3.6);		EXPECT_DOUBLE_EQ(converted("min", "h", 90), 1.5);
	EXPECT_DOUBLE_EQ(converted("h", "ms", 1), 3.6e6);		EXPECT_DOUBLE_EQ(converted("mm", "cm", 25), 2.5);
	EXPECT_EQ(converted("J/m2s", "W/m2", 1), 1.0);			EXPECT_EQ(converted("K", "K", 7), 7.0);
	TestSupport::MessageRecorder h;
	double v = 5;
	EXPECT_TRUE(throwsWith([&] { list()->convert(ZEB::Unit("m"), ZEB::Unit("s"), v); },
						   "Can't relate unit [m] to [s]!", "[UnitList::relate_units]"));
	EXPECT_EQ(v, 5.0);
	EXPECT_TRUE(h.m_messages.empty());
}

TEST_F(UnitList, RelatesByOperationPair) {
	ASSERT_TRUE(list()->read(std::string("b + 2 p - 3 q * 4 x / 5 y / 0 z ^ 7 w;c * 0 zero + 1 cp"), true));
	auto rel = [](const char * from, const char * to, double ef, unsigned int eop) {
		double f = -99;
		unsigned int op = 99;
		list()->relate_units(list()->retrieve(from), list()->retrieve(to), f, op);
		EXPECT_DOUBLE_EQ(f, ef) << from << " -> " << to;
		EXPECT_EQ(op, eop) << from << " -> " << to;
	};
	rel("b", "b", 1, 0);	rel("b", "w", 1, 0);	rel("w", "b", 1, 0);
	rel("b", "p", 2, 1);	rel("b", "q", -3, 1);	rel("b", "x", 4, 3);	rel("b", "y", 0.2, 3);
	rel("p", "b", -2, 1);	rel("p", "p", 0, 1);	rel("p", "q", -5, 1);
	rel("q", "b", 3, 1);	rel("q", "p", 5, 1);	rel("q", "q", 0, 1);
	rel("x", "b", 0.25, 3);	rel("x", "x", 1, 3);	rel("x", "y", 0.05, 3);
	rel("y", "b", 5, 3);	rel("y", "x", 20, 3);	rel("y", "y", 1, 3);
	EXPECT_EQ(converted("p", "q", 10), 5.0);
	EXPECT_EQ(converted("b", "w", 10), 10.0);

	const std::string loc = "[UnitList::relate_units]";
	const std::string d = "Div by zero! (tried to convert [";
	const std::string m = "* and / operations not allowed when using + and - operations! (tried to convert [";
	const std::string p = "+ and - operations not allowed when using * and / operations! (tried to convert [";
	auto refuses = [&](const std::string & from, const std::string & to, const std::string & msg) {
		return throwsWith([&] { converted(from, to, 1); }, msg + from + "] to [" + to + "] )!", loc);
	};
	// a zero source factor fails before the target's operation is looked at
	for (const char * from : {"b", "x", "y"})
		EXPECT_TRUE(refuses(from, "z", d));
	EXPECT_TRUE(refuses("zero", "c", d));	EXPECT_TRUE(refuses("zero", "cp", d));
	EXPECT_TRUE(refuses("p", "x", m));		EXPECT_TRUE(refuses("q", "y", m));
	EXPECT_TRUE(refuses("x", "p", p));		EXPECT_TRUE(refuses("y", "q", p));
	EXPECT_TRUE(throwsWith([] { converted("b", "c", 1); }, "Can't relate unit [b] to [c]!", loc));
}

TEST_F(UnitList, ConvertsSpecialUnits) {
	const std::string loc = "[UnitList::convert_special]";
	EXPECT_DOUBLE_EQ(converted("log(kg/m3)", "kg/m3", 0), 1);
	EXPECT_DOUBLE_EQ(converted("log(kg/m3)", "kg/m3", -3), 0.001);
	EXPECT_DOUBLE_EQ(converted("log(\xC2\xB5g/m3)", "kg/m3", 9), 1);
	EXPECT_DOUBLE_EQ(converted("g/m3", "log(\xC2\xB5g/m3)", 1), 6);
	EXPECT_DOUBLE_EQ(converted("log(g/m3)", "log(mg/m3)", 0), 3);
	EXPECT_DOUBLE_EQ(converted("sqrt(h)", "s", 2), 14400);
	EXPECT_DOUBLE_EQ(converted("sqrt(s)", "min", 3), 0.15);
	EXPECT_DOUBLE_EQ(converted("h", "sqrt(h)", 4), 2);
	EXPECT_DOUBLE_EQ(converted("sqrt(s)", "sqrt(h)", 60), 1);
	EXPECT_TRUE(throwsWith([] { converted("kg/m3", "log(g/m3)", 0); },
						   "Trying to take logarithm of zero or negative number!", loc));
	EXPECT_TRUE(throwsWith([] { converted("s", "sqrt(s)", -1); },
						   "Trying to take square root of negative number!", loc));
	EXPECT_THROW(converted("log(kg/m3)", "kg/m3", 51), ZEB::Exception);
	const double nan = std::nan("");
	EXPECT_TRUE(std::isnan(converted("log(kg/m3)", "kg/m3", nan)));
	EXPECT_TRUE(std::isnan(converted("kg/m3", "log(mg/m3)", nan)));
	EXPECT_TRUE(std::isnan(converted("s", "sqrt(h)", nan)));

	// special units whose names have no rule pass the value through the base unit unchanged
	ASSERT_TRUE(list()->read(std::string("b % 0 odd * 2 dbl % 0 other"), true));
	EXPECT_EQ(converted("odd", "dbl", 5), 10.0);
	EXPECT_EQ(converted("dbl", "odd", 5), 5.0);
	EXPECT_EQ(converted("odd", "other", -4), -4.0);
}

TEST_F(UnitList, IntegratesOverSpaceAndTime) {
	auto integral = [](const char * unit, bool space, bool time) {
		return ZEB::UnitList::integralQuantity(ZEB::Unit(unit), space, time).name();
	};
	struct Case { const char * unit; bool space, time; const char * result; };
	for (const Case & c : std::vector<Case>{
			{"W/m2", false, true, "J/m2"}, {"W/m2", true, false, "J/s"}, {"W/m2", true, true, "J"},
			{"W/m2", false, false, "W/m2"}, {"undefined", false, false, "undefined"}, {"g/m2h", false, true, "kg/m2"},
			{"kg/m2s", true, false, "kg/s"}, {"W/m3", false, true, "J/m3"}, {"W/m3", true, false, "J/s"},
			{"kg/ms", false, true, "kg/m"}, {"kg/ms", true, false, "kg/s"}, {"kg/ms", true, true, "kg"},
			{"kg/m3h", true, true, "kg"}, {"kW", false, true, "J"}, {"g/h", false, true, "kg"},
			{"m3/h", false, true, "m3"}, {"1/h", false, true, "1"}, {"h/s", false, true, "s"},
			{"g/m3", true, false, "kg"}, {"kWh/m2", true, false, "J"}})
		EXPECT_EQ(integral(c.unit, c.space, c.time), c.result) << c.unit << ' ' << c.space << c.time;
	const std::string loc = "[UnitList::integralQuantity]";
	const std::string msg = "Cannot obtain integral unit for base unit ";
	EXPECT_TRUE(throwsWith([&] { integral("W", true, false); }, msg + "J/s.", loc));
	EXPECT_TRUE(throwsWith([&] { integral("1/s", true, true); }, msg + "1/s.", loc));
	EXPECT_TRUE(throwsWith([&] { integral("kJ", false, true); }, msg + "J.", loc));
	EXPECT_TRUE(throwsWith([&] { integral("mm/h", false, true); }, "Unit 'l/m2' not found.", "[Unit::Unit]"));

	ASSERT_TRUE(list()->read(std::string("/s * 2 x;/m2 "), true));
	EXPECT_TRUE(throwsWith([&] { integral("x", false, true); }, msg + "/s.", loc));
	EXPECT_TRUE(throwsWith([&] { integral("/m2", true, false); }, msg + "/m2.", loc));
}

TEST_F(UnitList, ReplacesBracketedUnitWithTimeIntegral) {
	EXPECT_EQ(ZEB::UnitList::replaceUnitWithIntegralUnit("Q [W] sum"), "Q [J] sum");
	EXPECT_EQ(ZEB::UnitList::replaceUnitWithIntegralUnit("q [W/m2] x [W]"), "q [J/m2] x [W]");
	EXPECT_EQ(ZEB::UnitList::replaceUnitWithIntegralUnit("[kg/h]"), "[kg]");
	const std::string loc = "[UnitList::replaceUnitWithIntegralUnit]";
	for (const char * text : {"Q W", "Q ]W[", "Q [W", "Q W]", "Q ] [W]"})
		EXPECT_TRUE(throwsWith([&] { ZEB::UnitList::replaceUnitWithIntegralUnit(text); },
							   std::string("Malformed string '") + text + "', expected [<unit>] within string.", loc));
	EXPECT_TRUE(throwsWith([] { ZEB::UnitList::replaceUnitWithIntegralUnit("Q [Watt]"); },
						   "Unit 'Watt' not found.", "[Unit::Unit]"));
	EXPECT_THROW(ZEB::UnitList::replaceUnitWithIntegralUnit("Q [kg/m3]"), ZEB::Exception);
}

TEST_F(UnitList, ReadsTableFromText) {
	EXPECT_TRUE(list()->read(std::string("x * 2 y"), false));	// filled list is kept
	EXPECT_EQ(list()->size(), 253u);

	ASSERT_TRUE(list()->read(std::string("u * 2 v;w"), true));
	ASSERT_EQ(list()->size(), 2u);
	expectRecord(list()->retrieve(1u), "v", 0, 2, 3);
	EXPECT_TRUE(list()->read(std::string("u * 2 v;w "), true));
	ASSERT_EQ(list()->size(), 3u);
	EXPECT_EQ(list()->retrieve("w")->base_id, 2u);

	ASSERT_TRUE(list()->read(std::string("a\t*\t2 b /3 c  ^ 7 d;e - 1.5e1 f; ;x / 0 y"), true));
	ASSERT_EQ(list()->size(), 8u);
	expectRecord(list()->retrieve(2u), "c", 0, 3, 4);
	expectRecord(list()->retrieve(3u), "d", 0, 7, 0);
	expectRecord(list()->retrieve(5u), "f", 4, 15, 2);
	expectRecord(list()->retrieve(7u), "y", 6, 0, 4);
	EXPECT_TRUE(throwsWith([] { converted("x", "y", 1); }, "Div by zero! (tried to convert [x] to [y] )!",
						   "[UnitList::relate_units]"));

	EXPECT_TRUE(throwsWith([] { list()->read(std::string("a * 2 b;b "), true); },
						   "Duplicate unit 'b' defined.", "[UnitList::read]"));
	EXPECT_EQ(list()->size(), 2u);
	std::istringstream failed("k * 2 l");
	failed.setstate(std::ios::failbit);
	EXPECT_FALSE(list()->read(failed, true));
	EXPECT_EQ(list()->size(), 2u);
}

// Only the last four rows of the built-in text end their name directly at ';'.
TEST_F(UnitList, StreamReaderSkipsBareLastRowsOfBuiltInText) {
	ASSERT_TRUE(list()->read(std::string(ZEB::DEFAULT_UNITS), true));
	EXPECT_EQ(list()->size(), 249u);
	EXPECT_EQ(list()->retrieve(0u)->name, "undefined");
	EXPECT_EQ(list()->retrieve(34u)->name, "m/s2");
	EXPECT_EQ(list()->retrieve(223u)->name, "-");
	EXPECT_NE(list()->retrieve("W/K"), nullptr);
	EXPECT_EQ(list()->retrieve("Kh"), nullptr);
}

TEST_F(UnitList, EmptiedListRefusesLookups) {
	EXPECT_FALSE(list()->read(std::string("w;;"), true));
	EXPECT_TRUE(list()->empty());
	std::vector<ZEB::Unit> v(2);
	list()->base_units(v);
	EXPECT_EQ(v.size(), 2u);
	EXPECT_FALSE(list()->convertible_units(v, ZEB::Unit(), false));
	EXPECT_TRUE(v.empty());
	EXPECT_TRUE(throwsWith([] { ZEB::Unit u("K"); }, "Unit 'K' not found.", "[Unit::Unit]"));
	EXPECT_TRUE(throwsWith([] { ZEB::Unit u(0u); }, "Unit index 0 out of range 0..-1.", "[Unit::Unit]"));
	EXPECT_FALSE(list()->write(tempDir() + "/none.txt"));
	EXPECT_FALSE(std::filesystem::exists(m_dir + "/none.txt"));
	EXPECT_TRUE(list()->read(std::string("k * 2 l"), false));	// an empty list is filled even without overwrite
	EXPECT_EQ(list()->size(), 2u);
}

TEST_F(UnitList, RestoreGivesBuiltInTableAgain) {
	ASSERT_TRUE(list()->read(std::string("a * 2 b"), true));
	TestSupport::MessageRecorder h;
	list()->clear();
	EXPECT_TRUE(list()->read_default());
	EXPECT_EQ(list()->size(), 253u);
	EXPECT_EQ(ZEB::Unit("C").id(), 183u);
	EXPECT_EQ(ZEB::Unit(252u).name(), "Kh");
	EXPECT_TRUE(h.m_messages.empty());
}

TEST_F(UnitList, WritesTableThatReadsBack) {
	const std::string file = tempDir() + "/units.txt";
	ASSERT_TRUE(list()->write(file));
	std::ifstream in(file);
	std::string line;
	std::getline(in, line);
	EXPECT_EQ(line, "undefined    ;");
	std::getline(in, line);
	auto field = [](const std::string & text, std::size_t width) { return text + std::string(width - text.size(), ' '); };
	EXPECT_EQ(line, field("m", 13) + field("* 1000 mm ", 20) + field("* 100 cm ", 20) + field("* 10 dm ", 20) + ";");
	for (int i = 0; i < 3; ++i)
		std::getline(in, line);
	EXPECT_NE(line.find(field("/ 3.1536e+07 a ", 20) + field("% 0 sqrt(s) ", 20) + field("% 0 sqrt(h) ", 20) +
						"* 1000 ms "), std::string::npos)
		<< line;
	EXPECT_FALSE(list()->write(m_dir + "/missing/units.txt"));

	std::vector<ZEB::UnitData> before;
	for (const ZEB::UnitData * u : *list())
		before.push_back(*u);
	EXPECT_FALSE(list()->read_file(m_dir + "/nothere.txt", true));
	EXPECT_EQ(list()->size(), 253u);
	ASSERT_TRUE(list()->read_file(file, true));
	ASSERT_EQ(list()->size(), before.size());
	for (const ZEB::UnitData & b : before) {
		const ZEB::UnitData * u = list()->retrieve(b.id);
		EXPECT_EQ(u->name, b.name);
		EXPECT_EQ(u->base_id, b.base_id) << b.name;
		EXPECT_EQ(u->operation, b.operation) << b.name;
		EXPECT_DOUBLE_EQ(u->factor, b.factor) << b.name;
	}
}

TEST_F(UnitList, PtrListRefusesHeldPointer) {
	int alive = 0;
	{
		ZEB::ptr_list<Counted> l;
		Counted * p = new Counted(alive);
		l.add(p);
		EXPECT_TRUE(throwsWith([&] { l.add(p); }, "Pointer already exists in the list.", "[ptr_list<T>::add]"));
		l.add(nullptr);
		l.add(nullptr);
		l.add(new Counted(alive));
		EXPECT_EQ(l.size(), 4u);
		EXPECT_EQ(alive, 2);
	}
	EXPECT_EQ(alive, 0);
}
