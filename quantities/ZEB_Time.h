#ifndef ZEB_TimeH
#define ZEB_TimeH

#include <string>

namespace ZEB {

// Calendar of 365-day years without leap days: every February has 28 days.

const unsigned int SECONDS_PER_DAY	= 86400;
/*! 365 days [s]. */
const unsigned int SECONDS_PER_YEAR	= 31536000;
/*! 365 days [h]: the hourly values of a year of climate data or schedules. */
const unsigned int HOURS_PER_YEAR	= 8760;
/*! The year of an invalid time. */
const int INVALID_YEAR				= -1000000;

/*! Length of each month [s], January first. */
extern const unsigned int SECONDS_PER_MONTH[12];
/*! Seconds from 1 January 00:00 to the first of each month [s]. */
extern const unsigned int SECONDS_UNTIL_MONTH[12];
/*! "Jan" ... "Dec". */
extern const char * const MONTH_NAMES[12];


/*! A point in time: a year and the seconds since 1 January 00:00 of that year, on the 365-day
	calendar. Months and days are 0-based as numbers (month 0 = January, day 0 = the first) and
	1-based in every text. A plain value; valid exactly when m_year is not INVALID_YEAR.

	Non-finite seconds never enter through the constructors or +=: they give an invalid time.
	Every query and writer copes with any stored value (negative, huge or non-finite seconds).
*/
class Time {
public:
	/*! Character positions (0-based) of the fields of a date text, -1 for an absent field. */
	struct TimeFormatInfo {
		int m_yyyy	= -1;	///< Four-digit year.
		int m_yy	= -1;	///< Two-digit year, meaning 2000 + value.
		int m_MM	= -1;	///< Month 1..12.
		int m_dd	= -1;	///< Day of month 1..31.
		int m_hh	= -1;
		int m_mm	= -1;	///< Minute.
		int m_ss	= -1;
	};

	/*! Text layouts of the seconds read as a span (a time of year or a duration); years have
		365 days. Examples for 2 days, 3 h, 4 min, 5 s (and for one year, 2 days, 3 h). */
	enum TOYFormat {
		TOY_VERBOSE,		///< "   2 days,  3 hours,  4 minutes and  5 seconds"; below 1 s "250 milli-seconds".
		TOY_VERBOSE_YEARS,	///< "   1 year    2 days,  3 hours"
		TOY_SHORT,			///< "   2 d  3 h  4 min  5 s"
		TOY_SHORT_YEARS,	///< "   1 a   2 d  3 h"
		TOY_CLOCK			///< "  2 d 03:04:05"
	};

	/*! Invalid time with 0 s. */
	Time() = default;
	/*! Negative seconds borrow whole years (Time(2020, -1) is 2019 with 31535999 s); seconds of
		a year or more stay. Non-finite seconds, or a year pushed out of the int range, give an
		invalid time with 0 s. An invalid year stays invalid and borrows nothing. */
	Time(int year, double seconds);
	/*! Time of day in year 0; an invalid time with 0 s unless hour < 24, minute < 60, second < 60. */
	Time(unsigned int hour, unsigned int minute, unsigned int second);
	/*! As set(year, month, day, seconds), but any failure gives an invalid time with 0 s. */
	Time(int year, unsigned int month, unsigned int day, double seconds);

	/*! Year 0 and seconds; throws "Seconds cannot be negative." or, for NaN and infinity,
		"Seconds must be finite.". */
	void set(double seconds);
	/*! Stores both without folding; throws as set(double). */
	void set(int year, double seconds);
	/*! Time of day in year 0; out-of-range values only make the year invalid (seconds stay). */
	void set(unsigned int hour, unsigned int minute, unsigned int second);
	/*! 0-based month (0..11) and day (0..31), seconds of the day below 86400 [s]. The year is
		stored before the checks; a failure throws ("Invalid month", "Invalid day", "Invalid
		seconds") and keeps the old seconds. The day is not checked against the month's length
		(day 30 of February is 3 March); negative seconds count back, into earlier years if need be. */
	void set(int year, unsigned int month, unsigned int day, double seconds);

	bool isValid() const { return m_year != INVALID_YEAR; }

	/*! Year, 0-based month and day, and the seconds within the day (with fraction) [s]. Whole
		years held in the seconds (also negative ones) move into the year. Non-finite seconds or
		a year beyond the int range give INVALID_YEAR and zeros. */
	void decomposeDate(int & year, unsigned int & month, unsigned int & day, double & secondsOfDay) const;
	/*! The whole seconds split into a day count (not limited to a year), hour, minute and second.
		Negative or non-finite seconds split as 0; the day count stops at the largest unsigned int. */
	void decomposeTOY(unsigned int & day, unsigned int & hour, unsigned int & minute, unsigned int & second) const;

