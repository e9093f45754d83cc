#include "ZEB_XMLAccess.h"

#include <cstring>

namespace ZEB {

const char * GetText(const TiXmlElement * element) {
	const char * text = GetTextUnsafe(element);
	return text != nullptr ? text : "";
}


const char * GetTextUnsafe(const TiXmlElement * element) {
	if (element == nullptr)
		return nullptr;
	const TiXmlNode * first = element->FirstChild();
	if (first == nullptr || first->ToText() == nullptr)
		return nullptr;
	return first->Value();
}


const TiXmlAttribute * attributeByName(const TiXmlElement * element, const char * name) {
	if (element == nullptr)
		return nullptr;
	for (const TiXmlAttribute * attrib = element->FirstAttribute(); attrib != nullptr; attrib = attrib->Next()) {
		if (std::strcmp(attrib->Name(), name) == 0)
			return attrib;
	}
	return nullptr;
}

} // namespace ZEB
