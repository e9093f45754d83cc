#ifndef ZEB_XMLDumpH
#define ZEB_XMLDumpH

#include <tinyxml.h>

namespace ZEB {

/*! Diagnostic dumps of TinyXML trees to standard output; these take the place of static members
	of TiXmlElement. One node per line: "Document", "Element [tag]" with its attributes and their
	count, "Comment: [text]", "Unknown", "Text: [text]", "Declaration"; children one level deeper. */

/*! The last min(2n, 40) characters of 38 blanks, "+" and a blank: "" for 0, "+ " for 1. */
const char * getIndent(unsigned int n);

/*! 2n blanks, at most 40. */
const char * getIndentAlt(unsigned int n);

/*! A line feed, then one line per attribute: getIndent(indent), "name: value=[value]", " int=%d"
	when the value reads as an int, " d=%1.1f" when it reads as a double. Returns the number of
	attributes; a null element gives 0 and writes nothing. */
int dump_attribs_to_stdout(const TiXmlElement * element, unsigned int indent);

/*! Dumps node and, one level deeper each, all nodes below it; a null node writes nothing. */
void dump_to_stdout(const TiXmlNode * node, unsigned int indent);

/*! Loads the file (encoding detected) and dumps it behind a line "\n<fileName>:"; a file that cannot
	be loaded gives the line "Failed to load file "<fileName>"". */
void dump_to_stdout(const char * fileName);

} // namespace ZEB

#endif // ZEB_XMLDumpH
