#include "ZEB_Time.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>

#include "ZEB_Exception.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Unit.h"
#include "ZEB_UnitList.h"

namespace ZEB {

const unsigned int SECONDS_PER_MONTH[12] = {
	31*86400, 28*86400, 31*86400, 30*86400, 31*86400, 30*86400,
	31*86400, 31*86400, 30*86400, 31*86400, 30*86400, 31*86400
};

const unsigned int SECONDS_UNTIL_MONTH[12] = {
	0, 2678400, 5097600, 7776000, 10368000, 13046400,
	15638400, 18316800, 20995200, 23587200, 26265600, 28857600
};

const char * const MONTH_NAMES[12] = {
	"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"
};

namespace {

const double YEAR = SECONDS_PER_YEAR;
const double DAY = SECONDS_PER_DAY;

/*! Moves whole years (rounded down) from seconds into year, leaving seconds in [0, YEAR).
	False, with both unchanged, for non-finite seconds or a year beyond the int range. */
bool foldYears(int & year, double & seconds) {
	if (!std::isfinite(seconds))
		return false;
	double years = std::floor(seconds / YEAR);
	double rest = seconds - years * YEAR;
	// the rounded quotient can be one off
	if (rest < 0) {
		rest += YEAR;
		years -= 1;
	}
	if (rest >= YEAR) {
		rest -= YEAR;
		years += 1;
	}
	const double newYear = year + years;
	if (newYear < INT_MIN || newYear > INT_MAX)
		return false;
	year = static_cast<int>(newYear);
	seconds = rest;
	return true;
}

/*! Normalisation of the constructor and +=: negative seconds of a valid time borrow whole
	years; non-finite seconds or a year out of range make the time invalid with 0 s. */
void borrowYears(Time & t) {
	if (!std::isfinite(t.m_sec) || (t.m_sec < 0 && t.isValid() && !foldYears(t.m_year, t.m_sec)))
		t = Time();
}

/*! Whole second of the day (0..86399) of seconds; negative values count back from midnight. */
unsigned int secondOfDay(double seconds) {
	if (!std::isfinite(seconds))
		return 0;
	double s = std::fmod(std::trunc(seconds), DAY);
	if (s < 0)
		s += DAY;
	return static_cast<unsigned int>(s);
}

/*! "hh:mm:ss" with a blank instead of a leading zero of the hour. */
std::string hourText(double seconds) {
	const unsigned int s = secondOfDay(seconds);
	const unsigned int h = s / 3600;
	const unsigned int m = s / 60 - 60 * h;
	const unsigned int sec = s % 60;
	std::string text = "  :  :  ";
	text[0] = s < 36000 ? ' ' : static_cast<char>('0' + h / 10);
	text[1] = static_cast<char>('0' + h % 10);
	text[3] = static_cast<char>('0' + m / 10);
	text[4] = static_cast<char>('0' + m % 10);
	text[6] = static_cast<char>('0' + sec / 10);
	text[7] = static_cast<char>('0' + sec % 10);
	return text;
}

/*! A stream that writes numbers the same in every locale; zero fill stays behind a sign. */
std::ostringstream classicStream() {
	std::ostringstream strm;
	strm.imbue(std::locale::classic());
	strm << std::internal;
	return strm;
}

/*! text with every character of dividers replaced by a blank. */
std::string blanked(std::string text, const char * dividers) {
	for (const char * c = dividers; *c != 0; ++c)
		std::replace(text.begin(), text.end(), *c, ' ');
	return text;
}

/*! The date of a text: 0-based month, 1-based day; an invalid time for fields out of range. */
Time fromTextFields(int year, int month, int day, int hour, int minute, int second) {
	if (month < 0 || month > 11 || day < 1)
		return Time();
	return Time(year, static_cast<unsigned int>(month), static_cast<unsigned int>(day - 1),
				hour * 3600.0 + minute * 60.0 + second);
}

/*! Reads six ints; false when one is missing. */
bool readSixInts(const std::string & text, int values[6]) {
	std::istringstream in(text);
	in.imbue(std::locale::classic());
	for (int i = 0; i < 6; ++i)
		in >> values[i];
	return !in.fail();
}

/*! The number of the width digits at pos of text; false when one is no digit or missing. */
bool readDigits(const std::string & text, int pos, int width, int & value) {
	value = 0;
	for (int i = pos; i < pos + width; ++i) {
		if (i < 0 || static_cast<std::size_t>(i) >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
			return false;
		value = 10 * value + (text[i] - '0');
	}
	return true;
}

} // namespace


Time::Time(int year, double seconds) :
	m_year(year), m_sec(seconds)
{
	borrowYears(*this);
}


Time::Time(unsigned int hour, unsigned int minute, unsigned int second) {
	set(hour, minute, second);
	if (!isValid())
		m_sec = 0;
}


Time::Time(int year, unsigned int month, unsigned int day, double seconds) {
	try {
		set(year, month, day, seconds);
	}
	catch (std::exception &) {
		*this = Time();
	}
}


void Time::set(double seconds) {
	const char * const location = "[Time::set(double seconds)]";
	if (seconds < 0)
		throw Exception("Seconds cannot be negative.", location);
	if (!std::isfinite(seconds))
		throw Exception("Seconds must be finite.", location);
	m_year = 0;
	m_sec = seconds;
}


void Time::set(int year, double seconds) {
	const char * const location = "[Time::set(int year, double sec)]";
	if (seconds < 0)
		throw Exception("Seconds cannot be negative.", location);
	if (!std::isfinite(seconds))
		throw Exception("Seconds must be finite.", location);
	m_year = year;
	m_sec = seconds;
}


void Time::set(unsigned int hour, unsigned int minute, unsigned int second) {
	if (hour < 24 && minute < 60 && second < 60) {
		m_year = 0;
		m_sec = hour * 3600.0 + minute * 60.0 + second;
	}
	else
		m_year = INVALID_YEAR;
}


void Time::set(int year, unsigned int month, unsigned int day, double seconds) {
	const char * const location = "[Time::set]";
	m_year = year;
	if (month > 11)
		throw Exception("Invalid month", location);
	if (day > 31)
		throw Exception("Invalid day", location);
	if (!std::isfinite(seconds) || seconds >= DAY)
		throw Exception("Invalid seconds", location);
	double sec = seconds + day * DAY;
	for (unsigned int m = 0; m < month; ++m)
		sec += SECONDS_PER_MONTH[m];
	if (sec < 0 && !foldYears(year, sec))
		throw Exception("Invalid seconds", location);
	m_year = year;
	m_sec = sec;
}


void Time::decomposeDate(int & year, unsigned int & month, unsigned int & day, double & secondsOfDay) const {
	year = m_year;
	double s = m_sec;
	month = 0;
	day = 0;
	secondsOfDay = 0;
	if (!foldYears(year, s)) {
		year = INVALID_YEAR;
		return;
	}
	// December is never subtracted, so the month stays below 12
	for (unsigned int m = 0; m < 11 && s >= SECONDS_PER_MONTH[m]; ++m) {
		s -= SECONDS_PER_MONTH[m];
		month = m + 1;
	}
	day = static_cast<unsigned int>(s) / SECONDS_PER_DAY;
	secondsOfDay = s - day * DAY;
}


void Time::decomposeTOY(unsigned int & day, unsigned int & hour, unsigned int & minute, unsigned int & second) const {
	const double t = std::isfinite(m_sec) && m_sec > 0 ? std::trunc(m_sec) : 0.0;
	day = static_cast<unsigned int>(std::min(std::floor(t / DAY), static_cast<double>(UINT_MAX)));
	unsigned int rest = static_cast<unsigned int>(std::fmod(t, DAY));
	hour = rest / 3600;
	rest -= hour * 3600;
	minute = rest / 60;
	second = rest % 60;
}


unsigned int Time::hour() const {
	return secondOfDay(m_sec) / 3600;
}


unsigned int Time::minute() const {
	const unsigned int s = secondOfDay(m_sec);
	return s / 60 - (s / 3600) * 60;
}


unsigned int Time::seconds() const {
	return secondOfDay(m_sec) % 60;
}


double Time::secondsUntil(const Time & other) const {
	return (static_cast<double>(other.m_year) - m_year) * YEAR + (other.m_sec - m_sec);
}


Time & Time::operator+=(double seconds) {
	m_sec += seconds;
	borrowYears(*this);
	return *this;
}


Time & Time::operator-=(const Time & other) {
	const double span = other.secondsUntil(*this);
	if (!std::isfinite(span) || span < 0) {
		*this = Time();
		return *this;
	}
	// whole years while more than one year is left, so a rest of exactly one year stays
	double years = span > YEAR ? std::ceil(span / YEAR) - 1 : 0.0;
	double rest = span - years * YEAR;
	if (rest > YEAR) {
		rest -= YEAR;
		years += 1;
	}
	if (years > 0 && rest <= 0) {
		rest += YEAR;
		years -= 1;
	}
	if (years > INT_MAX) {
		*this = Time();
		return *this;
	}
	m_year = static_cast<int>(years);
	m_sec = rest;
	return *this;
}


const char * Time::suitableTimeUnit(double seconds) {
	if (seconds > 15552000)	return "a";
	if (seconds > 43200)	return "d";
	if (seconds > 1800)		return "h";
	if (seconds > 180)		return "min";
	if (seconds > 1)		return "s";
	return "ms";
}


const char * Time::suitableSpeedUnit(double seconds) {
	if (seconds > 15552000)	return "a/s";
	if (seconds > 43200)	return "d/s";
	if (seconds > 1800)		return "h/s";
	if (seconds > 180)		return "min/s";
	return "s/s";
}


std::string Time::format_time_difference(double seconds) {
	std::ostringstream strm = classicStream();
	strm << std::fixed << std::setprecision(3) << std::right;
	if (seconds < 60)
		strm << std::setw(6) << seconds << " s";
	else if (seconds < 3600)
		strm << std::setw(6) << seconds / 60 << " min";
	else if (seconds < DAY)
		strm << std::setw(6) << seconds / 3600 << " h";
	else if (seconds < YEAR)
		strm << std::setw(6) << seconds / DAY << " d";
	else
		strm << std::setw(6) << seconds / YEAR << " a";
	return strm.str();
}


std::string Time::format_time_difference(double seconds, const std::string & unit, bool) {
	UnitList::instance()->convert(Unit("s"), Unit(unit), seconds);
	std::ostringstream strm = classicStream();
	strm << std::fixed << std::setprecision(3) << std::right << std::setw(6) << seconds << ' ' << unit;
	if (unit.size() < 3)
		strm << std::string(4 - unit.size(), ' ');
	return strm.str();
}


namespace {

// The calendar fields of a time, as the date writers use them.
struct DateParts {
	explicit DateParts(const Time & t) { t.decomposeDate(year, month, day, sec); }
	int				year;
	unsigned int	month;
	unsigned int	day;
	double			sec;
};

} // namespace


std::string Time::toHourFormat() const {
	return hourText(m_sec);
}


std::string Time::toShortDateFormat() const {
	const DateParts d(*this);
	std::ostringstream strm = classicStream();
	strm << std::setfill('0') << std::setw(2) << d.day + 1 << '.' << std::setw(2) << d.month + 1 << '.'
		 << std::setw(2) << d.year % 100 << ' ' << hourText(d.sec);
	return strm.str();
}


std::string Time::toShortDateFormatUS() const {
	const DateParts d(*this);
	std::ostringstream strm = classicStream();
	strm << std::setfill('0') << std::setw(2) << d.month + 1 << '/' << std::setw(2) << d.day + 1 << '/'
		 << std::setw(2) << d.year % 100 << ' ' << hourText(d.sec);
	return strm.str();
}


std::string Time::toDateTimeFormat() const {
	const DateParts d(*this);
	std::ostringstream strm = classicStream();
	strm << std::setfill('0') << std::setw(2) << d.day + 1 << '.' << std::setw(2) << d.month + 1 << '.'
		 << std::setw(4) << d.year << ' ' << hourText(d.sec);
	return strm.str();
}


std::string Time::toFullDateFormat() const {
	const DateParts d(*this);
	std::ostringstream strm = classicStream();
	strm << std::setw(2) << d.day + 1 << ' ' << MONTH_NAMES[d.month] << ' ' << d.year << "  " << hourText(d.sec);
	return strm.str();
}


std::string Time::toDayMonthFormat() const {
	const DateParts d(*this);
	std::ostringstream strm = classicStream();
	strm << std::setfill('0') << std::setw(2) << d.day + 1 << '.' << std::setw(2) << d.month + 1 << '.';
	return strm.str();
}


Time Time::fromFullDateFormat(const std::string & text) {
	std::istringstream in(blanked(text, ":"));
	in.imbue(std::locale::classic());
	int day, year, hour, minute, second;
	std::string monthName;
	in >> day >> monthName >> year >> hour >> minute >> second;
	if (in.fail())
		return Time();
	for (int m = 0; m < 12; ++m) {
		if (string_nocase_compare(monthName, MONTH_NAMES[m]))
			return fromTextFields(year, m, day, hour, minute, second);
	}
	return Time();
}


Time Time::fromDateTimeFormat(const std::string & text) {
	int v[6]; // day, month, year, hour, minute, second
	if (!readSixInts(blanked(text, ":."), v))
		return Time();
	return fromTextFields(v[2], v[1] - 1, v[0], v[3], v[4], v[5]);
}


Time Time::fromDateTimeFormat2(const std::string & text) {
	int v[6]; // year, month, day, hour, minute, second
	if (!readSixInts(blanked(text, ":-"), v))
		return Time();
	return fromTextFields(v[0], v[1] - 1, v[2], v[3], v[4], v[5]);
}


Time::TimeFormatInfo Time::formatInfo(const std::string & pattern) {
	TimeFormatInfo info;
	const char letters[6] = { 'y', 'M', 'd', 'h', 'm', 's' };
	int * const fields[6] = { nullptr, &info.m_MM, &info.m_dd, &info.m_hh, &info.m_mm, &info.m_ss };
	const std::size_t n = pattern.size();
	std::size_t i = 0;
	while (i < n) {
		// after a run, the character behind it is tested only for the letters later in the order
		for (int k = 0; k < 6 && i < n; ++k) {
			if (pattern[i] != letters[k])
				continue;
			const bool found = k == 0 ? (info.m_yyyy != -1 || info.m_yy != -1) : *fields[k] != -1;
			if (found)
				continue;
			std::size_t len = 1;
			while (i + len < n && pattern[i + len] == letters[k])
				++len;
			if (len < 2)
				continue; // a lone letter starts no run and is passed over
			const int pos = static_cast<int>(i);
			if (k == 0) {
				if (len == 4)		info.m_yyyy = pos;
				else if (len == 2)	info.m_yy = pos;
			}
			else if (len == 2)
				*fields[k] = pos;
			i += len;
		}
		++i;
	}
	return info;
}


Time Time::fromString(const std::string & text, const TimeFormatInfo & info, bool leapYear) {
	const int positions[6] = { info.m_yy, info.m_MM, info.m_dd, info.m_hh, info.m_mm, info.m_ss };
	const bool hasYYYY = info.m_yyyy >= 0;
	int fieldCount = 0;
	int lastField = -1;
	std::size_t needed = hasYYYY ? static_cast<std::size_t>(info.m_yyyy) + 4 : 0;
	for (int pos : positions) {
		if (pos < 0)
			continue;
		++fieldCount;
		lastField = pos;
		needed = std::max(needed, static_cast<std::size_t>(pos) + 2);
	}
	if ((hasYYYY && info.m_yy >= 0) || (!hasYYYY && fieldCount == 0))
		return Time();
	int width = 2;
	if (text.size() < needed) {
		if (hasYYYY || fieldCount != 1 || static_cast<std::size_t>(lastField) >= text.size())
			return Time();
		width = 1;
	}

	Time t;
	int v;
	if (hasYYYY) {
		if (!readDigits(text, info.m_yyyy, 4, v))
			return Time();
		t.m_year = v;
	}
	for (int k = 0; k < 6; ++k) {
		if (positions[k] < 0)
			continue;
		if (!readDigits(text, positions[k], width, v))
			return Time();
		switch (k) {
			case 0 : t.m_year = 2000 + v; break;
			case 1 :
				if (v > 12)
					return Time();
				if (v >= 2)
					t.m_sec += SECONDS_UNTIL_MONTH[v - 1];
				if (v >= 3 && leapYear)
					t.m_sec += DAY;
				break;
			case 2 : t.m_sec += (v - 1) * DAY; break;
			case 3 : t.m_sec += v * 3600.0; break;
			case 4 : t.m_sec += v * 60.0; break;
			case 5 : t.m_sec += v; break;
		}
	}
	return t;
}


std::string Time::dateRFC2822(const std::string & pattern) {
	const std::time_t now = std::time(nullptr);
	std::tm local;
	if (localtime_r(&now, &local) == nullptr)
		throw Exception("Time is out of range, error calling std::localtime().", "[Time::dateRFC2822]");
	char buffer[80];
	const char * format = pattern.empty() ? "%a, %d %b %Y %H:%M:%S %z" : pattern.c_str();
	const std::size_t len = std::strftime(buffer, sizeof(buffer), format, &local);
	return std::string(buffer, len);
}


std::string Time::toTOYFormat(TOYFormat format) const {
	unsigned int days, hours, minutes, secs;
	decomposeTOY(days, hours, minutes, secs);
	const unsigned int years = days / 365;
	if (format == TOY_VERBOSE_YEARS || format == TOY_SHORT_YEARS)
		days %= 365;

	std::ostringstream strm = classicStream();
	auto empty = [&strm]() { return strm.tellp() == 0; };
	auto plural = [](unsigned int n) { return n == 1 ? ' ' : 's'; };
	switch (format) {
		case TOY_VERBOSE :
		case TOY_VERBOSE_YEARS :
			if (format == TOY_VERBOSE_YEARS && years > 0)
				strm << std::setw(4) << years << " year" << plural(years);
			if (days > 0)
				strm << std::setw(4) << days << " day" << plural(days);
			if (hours > 0)
				strm << (empty() ? "" : ", ") << std::setw(2) << hours << " hour" << plural(hours);
			if (minutes > 0)
				strm << (empty() ? "" : ", ") << std::setw(2) << minutes << " minute" << plural(minutes);
			if (secs > 0)
				strm << (empty() ? "" : " and ") << std::setw(2) << secs << " second" << plural(secs);
			if (format == TOY_VERBOSE && m_sec > 0 && m_sec < 1) {
				const unsigned int ms = static_cast<unsigned int>(m_sec * 1000);
				strm << std::setw(3) << ms << " milli-second" << plural(ms);
			}
			break;
		case TOY_SHORT :
		case TOY_SHORT_YEARS :
			// one blank and the width-2 field: two blanks between units, as in "   2 d  3 h"
			if (format == TOY_SHORT_YEARS && years > 0)
				strm << std::setw(4) << years << " a";
			if (days > 0)
				strm << std::setw(4) << days << " d";
			if (hours > 0)
				strm << (empty() ? "" : " ") << std::setw(2) << hours << " h";
			if (minutes > 0)
				strm << (empty() ? "" : " ") << std::setw(2) << minutes << " min";
			if (secs > 0)
				strm << (empty() ? "" : " ") << std::setw(2) << secs << " s";
			break;
		case TOY_CLOCK :
			strm << std::setw(3) << days << " d " << std::setfill('0') << std::setw(2) << hours << ':'
				 << std::setw(2) << minutes << ':' << std::setw(2) << secs;
			break;
		default :
			throw Exception("Unsupported format flag.", "[Time::toTOYFormat]");
	}
	return strm.str();
}


Time Time::fromTOY(const std::string & text, TOYFormat format) {
	if (format != TOY_SHORT && format != TOY_SHORT_YEARS && format != TOY_CLOCK)
		throw Exception("TOY format not implemented.", "[Time::fromTOY]");

	// a blank before every unit letter, so that "2d" reads as a number and a unit
	const std::string copy = blanked(text, ":\t");
	std::string spaced;
	for (std::size_t i = 0; i < copy.size(); ++i) {
		const char c = copy[i];
		const bool unitStart = c == 'd' || c == 'h' || c == 'a' || c == 's' || copy.compare(i, 3, "min") == 0;
		if (unitStart && !spaced.empty() && spaced.back() != ' ')
			spaced += ' ';
		spaced += c;
	}
	std::istringstream in(spaced);
	in.imbue(std::locale::classic());

	if (format == TOY_CLOCK) {
		// days, hours, minutes, seconds; the sum in double cannot wrap around
		const double factors[4] = { DAY, 3600, 60, 1 };
		double sum = 0;
		for (double factor : factors) {
			unsigned int value;
			// a minus sign would turn into a huge unsigned number
			if ((in >> std::ws).peek() == '-' || !(in >> value))
				return Time();
			sum += value * factor;
		}
		return Time(0, sum);
	}

	double sum = 0;
	double value;
	std::string word;
	try {
		while (in >> value >> word) {
			UnitList::instance()->convert(Unit(word), Unit("s"), value);
			sum += value;
		}
	}
	catch (Exception &) {
		return Time();
	}
	return Time(0, sum);
}

} // namespace ZEB
