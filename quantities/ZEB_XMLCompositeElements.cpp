#include "ZEB_XMLCompositeElements.h"

#include <locale>
#include <sstream>
#include <stdexcept>

#include "ZEB_XMLAccess.h"
#include "ZEB_XMLValueElements.h"

namespace ZEB {

namespace {

const TiXmlElement * checked(const TiXmlElement * element) {
	if (element == nullptr)
		throw std::runtime_error("Error in XML file: missing element.");
	return element;
}

void readName(const TiXmlElement * element, const char * form, std::string & name) {
	const TiXmlAttribute * attrib = attributeByName(element, "name");
	if (attrib == nullptr)
		throw XMLReadError(element, std::string("Missing 'name' attribute in ") + form + " element.");
	name = attrib->ValueStr();
}

void readInterpolation(const TiXmlElement * element, std::string & interpolation) {
	const TiXmlAttribute * attrib = attributeByName(element, "interpolation");
	if (attrib != nullptr)
		interpolation = attrib->ValueStr();
	else
		interpolation.clear();
}

// Reads child into unit and values when it is "X" or "Y"; false for any other tag.
bool readXY(const TiXmlElement * child, std::string & xUnit, std::vector<double> & x,
			std::string & yUnit, std::vector<double> & y)
{
	std::string discardedName;
	if (child->ValueStr() == "X")
		readZEBUnitVectorElement(child, discardedName, xUnit, x, true);
	else if (child->ValueStr() == "Y")
		readZEBUnitVectorElement(child, discardedName, yUnit, y, true);
	else
		return false;
	return true;
}

std::string formatG(double value) {
	std::ostringstream out;
	out.imbue(std::locale::classic());
	out << value;
	return out.str();
}

} // namespace


void appendZEBLinearSplineElement(TiXmlElement * parent, const std::string & name, const std::string & interpolation,
								  const std::string & xUnit, const std::vector<double> & x,
								  const std::string & yUnit, const std::vector<double> & y)
{
	TiXmlElement * element = new TiXmlElement("ZEB:LinearSpline");
	parent->LinkEndChild(element);
	element->SetAttribute("name", name);
	if (!interpolation.empty())
		element->SetAttribute("interpolation", interpolation);
	appendZEBUnitVectorElement(element, "X", xUnit, x, true);
	appendZEBUnitVectorElement(element, "Y", yUnit, y, true);
}


void readZEBLinearSplineElement(const TiXmlElement * element, std::string & name, std::string & interpolation,
								std::string & xUnit, std::vector<double> & x,
								std::string & yUnit, std::vector<double> & y)
{
	readName(checked(element), "ZEB:LinearSpline", name);
	readInterpolation(element, interpolation);
	for (const TiXmlElement * child = element->FirstChildElement(); child != nullptr; child = child->NextSiblingElement()) {
		if (!readXY(child, xUnit, x, yUnit, y))
			throw XMLReadError(child, "Undefined child element '" + child->ValueStr()
							   + "' in ZEB:LinearSpline element, should be either X or Y.");
	}
}


void readZEBLinearSplineParameterElement(const TiXmlElement * element, std::string & name,
										 std::string & interpolation, std::string & xUnit, std::vector<double> & x,
										 std::string & yUnit, std::vector<double> & y, std::string & tsvFile)
{
	readName(checked(element), "linear spline", name);
	readInterpolation(element, interpolation);
	for (const TiXmlElement * child = element->FirstChildElement(); child != nullptr; child = child->NextSiblingElement()) {
		if (readXY(child, xUnit, x, yUnit, y))
			continue;
		if (child->ValueStr() == "TSVFile") {
			const TiXmlNode * content = child->FirstChild();
			if (content == nullptr)
				throw XMLReadError(child, "Missing 'TSVFile' element");
			tsvFile = content->ValueStr();
			continue;
		}
		throw XMLReadError(child, "Undefined child element '" + child->ValueStr()
						   + "' in linear spline element, should be either 'X', 'Y' or 'TSVFile'.");
	}

	if (x.empty() && y.empty()) {
		if (tsvFile.empty())
			throw XMLReadError(element, "Expected either X and Y, or TSVFile tag within linear spline element.");
	}
	else if (x.size() != y.size())
		throw XMLReadError(element, "X and Y vectors in linear spline element must be both present and have the "
						   "same number of values.");
	else if (!tsvFile.empty())
		throw XMLReadError(element, "Either X and Y, or TSVFile tag must be defined within linear spline element, "
						   "bot not both.");
}


void appendZEBPoint3DElement(TiXmlElement * parent, const unsigned int & id, const std::string & hint,
							 double x, double y, double z)
{
	TiXmlElement * element = new TiXmlElement("ZEB:Point3D");
	parent->LinkEndChild(element);
	if (id != 0)
		element->SetAttribute("id", std::to_string(id));
	if (!hint.empty())
		element->SetAttribute("hint", hint);
	element->LinkEndChild(new TiXmlText(formatG(x) + " " + formatG(y) + " " + formatG(z)));
}


void readZEBPoint3DElement(const TiXmlElement * element, unsigned int & id, std::string & hint,
						   double & x, double & y, double & z)
{
	const TiXmlAttribute * idAttrib = attributeByName(checked(element), "id");
	if (idAttrib != nullptr) {
		std::istringstream in(idAttrib->ValueStr());
		in.imbue(std::locale::classic());
		unsigned int value = 0;
		in >> value;
		if (in.fail())
			throw XMLReadError(element, "Invalid integer value '" + idAttrib->ValueStr()
							   + "' for 'id' attribute in ZEB:Point3D element.");
		id = value;
	}
	else
		id = 0;

	const TiXmlAttribute * hintAttrib = attributeByName(element, "hint");
	if (hintAttrib != nullptr)
		hint = hintAttrib->ValueStr();
	else
		hint.clear();

	const std::string text = GetText(element);
	std::istringstream in(text);
	in.imbue(std::locale::classic());
	in >> x >> y >> z;
	if (in.fail())
		throw XMLReadError(element, "Invalid value/encoding '" + text + "' of ZEB:Point3D value.");
}


void appendZEBRotationMatrixElement(TiXmlElement * parent, const std::string & elementName,
									const int & elementID, const std::vector<std::vector<double> > & matrix)
{
	if (parent == nullptr)
		return;
	TiXmlElement * element = new TiXmlElement(elementName);
	parent->LinkEndChild(element);
	if (elementID != 0)
		element->SetAttribute("elementID", elementID);
	std::ostringstream out;
	out.imbue(std::locale::classic());
	for (const std::vector<double> & row : matrix)
		for (double value : row)
			out << value << ' ';
	element->LinkEndChild(new TiXmlText(out.str()));
}


void readZEBRotationMatrixElement(const TiXmlElement * element, int & elementID,
								  std::vector<std::vector<double> > & matrix)
{
	if (element == nullptr)
		return;
	if (matrix.size() != 3)
		return;
	for (const std::vector<double> & row : matrix)
		if (row.size() != 3)
			return;

	const TiXmlAttribute * idAttrib = attributeByName(element, "elementID");
	if (idAttrib == nullptr)
		idAttrib = attributeByName(element, "element");
	if (idAttrib != nullptr) {
		std::istringstream in(idAttrib->ValueStr());
		in.imbue(std::locale::classic());
		in >> elementID;
		if (in.fail())
			elementID = 0;
	}
	else
		elementID = 0;

	const std::string text = GetText(element);
	std::istringstream in(text);
	in.imbue(std::locale::classic());
	std::vector<std::vector<double> > values(3);
	for (std::vector<double> & row : values) {
		for (unsigned int j = 0; j < 3; ++j) {
			double value = 0;
			if (!(in >> value))
				throw XMLReadError(element, "Invalid value/encoding '" + text + "' of rotation matrix.");
			row.push_back(value);
		}
	}
	matrix.swap(values);
}

} // namespace ZEB
