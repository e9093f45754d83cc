#ifndef ZEB_TimeFormatH
#define ZEB_TimeFormatH

#include <string>
#include <utility>
#include <vector>

#include "ZEB_Time.h"

namespace ZEB {

/*! Reads dates, times of day and durations from text by a pattern such as "dd.MM.yyyy hh:mm:ss"
	or "hh:mm". Fields are "yyyy", "yy" (2000 + value), "MM", "dd", "ddd" (day of the year), "hh",
	"mm", "ss" (case-sensitive); every other run of characters is a divider. The text's fields are
	found by searching for the dividers, so they may have one or two digits (a four-digit year
	exactly four) and the text may start with white space. Reading errors come back as message
	texts; nothing throws.

	Not const while reading: the first day value 0 switches the object to 0-based days for good.
*/
class TimeFormat {
public:
	enum FormatEntity {
		FE_YEAR,			///< "yyyy"
		FE_YEAR2,			///< "yy": the year is 2000 + value.
		FE_MONTH,			///< "MM": 1..12.
		FE_DAY,				///< "dd": counted from 1 unless m_dayStartsAtZero.
		FE_DAY_OF_YEAR,		///< "ddd": up to three digits, counted like FE_DAY.
		FE_HOUR,			///< "hh"
		FE_MINUTE,			///< "mm"
		FE_SECOND,			///< "ss"
		FE_TEXT				///< Divider text between two fields.
	};

	/*! Parses the pattern; the outcome is in m_valid and m_errorMessage. A pattern of one field
		and one divider keeps the field alone. */
	explicit TimeFormat(const std::string & format);

	/*! Sum of the seconds of all fields of text, year fields included (value · 365 days) [s];
		0 with a message in errorText on failure (errorText is empty on success). leapYear adds a
		day to months from March on. */
	double seconds(const std::string & text, std::string & errorText, bool leapYear);
	/*! Year fields become the year, all other fields the seconds. Without a year field the year is
		INVALID_YEAR and the seconds carry the value: then only an empty errorText tells success.
		On failure an invalid time with 0 s and a message in errorText. */
	Time time(const std::string & text, std::string & errorText, bool leapYear);

	/*! True with a "yyyy" or "yy" field. */
	bool hasYear() const;
	bool hasMonth() const;
	/*! True with a "dd" field ("ddd" does not count). */
	bool hasDay() const;

	/*! Seconds that one field value stands for [s]; months below 2 or above 12 and dividers
		give 0. A day value 0 switches the object to 0-based days. */
	double valueToSeconds(int value, FormatEntity entity, bool leapYear);
	/*! valueToSeconds() of the value read from length characters at str. When the reading fails,
		0 and a message in errorText (which is never cleared here); a month above 12 fails too.
		A value that does not fit the field (too many digits, a four-digit year of another
		length) reads as 0 without a message. */
	double secondsFromSingleEntityString(const char * str, int length, FormatEntity entity,
										 std::string & errorText, bool leapYear);

	/*! The pattern passed in. */
	std::string		m_format;
	// Whether the values of a field count from 0; only the day flag ever changes.
	bool			m_dayStartsAtZero		= false;
	bool			m_hourStartsAtZero		= true;
	bool			m_minuteStartsAtZero	= true;
	bool			m_secondStartsAtZero	= true;
	/*! The parsed pattern, fields and dividers alternating; the text is set for FE_TEXT only.
		Empty when the pattern is not valid. */
	std::vector<std::pair<FormatEntity, std::string> >	m_entities;
	/*! Why the pattern is not valid; may be empty even then (two fields without a divider, a
		divider alone). */
	std::string		m_errorMessage;
	bool			m_valid = true;
};

} // namespace ZEB

#endif // ZEB_TimeFormatH