	/*! Hour of the day of the whole seconds; negative seconds count back from midnight. */
	unsigned int hour() const;
	/*! Minute within the hour. */
	unsigned int minute() const;
	/*! Second within the minute (0..59), not the stored seconds. */
	unsigned int seconds() const;

	/*! Seconds from this time to other, positive when other is later [s]; validity is not checked. */
	double secondsUntil(const Time & other) const;

	/*! Adds seconds; a negative sum borrows whole years as the constructor does. */
	Time & operator+=(double seconds);
	/*! Turns the time into the span from other to it: whole years plus seconds, where a rest of
		exactly one year stays in the seconds. Invalid when other is later, or the span is not finite. */
	Time & operator-=(const Time & other);

	/*! Display unit for a duration: "a", "d", "h", "min", "s" or "ms" (also for 0, negative and NaN). */
	static const char * suitableTimeUnit(double seconds);
	/*! As suitableTimeUnit() with "/s" appended; "s/s" is the smallest. */
	static const char * suitableSpeedUnit(double seconds);
	/*! Duration with an automatic unit, as " 1.500 min": 3 decimals, number width 6. */
	static std::string format_time_difference(double seconds);
	/*! Duration converted into unit (a time unit of the unit list, which throws for other
		names); one- and two-character units are padded to four characters. flag has no effect. */
	static std::string format_time_difference(double seconds, const std::string & unit, bool flag);

	/*! Time of day of the whole seconds, 8 characters: " 7:05:09", "17:05:09". */
	std::string toHourFormat() const;
	/*! "05.03.21  7:05:09" */
	std::string toShortDateFormat() const;
	/*! "03/05/21  7:05:09" */
	std::string toShortDateFormatUS() const;
	/*! "05.03.2021  7:05:09"; the year has at least four digits. */
	std::string toDateTimeFormat() const;
	/*! " 5 Mar 2021   7:05:09" */
	std::string toFullDateFormat() const;
	/*! "05.03." */
	std::string toDayMonthFormat() const;

	// The readers give an invalid time for any text they cannot read; none throws.

	/*! Reads toFullDateFormat() texts; month names ignore case. */
	static Time fromFullDateFormat(const std::string & text);
	/*! Reads "day.month.year hh:mm:ss"; text after the seconds is ignored. */
	static Time fromDateTimeFormat(const std::string & text);
	/*! Reads "year-month-day hh:mm:ss". */
	static Time fromDateTimeFormat2(const std::string & text);

	/*! Positions of the fields "yyyy", "yy", "MM", "dd", "hh", "mm", "ss" (case-sensitive) of a
		pattern. Fields directly after one another are found only in the order year, month,
		day, hour, minute, second; a field is taken once, from its first run of exactly its length. */
	static TimeFormatInfo formatInfo(const std::string & pattern);
	/*! Reads the digits at the positions of info; the characters between are not compared. When
		the text is too short for two-digit fields but info has a single field other than the
		four-digit year, that field is read from one digit. Without a year field the year stays
		INVALID_YEAR and the seconds carry the value read. leapYear adds a day from March on. */
	static Time fromString(const std::string & text, const TimeFormatInfo & info, bool leapYear);

	/*! The current local time formatted by strftime with pattern, or with the RFC 2822 layout
		"%a, %d %b %Y %H:%M:%S %z" when pattern is empty; "" when it exceeds 79 characters. */
	static std::string dateRFC2822(const std::string & pattern);

	/*! The whole seconds in the layout format (whole years are not split off except in the
		*_YEARS layouts); a span of 0 s gives "" except in TOY_CLOCK. Negative or non-finite
		seconds are written as 0. Throws "Unsupported format flag." for other layouts. */
	std::string toTOYFormat(TOYFormat format) const;
	/*! Reads TOY_SHORT and TOY_SHORT_YEARS texts as pairs of a number and any time unit of the
		unit list, in any order and spacing ("1.5 h", "2d 3h"), and TOY_CLOCK texts as a day
		count and a clock without the "d" ("2 03:04:05"), into year 0 and the sum [s]. A text
		without a single pair is 0 s; a word that is no time unit, or a bad clock text, gives an
		invalid time. Throws "TOY format not implemented." for the verbose and other layouts. */
	static Time fromTOY(const std::string & text, TOYFormat format);

	int		m_year	= INVALID_YEAR;
	/*! Seconds since 1 January 00:00 of m_year [s]. */
	double	m_sec	= 0;
};

} // namespace ZEB

#endif // ZEB_TimeH
