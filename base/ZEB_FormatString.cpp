#include "ZEB_FormatString.h"

#include <algorithm>
#include <iomanip>
#include <locale>
#include <ostream>
#include <sstream>

#include "ZEB_Conversions.h"
#include "ZEB_Path.h"

namespace ZEB {

namespace {

// Integers share one rendering: decimal digits, blanks before them up to the width.
template <typename T>
std::string renderInteger(T value, int fieldWidth) {
	std::string s = val2string<T>(value);
	if (fieldWidth > 0 && s.size() < static_cast<std::size_t>(fieldWidth))
		s.insert(0, static_cast<std::size_t>(fieldWidth) - s.size(), ' ');
	return s;
}

} // namespace


FormatString::FormatString(const std::string & text) {
	*this += text;
}


FormatString & FormatString::operator+=(const std::string & text) {
	// parsed aside, so that a failing placeholder number leaves the object as it was
	std::vector<Token> tokens;
	std::string literal;
	const std::size_t len = text.size();
	std::size_t i = 0;
	while (i < len) {
		if (text[i] != '%') {
			const std::size_t next = std::min(text.find('%', i), len);
			literal.append(text, i, next - i);
			i = next;
			continue;
		}
		if (!literal.empty()) {
			tokens.push_back(Token{literal, 0});
			literal.clear();
		}
		if (i + 1 == len) {						// a lone trailing '%' is literal
			literal = "%";
			++i;
			continue;
		}
		if (text[i + 1] == '%') {				// "%%" is one literal '%'
			literal = "%";
			i += 2;
			continue;
		}
		std::size_t j = i + 1;
		while (j < len && text[j] >= '0' && text[j] <= '9')
			++j;
		if (j == i + 1) {						// '%' without digits stays text
			literal = "%";
			++i;
			continue;
		}
		// nine digits fit any int; longer numbers are checked by the conversion
		int number = 0;
		if (j - i - 1 <= 9) {
			for (std::size_t k = i + 1; k < j; ++k)
				number = 10*number + (text[k] - '0');
		}
		else
			number = string2val<int>(text.substr(i + 1, j - i - 1));
		tokens.push_back(Token{std::string(), static_cast<unsigned int>(number)});
		i = j;
	}
	if (!literal.empty())
		tokens.push_back(Token{literal, 0});
	m_tokens.insert(m_tokens.end(), tokens.begin(), tokens.end());
	return *this;
}


void FormatString::set(const std::string & text) {
	clear();
	*this += text;
}


void FormatString::clear() {
	m_tokens.clear();
	m_args.clear();
}


std::string FormatString::str() const {
	std::string result;
	for (const Token & t : m_tokens) {
		if (!t.m_text.empty())
			result += t.m_text;
		else if (t.m_number >= 1 && t.m_number <= m_args.size())
			result += m_args[t.m_number - 1];
		else
			result += "%" + val2string<unsigned int>(t.m_number);
	}
	return result;
}


FormatString & FormatString::arg(const std::string & s, int fieldWidth, std::ios_base::fmtflags adjust) {
	if (fieldWidth <= 0 || s.size() >= static_cast<std::size_t>(fieldWidth)) {
		m_args.push_back(s);
		return *this;
	}
	std::string padding(static_cast<std::size_t>(fieldWidth) - s.size(), ' ');
	m_args.push_back(adjust == std::ios_base::left ? s + padding : padding + s);
	return *this;
}


FormatString & FormatString::arg(double value, int fieldWidth, char format, int precision, const char & fillChar) {
	if (format == 'g') {
		m_args.push_back(val2string<double>(value));
		return *this;
	}
	std::stringstream strm;
	strm.imbue(std::locale::classic());
	if (format == 'f')
		strm << std::fixed;
	else if (format == 'e' || format == 'E')
		strm << std::scientific;
	strm << std::setprecision(precision < 0 ? 6 : precision)
		 << std::setw(fieldWidth) << std::setfill(fillChar) << value;
	m_args.push_back(strm.str());
	return *this;
}


FormatString & FormatString::arg(unsigned int value, int fieldWidth) {
	m_args.push_back(renderInteger(value, fieldWidth));
	return *this;
}


FormatString & FormatString::arg(unsigned long value, int fieldWidth) {
	m_args.push_back(renderInteger(value, fieldWidth));
	return *this;
}


FormatString & FormatString::arg(int value, int fieldWidth) {
	m_args.push_back(renderInteger(value, fieldWidth));
	return *this;
}


FormatString & FormatString::arg(const Path & path) {
	m_args.push_back(path.str());
	return *this;
}


std::string operator+(const std::string & s, const FormatString & fmt) {
	return s + fmt.str();
}


std::ostream & operator<<(std::ostream & out, const FormatString & fmt) {
	return out << fmt.str();
}

} // namespace ZEB
