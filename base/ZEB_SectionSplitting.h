#ifndef ZEB_SectionSplittingH
#define ZEB_SectionSplittingH

#include <iosfwd>
#include <string>
#include <vector>

namespace ZEB {

// Keyword files: sections opened by a header line holding the title plain, in brackets or with
// a trailing '=' ("[NAME]", "NAME", "NAME=", "[NAME=]"; blanks around it are trimmed), followed
// by data lines. A header is recognised by the trimmed line cut with trim_keyword(), compared
// case-sensitively. Blank lines are skipped everywhere; a data line before the first header
// throws. Every output is cleared first and keeps what was collected before a failure.

/*! One group per occurrence of title with the lines after it, unchanged. No comments. */
void explode_section(const std::vector<std::string> & lines, const std::string & title,
					 std::vector<std::vector<std::string>> & groups);

/*! One block per occurrence of title with the lines after it, each cut at its first ';',
	trimmed and followed by a line feed. */
void explode_section(const std::string & text, const std::string & title, std::vector<std::string> & blocks);

/*! One block per title, in the order of titles, with the data lines (as read, each followed by a
	line feed) of every section of that title. Lines whose first character other than blank,
	tab and carriage return is one of commentChars are skipped; headers of other titles are data. */
void explode_sections(std::istream & in, const std::vector<std::string> & titles,
					  std::vector<std::string> & blocks, const std::string & commentChars);

/*! As the stream form over text, with the comment characters ";#". */
void explode_sections(const std::string & text, const std::vector<std::string> & titles,
					  std::vector<std::string> & blocks);

/*! As the stream form, with one group of lines per title. */
void explode_sections(const std::vector<std::string> & lines, const std::vector<std::string> & titles,
					  std::vector<std::vector<std::string>> & groups, const std::string & commentChars);

} // namespace ZEB

#endif // ZEB_SectionSplittingH
