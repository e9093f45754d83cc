#include "ZEB_XMLValueElements.h"

#include <locale>
#include <sstream>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_XMLAccess.h"

namespace ZEB {

namespace {

const TiXmlElement * checked(const TiXmlElement * element) {
	if (element == nullptr)
		throw std::runtime_error("Error in XML file: missing element.");
	return element;
}

TiXmlElement * appendElement(TiXmlElement * parent, const std::string & tag) {
	TiXmlElement * element = new TiXmlElement(tag);
	parent->LinkEndChild(element);
	return element;
}

void appendText(TiXmlElement * element, const std::string & text) {
	element->LinkEndChild(new TiXmlText(text));
}

// Each value followed by one blank, doubles with the stream's default 6 digits.
template <typename T>
std::string listText(const std::vector<T> & values) {
	std::ostringstream out;
	out.imbue(std::locale::classic());
	for (const T & value : values)
		out << value << ' ';
	return out.str();
}

// Writes the parameter element without its unit.
TiXmlElement * appendParameter(TiXmlElement * parent, const std::string & name, bool nameAsTag) {
	TiXmlElement * element = appendElement(parent, nameAsTag ? name : std::string("ZEB:Parameter"));
	if (!nameAsTag)
		element->SetAttribute("name", name);
	return element;
}

template <typename T>
void appendIntParameter(TiXmlElement * parent, const std::string & name, const std::string & unit,
						T value, bool nameAsTag)
{
	TiXmlElement * element = appendParameter(parent, name, nameAsTag);
	if (!unit.empty())
		element->SetAttribute("unit", unit);
	std::ostringstream out;
	out.imbue(std::locale::classic());
	out << value;
	appendText(element, out.str());
}

// Copies the attribute's value into value; throws "Missing '<name>' attribute in <form> element."
void requireAttribute(const TiXmlElement * element, const char * name, const char * form, std::string & value) {
	const TiXmlAttribute * attrib = attributeByName(element, name);
	if (attrib == nullptr)
		throw XMLReadError(element, std::string("Missing '") + name + "' attribute in " + form + " element.");
	value = attrib->ValueStr();
}

template <typename T>
void readVector(const TiXmlElement * element, std::vector<T> & values, const char * typeText) {
	checked(element);
	values.clear();
	std::istringstream words(GetText(element));
	words.imbue(std::locale::classic());
	std::string word;
	while (words >> word) {
		std::istringstream in(word);
		in.imbue(std::locale::classic());
		T value{};
		in >> value;
		if (in.fail())
			throw XMLReadError(element, std::string("Invalid ") + typeText + " value '" + word + "' in vector.");
		values.push_back(value);
	}
}

} // namespace


std::runtime_error XMLReadError(const TiXmlNode * node, const std::string & text) {
	return std::runtime_error("Error in XML file, line " + std::to_string(node->Row()) + ": " + text);
}


TiXmlElement * appendSingleAttributeElement(TiXmlElement * parent, const char * elementName,
											const char * attributeName, const std::string & attributeValue,
											const std::string & text)
{
	TiXmlElement * element = appendElement(parent, elementName);
	if (attributeName != nullptr)
		element->SetAttribute(attributeName, attributeValue.c_str());
	if (!text.empty())
		appendText(element, text);
	return element;
}


void readSingleAttributeElement(const TiXmlElement * element, const char * attributeName,
								std::string & attributeValue, std::string & text, bool attributeOptional)
{
	checked(element);
	if (attributeName != nullptr) {
		const TiXmlAttribute * attrib = attributeByName(element, attributeName);
		if (attrib != nullptr)
			attributeValue = attrib->ValueStr();
		else if (!attributeOptional)
			throw XMLReadError(element, std::string("Missing '") + attributeName + "' attribute in element.");
	}
	text = GetText(element);
}


void readSingleAttributeElement(const TiXmlElement * parent, const char * childName, const char * attributeName,
								std::string & attributeValue, std::string & text)
{
	const TiXmlElement * child = checked(parent)->FirstChildElement(childName);
	if (child == nullptr)
		throw XMLReadError(parent, std::string("Missing child element '") + childName + "'.");
	if (attributeName != nullptr) {
		const TiXmlAttribute * attrib = attributeByName(child, attributeName);
		if (attrib != nullptr)
			attributeValue = attrib->ValueStr();
		else
			attributeValue.clear();
	}
	text = GetText(child);
}


void appendZEBParameterElement(TiXmlElement * parent, const std::string & name, const std::string & unit,
							   double value, bool nameAsTag)
{
	TiXmlElement * element = appendParameter(parent, name, nameAsTag);
	element->SetAttribute("unit", unit);
	std::ostringstream out;
	out.imbue(std::locale::classic());
	out.precision(10);
	out << value;
	appendText(element, out.str());
}


void appendZEBParameterElement(TiXmlElement * parent, const std::string & name, const std::string & unit,
							   unsigned int value, bool nameAsTag)
{
	appendIntParameter(parent, name, unit, value, nameAsTag);
}


void appendZEBParameterElement(TiXmlElement * parent, const std::string & name, const std::string & unit,
							   int value, bool nameAsTag)
{
	appendIntParameter(parent, name, unit, value, nameAsTag);
}


void readZEBParameterElement(const TiXmlElement * element, std::string & name, std::string & unit,
							 double & value, bool nameAsTag)
{
	checked(element);
	if (!nameAsTag)
		requireAttribute(element, "name", "ZEB:Parameter", name);
	requireAttribute(element, "unit", "ZEB:Parameter", unit);
	try {
		value = string2val<double>(GetText(element));
	}
	catch (const Exception & ex) {
		throw XMLReadError(element, std::string("Cannot read value in ZEB:Parameter element.") + ex.what());
	}
}


void appendZEBDateElement(TiXmlElement * parent, const std::string & name, const std::string & languageFormat,
						  const std::string & dateText, bool nameAsTag)
{
	TiXmlElement * element = appendElement(parent, nameAsTag ? name : std::string("ZEB:Date"));
	if (!nameAsTag)
		element->SetAttribute("name", name);
	if (!languageFormat.empty())
		element->SetAttribute("languageFormat", languageFormat);
	appendText(element, dateText);
}


void readZEBDateElement(const TiXmlElement * element, std::string & name, std::string & languageFormat,
						std::string & dateText, bool nameAsTag)
{
	checked(element);
	if (!nameAsTag)
		requireAttribute(element, "name", "ZEB:Date", name);
	const TiXmlAttribute * attrib = attributeByName(element, "languageFormat");
	if (attrib != nullptr)
		languageFormat = attrib->ValueStr();
	dateText = GetText(element);
}


void appendZEBUnitVectorElement(TiXmlElement * parent, const std::string & name, const std::string & unit,
								const std::vector<double> & values, bool nameAsTag)
{
	TiXmlElement * element = appendElement(parent, nameAsTag ? name : std::string("ZEB:UnitVector"));
	if (!nameAsTag)
		element->SetAttribute("name", name);
	element->SetAttribute("unit", unit);
	appendText(element, listText(values));
}


void readZEBUnitVectorElement(const TiXmlElement * element, std::string & name, std::string & unit,
							  std::vector<double> & values, bool nameAsTag)
{
	checked(element);
	if (!nameAsTag)
		requireAttribute(element, "name", "ZEB:UnitVector", name);
	requireAttribute(element, "unit", "ZEB:UnitVector", unit);
	try {
		string2valueVector(GetText(element), values);
	}
	catch (const Exception & ex) {
		throw XMLReadError(element, ex.what());
	}
}


void appendZEBVectorElement(TiXmlElement * parent, const std::string & elementName, const std::vector<double> & values) {
	appendText(appendElement(parent, elementName), listText(values));
}


void appendZEBVectorElement(TiXmlElement * parent, const std::string & elementName, const std::vector<unsigned int> & values) {
	appendText(appendElement(parent, elementName), listText(values));
}


void appendZEBVectorElement(TiXmlElement * parent, const std::string & elementName, const std::vector<int> & values) {
	appendText(appendElement(parent, elementName), listText(values));
}


void readZEBVectorElement(const TiXmlElement * element, std::vector<double> & values) {
	readVector(element, values, "floating point");
}


void readZEBVectorElement(const TiXmlElement * element, std::vector<unsigned int> & values) {
	readVector(element, values, "unsigned integer");
}


void readZEBVectorElement(const TiXmlElement * element, std::vector<int> & values) {
	readVector(element, values, "unsigned integer");
}

} // namespace ZEB
