#include <gtest/gtest.h>

#include <ctime>
#include <limits>
#include <string>

#include "TestSupport.h"
#include "TimeTestSupport.h"
#include "ZEB_Exception.h"
#include "ZEB_Time.h"

using TestSupport::GlobalCommaLocale;
using TestSupport::throwsWith;
using ZEB::Time;

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();

} // namespace


TEST(Time, BorrowsWholeYearsForNegativeSeconds) {
	EXPECT_FALSE(Time().isValid());
	EXPECT_TRUE(Time(0, 0.0).isValid());
	EXPECT_TRUE(isTime(Time(2020, -1.0), 2019, 31535999));
	EXPECT_TRUE(isTime(Time(5, -31536000.0 * 2.5), 2, 15768000));
	EXPECT_TRUE(isTime(Time(5, -31536000.0 * 2), 3, 0));
	EXPECT_TRUE(isTime(Time(0, 40000000.0), 0, 40000000));
	Time t(0, 5.0);
	EXPECT_TRUE(isTime(t += -10, -1, 31535995));

	// far out of range or not a number: invalid, and no endless borrowing
	EXPECT_TRUE(isTime(Time(2020, -1e20), ZEB::INVALID_YEAR, 0));
	EXPECT_TRUE(isTime(Time(2020, -INF), ZEB::INVALID_YEAR, 0));
	EXPECT_TRUE(isTime(Time(2020, INF), ZEB::INVALID_YEAR, 0));
	EXPECT_TRUE(isTime(Time(2020, NaN), ZEB::INVALID_YEAR, 0));
	EXPECT_FALSE((t += NaN).isValid());
	// an invalid time does not turn valid by borrowing
	Time invalid;
	EXPECT_FALSE((invalid += -5).isValid());
}


TEST(Time, SettersCheckTheirArguments) {
	Time t;
	EXPECT_TRUE(throwsWith([&] { t.set(-1.0); }, "Seconds cannot be negative.", "[Time::set(double seconds)]"));
	EXPECT_TRUE(throwsWith([&] { t.set(1, -1.0); }, "Seconds cannot be negative.", "[Time::set(int year, double sec)]"));
	EXPECT_THROW(t.set(NaN), ZEB::Exception);

	t.set(1999, 7.0);
	EXPECT_TRUE(throwsWith([&] { t.set(2021, 12, 0, 0.0); }, "Invalid month", "[Time::set]"));
	EXPECT_TRUE(isTime(t, 2021, 7)); // the year is stored before the check
	EXPECT_TRUE(throwsWith([&] { t.set(2021, 0, 32, 0.0); }, "Invalid day", "[Time::set]"));
	EXPECT_TRUE(throwsWith([&] { t.set(2000, 0, 0, 86400.0); }, "Invalid seconds", "[Time::set]"));
	EXPECT_TRUE(throwsWith([&] { t.set(2000, 0, 0, NaN); }, "Invalid seconds", "[Time::set]"));
	t.set(2000, 0, 0, 86399.5);
	EXPECT_TRUE(isTime(t, 2000, 86399.5));
	t.set(2000, 1, 30, 0.0); // 30 February runs on into March
	EXPECT_TRUE(isTime(t, 2000, 5270400));
	t.set(2021, 0, 0, -1.0); // counting back before New Year
	EXPECT_TRUE(isTime(t, 2020, 31535999));

	EXPECT_TRUE(isTime(Time(2021, 12, 0, 0.0), ZEB::INVALID_YEAR, 0));
	EXPECT_TRUE(isTime(Time(25, 0, 0), ZEB::INVALID_YEAR, 0));
	EXPECT_TRUE(isTime(Time(23, 59, 59), 0, 86399));
}


