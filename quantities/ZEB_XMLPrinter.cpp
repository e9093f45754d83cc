#include "ZEB_XMLPrinter.h"

#include <cstdlib>
#include <new>

namespace ZEB {

namespace {

void writeTabs(FILE * file, int depth) {
	for (int i = 0; i < depth; ++i)
		std::fputc('\t', file);
}

} // namespace


void Print(const TiXmlElement * element, FILE * file, int depth) {
	if (element == nullptr)
		return;
	writeTabs(file, depth);
	std::fprintf(file, "<%s", element->Value());
	for (const TiXmlAttribute * attrib = element->FirstAttribute(); attrib != nullptr; attrib = attrib->Next()) {
		std::fputc(' ', file);
		attrib->Print(file, depth);
	}

	const TiXmlNode * first = element->FirstChild();
	if (first == nullptr) {
		std::fputs(" />", file);
		return;
	}
	std::fputc('>', file);
	if (first == element->LastChild() && first->ToText() != nullptr) {
		first->Print(file, depth + 1);
		std::fprintf(file, "</%s>", element->Value());
		return;
	}
	for (const TiXmlNode * child = first; child != nullptr; child = child->NextSibling()) {
		if (child->ToText() == nullptr)
			std::fputc('\n', file);
		Print(child, file, depth + 1);
	}
	std::fputc('\n', file);
	writeTabs(file, depth);
	std::fprintf(file, "</%s>", element->Value());
}


void Print(const TiXmlComment * comment, FILE * file, int depth) {
	if (comment == nullptr)
		return;
	const std::string & text = comment->ValueStr();
	const char * begin = text.data();
	const char * end = begin + text.size();
	if (begin == end)
		return;
	if (*begin == '\n') {
		std::fputc('\n', file);
		if (++begin == end)
			return;
	}
	bool trailingLineFeed = false;
	if (*(end - 1) == '\n') {
		if (end - begin == 1) {
			std::fputc('\n', file);
			return;
		}
		--end;
		trailingLineFeed = true;
	}
	writeTabs(file, depth);
	std::fputs("<!--", file);
	std::fwrite(begin, 1, static_cast<size_t>(end - begin), file);
	std::fputs("-->", file);
	if (trailingLineFeed)
		std::fputc('\n', file);
}


void Print(const TiXmlNode * node, FILE * file, int depth) {
	if (node == nullptr)
		return;
	switch (node->Type()) {
		case TiXmlNode::TINYXML_ELEMENT:
			Print(node->ToElement(), file, depth);
			break;
		case TiXmlNode::TINYXML_COMMENT:
			Print(node->ToComment(), file, depth);
			break;
		case TiXmlNode::TINYXML_DOCUMENT:
			for (const TiXmlNode * child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
				Print(child, file, depth);
				std::fputc('\n', file);
			}
			break;
		default:
			node->Print(file, depth);
	}
}


bool SaveFile(const TiXmlDocument & document, const std::string & fileName) {
	FILE * file = std::fopen(fileName.c_str(), "w");
	if (file == nullptr)
		return false;
	Print(&document, file, 0);
	bool ok = std::ferror(file) == 0;
	if (std::fclose(file) != 0)
		ok = false;
	return ok;
}


std::string PrintToString(const TiXmlNode * node, int depth) {
	char * buffer = nullptr;
	size_t size = 0;
	FILE * file = open_memstream(&buffer, &size);
	if (file == nullptr)
		throw std::bad_alloc();
	Print(node, file, depth);
	std::fclose(file);
	std::string text(buffer, size);
	std::free(buffer);
	return text;
}

} // namespace ZEB
