#include <gtest/gtest.h>

#include <functional>

#include <QByteArray>
#include <QXmlStreamReader>

#include "ZEB_Exception.h"
#include "ZEB_LinearSpline.h"

#include "RX_ConstructionType.h"
#include "RX_DIN4108_2Assessment.h"
#include "RX_Material.h"
#include "RX_ShadingType.h"
#include "RX_WindowType.h"
#include "RX_XMLHelpers.h"

#include "TestSupport.h"

namespace {

using ElementReader = std::function<void(QXmlStreamReader &)>;

struct Outcome {
	bool m_started = false;		///< The reader reached a start element and the element reader ran.
	bool m_failed = false;		///< Reader error or ZEB::Exception.
};

// Runs read on the first start element of xml.
Outcome readFirstElement(const QByteArray & xml, const ElementReader & read) {
	Outcome result;
	QXmlStreamReader reader(xml);
	while (!reader.atEnd() && !reader.isStartElement())
		reader.readNext();
	if (reader.isStartElement()) {
		result.m_started = true;
		try {
			read(reader);
		}
		catch (const ZEB::Exception &) {
			result.m_failed = true;
		}
	}
	result.m_failed = result.m_failed || reader.hasError();
	return result;
}

template <typename T>
ElementReader itemReader() {
	return [](QXmlStreamReader & reader) { T item; item.readXML(reader); };
}

struct Case {
	const char *	m_what;
	ElementReader	m_read;
	QByteArray		m_xml;		///< A valid element that m_read reads without error.
};

std::vector<Case> cases() {
	return {
		{"Material", itemReader<RX::Material>(),
		 "<Material id=\"7\" category=\"6\" name=\"en:Ins|de:D\" lambda=\"0.04\" rho=\"30\" cT=\"1500\" mu=\"2\" "
		 "w50=\"20\" w80=\"100\" wsat=\"115\" comment=\"c\"><extra><x/>text</extra></Material>"},
		{"ConstructionType", itemReader<RX::ConstructionType>(),
		 "<ConstructionType name=\"W\" id=\"3\" Insulation=\"1\" UserKey1=\"k\"><Other><a/></Other>"
		 "<Layers><Layer materialId=\"1\" d=\"0.2\"/><Layer materialId=\"2\" d=\"0.1\"><x/></Layer></Layers></ConstructionType>"},
		{"WindowType", itemReader<RX::WindowType>(),
		 "<WindowType id=\"5\" name=\"W\" f=\"0.8\" g=\"0.5\" U=\"1.1\" Producer=\"P\"><Note/><LinearSpline name=\"RelativeSHGC\">"
		 "<X unit=\"Deg\">0 45 80</X><Y unit=\"%\">100 90 50</Y></LinearSpline></WindowType>"},
		{"ShadingType", itemReader<RX::ShadingType>(),
		 "<ShadingType id=\"1\" name=\"S\" z=\"0.5\"><a><b/></a></ShadingType>"},
		{"DIN4108_2Assessment", itemReader<RX::DIN4108_2Assessment>(),
		 "<DIN4108_2Assessment><Active>true</Active><X><y/></X><ClimateRegion>2</ClimateRegion></DIN4108_2Assessment>"},
		{"LinearSpline", [](QXmlStreamReader & r) { QString n, x, y; ZEB::LinearSpline s; RX::readNamedZEBSplineData(r, n, x, y, s); },
		 "<LinearSpline name=\"S\"><Z/><X unit=\"h\">1 2</X><Y unit=\"C\">3 4</Y></LinearSpline>"},
		{"Double", [](QXmlStreamReader & r) { QString n; double d; RX::readNamedDouble(r, n, d); },
		 "<Double name=\"D\">2.5</Double>"},
		{"Integer", [](QXmlStreamReader & r) { QString n; int i; RX::readNamedInteger(r, n, i); },
		 "<Integer name=\"I\">25</Integer>"},
		{"String", [](QXmlStreamReader & r) { QString n, s; RX::readNamedString(r, n, s); },
		 "<String name=\"S\">text</String>"},
		{"Text", [](QXmlStreamReader & r) { RX::readTextElement(r); },
		 "<Text>text</Text>"},
		{"Unknown", [](QXmlStreamReader & r) { RX::readUnknownElement(r); },
		 "<Unknown><a><b/></a>text</Unknown>"}
	};
}

} // namespace


TEST(RXTruncatedXML, EveryReaderFailsCleanlyOnEveryCut) {
	TestSupport::MessageRecorder recorder;
	for (const Case & c : cases()) {
		const Outcome whole = readFirstElement(c.m_xml, c.m_read);
		ASSERT_TRUE(whole.m_started && !whole.m_failed) << c.m_what;
		for (int n = 0; n < c.m_xml.size(); ++n) {
			const Outcome cut = readFirstElement(c.m_xml.left(n), c.m_read);
			EXPECT_TRUE(cut.m_failed) << c.m_what << " cut after " << n << " bytes";
		}
	}
}


TEST(RXTruncatedXML, MalformedItemsEndInAnError) {
	TestSupport::MessageRecorder recorder;
	const std::vector<std::pair<ElementReader, QByteArray>> malformed = {
		{itemReader<RX::ConstructionType>(), "<ConstructionType name=\"x\"><Layers><Layer d=\"1\"></Layers></ConstructionType>"},
		{itemReader<RX::ConstructionType>(), "<ConstructionType name=\"x\"><Layers><Layer d=\"1\"/><Layer d=\"1\" d=\"2\"/></Layers></ConstructionType>"},
		{itemReader<RX::WindowType>(), "<WindowType f=\"1\" g=\"1\" U=\"1\"><LinearSpline name=\"RelativeSHGC\"><X unit=\"Deg\">0 1</Y></LinearSpline></WindowType>"},
		{itemReader<RX::WindowType>(), "<WindowType f=\"1\" g=\"1\" U=\"1\"><LinearSpline name=\"RelativeSHGC\"><X unit=\"Deg\">0 1<b/></X><Y unit=\"%\">1 1</Y></LinearSpline></WindowType>"},
		{itemReader<RX::Material>(), "<Material lambda=\"1\" rho=\"1\" cT=\"1\" w80=\"1\" wsat=\"2\"><a>&bad;</a></Material>"},
		{itemReader<RX::ShadingType>(), "<ShadingType z=\"1\"><a></b></ShadingType>"},
	};
	for (std::size_t i = 0; i < malformed.size(); ++i)
		EXPECT_TRUE(readFirstElement(malformed[i].second, malformed[i].first).m_failed) << "case " << i;

	// nesting far beyond any stack a recursive skip could afford
	const int depth = 100000;
	const QByteArray deep = "<ShadingType z=\"1\">" + QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth) + "</ShadingType>";
	EXPECT_FALSE(readFirstElement(deep, itemReader<RX::ShadingType>()).m_failed);
}
