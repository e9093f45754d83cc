#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <tinyxml.h>

#include "TestSupport.h"
#include "ZEB_XMLCompositeElements.h"
#include "ZEB_XMLPrinter.h"

using TestSupport::throwsRuntimeError;

namespace {

typedef std::vector<std::vector<double> > Matrix;

// The outputs of a linear-spline parameter reader.
struct SplineParameter {
	std::string m_name, m_interpolation = "x", m_xUnit, m_yUnit, m_tsvFile;
	std::vector<double> m_x, m_y;

	void read(const TiXmlElement * e) {
		ZEB::readZEBLinearSplineParameterElement(e, m_name, m_interpolation, m_xUnit, m_x, m_yUnit, m_y, m_tsvFile);
	}
};

SplineParameter parsed(const std::string & xml) {
	TiXmlDocument doc;
	doc.Parse(xml.c_str());
	SplineParameter p;
	p.read(doc.RootElement());
	return p;
}

} // namespace


TEST(XMLCompositeElements, LinearSplinesReadBackWhatIsWritten) {
	TiXmlElement root("root");
	ZEB::appendZEBLinearSplineElement(&root, "Load", "", "h", {0, 1.5}, "W", {100, 1.0 / 3});
	EXPECT_EQ(ZEB::PrintToString(root.FirstChild(), 0),
			  "<ZEB:LinearSpline name=\"Load\">\n"
			  "\t<X unit=\"h\">0 1.5 </X>\n"
			  "\t<Y unit=\"W\">100 0.333333 </Y>\n"
			  "</ZEB:LinearSpline>");
	std::string name, interpolation = "linear", xUnit, yUnit;
	std::vector<double> x, y;
	ZEB::readZEBLinearSplineElement(root.FirstChildElement(), name, interpolation, xUnit, x, yUnit, y);
	EXPECT_EQ(name, "Load");
	EXPECT_EQ(interpolation, "");
	EXPECT_EQ(xUnit, "h");
	EXPECT_EQ(x, (std::vector<double>{0, 1.5}));
	EXPECT_EQ(yUnit, "W");
	EXPECT_EQ(y, (std::vector<double>{100, 0.333333}));

	TiXmlDocument doc;
	doc.Parse("<r>\n<s name=\"a\" interpolation=\"constant\">\n<X>1</X>\n</s>\n<s name=\"b\">\n<Z/>\n</s>\n<s/>\n</r>");
	const TiXmlElement * s = doc.RootElement()->FirstChildElement();
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBLinearSplineElement(s, name, interpolation, xUnit, x, yUnit, y); },
						   "Error in XML file, line 3: Missing 'unit' attribute in ZEB:UnitVector element."));
	EXPECT_EQ(interpolation, "constant");
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBLinearSplineElement(s->NextSiblingElement(), name, interpolation,
																 xUnit, x, yUnit, y); },
						   "Error in XML file, line 6: Undefined child element 'Z' in ZEB:LinearSpline element, "
						   "should be either X or Y."));
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBLinearSplineElement(doc.RootElement()->LastChild()->ToElement(), name,
																 interpolation, xUnit, x, yUnit, y); },
						   "Error in XML file, line 8: Missing 'name' attribute in ZEB:LinearSpline element."));
}


TEST(XMLCompositeElements, SplineParametersTakeEitherValuesOrTableFile) {
	SplineParameter values = parsed("<p name=\"n\"><X unit=\"h\">1 2 3</X><Y unit=\"K\">4 5 6</Y></p>");
	EXPECT_EQ(values.m_y, (std::vector<double>{4, 5, 6}));
	EXPECT_EQ(values.m_interpolation, "");
	SplineParameter file = parsed("<p name=\"n\" interpolation=\"linear\"><TSVFile>data/t.tsv</TSVFile></p>");
	EXPECT_EQ(file.m_tsvFile, "data/t.tsv");
	EXPECT_EQ(file.m_interpolation, "linear");
	EXPECT_TRUE(file.m_x.empty() && file.m_y.empty());

	const std::string prefix = "Error in XML file, line 1: ";
	EXPECT_TRUE(throwsRuntimeError([] { parsed("<p name=\"n\"><X unit=\"h\">1 2 3</X><Y unit=\"K\">4 5 6</Y>"
									   "<TSVFile>t.tsv</TSVFile></p>"); },
						   prefix + "Either X and Y, or TSVFile tag must be defined within linear spline element, "
						   "bot not both."));
	const std::string sizes = prefix + "X and Y vectors in linear spline element must be both present and have "
										"the same number of values.";
	EXPECT_TRUE(throwsRuntimeError([] { parsed("<p name=\"n\"><X unit=\"h\">1 2 3</X></p>"); }, sizes));
	EXPECT_TRUE(throwsRuntimeError([] { parsed("<p name=\"n\"><X unit=\"h\">1 2</X><Y unit=\"h\">1</Y></p>"); }, sizes));
	EXPECT_TRUE(throwsRuntimeError([] { parsed("<p name=\"n\"><X unit=\"h\"/><Y unit=\"h\"/></p>"); },
						   prefix + "Expected either X and Y, or TSVFile tag within linear spline element."));
	EXPECT_TRUE(throwsRuntimeError([] { parsed("<p name=\"n\"><X unit=\"h\"/>\n<TSVFile/></p>"); },
						   "Error in XML file, line 2: Missing 'TSVFile' element"));
	EXPECT_TRUE(throwsRuntimeError([] { parsed("<p name=\"n\"><W/></p>"); },
						   prefix + "Undefined child element 'W' in linear spline element, should be either "
						   "'X', 'Y' or 'TSVFile'."));
	EXPECT_TRUE(throwsRuntimeError([] { parsed("<p/>"); }, prefix + "Missing 'name' attribute in linear spline element."));
}


