#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <tinyxml.h>

#include "TestSupport.h"
#include "ZEB_XMLPrinter.h"
#include "ZEB_XMLValueElements.h"

using TestSupport::throwsRuntimeError;

namespace {

// Element i (from 0) below the root of a parsed document; lines count from the root's line 1.
const TiXmlElement * child(const TiXmlDocument & doc, int i) {
	const TiXmlElement * e = doc.RootElement()->FirstChildElement();
	while (i-- > 0)
		e = e->NextSiblingElement();
	return e;
}

} // namespace


TEST(XMLValueElements, ParametersReadBackWhatIsWritten) {
	TiXmlElement root("root");
	ZEB::appendZEBParameterElement(&root, "Area", "m2", M_PI, false);
	ZEB::appendZEBParameterElement(&root, "Height", "", 2.5, true);
	ZEB::appendZEBParameterElement(&root, "Count", "", 7u, false);
	ZEB::appendZEBParameterElement(&root, "Offset", "K", -3, true);
	const TiXmlElement * area = root.FirstChildElement();
	EXPECT_EQ(ZEB::PrintToString(area, 0), "<ZEB:Parameter name=\"Area\" unit=\"m2\">3.141592654</ZEB:Parameter>");
	EXPECT_EQ(ZEB::PrintToString(area->NextSibling(), 0), "<Height unit=\"\">2.5</Height>");
	EXPECT_EQ(ZEB::PrintToString(area->NextSibling()->NextSibling(), 0), "<ZEB:Parameter name=\"Count\">7</ZEB:Parameter>");
	EXPECT_EQ(ZEB::PrintToString(root.LastChild(), 0), "<Offset unit=\"K\">-3</Offset>");

	std::string name, unit;
	double value = 0;
	ZEB::readZEBParameterElement(area, name, unit, value);
	EXPECT_EQ(name, "Area");
	EXPECT_EQ(unit, "m2");
	EXPECT_EQ(value, 3.141592654);

	name = "kept";
	ZEB::readZEBParameterElement(area->NextSiblingElement(), name, unit, value, true);
	EXPECT_EQ(name, "kept");
	EXPECT_EQ(unit, "");
	EXPECT_EQ(value, 2.5);
	// integer parameters without unit carry no unit attribute
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBParameterElement(area->NextSiblingElement()->NextSiblingElement(), name, unit, value); },
						   "Error in XML file, line 0: Missing 'unit' attribute in ZEB:Parameter element."));
	EXPECT_EQ(name, "Count");
}


TEST(XMLValueElements, ParameterFailuresNameTheLine) {
	TiXmlDocument doc;
	doc.Parse("<r>\n<ZEB:Parameter>1</ZEB:Parameter>\n<ZEB:Parameter name=\"a\">1</ZEB:Parameter>\n"
			  "<ZEB:Parameter name=\"b\" unit=\"m\">abc</ZEB:Parameter>\n<ZEB:Parameter name=\"c\" unit=\"m\"/>\n</r>");
	std::string name, unit;
	double value = 42;
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBParameterElement(child(doc, 0), name, unit, value); },
						   "Error in XML file, line 2: Missing 'name' attribute in ZEB:Parameter element."));
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBParameterElement(child(doc, 2), name, unit, value); },
						   "Error in XML file, line 4: Cannot read value in ZEB:Parameter element."
						   "Could not convert 'abc' into value."));
	EXPECT_EQ(name, "b");
	EXPECT_EQ(unit, "m");
	EXPECT_EQ(value, 42);
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBParameterElement(child(doc, 3), name, unit, value); },
						   "Error in XML file, line 5: Cannot read value in ZEB:Parameter element."
						   "Could not convert '' into value."));
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBParameterElement(nullptr, name, unit, value); },
						   "Error in XML file: missing element."));
}


TEST(XMLValueElements, DatesAreKeptAsText) {
	TiXmlElement root("root");
	ZEB::appendZEBDateElement(&root, "Start", "", "", false);
	ZEB::appendZEBDateElement(&root, "End", "de", "31.12. 23:00", true);
	EXPECT_EQ(ZEB::PrintToString(&root, 0),
			  "<root>\n\t<ZEB:Date name=\"Start\"></ZEB:Date>\n\t<End languageFormat=\"de\">31.12. 23:00</End>\n</root>");

	std::string name = "x", format = "en", date = "x";
	ZEB::readZEBDateElement(root.FirstChildElement(), name, format, date, false);
	EXPECT_EQ(name, "Start");
	EXPECT_EQ(format, "en");
	EXPECT_EQ(date, "");
	ZEB::readZEBDateElement(root.LastChild()->ToElement(), name, format, date, true);
	EXPECT_EQ(name, "Start");
	EXPECT_EQ(format, "de");
	EXPECT_EQ(date, "31.12. 23:00");
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBDateElement(root.LastChild()->ToElement(), name, format, date, false); },
						   "Error in XML file, line 0: Missing 'name' attribute in ZEB:Date element."));
}


