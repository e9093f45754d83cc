#include <gtest/gtest.h>

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_LinearSpline.h"

#include "RX_XMLHelpers.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

namespace {

// A reader standing on the first start element of xml.
struct ReaderAt {
	explicit ReaderAt(const QString & xml) : m_reader(xml) { m_reader.readNextStartElement(); }
	QXmlStreamReader m_reader;
};

ZEB::LinearSpline spline(const std::vector<double> & x, const std::vector<double> & y) {
	ZEB::LinearSpline s;
	s.setValues(x, y);
	return s;
}

} // namespace


TEST(RXXMLHelpers, ReadersDoNothingOnReaderInError) {
	ReaderAt r("<a x=\"1\" name=\"n\">2</a>");
	r.m_reader.raiseError("earlier");
	double d = 7;
	int i = 7;
	bool b = false;
	QString name = "old", text = "old";
	ZEB::LinearSpline s;
	RX::readDoubleAttribute(r.m_reader, "x", d, false);
	RX::readIntAttribute(r.m_reader, "x", i, false);
	RX::readBoolAttribute(r.m_reader, "x", b, false);
	RX::readNamedDouble(r.m_reader, name, d);
	RX::readNamedString(r.m_reader, name, text);
	RX::readNamedZEBSplineData(r.m_reader, name, text, text, s);
	RX::readUnknownElement(r.m_reader);
	EXPECT_EQ(RX::readTextElement(r.m_reader), QString());
	EXPECT_TRUE(d == 7 && i == 7 && !b);
	EXPECT_EQ(name + text, "oldold");
	EXPECT_EQ(r.m_reader.errorString(), "earlier");
}


TEST(RXXMLHelpers, SkipsAnElementWithAllItsChildren) {
	ReaderAt r("<r><a><b><c><d/></c>text</b><b/></a><next/></r>");
	r.m_reader.readNextStartElement();
	ASSERT_EQ(r.m_reader.name(), QLatin1String("a"));
	RX::readUnknownElement(r.m_reader);
	EXPECT_TRUE(r.m_reader.isEndElement());
	EXPECT_EQ(r.m_reader.name(), QLatin1String("a"));
	ASSERT_TRUE(r.m_reader.readNextStartElement());
	EXPECT_EQ(r.m_reader.name(), QLatin1String("next"));

	ReaderAt item("<item z=\"1\"><x><y/></x>text<x/></item>");
	RX::readUntilEndElement(item.m_reader);
	EXPECT_TRUE(item.m_reader.isEndElement());
	EXPECT_EQ(item.m_reader.name(), QLatin1String("item"));
	EXPECT_FALSE(item.m_reader.hasError());
}


TEST(RXXMLHelpers, ReadsTypedAttributes) {
	ReaderAt r("<a d=\"2.5\" i=\"42\" t=\"1\" f=\"0\" word=\"true\"/>");
	double d = 0;
	int i = 0;
	bool t = false, f = true, word = true;
	RX::readDoubleAttribute(r.m_reader, "d", d, false);
	RX::readIntAttribute(r.m_reader, "i", i, false);
	RX::readBoolAttribute(r.m_reader, "t", t, false);
	RX::readBoolAttribute(r.m_reader, "f", f, false);
	EXPECT_EQ(d, 2.5);
	EXPECT_EQ(i, 42);
	EXPECT_TRUE(t && !f);

	// optional and unreadable: a double or bool stays, an int becomes 0
	RX::readDoubleAttribute(r.m_reader, "missing", d, true);
	RX::readIntAttribute(r.m_reader, "missing", i, true);
	RX::readBoolAttribute(r.m_reader, "word", word, true);
	EXPECT_EQ(d, 2.5);
	EXPECT_EQ(i, 0);
	EXPECT_TRUE(word);
	EXPECT_FALSE(r.m_reader.hasError());

	RX::readBoolAttribute(r.m_reader, "word", word, false);
	EXPECT_EQ(r.m_reader.errorString(), "Invalid value 'true' in attribute 'word' of a, expected a whole number, 0 for false.");
	// Qt reads "nan", which no quantity is, optional or not
	ReaderAt n("<e nan=\"nan\"/>");
	RX::readDoubleAttribute(n.m_reader, "nan", d, true);
	EXPECT_EQ(d, 2.5);
	EXPECT_EQ(n.m_reader.errorString(), "Invalid value 'nan' in attribute 'nan' of e, expected a finite number.");
	EXPECT_TRUE(r.m_reader.atEnd());
}


TEST(RXXMLHelpers, WritesAndReadsNamedValues) {
	QString text;
	{
		QXmlStreamWriter w(&text);
		w.writeStartElement("v");
		RX::writeNamedDouble(w, "D", 1.0 / 3);
		RX::writeNamedInteger(w, "I", -12);
		RX::writeNamedBool(w, "B", true);
		RX::writeNamedString(w, "S", "a<b");
		w.writeEndElement();
	}
	EXPECT_EQ(text, "<v><Double name=\"D\">0.333333</Double><Integer name=\"I\">-12</Integer>"
					"<Bool name=\"B\">true</Bool><String name=\"S\">a&lt;b</String></v>");

	ReaderAt r(text);
	QString name, s;
	double d = 0;
	int i = 0;
	r.m_reader.readNextStartElement();
	RX::readNamedDouble(r.m_reader, name, d);
	r.m_reader.readNextStartElement();
	RX::readNamedInteger(r.m_reader, name, i);
	r.m_reader.readNextStartElement();
	r.m_reader.skipCurrentElement();
	r.m_reader.readNextStartElement();
	RX::readNamedString(r.m_reader, name, s);
	EXPECT_EQ(d, 0.333333);
	EXPECT_EQ(i, -12);
	EXPECT_EQ(name + "=" + s, "S=a<b");
	EXPECT_FALSE(r.m_reader.hasError());

	ReaderAt bad("<Double name=\"A\">abc</Double>");
	d = 5;
	RX::readNamedDouble(bad.m_reader, name, d);
	EXPECT_EQ(d, 0);
	EXPECT_EQ(bad.m_reader.errorString(), "Invalid value 'abc' for Double element 'A'.");
}