TEST(Time, DecomposesIntoCalendarFields) {
	int year;
	unsigned int month, day, hour, minute, second;
	double sec;
	Time(2000, 31536000.0).decomposeDate(year, month, day, sec);
	EXPECT_EQ(year, 2001); EXPECT_EQ(month, 0u); EXPECT_EQ(day, 0u); EXPECT_EQ(sec, 0);
	Time(2000, 28857600.0 + 31 * 86400 - 0.5).decomposeDate(year, month, day, sec);
	EXPECT_EQ(year, 2000); EXPECT_EQ(month, 11u); EXPECT_EQ(day, 30u); EXPECT_EQ(sec, 86399.5);
	Time(2000, 1, 30, 0.0).decomposeDate(year, month, day, sec);
	EXPECT_EQ(month, 2u); EXPECT_EQ(day, 2u);

	// unnormalised stored seconds: negative ones count back, huge ones end without a long loop
	Time t;
	t.m_year = 2000;
	t.m_sec = -86400;
	t.decomposeDate(year, month, day, sec);
	EXPECT_EQ(year, 1999); EXPECT_EQ(month, 11u); EXPECT_EQ(day, 30u);
	t.m_sec = 1e300;
	t.decomposeDate(year, month, day, sec);
	EXPECT_EQ(year, ZEB::INVALID_YEAR);

	Time(0, 90061.7).decomposeTOY(day, hour, minute, second);
	EXPECT_EQ(day, 1u); EXPECT_EQ(hour, 1u); EXPECT_EQ(minute, 1u); EXPECT_EQ(second, 1u);
	Time(0, 400 * 86400.0).decomposeTOY(day, hour, minute, second);
	EXPECT_EQ(day, 400u);
	t.m_sec = -5;
	t.decomposeTOY(day, hour, minute, second);
	EXPECT_EQ(day + hour + minute + second, 0u);

	const Time noon(2021, 45296.9 + 86400);
	EXPECT_EQ(noon.hour(), 12u); EXPECT_EQ(noon.minute(), 34u); EXPECT_EQ(noon.seconds(), 56u);
}


TEST(Time, SubtractsIntoSpans) {
	EXPECT_EQ(Time(2000, 0.0).secondsUntil(Time(2001, 10.0)), 31536010);
	EXPECT_EQ(Time(2001, 10.0).secondsUntil(Time(2000, 0.0)), -31536010);

	Time a(2000, 5.0);
	EXPECT_FALSE((a -= Time(2000, 6.0)).isValid());
	a = Time(2001, 5.0);
	EXPECT_TRUE(isTime(a -= Time(2000, 5.0), 0, 31536000)); // one year stays in the seconds
	a = Time(2002, 15.0);
	EXPECT_TRUE(isTime(a -= Time(2000, 5.0), 2, 10));
	a = Time(2003, 0.0);
	EXPECT_TRUE(isTime(a -= Time(2000, 0.0), 2, 31536000));
	a = Time(2000, 0.0);
	EXPECT_TRUE(isTime(a -= Time(2000, 0.0), 0, 0));
}


TEST(Time, FormatsDurationsWithSuitableUnits) {
	EXPECT_STREQ(Time::suitableTimeUnit(180.0), "s");
	EXPECT_STREQ(Time::suitableTimeUnit(180.5), "min");
	EXPECT_STREQ(Time::suitableTimeUnit(1.0), "ms");
	EXPECT_STREQ(Time::suitableTimeUnit(NaN), "ms");
	EXPECT_STREQ(Time::suitableTimeUnit(15552001.0), "a");
	EXPECT_STREQ(Time::suitableSpeedUnit(43201.0), "d/s");
	EXPECT_STREQ(Time::suitableSpeedUnit(0.5), "s/s");

	GlobalCommaLocale comma; // texts keep the decimal point
	EXPECT_EQ(Time::format_time_difference(90.0), " 1.500 min");
	EXPECT_EQ(Time::format_time_difference(5.0), " 5.000 s");
	EXPECT_EQ(Time::format_time_difference(59.0), "59.000 s");
	EXPECT_EQ(Time::format_time_difference(-5.0), "-5.000 s");
	EXPECT_EQ(Time::format_time_difference(7200.0), " 2.000 h");
	EXPECT_EQ(Time::format_time_difference(86400.0), " 1.000 d");
	EXPECT_EQ(Time::format_time_difference(63072000.0), " 2.000 a");
	EXPECT_EQ(Time::format_time_difference(1234.0 * 31536000), "1234.000 a");

	EXPECT_EQ(Time::format_time_difference(3600.0, "h", true), " 1.000 h   ");
	EXPECT_EQ(Time::format_time_difference(90.0, "min", true), " 1.500 min");
	EXPECT_EQ(Time::format_time_difference(0.002, "ms", true), " 2.000 ms  ");
	EXPECT_THROW(Time::format_time_difference(1.0, "nounit", true), ZEB::Exception);
	EXPECT_THROW(Time::format_time_difference(1.0, "m", true), ZEB::Exception);
}


