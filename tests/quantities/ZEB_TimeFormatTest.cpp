#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TimeTestSupport.h"
#include "ZEB_TimeFormat.h"

using ZEB::Time;
using ZEB::TimeFormat;

namespace {

/*! Entities as text: field numbers, dividers in quotes. */
std::string entities(const TimeFormat & f) {
	std::string s;
	for (const auto & e : f.m_entities)
		s += e.first == TimeFormat::FE_TEXT ? "'" + e.second + "'" : std::to_string(e.first);
	return s;
}

using Cases = std::vector<std::pair<std::string, std::string> >;

} // namespace


TEST(TimeFormat, ParsesPatternsIntoFieldsAndDividers) {
	EXPECT_EQ(entities(TimeFormat("dd.MM.yyyy hh:mm:ss")), "3'.'2'.'0' '5':'6':'7");
	// one field and one divider: the field stands alone; longer lists keep their dividers
	EXPECT_EQ(entities(TimeFormat("T=dd")), "3");
	EXPECT_EQ(entities(TimeFormat("dd.")), "3");
	EXPECT_EQ(entities(TimeFormat("T=hh:mm")), "'T='5':'6");
	const TimeFormat dayOfYear("yy/ddd");
	EXPECT_EQ(entities(dayOfYear), "1'/'4");
	EXPECT_TRUE(dayOfYear.hasYear());
	EXPECT_FALSE(dayOfYear.hasDay() || dayOfYear.hasMonth());

	const Cases errors = {
		{ "", "Format string is empty" }, { "yyyy-yy", "More than one year string" },
		{ "yyy", "Year string has neither 2 nor 4 characters." }, { "y", "Year string has neither 2 nor 4 characters." },
		{ "M", "Month string has not two characters." }, { "dddd", "Day string has neither 2 nor 3 characters." },
		{ "h:mm", "Hour string has not two characters." }, { "mmm", "Minute string has not two characters." },
		{ "hh:s", "Second string has not two characters." }, { "hhmm", "" }, { "+-", "" }, { std::string("\0dd", 3), "" },
	};
	for (const auto & p : errors) {
		const TimeFormat f(p.first);
		EXPECT_FALSE(f.m_valid) << p.first;
		EXPECT_EQ(f.m_errorMessage, p.second) << p.first;
		EXPECT_TRUE(f.m_entities.empty()) << p.first;
	}
	TimeFormat invalid("hhmm");
	std::string err;
	EXPECT_EQ(invalid.seconds("1212", err, false), 0);
	EXPECT_EQ(err, "Time format string not valid");
	EXPECT_FALSE(invalid.time("1212", err, false).isValid());
	EXPECT_EQ(err, "Time format string not valid");
}


TEST(TimeFormat, ReadsSecondsBetweenDividers) {
	TimeFormat f("hh:mm");
	std::string err = "old";
	EXPECT_EQ(f.seconds("07:30", err, false), 27000);
	EXPECT_EQ(err, "");
	EXPECT_EQ(f.seconds("  7:3", err, false), 25380);
	EXPECT_EQ(f.seconds("123:00", err, false), 0); // too many digits read as 0
	EXPECT_EQ(err, "");
	const Cases failures = {
		{ "07-30", "Divider not found" }, { "07:3x", "digits are not continuously." },
		{ "07:", "Time string length wrong." }, { std::string("07:\0 3", 6), "End of line inside time string" },
	};
	for (const auto & p : failures) {
		EXPECT_EQ(f.seconds(p.first, err, false), 0) << p.first;
		EXPECT_EQ(err, p.second) << p.first;
	}

	// a leading divider is passed over up to the first digit, and must be followed by one
	TimeFormat prefixed("T=hh:mm");
	EXPECT_EQ(prefixed.seconds("T=12:30", err, false), 45000);
	EXPECT_EQ(prefixed.seconds("T=", err, false), 0);
	EXPECT_EQ(err, "Divider not found");

	TimeFormat date("yyyy-MM-dd");
	EXPECT_EQ(date.seconds("2021-03-05", err, false), 2021.0 * 31536000 + 5443200);
	EXPECT_EQ(date.seconds("2021-03-05", err, true), 2021.0 * 31536000 + 5443200 + 86400);
	EXPECT_EQ(date.seconds("2021-02-05", err, true), 2021.0 * 31536000 + 2678400 + 4 * 86400);
	// a pattern ending with a divider ends after it
	EXPECT_EQ(TimeFormat("dd.MM.").seconds("05.03.xyz", err, false), 4 * 86400 + 5097600);

	// a divider longer than what is left of the text leaves an empty last field
	TimeFormat wide("hh, mm");
	EXPECT_EQ(wide.seconds("07, 30", err, false), 27000);
	EXPECT_EQ(wide.seconds("07,", err, false), 0);
	EXPECT_EQ(err, "Time string length wrong.");
	EXPECT_FALSE(wide.time("07,", err, false).isValid());
	EXPECT_EQ(err, "End of string not found");
}


