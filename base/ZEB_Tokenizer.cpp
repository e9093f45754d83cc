#include "ZEB_Tokenizer.h"

#include <algorithm>

#include "ZEB_StringUtils.h"

namespace ZEB {

namespace {

template <typename Container>
unsigned int explodeAtChar(const std::string & text, Container & tokens, char delimiter, bool trimTokens) {
	tokens.clear();
	std::string token;
	for (char c : text) {
		if (c != delimiter) {
			token += c;
		}
		else if (!token.empty()) {
			if (trimTokens)
				trim(token);
			tokens.push_back(token);
			token.clear();
		}
	}
	if (!token.empty()) {
		if (trimTokens)
			trim(token);
		tokens.push_back(token);
	}
	if (tokens.empty())
		tokens.push_back(std::string());
	return static_cast<unsigned int>(tokens.size());
}


// Splits at any of delimiters, keeping empty tokens, and records the delimiter that followed
// each token (a blank after a final non-empty token, 0 where nothing followed). Stops after
// maxSeparators delimiters; 0 means no limit.
void splitRecording(const std::string & text, const std::string & delimiters, std::size_t maxSeparators,
					std::vector<std::string> & tokens, std::vector<char> & separators)
{
	tokens.clear();
	separators.clear();
	std::string token;
	for (char c : text) {
		if (delimiters.find(c) != std::string::npos) {
			tokens.push_back(token);
			separators.push_back(c);
			token.clear();
			if (separators.size() == maxSeparators)
				break;
		}
		else
			token += c;
	}
	if (!token.empty()) {
		tokens.push_back(token);
		separators.push_back(' ');
	}
	if (tokens.empty()) {
		tokens.push_back(std::string());
		separators.push_back('\0');
	}
}


template <typename Container>
void explodeCsv(const std::string & text, Container & fields) {
	fields.clear();
	std::string field;
	bool inQuotes = false;
	for (char c : text) {
		if (c == '"') {
			field += c;
			inQuotes = !inQuotes;
		}
		else if (c == ',' && !inQuotes) {
			fields.push_back(field);
			field.clear();
		}
		else
			field += c;
	}
	if (!field.empty())
		fields.push_back(field);
}


unsigned int explodeOnce(const std::string & text, std::vector<std::string> & tokens, std::string::size_type pos) {
	tokens.clear();
	if (pos == std::string::npos) {
		tokens.push_back(text);
		return 1;
	}
	tokens.push_back(text.substr(0, pos));
	tokens.push_back(text.substr(pos + 1));
	return 2;
}

} // namespace


unsigned int explode(const std::string & text, std::list<std::string> & tokens, char delimiter, bool trimTokens) {
	return explodeAtChar(text, tokens, delimiter, trimTokens);
}


unsigned int explode(const std::string & text, std::vector<std::string> & tokens, char delimiter, bool trimTokens) {
	return explodeAtChar(text, tokens, delimiter, trimTokens);
}


unsigned int explode(const std::string & text, std::vector<std::string> & tokens,
					 const std::string & delimiters, int flags)
{
	tokens.clear();
	const bool trimTokens = (flags & EXPLODE_TRIM_TOKENS) != 0;
	const bool keepEmpty = (flags & EXPLODE_KEEP_EMPTY_TOKENS) != 0;
	std::string token;
	auto endToken = [&]() {
		if (trimTokens)
			trim(token, " \t\r\n");
		if (!token.empty() || keepEmpty)
			tokens.push_back(token);
		token.clear();
	};
	for (char c : text) {
		if (delimiters.find(c) != std::string::npos)
			endToken();
		else
			token += c;
	}
	endToken();
	return static_cast<unsigned int>(tokens.size());
}


std::vector<std::string> explode(const std::string & text, char delimiter, int maxTokens) {
	std::vector<std::string> result;
	// 0 stops after the first token like 1; negative values other than -1 never stop
	const std::size_t limit = static_cast<std::size_t>(static_cast<long>(maxTokens));
	std::string token;
	for (char c : text) {
		if (c != delimiter) {
			token += c;
		}
		else if (!token.empty()) {
			result.push_back(token);
			if (maxTokens != -1 && result.size() >= limit)
				return result;
			token.clear();
		}
	}
	if (!token.empty())
		result.push_back(token);
	return result;
}


unsigned int explode(const std::string & text, std::list<std::string> & tokens, std::string & separators,
					 const std::string & delimiters)
{
	std::vector<std::string> tokenVec;
	std::vector<char> separatorVec;
	splitRecording(text, delimiters, EXPLODE_MAX_SEPARATORS, tokenVec, separatorVec);
	tokens.assign(tokenVec.begin(), tokenVec.end());
	separators.assign(EXPLODE_MAX_SEPARATORS, '\0');
	std::copy(separatorVec.begin(), separatorVec.end(), separators.begin());
	return static_cast<unsigned int>(tokens.size());
}


unsigned int explode_in2(const std::string & text, std::vector<std::string> & tokens, char delimiter) {
	return explodeOnce(text, tokens, text.find(delimiter));
}


unsigned int explode_in2(const std::string & text, std::vector<std::string> & tokens, const std::string & delimiters) {
	return explodeOnce(text, tokens, text.find_first_of(delimiters));
}


void explode_csv(const std::string & text, std::list<std::string> & fields) {
	explodeCsv(text, fields);
}


void explode_csv(const std::string & text, std::vector<std::string> & fields) {
	explodeCsv(text, fields);
}


void break_string(const std::string & text, std::vector<std::string> & lines, int maxLineLength) {
	// the whole text is wrapped: no limit on the number of separators
	std::vector<std::string> words;
	std::vector<char> separators;
	splitRecording(text, " \n", 0, words, separators);
	lines.clear();
	const std::size_t maxLen = static_cast<std::size_t>(static_cast<unsigned int>(maxLineLength));
	std::string line;
	for (std::size_t i = 0; i < words.size(); ++i) {
		if (words[i].size() + line.size() + 1 > maxLen) {
			lines.push_back(line);
			line.clear();
		}
		line += words[i];
		if (separators[i] == '\n') {
			lines.push_back(line);
			line.clear();
		}
		else
			line += ' ';
	}
	lines.push_back(line);
}


void parse_msg_string(const std::string & message, std::string & type, std::vector<std::string> & lines,
					  int maxLineLength, bool prefixLines)
{
	type.clear();
	std::string text = message;
	if (!message.empty() && message[0] == '[') {
		std::string::size_type close = message.find(']');
		if (close != std::string::npos && close >= 1) {
			std::string::size_type textStart = message.find_first_not_of(" \t", close + 1);
			if (textStart != std::string::npos) {
				type = message.substr(0, textStart);
				text = message.substr(textStart);
			}
		}
	}
	int lineLength = maxLineLength;
	if (!type.empty()) {
		const int typeLength = static_cast<int>(type.size());
		lineLength = std::max(typeLength + 20, maxLineLength - typeLength - 2);
	}
	break_string(text, lines, lineLength);
	if (prefixLines && !type.empty()) {
		for (std::size_t i = 0; i < lines.size(); ++i) {
			if (i + 1 == lines.size() && lines[i].empty())
				continue;
			lines[i] = type + "  " + lines[i];
		}
	}
}

} // namespace ZEB
