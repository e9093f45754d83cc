#include "ZEB_SectionSplitting.h"

#include <algorithm>
#include <istream>
#include <sstream>

#include "ZEB_Exception.h"
#include "ZEB_StringUtils.h"

namespace ZEB {

namespace {

const char * const BLANKS = " \t\r";
const char * const HEADER_EXPECTED = "Expected section header in first non-empty line:\n'%1'";

bool isBlank(const std::string & line) {
	return line.find_first_not_of(BLANKS) == std::string::npos;
}

bool isComment(const std::string & line, const std::string & commentChars) {
	const std::string::size_type first = line.find_first_not_of(BLANKS);
	return first != std::string::npos && commentChars.find(line[first]) != std::string::npos;
}

std::string keyword(const std::string & line) {
	std::string kw = trim_copy(line);
	return trim_keyword(kw);
}

// Index of the first title equal to the line's keyword, or titles.size().
std::size_t titleIndex(const std::string & line, const std::vector<std::string> & titles) {
	const std::string kw = keyword(line);
	return static_cast<std::size_t>(std::find(titles.begin(), titles.end(), kw) - titles.begin());
}

// Distributes the lines that next() delivers to the sections of titles; add(index, line) stores
// a data line of section index.
template <typename NextLine, typename AddLine>
void splitSections(NextLine next, const std::vector<std::string> & titles, const std::string & commentChars,
				   AddLine add)
{
	std::size_t current = titles.size();		// no section yet
	std::string line;
	while (next(line)) {
		if (isBlank(line) || isComment(line, commentChars))
			continue;
		const std::size_t index = titleIndex(line, titles);
		if (index < titles.size())
			current = index;
		else if (current == titles.size())
			throw Exception(FormatString(HEADER_EXPECTED).arg(line), "[ZEB::explode_sections]");
		else
			add(current, line);
	}
}

} // namespace


void explode_section(const std::vector<std::string> & lines, const std::string & title,
					 std::vector<std::vector<std::string>> & groups)
{
	groups.clear();
	for (const std::string & line : lines) {
		if (isBlank(line))
			continue;
		if (keyword(line) == title)
			groups.emplace_back();
		else if (groups.empty())
			throw Exception(FormatString(HEADER_EXPECTED).arg(line), "[ZEB::explode_section]");
		else
			groups.back().push_back(line);
	}
}


void explode_section(const std::string & text, const std::string & title, std::vector<std::string> & blocks) {
	blocks.clear();
	std::istringstream in(text);
	std::string line;
	while (std::getline(in, line)) {
		remove_comment(line);
		trim(line);
		if (line.empty())
			continue;
		if (keyword(line) == title)
			blocks.emplace_back();
		else if (blocks.empty())
			throw Exception("Expected keyword/section title!", "[explode_section]");
		else
			blocks.back() += line + "\n";
	}
}


void explode_sections(std::istream & in, const std::vector<std::string> & titles,
					  std::vector<std::string> & blocks, const std::string & commentChars)
{
	blocks.assign(titles.size(), std::string());
	splitSections([&in](std::string & line) { return static_cast<bool>(std::getline(in, line)); },
				  titles, commentChars,
				  [&blocks](std::size_t index, const std::string & line) { blocks[index] += line + "\n"; });
}


void explode_sections(const std::string & text, const std::vector<std::string> & titles,
					  std::vector<std::string> & blocks)
{
	std::istringstream in(text);
	explode_sections(in, titles, blocks, ";#");
}


void explode_sections(const std::vector<std::string> & lines, const std::vector<std::string> & titles,
					  std::vector<std::vector<std::string>> & groups, const std::string & commentChars)
{
	groups.assign(titles.size(), std::vector<std::string>());
	std::size_t pos = 0;
	splitSections([&lines, &pos](std::string & line) {
					  if (pos == lines.size())
						  return false;
					  line = lines[pos++];
					  return true;
				  },
				  titles, commentChars,
				  [&groups](std::size_t index, const std::string & line) { groups[index].push_back(line); });
}

} // namespace ZEB
