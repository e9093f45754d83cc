#include "ZEB_TimeFormat.h"

#include <algorithm>
#include <climits>

namespace ZEB {

namespace {

const char * const FIELD_LETTERS = "yMdhms";

bool isDigit(char c) {
	return c >= '0' && c <= '9';
}

/*! The value of one field text. 0 with a message for an empty text, a non-digit after the first
	digit or a zero character before it; 0 without one for no digit or too many digits. */
int valueFromSingleEntityString(const char * str, int length, TimeFormat::FormatEntity entity,
								std::string & errorText)
{
	if (str == nullptr || length < 1) {
		errorText = "Time string length wrong.";
		return 0;
	}
	int first = -1;
	int digits = 0;
	for (int i = 0; i < length; ++i) {
		if (isDigit(str[i])) {
			if (first < 0)
				first = i;
			++digits;
		}
		else if (first >= 0) {
			errorText = "digits are not continuously.";
			return 0;
		}
		else if (str[i] == '\0') {
			errorText = "End of line inside time string";
			return 0;
		}
	}
	if (digits == 0 || digits > 4)
		return 0;
	switch (entity) {
		case TimeFormat::FE_YEAR :
			if (length != 4 || digits != 4)
				return 0;
			break;
		case TimeFormat::FE_DAY_OF_YEAR :
			if (digits > 3)
				return 0;
			break;
		default :
			if (digits > 2)
				return 0;
	}
	int value = 0;
	for (int i = first; i < first + digits; ++i)
		value = 10 * value + (str[i] - '0');
	return value;
}

/*! The value reader with the range check of months; false with a message when it fails. */
bool readValue(const char * str, std::size_t length, TimeFormat::FormatEntity entity,
			   std::string & errorText, int & value)
{
	std::string message;
	value = valueFromSingleEntityString(str, static_cast<int>(std::min<std::size_t>(length, INT_MAX)),
										entity, message);
	if (message.empty() && entity == TimeFormat::FE_MONTH && value > 12)
		message = "Month value greater than 12.";
	if (message.empty())
		return true;
	errorText = message;
	value = 0;
	return false;
}

/*! Calls field(entity, str, length) for the text of each field of text from pos on, each field
	delimited by the first character of the divider behind it, the last one running to the end.
	False with a message when a divider is missing or field returns false; lastFieldRead tells
	whether the pattern ended with a field. With strictEnd, a last field that starts beyond the
	end of the text (a divider longer than what was left) fails. */
template <typename FieldFunc>
bool readFields(const std::vector<std::pair<TimeFormat::FormatEntity, std::string> > & entities,
				const std::string & text, std::size_t pos, bool strictEnd, std::string & errorText,
				bool & lastFieldRead, FieldFunc field)
{
	lastFieldRead = false;
	const std::size_t n = entities.size();
	std::size_t i = 0;
	if (entities[0].first == TimeFormat::FE_TEXT) {
		// the leading divider is not compared: the first field starts at the first digit
		while (pos < text.size() && !isDigit(text[pos]))
			++pos;
		if (pos == text.size()) {
			errorText = "Divider not found";
			return false;
		}
		i = 1;
	}
	for (; i < n; i += 2) {
		if (i + 1 == n) {
			if (pos > text.size()) {
				if (strictEnd) {
					errorText = "End of string not found";
					return false;
				}
				pos = text.size();
			}
			if (!field(entities[i].first, text.data() + pos, text.size() - pos))
				return false;
			lastFieldRead = true;
			return true;
		}
		const std::string & divider = entities[i + 1].second;
		const std::size_t end = text.find(divider[0], pos);
		if (end == std::string::npos) {
			errorText = "Divider not found";
			return false;
		}
		if (!field(entities[i].first, text.data() + pos, end - pos))
			return false;
		pos = end + divider.size(); // may pass the end of the text
	}
	return true;
}

std::size_t skipWhiteSpace(const std::string & text) {
	const std::size_t pos = text.find_first_not_of(" \t\n\v\f\r");
	return pos == std::string::npos ? text.size() : pos;
}

} // namespace


TimeFormat::TimeFormat(const std::string & format) :
	m_format(format)
{
	if (format.empty()) {
		m_errorMessage = "Format string is empty";
		m_valid = false;
		return;
	}
	if (format[0] == '\0') {
		m_valid = false;
		return;
	}

	const std::size_t n = format.size();
	std::size_t i = 0;
	while (i < n) {
		const char c = format[i];
		if (std::string(FIELD_LETTERS).find(c) == std::string::npos) {
			const std::size_t end = std::min(format.find_first_of(FIELD_LETTERS, i), n);
			m_entities.emplace_back(FE_TEXT, format.substr(i, end - i));
			i = end;
			continue;
		}
		std::size_t len = 1;
		while (i + len < n && format[i + len] == c)
			++len;
		FormatEntity entity = FE_TEXT;
		const char * error = nullptr;
		switch (c) {
			case 'y' :
				if (hasYear())			error = "More than one year string";
				else if (len == 4)		entity = FE_YEAR;
				else if (len == 2)		entity = FE_YEAR2;
				else					error = "Year string has neither 2 nor 4 characters.";
				break;
			case 'M' :
				if (len == 2)			entity = FE_MONTH;
				else					error = "Month string has not two characters.";
				break;
			case 'd' :
				if (len == 3)			entity = FE_DAY_OF_YEAR;
				else if (len == 2)		entity = FE_DAY;
				else					error = "Day string has neither 2 nor 3 characters.";
				break;
			case 'h' :
				if (len == 2)			entity = FE_HOUR;
				else					error = "Hour string has not two characters.";
				break;
			case 'm' :
				if (len == 2)			entity = FE_MINUTE;
				else					error = "Minute string has not two characters.";
				break;
			default : // 's'
				if (len == 2)			entity = FE_SECOND;
				else					error = "Second string has not two characters.";
		}
		if (error != nullptr) {
			m_valid = false;
			m_errorMessage = error;
			break;
		}
		m_entities.emplace_back(entity, std::string());
		i += len;
	}

	if (m_entities.empty() || (m_entities.size() == 1 && m_entities[0].first == FE_TEXT))
		m_valid = false;
	for (std::size_t k = 1; k < m_entities.size(); ++k) {
		if ((m_entities[k].first == FE_TEXT) == (m_entities[k - 1].first == FE_TEXT))
			m_valid = false;
	}
	if (!m_valid)
		m_entities.clear();
	if (m_entities.size() == 2) {
		if (m_entities[0].first == FE_TEXT)
			m_entities.erase(m_entities.begin());
		else
			m_entities.pop_back();
	}
}


double TimeFormat::seconds(const std::string & text, std::string & errorText, bool leapYear) {
	errorText.clear();
	if (!m_valid) {
		errorText = "Time format string not valid";
		return 0;
	}
	const std::size_t pos = skipWhiteSpace(text);
	int value;
	if (m_entities.size() == 1) {
		if (!readValue(text.data() + pos, text.size() - pos, m_entities[0].first, errorText, value))
			return 0;
		return valueToSeconds(value, m_entities[0].first, leapYear);
	}

	double sum = 0;
	bool lastFieldRead;
	const bool ok = readFields(m_entities, text, pos, false, errorText, lastFieldRead,
		[&](FormatEntity entity, const char * str, std::size_t length) {
			if (!readValue(str, length, entity, errorText, value))
				return false;
			sum += valueToSeconds(value, entity, leapYear);
			return true;
		});
	return ok ? sum : 0;
}


Time TimeFormat::time(const std::string & text, std::string & errorText, bool leapYear) {
	errorText.clear();
	if (!m_valid) {
		errorText = "Time format string not valid";
		return Time();
	}
	const std::size_t pos = skipWhiteSpace(text);
	int value;
	if (m_entities.size() == 1) {
		const FormatEntity entity = m_entities[0].first;
		if (!readValue(text.data() + pos, text.size() - pos, entity, errorText, value))
			return Time();
		Time t;
		if (entity == FE_YEAR || entity == FE_YEAR2)
			t.m_year = entity == FE_YEAR2 ? 2000 + value : value;
		else
			t.m_sec = valueToSeconds(value, entity, leapYear);
		return t;
	}

	Time t;
	bool lastFieldRead;
	const bool ok = readFields(m_entities, text, pos, true, errorText, lastFieldRead,
		[&](FormatEntity entity, const char * str, std::size_t length) {
			if (!readValue(str, length, entity, errorText, value))
				return false;
			if (entity == FE_YEAR || entity == FE_YEAR2)
				t.m_year = entity == FE_YEAR2 ? 2000 + value : value;
			else
				t.m_sec += valueToSeconds(value, entity, leapYear);
			return true;
		});
	if (!ok)
		return Time();
	if (!lastFieldRead) {
		errorText = "Time format ends with a divider.";
		return Time();
	}
	return t;
}


bool TimeFormat::hasYear() const {
	return std::any_of(m_entities.begin(), m_entities.end(), [](const std::pair<FormatEntity, std::string> & e) {
		return e.first == FE_YEAR || e.first == FE_YEAR2;
	});
}


bool TimeFormat::hasMonth() const {
	return std::any_of(m_entities.begin(), m_entities.end(), [](const std::pair<FormatEntity, std::string> & e) {
		return e.first == FE_MONTH;
	});
}


bool TimeFormat::hasDay() const {
	return std::any_of(m_entities.begin(), m_entities.end(), [](const std::pair<FormatEntity, std::string> & e) {
		return e.first == FE_DAY;
	});
}


double TimeFormat::valueToSeconds(int value, FormatEntity entity, bool leapYear) {
	const double v = value;
	switch (entity) {
		case FE_YEAR :
			return v * SECONDS_PER_YEAR;
		case FE_YEAR2 :
			return (v + 2000) * SECONDS_PER_YEAR;
		case FE_MONTH :
			if (value < 2 || value > 12)
				return 0;
			return static_cast<double>(SECONDS_UNTIL_MONTH[value - 1]) + (value >= 3 && leapYear ? SECONDS_PER_DAY : 0);
		case FE_DAY :
		case FE_DAY_OF_YEAR :
			if (value == 0) {
				m_dayStartsAtZero = true;
				return 0;
			}
			return (m_dayStartsAtZero ? v : v - 1) * SECONDS_PER_DAY;
		case FE_HOUR :
			return (m_hourStartsAtZero ? v : v - 1) * 3600;
		case FE_MINUTE :
			return (m_minuteStartsAtZero ? v : v - 1) * 60;
		case FE_SECOND :
			return m_secondStartsAtZero ? v : v - 1;
		default :
			return 0;
	}
}


double TimeFormat::secondsFromSingleEntityString(const char * str, int length, FormatEntity entity,
												 std::string & errorText, bool leapYear)
{
	int value;
	if (!readValue(str, length < 0 ? 0 : static_cast<std::size_t>(length), entity, errorText, value))
		return 0;
	return valueToSeconds(value, entity, leapYear);
}

} // namespace ZEB
