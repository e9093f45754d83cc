#ifndef ZEB_XMLCommentsH
#define ZEB_XMLCommentsH

#include <string>

#include <tinyxml.h>

namespace ZEB {

/*! Adding and removing comments in TinyXML trees; these take the place of static members of
	TiXmlComment and TiXmlElement. New comment nodes belong to the element's tree. */

/*! Text of a separator comment: a line feed, 100 '~' and a line feed. Printed inside an element
	(ZEB::Print) it stands on its own line with an empty line before and after it. */
extern const char * const XML_SEPARATOR_COMMENT;

/*! Appends a comment holding text as the element's last child. */
void addComment(TiXmlElement * element, const std::string & text);

/*! Appends a comment holding XML_SEPARATOR_COMMENT as the element's last child. */
void addSeparatorComment(TiXmlElement * element);

/*! Removes and destroys every comment anywhere below node; false for any other node or null.
	A comment node passed directly is kept and gives true, so that its parent can remove it. */
bool killAllComments(TiXmlNode * node);

} // namespace ZEB

#endif // ZEB_XMLCommentsH
