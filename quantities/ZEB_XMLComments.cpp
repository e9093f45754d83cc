#include "ZEB_XMLComments.h"

namespace ZEB {

const char * const XML_SEPARATOR_COMMENT =
	"\n~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~"
	"~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\n";


void addComment(TiXmlElement * element, const std::string & text) {
	element->LinkEndChild(new TiXmlComment(text.c_str()));
}


void addSeparatorComment(TiXmlElement * element) {
	element->LinkEndChild(new TiXmlComment(XML_SEPARATOR_COMMENT));
}


bool killAllComments(TiXmlNode * node) {
	if (node == nullptr)
		return false;
	if (node->Type() == TiXmlNode::TINYXML_COMMENT)
		return true;
	TiXmlNode * child = node->FirstChild();
	while (child != nullptr) {
		TiXmlNode * next = child->NextSibling();
		if (killAllComments(child))
			node->RemoveChild(child);
		child = next;
	}
	return false;
}

} // namespace ZEB
