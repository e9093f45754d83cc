#ifndef ZEB_XMLValueElementsH
#define ZEB_XMLValueElementsH

#include <stdexcept>
#include <string>
#include <vector>

#include <tinyxml.h>

namespace ZEB {

/*! Readers and writers of small self-describing XML elements: an element with one attribute and a
	text, a named parameter with its unit, a named date text, a named unit vector and plain lists of
	numbers. They take the place of static members of TiXmlElement.

	Writers create one element, append it as the last child of parent (which must not be null and
	owns it from then on) and fill it; texts are ordinary text children. Numbers are written with
	'.' as decimal point: double parameters with 10 significant digits (%.10g), doubles in lists
	with 6 (%g), integers in decimal; list values are each followed by one blank.

	Readers do not check the element's tag; they read attributes by exact name and the text with
	ZEB::GetText. Every failure is a std::runtime_error "Error in XML file, line <Row()>: <text>";
	arguments assigned before a failure keep their new values. A null element throws
	"Error in XML file: missing element.".

	nameAsTag true: the element's tag is the item's name, no "name" attribute is written, and the
	readers leave the name argument unchanged. false: the tag is the form's name ("ZEB:Parameter",
	"ZEB:Date", "ZEB:UnitVector") and the name is the "name" attribute.
*/

/*! The error of a reader about node: "Error in XML file, line <node's Row()>: " + text. */
std::runtime_error XMLReadError(const TiXmlNode * node, const std::string & text);

/*! <elementName attributeName="attributeValue">text</elementName>; no attribute when attributeName
	is null, no text child when text is empty. Returns the new element. */
TiXmlElement * appendSingleAttributeElement(TiXmlElement * parent, const char * elementName,
											const char * attributeName, const std::string & attributeValue,
											const std::string & text);

/*! Reads the attribute (unless attributeName is null) and the text of element. A missing attribute
	throws "Missing '<attributeName>' attribute in element." unless attributeOptional, which leaves
	attributeValue unchanged. */
void readSingleAttributeElement(const TiXmlElement * element, const char * attributeName,
								std::string & attributeValue, std::string & text, bool attributeOptional);

/*! Reads the first child element of parent named childName: a missing child throws
	"Missing child element '<childName>'."; a missing attribute clears attributeValue. */
void readSingleAttributeElement(const TiXmlElement * parent, const char * childName, const char * attributeName,
								std::string & attributeValue, std::string & text);

/*! <ZEB:Parameter name="Area" unit="m2">3.141592654</ZEB:Parameter>; "unit" is always written. */
void appendZEBParameterElement(TiXmlElement * parent, const std::string & name, const std::string & unit,
							   double value, bool nameAsTag);
/*! As the double form; "unit" is written only when unit is not empty. */
void appendZEBParameterElement(TiXmlElement * parent, const std::string & name, const std::string & unit,
							   unsigned int value, bool nameAsTag);
void appendZEBParameterElement(TiXmlElement * parent, const std::string & name, const std::string & unit,
							   int value, bool nameAsTag);

/*! Reads "name" (unless nameAsTag), "unit" (required, may be empty) and the number; a bad number
	throws "Cannot read value in ZEB:Parameter element." directly followed by the conversion's
	message, leaving value unchanged. */
void readZEBParameterElement(const TiXmlElement * element, std::string & name, std::string & unit,
							 double & value, bool nameAsTag = false);

/*! The date text, uninterpreted; "languageFormat" only when not empty. */
void appendZEBDateElement(TiXmlElement * parent, const std::string & name, const std::string & languageFormat,
						  const std::string & dateText, bool nameAsTag);

/*! Reads "name" (required unless nameAsTag), "languageFormat" (left unchanged when absent) and the
	text. */
void readZEBDateElement(const TiXmlElement * element, std::string & name, std::string & languageFormat,
						std::string & dateText, bool nameAsTag);

/*! "unit" is always written; the values {1, 1/3} give the text "1 0.333333 ". */
void appendZEBUnitVectorElement(TiXmlElement * parent, const std::string & name, const std::string & unit,
								const std::vector<double> & values, bool nameAsTag);

/*! Reads "name" (unless nameAsTag), "unit" (required) and the numbers with
	ZEB::string2valueVector; an empty text gives no values. */
void readZEBUnitVectorElement(const TiXmlElement * element, std::string & name, std::string & unit,
							  std::vector<double> & values, bool nameAsTag);

/*! <elementName>v1 v2 ... </elementName>, without attributes. */
void appendZEBVectorElement(TiXmlElement * parent, const std::string & elementName, const std::vector<double> & values);
void appendZEBVectorElement(TiXmlElement * parent, const std::string & elementName, const std::vector<unsigned int> & values);
void appendZEBVectorElement(TiXmlElement * parent, const std::string & elementName, const std::vector<int> & values);

/*! Reads the white-space separated words of the text, each by stream extraction ("1.5abc" gives 1.5).
	The first word that is no number throws "Invalid floating point value '<word>' in vector."
	(doubles) or "Invalid unsigned integer value '<word>' in vector." (unsigned ints and ints);
	the values before it stay in values. */
void readZEBVectorElement(const TiXmlElement * element, std::vector<double> & values);
void readZEBVectorElement(const TiXmlElement * element, std::vector<unsigned int> & values);
void readZEBVectorElement(const TiXmlElement * element, std::vector<int> & values);

} // namespace ZEB

#endif // ZEB_XMLValueElementsH