TEST(TimeFormat, ReadsYearsIntoTimes) {
	std::string err;
	TimeFormat date("yyyy-MM-dd");
	EXPECT_TRUE(isTime(date.time(" 2021-03-05", err, true), 2021, 5443200 + 86400));
	EXPECT_EQ(err, "");
	EXPECT_TRUE(isTime(date.time("202-03-05", err, false), 0, 5443200)); // not four digits: year 0
	EXPECT_FALSE(date.time("2021-03", err, false).isValid());
	EXPECT_EQ(err, "Divider not found");

	// without a year the seconds carry the value; only the empty error text tells success
	EXPECT_TRUE(isTime(TimeFormat("hh:mm").time("07:30", err, false), ZEB::INVALID_YEAR, 27000));
	EXPECT_EQ(err, "");
	EXPECT_TRUE(isTime(TimeFormat("yy").time("21", err, false), 2021, 0));
	EXPECT_TRUE(isTime(TimeFormat("yy/ddd").time("21/123", err, false), 2021, 122 * 86400));
	EXPECT_TRUE(isTime(TimeFormat("yy").time("2x", err, false), ZEB::INVALID_YEAR, 0));
	EXPECT_EQ(err, "digits are not continuously.");
	EXPECT_FALSE(TimeFormat("dd.MM.").time("05.03.", err, false).isValid());
	EXPECT_FALSE(err.empty());
}


TEST(TimeFormat, RejectsMonthsBeyondDecember) {
	std::string err;
	TimeFormat date("yyyy-MM-dd");
	EXPECT_EQ(date.seconds("2021-13-05", err, false), 0);
	EXPECT_EQ(err, "Month value greater than 12.");
	EXPECT_FALSE(date.time("2021-99-05", err, false).isValid());
	EXPECT_EQ(err, "Month value greater than 12.");
	TimeFormat month("MM");
	EXPECT_FALSE(month.time("13", err, false).isValid() || err.empty());
	EXPECT_EQ(month.time("12", err, false).m_sec, 28857600);
	EXPECT_EQ(month.valueToSeconds(13, TimeFormat::FE_MONTH, true), 0);
	EXPECT_EQ(month.valueToSeconds(-3, TimeFormat::FE_MONTH, true), 0);
	err.clear();
	EXPECT_EQ(month.secondsFromSingleEntityString(nullptr, 3, TimeFormat::FE_MONTH, err, false), 0);
	EXPECT_EQ(err, "Time string length wrong.");
}


TEST(TimeFormat, SwitchesToZeroBasedDaysOnceADayIsZero) {
	std::string err;
	TimeFormat day("dd");
	EXPECT_EQ(day.seconds("01", err, false), 0);
	EXPECT_EQ(day.seconds("", err, false), 0); // a failed read changes nothing
	EXPECT_FALSE(day.m_dayStartsAtZero);
	EXPECT_EQ(day.seconds("00", err, false), 0);
	EXPECT_EQ(day.seconds("01", err, false), 86400);
	EXPECT_EQ(day.time("02", err, false).m_sec, 2 * 86400);
}