TEST(XMLCompositeElements, PointsReadBackWhatIsWritten) {
	TiXmlElement root("root");
	ZEB::appendZEBPoint3DElement(&root, 0, "", 1, 2.5, -1.0 / 3);
	ZEB::appendZEBPoint3DElement(&root, 3000000000u, "corner", 0, 0, 1e7);
	EXPECT_EQ(ZEB::PrintToString(&root, 0),
			  "<root>\n\t<ZEB:Point3D>1 2.5 -0.333333</ZEB:Point3D>\n"
			  "\t<ZEB:Point3D id=\"3000000000\" hint=\"corner\">0 0 1e+07</ZEB:Point3D>\n</root>");

	unsigned int id = 7;
	std::string hint = "old";
	double x = 0, y = 0, z = 0;
	ZEB::readZEBPoint3DElement(root.FirstChildElement(), id, hint, x, y, z);
	EXPECT_EQ(id, 0u);
	EXPECT_EQ(hint, "");
	EXPECT_EQ(x, 1);
	EXPECT_EQ(y, 2.5);
	EXPECT_EQ(z, -0.333333);
	ZEB::readZEBPoint3DElement(root.LastChild()->ToElement(), id, hint, x, y, z);
	EXPECT_EQ(id, 3000000000u);
	EXPECT_EQ(hint, "corner");
	EXPECT_EQ(z, 1e7);

	TiXmlDocument doc;
	doc.Parse("<r>\n<p>1 2</p>\n<p id=\"\">1 2 3</p>\n<p>1 2 3 extra</p>\n</r>");
	const TiXmlElement * p = doc.RootElement()->FirstChildElement();
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBPoint3DElement(p, id, hint, x, y, z); },
						   "Error in XML file, line 2: Invalid value/encoding '1 2' of ZEB:Point3D value."));
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBPoint3DElement(p->NextSiblingElement(), id, hint, x, y, z); },
						   "Error in XML file, line 3: Invalid integer value '' for 'id' attribute in ZEB:Point3D "
						   "element."));
	ZEB::readZEBPoint3DElement(doc.RootElement()->LastChild()->ToElement(), id, hint, x, y, z);
	EXPECT_EQ(z, 3);
}


TEST(XMLCompositeElements, RotationMatricesReadBackWhatIsWritten) {
	const Matrix m{{1, 0, 0}, {0, 0.5, -1.0 / 3}, {0, 1, 2}};
	TiXmlElement root("root");
	ZEB::appendZEBRotationMatrixElement(&root, "Rot", 17, m);
	ZEB::appendZEBRotationMatrixElement(&root, "Rot", 0, {{1, 2}});
	ZEB::appendZEBRotationMatrixElement(nullptr, "Rot", 1, m);
	EXPECT_EQ(ZEB::PrintToString(&root, 0),
			  "<root>\n\t<Rot elementID=\"17\">1 0 0 0 0.5 -0.333333 0 1 2 </Rot>\n\t<Rot>1 2 </Rot>\n</root>");

	Matrix read(3, std::vector<double>(3, 9));
	int id = 0;
	ZEB::readZEBRotationMatrixElement(root.FirstChildElement(), id, read);
	EXPECT_EQ(id, 17);
	EXPECT_EQ(read, (Matrix{{1, 0, 0}, {0, 0.5, -0.333333}, {0, 1, 2}}));

	TiXmlDocument doc;
	doc.Parse("<r>\n<m element=\"4\">1 2 3 4 5 6 7 8 9 10</m>\n<m elementID=\"x\">1 2 3 4 5 6 7 8</m>\n"
			  "<m>0 0 0 0 0 0 0 0 0</m>\n</r>");
	const TiXmlElement * e = doc.RootElement()->FirstChildElement();
	ZEB::readZEBRotationMatrixElement(e, id, read);
	EXPECT_EQ(id, 4);
	EXPECT_EQ(read, (Matrix{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}));
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBRotationMatrixElement(e->NextSiblingElement(), id, read); },
						   "Error in XML file, line 3: Invalid value/encoding '1 2 3 4 5 6 7 8' of rotation matrix."));
	EXPECT_EQ(id, 0);
	EXPECT_EQ(read, (Matrix{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}));

	// only a 3 x 3 matrix is read into; anything else stays untouched
	id = 5;
	Matrix wrong{{1, 2, 3}, {4, 5, 6}, {7, 8}};
	ZEB::readZEBRotationMatrixElement(doc.RootElement()->LastChild()->ToElement(), id, wrong);
	EXPECT_EQ(id, 5);
	EXPECT_EQ(wrong[2].size(), 2u);
	Matrix none;
	ZEB::readZEBRotationMatrixElement(doc.RootElement()->LastChild()->ToElement(), id, none);
	EXPECT_TRUE(none.empty());
	ZEB::readZEBRotationMatrixElement(doc.RootElement()->LastChild()->ToElement(), id, read);
	EXPECT_EQ(id, 0);
	EXPECT_EQ(read[1][1], 0);
	ZEB::readZEBRotationMatrixElement(nullptr, id, read);
}
