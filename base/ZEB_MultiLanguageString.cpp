#include "ZEB_MultiLanguageString.h"

#include <cstdint>
#include <istream>
#include <ostream>

#include "ZEB_Exception.h"
#include "ZEB_InputOutput.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Tokenizer.h"

namespace ZEB {

namespace {

const char * const ALL = "all";
const unsigned int MAX_BINARY_TEXT = 10000;

std::string checkedLangId(const std::string & lang, const char * location) {
	std::string id = tolower_string(lang);
	if (id == ALL)
		throw Exception("Cannot use 'all' as language ID for MultiLanguageString.", location);
	return id;
}

} // namespace


std::string MultiLanguageString::m_language = "en";


MultiLanguageString::MultiLanguageString() {
	clear();
}


MultiLanguageString::MultiLanguageString(const std::string & encoded) {
	setEncodedString(encoded);
}


void MultiLanguageString::setEncodedString(const std::string & encoded) {
	explodeLangIDString(encoded, m_texts);
	m_texts[ALL] = encoded;
}


void MultiLanguageString::explodeLangIDString(const std::string & encoded, std::map<std::string, std::string> & map) {
	map.clear();
	if (encoded.empty())
		return;
	std::vector<std::string> pieces;
	explode(encoded, pieces, '|', false);
	auto plainText = [&]() {
		map.clear();
		map[ALL] = encoded;
	};
	for (std::string piece : pieces) {
		trim(piece);
		if (piece.size() < 3)
			return plainText();
		const std::string::size_type colon = piece.find(':');
		if (colon == std::string::npos)
			continue;
		const std::string id = tolower_string(piece.substr(0, colon));
		const std::string text = trim_copy(piece.substr(colon + 1));
		if (text.empty())
			continue;
		if (id.size() != 2)
			return plainText();
		map[id] = text;
	}
}


std::string MultiLanguageString::composeLangIDString(const std::map<std::string, std::string> & map) {
	std::string result;
	for (const auto & entry : map) {
		if (entry.first == ALL)
			continue;
		if (!result.empty())
			result += " |";
		result += toupper_string(entry.first) + ": " + entry.second;
	}
	return result;
}


std::string MultiLanguageString::string(const std::string & lang, bool useAll) const {
	const std::string id = checkedLangId(lang, "[MultiLanguageString::string]");
	auto it = m_texts.find(id);
	if (it != m_texts.end())
		return it->second;
	if (!useAll)
		return std::string();
	it = m_texts.find(ALL);
	return it != m_texts.end() ? it->second : std::string();
}


std::string MultiLanguageString::string(const std::string & lang, const std::string & fallbackLang) const {
	const std::string id = checkedLangId(lang, "[MultiLanguageString::string]");
	for (const std::string & key : {id, fallbackLang, std::string(ALL)}) {
		auto it = m_texts.find(key);
		if (it != m_texts.end())
			return it->second;
	}
	return std::string();
}


void MultiLanguageString::setString(const std::string & text, const std::string & lang) {
	const std::string id = checkedLangId(lang, "[MultiLanguageString::setString]");
	if (trim_copy(text).empty())
		m_texts.erase(id);
	else
		m_texts[id] = text;
	createAllString();
}


void MultiLanguageString::createAllString() {
	const std::string all = composeLangIDString(m_texts);
	if (!all.empty())
		m_texts[ALL] = all;
}


bool MultiLanguageString::hasLanguage(const std::string & lang) const {
	const std::string id = tolower_string(lang);
	return id != ALL && m_texts.find(id) != m_texts.end();
}


void MultiLanguageString::languages(std::set<std::string> & langs) const {
	for (const auto & entry : m_texts)
		if (entry.first != ALL)
			langs.insert(entry.first);
}


std::vector<std::string> MultiLanguageString::languages() const {
	std::vector<std::string> result;
	for (const auto & entry : m_texts)		// map order is sorted order
		if (entry.first != ALL)
			result.push_back(entry.first);
	return result;
}


void MultiLanguageString::clear() {
	m_texts.clear();
	m_texts[ALL] = std::string();
}


void MultiLanguageString::writeBinary(std::ostream & out) const {
	const std::uint64_t count = m_texts.size();
	out.write(reinterpret_cast<const char *>(&count), sizeof(count));
	for (const auto & entry : m_texts) {
		write_string_binary(out, entry.first);
		write_string_binary(out, entry.second);
	}
}


void MultiLanguageString::readBinary(std::istream & in) {
	std::uint64_t count = 0;
	in.read(reinterpret_cast<char *>(&count), sizeof(count));
	if (!in)
		throw Exception("Error reading from input stream!", "[MultiLanguageString::readBinary]");
	// each entry tests the stream itself, so a corrupt count ends at the stream's end
	for (std::uint64_t i = 0; i < count; ++i) {
		std::string key, text;
		read_string_binary(in, key, MAX_BINARY_TEXT);
		read_string_binary(in, text, MAX_BINARY_TEXT);
		m_texts[key] = text;
	}
}


std::ostream & operator<<(std::ostream & out, const MultiLanguageString & text) {
	auto it = text.m_texts.find("all");
	if (it != text.m_texts.end())
		out << it->second;
	return out;
}


std::istream & operator>>(std::istream & in, MultiLanguageString & text) {
	std::string line;
	std::getline(in, line);
	if (in.good())
		text.setEncodedString(line);
	return in;
}


// declared with the format strings; they render the English text
FormatString::FormatString(const MultiLanguageString & text) {
	*this += text.string("en", false);
}


FormatString & FormatString::arg(const MultiLanguageString & text, int fieldWidth) {
	return arg(text.string("en", false), fieldWidth);
}

} // namespace ZEB
