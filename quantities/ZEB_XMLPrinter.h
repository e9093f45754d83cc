#ifndef ZEB_XMLPrinterH
#define ZEB_XMLPrinterH

#include <cstdio>
#include <string>

#include <tinyxml.h>

namespace ZEB {

/*! Printing of XML trees to a FILE with one TAB per depth level.

	The installed TinyXML cannot carry changed printing, so these functions take the place of
	TiXmlElement::Print and TiXmlComment::Print: elements and comments (at any depth below the
	node printed) follow the rules below, documents print every top-level node at depth 0 and a
	line feed after it, every other node kind (text, CDATA, declaration, unknown) keeps the
	library's own printing. Output of the library's TiXmlPrinter and stream operators is not
	affected. Write errors on the FILE are ignored.
*/

/*! depth TABs, "<tag", each attribute behind a blank as the library prints it; then " />" without
	children, the text and "</tag>" on the same line for one text child, otherwise every non-text
	child on a new line one level deeper and "</tag>" on a line of its own at depth. No line feed
	follows the closing tag. */
void Print(const TiXmlElement * element, FILE * file, int depth);

/*! Nothing for an empty text. A leading and a trailing line feed of the text are written outside
	the indented "<!--text-->"; a text of one or two line feeds prints only the line feeds. */
void Print(const TiXmlComment * comment, FILE * file, int depth);

/*! Prints any node kind by the rules above; a null node prints nothing. */
void Print(const TiXmlNode * node, FILE * file, int depth);

/*! Writes the document by the rules above into fileName (replaced when it exists). False when the
	file cannot be opened or written. No byte-order mark is written. */
bool SaveFile(const TiXmlDocument & document, const std::string & fileName);

/*! What Print(node, file, depth) writes, as a text. */
std::string PrintToString(const TiXmlNode * node, int depth);

} // namespace ZEB

#endif // ZEB_XMLPrinterH
