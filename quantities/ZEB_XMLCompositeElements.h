#ifndef ZEB_XMLCompositeElementsH
#define ZEB_XMLCompositeElementsH

#include <string>
#include <vector>

#include <tinyxml.h>

namespace ZEB {

/*! Readers and writers of composite XML elements: a linear spline of two unit vectors, a
	linear-spline parameter that may refer to a tab-separated table file instead, a 3D point and a
	3 x 3 rotation matrix. They take the place of static members of TiXmlElement and follow the
	rules of ZEB_XMLValueElements.h: writers append one element to parent; readers do not check the
	tag and throw std::runtime_error "Error in XML file, line <Row()>: <text>"; arguments assigned
	before a failure keep their new values. Doubles are written in %g form with '.'.
*/

/*! <ZEB:LinearSpline name="..." interpolation="..."> with the unit vectors "X" and "Y" (name as
	tag); "interpolation" only when not empty. parent must not be null. */
void appendZEBLinearSplineElement(TiXmlElement * parent, const std::string & name, const std::string & interpolation,
								  const std::string & xUnit, const std::vector<double> & x,
								  const std::string & yUnit, const std::vector<double> & y);

/*! Reads "name" (required), "interpolation" (cleared when absent) and the children "X" and "Y"; any
	other child throws. A missing X or Y leaves its unit and values as they were, and the two may
	differ in length. */
void readZEBLinearSplineElement(const TiXmlElement * element, std::string & name, std::string & interpolation,
								std::string & xUnit, std::vector<double> & x,
								std::string & yUnit, std::vector<double> & y);

/*! As readZEBLinearSplineElement, but the values come either from the children "X" and "Y" or from a
	child "TSVFile" whose first child's value (its text) goes to tsvFile; after reading, exactly one of
	the two sources must hold data and X and Y must have the same number of values. x, y and tsvFile
	are not emptied first: pass them empty. */
void readZEBLinearSplineParameterElement(const TiXmlElement * element, std::string & name,
										 std::string & interpolation, std::string & xUnit, std::vector<double> & x,
										 std::string & yUnit, std::vector<double> & y, std::string & tsvFile);

/*! <ZEB:Point3D id="3" hint="...">x y z</ZEB:Point3D>; "id" only when not 0 (unsigned decimal),
	"hint" only when not empty. parent must not be null. */
void appendZEBPoint3DElement(TiXmlElement * parent, const unsigned int & id, const std::string & hint,
							 double x, double y, double z);

/*! Reads "id" (0 when absent), "hint" (cleared when absent) and three numbers; anything after the
	third is ignored. */
void readZEBPoint3DElement(const TiXmlElement * element, unsigned int & id, std::string & hint,
						   double & x, double & y, double & z);

/*! <elementName elementID="7">every value followed by a blank, row after row</elementName>;
	"elementID" only when elementID is not 0. A null parent creates nothing. */
void appendZEBRotationMatrixElement(TiXmlElement * parent, const std::string & elementName,
									const int & elementID, const std::vector<std::vector<double> > & matrix);

/*! Reads a 3 x 3 matrix. Does nothing for a null element or when matrix does not arrive with the
	shape 3 x 3. The id comes from "elementID", else from "element", else is 0 (a text that is no
	number gives 0). Fewer than nine numbers throw "Invalid value/encoding '<text>' of rotation
	matrix." and leave matrix unchanged. */
void readZEBRotationMatrixElement(const TiXmlElement * element, int & elementID,
								  std::vector<std::vector<double> > & matrix);

} // namespace ZEB

#endif // ZEB_XMLCompositeElementsH