TEST(XMLValueElements, UnitVectorsReadBackWhatIsWritten) {
	TiXmlElement root("root");
	ZEB::appendZEBUnitVectorElement(&root, "T", "C", {1, 1.0 / 3}, false);
	ZEB::appendZEBUnitVectorElement(&root, "Empty", "", {}, true);
	EXPECT_EQ(ZEB::PrintToString(root.FirstChild(), 0),
			  "<ZEB:UnitVector name=\"T\" unit=\"C\">1 0.333333 </ZEB:UnitVector>");
	EXPECT_EQ(ZEB::PrintToString(root.LastChild(), 0), "<Empty unit=\"\"></Empty>");

	std::string name, unit;
	std::vector<double> values{9};
	ZEB::readZEBUnitVectorElement(root.FirstChildElement(), name, unit, values, false);
	EXPECT_EQ(name, "T");
	EXPECT_EQ(unit, "C");
	EXPECT_EQ(values, (std::vector<double>{1, 0.333333}));
	ZEB::readZEBUnitVectorElement(root.LastChild()->ToElement(), name, unit, values, true);
	EXPECT_EQ(name, "T");
	EXPECT_TRUE(values.empty());

	TiXmlDocument doc;
	doc.Parse("<r>\n<v name=\"a\">1</v>\n<v unit=\"m\">1 x</v>\n</r>");
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBUnitVectorElement(child(doc, 0), name, unit, values, false); },
						   "Error in XML file, line 2: Missing 'unit' attribute in ZEB:UnitVector element."));
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBUnitVectorElement(child(doc, 1), name, unit, values, true); },
						   "Error in XML file, line 3: 'x' at character pos #2 is not a valid number."));
}


TEST(XMLValueElements, VectorsReadWordByWord) {
	TiXmlElement root("root");
	{
		// a decimal comma in the global locale changes nothing
		TestSupport::GlobalCommaLocale comma;
		ZEB::appendZEBVectorElement(&root, "D", std::vector<double>{0.5, 1e-7, 1234567});
		ZEB::appendZEBVectorElement(&root, "I", std::vector<int>{-1, 20000});
	}
	ZEB::appendZEBVectorElement(&root, "U", std::vector<unsigned int>{});
	EXPECT_EQ(ZEB::PrintToString(&root, 0),
			  "<root>\n\t<D>0.5 1e-07 1.23457e+06 </D>\n\t<I>-1 20000 </I>\n\t<U></U>\n</root>");
	std::vector<int> ints;
	ZEB::readZEBVectorElement(root.FirstChildElement("I"), ints);
	EXPECT_EQ(ints, (std::vector<int>{-1, 20000}));

	TiXmlDocument doc;
	doc.Parse("<r>\n\n<a>1 2\n x 4</a>\n<b> 1.5abc\t7 </b>\n<c>3 -x</c>\n<d/>\n</r>");
	std::vector<double> values;
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBVectorElement(child(doc, 0), values); },
						   "Error in XML file, line 3: Invalid floating point value 'x' in vector."));
	EXPECT_EQ(values, (std::vector<double>{1, 2}));
	ZEB::readZEBVectorElement(child(doc, 1), values);
	EXPECT_EQ(values, (std::vector<double>{1.5, 7}));
	std::vector<unsigned int> counts{5};
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBVectorElement(child(doc, 2), counts); },
						   "Error in XML file, line 6: Invalid unsigned integer value '-x' in vector."));
	EXPECT_EQ(counts, (std::vector<unsigned int>{3}));
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readZEBVectorElement(child(doc, 2), ints); },
						   "Error in XML file, line 6: Invalid unsigned integer value '-x' in vector."));
	ZEB::readZEBVectorElement(child(doc, 3), values);
	EXPECT_TRUE(values.empty());
}


TEST(XMLValueElements, SingleAttributeElements) {
	TiXmlElement root("root");
	ZEB::appendSingleAttributeElement(&root, "Plain", nullptr, "ignored", "");
	TiXmlElement * named = ZEB::appendSingleAttributeElement(&root, "Named", "id", "", "text");
	EXPECT_EQ(ZEB::PrintToString(&root, 0), "<root>\n\t<Plain />\n\t<Named id=\"\">text</Named>\n</root>");
	EXPECT_EQ(named, root.LastChild());

	TiXmlDocument doc;
	doc.Parse("<r>\n<e>t</e>\n<f lang=\"de\">u</f>\n</r>");
	std::string value = "old", text;
	ZEB::readSingleAttributeElement(child(doc, 0), "lang", value, text, true);
	EXPECT_EQ(value, "old");
	EXPECT_EQ(text, "t");
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readSingleAttributeElement(child(doc, 0), "lang", value, text, false); },
						   "Error in XML file, line 2: Missing 'lang' attribute in element."));
	ZEB::readSingleAttributeElement(doc.RootElement(), "f", "lang", value, text);
	EXPECT_EQ(value, "de");
	EXPECT_EQ(text, "u");
	ZEB::readSingleAttributeElement(doc.RootElement(), "e", "lang", value, text);
	EXPECT_EQ(value, "");
	EXPECT_EQ(text, "t");
	EXPECT_TRUE(throwsRuntimeError([&] { ZEB::readSingleAttributeElement(doc.RootElement(), "g", "lang", value, text); },
						   "Error in XML file, line 1: Missing child element 'g'."));
}