TEST(RXXMLHelpers, WritesSplinesWithSingleBlanksAndReadsThemBack) {
	QString text;
	{
		QXmlStreamWriter w(&text);
		RX::writeNamedZEBSplineData(w, "S", "Deg", "%", ZEB::LinearSpline());
		EXPECT_TRUE(text.isEmpty());
		RX::writeNamedZEBSplineData(w, "S", "Deg", "%", spline({0, 90}, {1, 1}));
	}
	EXPECT_EQ(text, "<LinearSpline name=\"S\"><X unit=\"Deg\">0 90</X><Y unit=\"%\">1 1</Y></LinearSpline>");

	ReaderAt r(text);
	QString name, xu, yu;
	ZEB::LinearSpline s;
	RX::readNamedZEBSplineData(r.m_reader, name, xu, yu, s);
	EXPECT_EQ(name + xu + yu, "SDeg%");
	EXPECT_EQ(s.m_x, (std::vector<double>{0, 90}));
	EXPECT_EQ(s.m_y, (std::vector<double>{1, 1}));
	EXPECT_TRUE(r.m_reader.isEndElement());
}


TEST(RXXMLHelpers, ReadsSplineValuesAndRefusesWordsThatAreNoNumbers) {
	TestSupport::MessageRecorder recorder;
	ReaderAt r("<LinearSpline name=\"S\"><Z><q/></Z><X unit=\"h\">\n 1  2 </X><Y unit=\"C\">5\t6</Y></LinearSpline>");
	QString name, xu, yu;
	ZEB::LinearSpline s;
	RX::readNamedZEBSplineData(r.m_reader, name, xu, yu, s);
	EXPECT_EQ(s.m_x, (std::vector<double>{1, 2}));
	EXPECT_EQ(s.m_y, (std::vector<double>{5, 6}));
	EXPECT_EQ(recorder.texts("[readNamedZEBSplineData]"),
			  std::vector<std::string>{"Found unknown element 'Z' in LinearSpline."});
	EXPECT_FALSE(r.m_reader.hasError());

	auto readThrown = [](const QString & xml) {
		ReaderAt at(xml);
		QString n, x, y;
		ZEB::LinearSpline sp;
		return TestSupport::thrown([&] { RX::readNamedZEBSplineData(at.m_reader, n, x, y, sp); });
	};
	// named with the counts found and what a spline needs
	const std::string needs = "), expected as many X as Y values, at least one, the X values rising. @ [readNamedZEBSplineData]";
	EXPECT_EQ(readThrown("<LinearSpline name=\"S\"><X unit=\"h\">1 2</X></LinearSpline>"),
			  "Invalid values in LinearSpline 'S' (2 X and 0 Y values" + needs);
	EXPECT_EQ(readThrown("<LinearSpline name=\"S\"/>"), "Invalid values in LinearSpline 'S' (0 X and 0 Y values" + needs);
	EXPECT_EQ(readThrown("<LinearSpline name=\"S\"><X unit=\"h\">2 1</X><Y unit=\"C\">5 6</Y></LinearSpline>"),
			  "Invalid values in LinearSpline 'S' (2 X and 2 Y values" + needs);
	EXPECT_EQ(readThrown("<LinearSpline name=\"S\"><X unit=\"h\">1 2 x 4</X><Y unit=\"C\">5 6 7 8</Y></LinearSpline>"),
			  "Invalid value 'x' in element 'X' of LinearSpline 'S', expected a finite number. @ [readNamedZEBSplineData]");
}


TEST(RXXMLHelpers, NumbersDoNotDependOnTheHostLocale) {
	TestSupport::GlobalCommaLocale streams;
	XMLTestSupport::CommaCLocale clib;
	QString text;
	{
		QXmlStreamWriter w(&text);
		w.writeStartElement("v");
		RX::writeNamedDouble(w, "D", 1234.5);
		RX::writeNamedZEBSplineData(w, "S", "-", "-", spline({0.2, 1234.5}, {0.5, 1e-5}));
		w.writeEndElement();
	}
	EXPECT_EQ(text, "<v><Double name=\"D\">1234.5</Double><LinearSpline name=\"S\"><X unit=\"-\">0.2 1234.5</X>"
					"<Y unit=\"-\">0.5 1e-05</Y></LinearSpline></v>");
	EXPECT_EQ(RX::xmlDouble(0.2), "0.2");

	ReaderAt r("<a d=\"0.2\"><LinearSpline name=\"S\"><X>0.25 1234.5</X><Y>0.5 1</Y></LinearSpline></a>");
	double d = 0;
	RX::readDoubleAttribute(r.m_reader, "d", d, false);
	EXPECT_EQ(d, 0.2);
	r.m_reader.readNextStartElement();
	QString name, xu, yu;
	ZEB::LinearSpline s;
	RX::readNamedZEBSplineData(r.m_reader, name, xu, yu, s);
	EXPECT_EQ(s.m_x, (std::vector<double>{0.25, 1234.5}));
}
