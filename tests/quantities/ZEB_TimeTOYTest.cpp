#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "TestSupport.h"
#include "TimeTestSupport.h"
#include "ZEB_Exception.h"
#include "ZEB_Time.h"

using TestSupport::GlobalCommaLocale;
using ZEB::Time;

namespace {

template <typename F>
std::string thrownText(F f) {
	try { f(); }
	catch (const ZEB::Exception & ex) { return std::string(ex.what()) + " " + ex.location(); }
	return "no exception";
}

/*! Stored seconds as given, without the constructor's normalisation. */
Time raw(double sec) {
	Time t;
	t.m_year = 0;
	t.m_sec = sec;
	return t;
}

} // namespace


TEST(TimeOfYearText, WritesEveryLayout) {
	const Time t(0, 183845.0); // 2 d 3 h 4 min 5 s
	EXPECT_EQ(t.toTOYFormat(Time::TOY_VERBOSE), "   2 days,  3 hours,  4 minutes and  5 seconds");
	EXPECT_EQ(t.toTOYFormat(Time::TOY_VERBOSE_YEARS), "   2 days,  3 hours,  4 minutes and  5 seconds");
	EXPECT_EQ(t.toTOYFormat(Time::TOY_SHORT), "   2 d  3 h  4 min  5 s");
	EXPECT_EQ(t.toTOYFormat(Time::TOY_CLOCK), "  2 d 03:04:05");
	EXPECT_EQ(Time(0, 90061.0).toTOYFormat(Time::TOY_CLOCK), "  1 d 01:01:01");
	EXPECT_EQ(Time(0, 90061.0).toTOYFormat(Time::TOY_VERBOSE), "   1 day ,  1 hour ,  1 minute  and  1 second ");
	EXPECT_EQ(Time(0, 3600.0).toTOYFormat(Time::TOY_VERBOSE), " 1 hour ");
	EXPECT_EQ(Time(0, 3600.0).toTOYFormat(Time::TOY_SHORT), " 1 h");
	EXPECT_EQ(Time(0, 86400 + 23 * 3600 + 5.0).toTOYFormat(Time::TOY_SHORT), "   1 d 23 h  5 s");

	const Time yearOn(0, 31719600.0); // one year, two days, three hours
	EXPECT_EQ(yearOn.toTOYFormat(Time::TOY_VERBOSE_YEARS), "   1 year    2 days,  3 hours");
	EXPECT_EQ(yearOn.toTOYFormat(Time::TOY_SHORT_YEARS), "   1 a   2 d  3 h");
	EXPECT_EQ(yearOn.toTOYFormat(Time::TOY_VERBOSE), " 367 days,  3 hours");

	const Time quarter(0, 0.25);
	EXPECT_EQ(quarter.toTOYFormat(Time::TOY_VERBOSE), "250 milli-seconds");
	EXPECT_EQ(quarter.toTOYFormat(Time::TOY_VERBOSE_YEARS), "");
	EXPECT_EQ(quarter.toTOYFormat(Time::TOY_SHORT_YEARS), "");
	EXPECT_EQ(quarter.toTOYFormat(Time::TOY_CLOCK), "  0 d 00:00:00");
	EXPECT_EQ(Time(0, 1.5).toTOYFormat(Time::TOY_VERBOSE), " 1 second ");

	EXPECT_EQ(thrownText([&] { t.toTOYFormat(static_cast<Time::TOYFormat>(5)); }),
			  "Unsupported format flag. [Time::toTOYFormat]");

	// seconds a 32-bit number cannot hold
	EXPECT_EQ(raw(-5).toTOYFormat(Time::TOY_CLOCK), "  0 d 00:00:00");
	EXPECT_EQ(raw(std::numeric_limits<double>::quiet_NaN()).toTOYFormat(Time::TOY_VERBOSE), "");
	EXPECT_EQ(raw(100000 * 86400.0 + 5).toTOYFormat(Time::TOY_SHORT), "100000 d  5 s");
	EXPECT_EQ(raw(1e300).toTOYFormat(Time::TOY_CLOCK).substr(0, 10), "4294967295");

	GlobalCommaLocale comma; // no digit grouping
	EXPECT_EQ(Time(0, 1234 * 86400.0).toTOYFormat(Time::TOY_SHORT), "1234 d");
}


TEST(TimeOfYearText, ReadsShortLayoutsAsNumberUnitPairs) {
	EXPECT_TRUE(isTime(Time::fromTOY("   2 d  3 h  4 min  5 s", Time::TOY_SHORT), 0, 183845));
	EXPECT_TRUE(isTime(Time::fromTOY("2d 3h", Time::TOY_SHORT), 0, 183600));
	EXPECT_TRUE(isTime(Time::fromTOY("90 min", Time::TOY_SHORT), 0, 5400));
	EXPECT_TRUE(isTime(Time::fromTOY("1\ta\t5s", Time::TOY_SHORT_YEARS), 0, 31536005));
	EXPECT_TRUE(isTime(Time::fromTOY("5 s 1 h 5 s 7", Time::TOY_SHORT), 0, 3610)); // trailing number ignored
	EXPECT_TRUE(isTime(Time::fromTOY("", Time::TOY_SHORT), 0, 0));
	EXPECT_FALSE(Time::fromTOY("2d3h", Time::TOY_SHORT).isValid()); // "d3" is no unit
	EXPECT_FALSE(Time::fromTOY("5 m", Time::TOY_SHORT).isValid());  // metres are not a time

	for (double sec : { 59.0, 183845.0, 31719600.0, 40000000.0 }) {
		for (Time::TOYFormat f : { Time::TOY_SHORT, Time::TOY_SHORT_YEARS })
			EXPECT_TRUE(isTime(Time::fromTOY(Time(0, sec).toTOYFormat(f), f), 0, sec)) << sec;
	}

	GlobalCommaLocale comma;
	EXPECT_TRUE(isTime(Time::fromTOY("1.5 h", Time::TOY_SHORT), 0, 5400));
}


TEST(TimeOfYearText, ReadsClockLayoutWithoutDayLetter) {
	EXPECT_TRUE(isTime(Time::fromTOY("2 03:04:05", Time::TOY_CLOCK), 0, 183845));
	EXPECT_TRUE(isTime(Time::fromTOY("100000 00:00:00", Time::TOY_CLOCK), 0, 8640000000.0)); // no 32-bit wrap
	for (const char * text : { "  2 d 03:04:05", "2 03:04", "-1 00:00:00", "1 -0:0:0", "99999999999 0:0:0", "" })
		EXPECT_FALSE(Time::fromTOY(text, Time::TOY_CLOCK).isValid()) << text;

	for (Time::TOYFormat f : { Time::TOY_VERBOSE, Time::TOY_VERBOSE_YEARS, static_cast<Time::TOYFormat>(7) })
		EXPECT_EQ(thrownText([f] { Time::fromTOY("1 d", f); }), "TOY format not implemented. [Time::fromTOY]");
}
