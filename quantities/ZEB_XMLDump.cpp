#include "ZEB_XMLDump.h"

#include <cstdio>
#include <locale>
#include <sstream>
#include <string>

namespace ZEB {

namespace {

const unsigned int INDENT_LENGTH = 40;

const char * lastChars(const char * text, unsigned int n) {
	unsigned int count = n >= INDENT_LENGTH / 2 ? INDENT_LENGTH : 2 * n;
	return text + (INDENT_LENGTH - count);
}

// The attribute's value as a double with '.' as decimal point, whatever the C locale.
bool readDouble(const TiXmlAttribute * attrib, double & value) {
	std::istringstream in(attrib->ValueStr());
	in.imbue(std::locale::classic());
	in >> value;
	return !in.fail();
}

std::string fixedOneDigit(double value) {
	std::ostringstream out;
	out.imbue(std::locale::classic());
	out.setf(std::ios_base::fixed, std::ios_base::floatfield);
	out.precision(1);
	out << value;
	return out.str();
}

} // namespace


const char * getIndent(unsigned int n) {
	static const char * const INDENT = "                                      + ";
	return lastChars(INDENT, n);
}


const char * getIndentAlt(unsigned int n) {
	static const char * const INDENT = "                                        ";
	return lastChars(INDENT, n);
}


int dump_attribs_to_stdout(const TiXmlElement * element, unsigned int indent) {
	if (element == nullptr)
		return 0;
	const char * indentText = getIndent(indent);
	std::putchar('\n');
	int count = 0;
	for (const TiXmlAttribute * attrib = element->FirstAttribute(); attrib != nullptr; attrib = attrib->Next()) {
		std::printf("%s%s: value=[%s]", indentText, attrib->Name(), attrib->Value());
		int intValue = 0;
		if (attrib->QueryIntValue(&intValue) == TIXML_SUCCESS)
			std::printf(" int=%d", intValue);
		double doubleValue = 0;
		if (readDouble(attrib, doubleValue))
			std::printf(" d=%s", fixedOneDigit(doubleValue).c_str());
		std::putchar('\n');
		++count;
	}
	return count;
}


void dump_to_stdout(const TiXmlNode * node, unsigned int indent) {
	if (node == nullptr)
		return;
	std::printf("%s", getIndent(indent));
	switch (node->Type()) {
		case TiXmlNode::TINYXML_DOCUMENT:
			std::printf("Document");
			break;
		case TiXmlNode::TINYXML_ELEMENT: {
			std::printf("Element [%s]", node->Value());
			int count = dump_attribs_to_stdout(node->ToElement(), indent + 1);
			if (count == 0)
				std::printf(" (No attributes)");
			else if (count == 1)
				std::printf("%s1 attribute", getIndentAlt(indent));
			else
				std::printf("%s%d attributes", getIndentAlt(indent), count);
			break;
		}
		case TiXmlNode::TINYXML_COMMENT:
			std::printf("Comment: [%s]", node->Value());
			break;
		case TiXmlNode::TINYXML_UNKNOWN:
			std::printf("Unknown");
			break;
		case TiXmlNode::TINYXML_TEXT:
			std::printf("Text: [%s]", node->Value());
			break;
		case TiXmlNode::TINYXML_DECLARATION:
			std::printf("Declaration");
			break;
		default:
			break;
	}
	std::putchar('\n');
	for (const TiXmlNode * child = node->FirstChild(); child != nullptr; child = child->NextSibling())
		dump_to_stdout(child, indent + 1);
}


void dump_to_stdout(const char * fileName) {
	TiXmlDocument document(fileName);
	if (document.LoadFile(TIXML_ENCODING_UNKNOWN)) {
		std::printf("\n%s:\n", fileName);
		dump_to_stdout(&document, 0);
	}
	else
		std::printf("Failed to load file \"%s\"\n", fileName);
}

} // namespace ZEB