TEST(Time, WritesDateTexts) {
	GlobalCommaLocale comma; // no digit grouping in years
	EXPECT_EQ(Time(2021, 16895107.0).toDateTimeFormat(), "15.07.2021 13:05:07");
	const Time t(2021, 2, 4, 7 * 3600 + 5 * 60 + 9.0);
	EXPECT_EQ(t.toHourFormat(), " 7:05:09");
	EXPECT_EQ(t.toShortDateFormat(), "05.03.21  7:05:09");
	EXPECT_EQ(t.toShortDateFormatUS(), "03/05/21  7:05:09");
	EXPECT_EQ(t.toDateTimeFormat(), "05.03.2021  7:05:09");
	EXPECT_EQ(t.toFullDateFormat(), " 5 Mar 2021   7:05:09");
	EXPECT_EQ(t.toDayMonthFormat(), "05.03.");

	EXPECT_EQ(Time(0, 0.0).toShortDateFormat(), "01.01.00  0:00:00");
	EXPECT_EQ(Time(2021, 31535999.0).toShortDateFormat(), "31.12.21 23:59:59");
	EXPECT_EQ(Time(2021, 31536000.0).toShortDateFormat(), "01.01.22  0:00:00");
	EXPECT_EQ(Time(5, 0.0).toDateTimeFormat(), "01.01.0005  0:00:00");
	EXPECT_EQ(Time(-5, 0.0).toDateTimeFormat(), "01.01.-005  0:00:00");
	EXPECT_EQ(Time(2021, 36000.0).toFullDateFormat(), " 1 Jan 2021  10:00:00");
	EXPECT_EQ(Time(0, 3599.9).toHourFormat(), " 0:59:59");
	EXPECT_EQ(Time(0, 1e10).toHourFormat(), "17:46:40"); // beyond the 32-bit range
}


TEST(Time, ReadsDateTexts) {
	const Time t(2021, 2, 4, 7 * 3600 + 5 * 60 + 9.0);
	EXPECT_TRUE(isTime(Time::fromFullDateFormat(" 5 mar 2021   7:05:09"), t.m_year, t.m_sec));
	EXPECT_TRUE(isTime(Time::fromDateTimeFormat("05.03.2021 07:05:09"), t.m_year, t.m_sec));
	EXPECT_TRUE(isTime(Time::fromDateTimeFormat2("2021-03-05 07:05:09"), t.m_year, t.m_sec));
	EXPECT_TRUE(isTime(Time::fromDateTimeFormat2("2021-07-15 13:05:07"), 2021, 16895107));
	EXPECT_TRUE(isTime(Time::fromFullDateFormat("31 Feb 2021 0:0:0"), 2021, Time(2021, 2, 2, 0.0).m_sec));

	for (const char * text : { "5 March 2021 7:05:09", "0 Mar 2021 0:0:0", "5 Mar 2021 24:00:00", "5 Mar 2021" })
		EXPECT_FALSE(Time::fromFullDateFormat(text).isValid()) << text;
	for (const char * text : { "05.03.2021 07:05", "00.03.2021 0:0:0", "05.03.2021 24:00:00", "05.13.2021 0:0:0",
							   "05.00.2021 0:0:0", "05.03.2021 99999999999:0:0" })
		EXPECT_FALSE(Time::fromDateTimeFormat(text).isValid()) << text;
	for (const char * text : { "2021-13-05 0:0:0", "2021-255-05 0:0:0", "2021-03-05" })
		EXPECT_FALSE(Time::fromDateTimeFormat2(text).isValid()) << text;
}


