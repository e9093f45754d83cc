#include <gtest/gtest.h>

#include <cmath>

#include "RX_WindowType.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using XMLTestSupport::readInto;
using XMLTestSupport::written;

namespace {

RX::WindowType withCurve(const std::vector<double> & x, const std::vector<double> & y) {
	RX::WindowType w("W", 0.8, 0.5, 1.1);
	w.m_relativeSHGC.setValues(x, y);
	return w;
}

QString windowWithSpline(const QString & spline) {
	return "<WindowType id=\"5\" name=\"W\" f=\"0.8\" g=\"0.5\" U=\"1.1\">" + spline + "</WindowType>";
}

} // namespace


TEST(RXWindowType, WritesDefaultsWithoutOptionalParts) {
	const RX::WindowType w;
	EXPECT_TRUE(w.isValid());
	EXPECT_EQ(w.name("en"), "<New Window Type>");
	EXPECT_EQ(written(w), "<WindowType id=\"0\" name=\"de:&lt;Neuer Fenstertyp&gt;|en:&lt;New Window Type&gt;\" "
						  "f=\"0.9\" g=\"0.65\" U=\"1.8\" GlazingKind=\"5\"/>");
	std::vector<double> x, y;
	w.generateShgcSplineData(x, y);
	EXPECT_EQ(x, (std::vector<double>{0, 90}));
	EXPECT_EQ(y, (std::vector<double>{1, 1}));
	EXPECT_EQ(RX::WindowType::glazingKindString(RX::WindowType::GK_QUADRUPLE_GLAZING), "Quadrouple glazing");
	EXPECT_EQ(RX::WindowType::glazingKindString(static_cast<RX::WindowType::GlazingKind>(17)), "Miscellaneous");
}


TEST(RXWindowType, WritesTheCurveInPercentAndReadsItBack) {
	RX::WindowType w = withCurve({0, 45, 80}, {1, 0.9, 0.5});
	w.m_id = 5;
	w.m_producer = "P";
	w.m_glazingKind = RX::WindowType::GK_TRIPLE_GLAZING;
	EXPECT_TRUE(w.isValid());
	const QString text = written(w);
	EXPECT_EQ(text, windowWithSpline("<LinearSpline name=\"RelativeSHGC\"><X unit=\"Deg\">0 45 80</X>"
									 "<Y unit=\"%\">100 90 50</Y></LinearSpline>")
					.replace("U=\"1.1\"", "U=\"1.1\" GlazingKind=\"2\" Producer=\"P\""));

	RX::WindowType back;
	ASSERT_EQ(readInto(text, back), "");
	EXPECT_EQ(back.m_relativeSHGC.m_x, (std::vector<double>{0, 45, 80}));
	ASSERT_EQ(back.m_relativeSHGC.size(), 3u);
	EXPECT_DOUBLE_EQ(back.m_relativeSHGC.m_y[1], 0.9);
	EXPECT_DOUBLE_EQ(back.m_relativeSHGC.value(62.5), 0.7);
	EXPECT_EQ(back.m_glazingKind, RX::WindowType::GK_TRIPLE_GLAZING);
	EXPECT_EQ(back.m_producer, "P");
	EXPECT_EQ(back.m_id, 5u);
	EXPECT_TRUE(back == w);
}


TEST(RXWindowType, ValidatesFactorsAndCurve) {
	EXPECT_FALSE(withCurve({0, 45}, {1.01, 0.5}).isValid());
	EXPECT_FALSE(withCurve({0, 45}, {0.8, 0.9}).isValid());
	EXPECT_FALSE(withCurve({0, 45}, {0.8, -0.1}).isValid());
	EXPECT_FALSE(withCurve({0}, {1}).isValid());
	EXPECT_TRUE(withCurve({0, 45}, {0.8, 0.8}).isValid());
	EXPECT_FALSE(RX::WindowType("W", 1.1, 0.5, 1).isValid());
	EXPECT_FALSE(RX::WindowType("W", 0.5, 0.5, 0).isValid());
	EXPECT_FALSE(RX::WindowType("W", 0.5, std::nan(""), 1).isValid());

	RX::WindowType a("W", 0.5, 0.5, 1), b = a;
	b.m_glazingKind = RX::WindowType::GK_BOX_WINDOW;
	b.m_producer = "other";
	EXPECT_TRUE(a == b);
	b.m_U = 1.2;
	EXPECT_FALSE(a == b);
}


TEST(RXWindowType, RefusesBadValuesAndCurves) {
	TestSupport::MessageRecorder recorder;
	auto readError = [](const QString & xml) {
		RX::WindowType w;
		return readInto(xml, w);
	};
	EXPECT_EQ(readError("<WindowType id=\"5\" name=\"W\" f=\"0.8\" g=\"0.5\" U=\"abc\"/>"), 
			  "Invalid value 'abc' in attribute 'U' of WindowType, expected a finite number.");
	EXPECT_EQ(readError(windowWithSpline("<LinearSpline name=\"MaxPowerCurve\"><X unit=\"Deg\">0</X><Y unit=\"%\">1</Y></LinearSpline>")),
			  "Invalid name 'MaxPowerCurve' of the LinearSpline of WindowType with id='5', expected 'RelativeSHGC'.");
	EXPECT_EQ(readError(windowWithSpline("<LinearSpline name=\"RelativeSHGC\"><X unit=\"Rad\">0</X><Y unit=\"%\">1</Y></LinearSpline>")),
			  "Invalid x-value unit 'Rad' for LinearSpline of RelativeSHGC parameter, expected 'Deg'.");
	EXPECT_EQ(readError(windowWithSpline("<LinearSpline name=\"RelativeSHGC\"><X unit=\"Deg\">0</X><Y unit=\"---\">1</Y></LinearSpline>")),
			  "Invalid y-value unit '---' for LinearSpline of RelativeSHGC parameter, expected '%'.");
	EXPECT_TRUE(recorder.m_messages.empty());
	EXPECT_EQ(readError(windowWithSpline("<LinearSpline name=\"RelativeSHGC\"><X unit=\"Deg\">0 10</X></LinearSpline>")),
			  "X and Y vector size mismatch. \nInvalid values in LinearSpline 'RelativeSHGC' (2 X and 0 Y values), expected "
			  "as many X as Y values, at least one, the X values rising.\nError reading LinearSpline data from WindowType "
			  "parameter with id='5'.");
	// a value beyond its range is named with what it should be
	EXPECT_EQ(readError(windowWithSpline("<LinearSpline name=\"RelativeSHGC\"><X unit=\"Deg\">0 90</X><Y unit=\"%\">100.5 80</Y>"
										 "</LinearSpline>")),
			  "Invalid value '100.5' in element 'Y' of LinearSpline 'RelativeSHGC', expected a number from 0 to 100.\n"
			  "Error reading LinearSpline data from WindowType parameter with id='5'.");
	EXPECT_EQ(recorder.texts("[LinearSpline::setValues]"), std::vector<std::string>{"X and Y vector size mismatch."});

	// other children are passed over silently
	RX::WindowType w;
	ASSERT_EQ(readInto(windowWithSpline("<Note><a/></Note>"), w), "");
	EXPECT_EQ(w.m_relativeSHGC.size(), 0u);
}
