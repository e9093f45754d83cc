#ifndef ZEB_XMLAccessH
#define ZEB_XMLAccessH

#include <tinyxml.h>

namespace ZEB {

/*! Text and attribute access on TinyXML elements.

	GetText takes the place of TiXmlElement::GetText, which gives null where every reader of the
	system expects an empty text; attributeByName takes the place of a static member of
	TiXmlAttribute. The returned pointers point into the tree and stay valid while the node
	exists and is not changed.
*/

/*! The text of the element's first child when that is a text node, otherwise "" (also for a null
	element); never null. Only the first child is looked at. */
const char * GetText(const TiXmlElement * element);

/*! As GetText, but null where GetText gives "". */
const char * GetTextUnsafe(const TiXmlElement * element);

/*! The element's first attribute whose name equals name exactly (case-sensitive); null when there
	is none or element is null. name must not be null. */
const TiXmlAttribute * attributeByName(const TiXmlElement * element, const char * name);

} // namespace ZEB

#endif // ZEB_XMLAccessH