TEST(Time, FindsFieldPositionsInPatterns) {
	auto positions = [](const std::string & pattern) {
		const Time::TimeFormatInfo i = Time::formatInfo(pattern);
		return std::vector<int>{ i.m_yyyy, i.m_yy, i.m_MM, i.m_dd, i.m_hh, i.m_mm, i.m_ss };
	};
	using V = std::vector<int>;
	EXPECT_EQ(positions("yyyy-MM-dd hh:mm"), (V{ 0, -1, 5, 8, 11, 14, -1 }));
	EXPECT_EQ(positions("dd.MM.yyyy hh:mm:ss"), (V{ 6, -1, 3, 0, 11, 14, 17 }));
	EXPECT_EQ(positions("yy"), (V{ -1, 0, -1, -1, -1, -1, -1 }));
	EXPECT_EQ(positions("yyy"), (V{ -1, -1, -1, -1, -1, -1, -1 }));
	EXPECT_EQ(positions("yyyyMMdd"), (V{ 0, -1, 4, 6, -1, -1, -1 }));
	EXPECT_EQ(positions("hhmmss"), (V{ -1, -1, -1, -1, 0, 2, 4 }));
	EXPECT_EQ(positions("ddMMyyyy"), (V{ 4, -1, -1, 0, -1, -1, -1 }));
	EXPECT_EQ(positions("MMM MM yy yyyy"), (V{ -1, 7, 4, -1, -1, -1, -1 }));
}


TEST(Time, ReadsDigitsAtPatternPositions) {
	const Time::TimeFormatInfo info = Time::formatInfo("yyyy-MM-dd hh:mm");
	EXPECT_TRUE(isTime(Time::fromString("2021-03-05 07:30", info, false), 2021, 5470200));
	EXPECT_TRUE(isTime(Time::fromString("2021-03-05 07:30", info, true), 2021, 5470200 + 86400));
	EXPECT_TRUE(isTime(Time::fromString("2021-02-05 07:30", info, true), 2021, 5470200 - 28 * 86400));
	EXPECT_FALSE(Time::fromString("2021-03-05 07:3", info, false).isValid());
	EXPECT_FALSE(Time::fromString("2021-03-05 0x:30", info, false).isValid());
	EXPECT_FALSE(Time::fromString("2021-13-05 07:30", info, false).isValid());
	EXPECT_FALSE(Time::fromString("2021-99-05 07:30", info, false).isValid());

	// one field alone may have a single digit, the four-digit year not
	EXPECT_TRUE(isTime(Time::fromString("5", Time::formatInfo("MM"), false), ZEB::INVALID_YEAR, 10368000));
	EXPECT_FALSE(Time::fromString("5", Time::formatInfo("yyyy"), false).isValid());
	EXPECT_TRUE(isTime(Time::fromString("00", Time::formatInfo("dd"), false), ZEB::INVALID_YEAR, -86400));
	EXPECT_TRUE(isTime(Time::fromString("21", Time::formatInfo("yy"), false), 2021, 0));

	EXPECT_FALSE(Time::fromString("2021", Time::TimeFormatInfo(), false).isValid());
	Time::TimeFormatInfo both;
	both.m_yyyy = 0;
	both.m_yy = 5;
	EXPECT_FALSE(Time::fromString("2021 21", both, false).isValid());
	Time::TimeFormatInfo overlapping; // a year reaching past the other fields must not read beyond the text
	overlapping.m_yyyy = 2;
	overlapping.m_MM = 3;
	EXPECT_FALSE(Time::fromString("xx202", overlapping, false).isValid());
	EXPECT_TRUE(isTime(Time::fromString("xx2021", overlapping, false), 2021, 2678400));
	Time::TimeFormatInfo late;
	late.m_hh = 9;
	EXPECT_FALSE(Time::fromString("5", late, false).isValid());
}


TEST(Time, FormatsCurrentLocalDate) {
	const std::time_t now = std::time(nullptr);
	std::tm local;
	ASSERT_NE(localtime_r(&now, &local), nullptr);
	EXPECT_EQ(Time::dateRFC2822("%Y"), std::to_string(local.tm_year + 1900));
	EXPECT_GE(Time::dateRFC2822("").size(), 26u);
	EXPECT_EQ(Time::dateRFC2822(std::string(100, 'x')), "");
}
