#include <gtest/gtest.h>

#include "RX_Material.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using XMLTestSupport::readInto;
using XMLTestSupport::written;

namespace {

const QString INSULATION = "<Material id=\"10001\" category=\"6\" name=\"Ins\" lambda=\"0.04\" rho=\"30\" cT=\"1500\" "
						   "w80=\"100\" wsat=\"%1\"/>";

std::vector<std::pair<double, double>> points(const ZEB::LinearSpline & s) {
	std::vector<std::pair<double, double>> p;
	for (std::size_t i = 0; i < s.m_x.size(); ++i)
		p.emplace_back(s.m_x[i], s.m_y[i]);
	return p;
}

} // namespace


TEST(RXMaterial, WritesTheDefaultMaterialWithPointDecimals) {
	TestSupport::GlobalCommaLocale streams;
	XMLTestSupport::CommaCLocale clib;
	EXPECT_EQ(written(RX::Material()),
			  "<Material id=\"0\" category=\"13\" name=\"\" lambda=\"0.1\" rho=\"1800\" cT=\"780\" mu=\"300\" "
			  "HPCM=\"0\" TPCMLow=\"23\" comment=\"\" source=\"\" producer=\"\" productID=\"\"/>");
	EXPECT_EQ(RX::Material().name(), "");
}


TEST(RXMaterial, DerivesTheIsothermFromW80AndWsat) {
	RX::Material m;
	ASSERT_EQ(readInto(INSULATION.arg("115"), m), "");
	EXPECT_EQ(m.m_id, 10001u);
	EXPECT_EQ(m.m_category.m_category, RX::MaterialCategory::MC_INSULATION);
	const auto p = points(m.m_sorptionIsotherm);
	ASSERT_EQ(p.size(), 4u);
	EXPECT_EQ(p[0], std::make_pair(0.0, 0.0));
	EXPECT_EQ(p[1], std::make_pair(0.8, 100.0));
	EXPECT_EQ(p[2].first, 0.92);
	EXPECT_DOUBLE_EQ(p[2].second, 113.85);	// 0.99 * 115: still rising towards saturation
	EXPECT_EQ(p[3], std::make_pair(1.0, 115.0));
	EXPECT_DOUBLE_EQ(m.m_sorptionIsotherm.value(0.86), 106.925);
	// the reversed function is the inverse
	EXPECT_DOUBLE_EQ(m.m_reversedSorptionIsotherm.value(106.925), 0.86);
	EXPECT_DOUBLE_EQ(m.m_reversedSorptionIsotherm.value(m.m_sorptionIsotherm.value(0.3)), 0.3);

	const QString text = written(m);
	EXPECT_TRUE(text.contains("mu=\"300\" w80=\"100\" wsat=\"115\" HPCM=\"0\"")) << text.toStdString();
	EXPECT_EQ(text.count(" w"), 2);

	RX::Material wet;
	EXPECT_EQ(readInto(INSULATION.arg("110"), wet), "Invalid sorption isotherm data for material name 'Ins': wsat '110' "
			  "lies below the 115 that w80 gives at 92 % (w80 / 0.8 * 0.92), expected at least that or a point at 92 % or more.");
	EXPECT_EQ(wet.m_sorptionIsotherm.size(), 0u);
}


TEST(RXMaterial, KeepsGivenPointsAndDropsTheDerivedOne) {
	TestSupport::MessageRecorder recorder;
	RX::Material m;
	ASSERT_EQ(readInto(QString("<Material name=\"M\" lambda=\"1\" rho=\"2\" cT=\"3\" w50=\"20\" w80=\"30\" w95=\"40\" w92=\"35\" wsat=\"50\"/>"), m), "");
	EXPECT_EQ(m.m_sorptionIsotherm.m_x, (std::vector<double>{0, 0.5, 0.8, 0.92, 0.95, 1}));
	EXPECT_EQ(recorder.texts("[Material::readXML]").size(), 6u);
	EXPECT_EQ(recorder.texts("[Material::readXML]")[1], "  50 %    20 kg/m3\n");

	// 0, 0.92 and 1 are not written; 0.92 is not derived again beside the 95 % point
	const QString text = written(m);
	EXPECT_TRUE(text.contains("w50=\"20\" w80=\"30\" w95=\"40\" wsat=\"50\"")) << text.toStdString();
	RX::Material back;
	ASSERT_EQ(readInto(text, back), "");
	EXPECT_EQ(back.m_sorptionIsotherm.m_x, (std::vector<double>{0, 0.5, 0.8, 0.95, 1}));

	RX::Material none;
	ASSERT_EQ(readInto(QString("<Material name=\"M\" lambda=\"1\" rho=\"2\" cT=\"3\" w50=\"20\" wsat=\"50\"/>"), none), "");
	EXPECT_EQ(none.m_sorptionIsotherm.size(), 0u);
}


TEST(RXMaterial, ThrowsWhenTheIsothermIsNotInvertible) {
	TestSupport::MessageRecorder recorder;
	RX::Material m;
	EXPECT_TRUE(TestSupport::throwsWith([&] {
		readInto(QString("<Material name=\"Clay\" lambda=\"1\" rho=\"2\" cT=\"3\" w80=\"100\" w95=\"90\" wsat=\"120\"/>"), m);
	}, "Error initializing reversed Sorption Isotherm spline for material 'Clay': "
	   "X values are not strictly monotonic increasing (at position/index 1).", "[Material::init]"));
	EXPECT_TRUE(TestSupport::throwsWith([&] { m.init({0, 0.5, 0.4}, {0, 1, 2}); },
		"Error initializing Sorption Isotherm spline for material 'Clay': "
		"X values are not strictly monotonic increasing (at position/index 1)..", "[Material::init]"));
}


TEST(RXMaterial, DropsARepeatedWaterContentAtTheTop) {
	TestSupport::MessageRecorder recorder;
	RX::Material m;
	ASSERT_EQ(readInto(QString("<Material name=\"M\" lambda=\"1\" rho=\"2\" cT=\"3\" w80=\"100\" w95=\"115\" wsat=\"115\"/>"), m), "");
	EXPECT_EQ(m.m_sorptionIsotherm.m_x, (std::vector<double>{0, 0.8, 0.95, 1}));
	EXPECT_EQ(m.m_reversedSorptionIsotherm.m_x, (std::vector<double>{0, 100, 115}));
	EXPECT_EQ(m.m_reversedSorptionIsotherm.m_y.back(), 1.0);
}


TEST(RXMaterial, WritesOneAttributePerPercentage) {
	TestSupport::MessageRecorder recorder;
	RX::Material m;
	ASSERT_EQ(readInto(QString("<Material name=\"M\" lambda=\"1\" rho=\"2\" cT=\"3\" w50.4=\"50\" w49.9=\"49\" w80.2=\"101\" w80=\"100\" wsat=\"130\"/>"), m), "");
	const QString text = written(m);
	EXPECT_TRUE(text.contains("mu=\"300\" w50=\"49\" w80=\"100\" wsat=\"130\"")) << text.toStdString();
	RX::Material back;
	EXPECT_EQ(readInto(text, back), "");
}


TEST(RXMaterial, ReportsMissingValuesAndKeepsTheFields) {
	RX::Material m;
	EXPECT_EQ(readInto(QString("<Material name=\"M\" lambda=\"0.5\" cT=\"3\" mu=\"a\"/>"), m),
			  "Missing attribute 'rho' of Material, expected a number of 0 or more.");
	EXPECT_EQ(m.m_id, 0u);
	EXPECT_EQ(m.m_lambda, 0.5);
	EXPECT_EQ(m.m_rho, 1800);
	EXPECT_EQ(m.m_cT, 780);	// not read after the error
	// a misspelt name leaves the attribute missing, not invalid
	RX::Material misspelt;
	EXPECT_EQ(readInto(QString("<Material name=\"M\" lamda=\"0.5\" rho=\"2\" cT=\"3\"/>"), misspelt),
			  "Missing attribute 'lambda' of Material, expected a number of 0 or more.");
	// a moisture storage point that is no finite number
	EXPECT_EQ(readInto(QString("<Material name=\"M\" lambda=\"1\" rho=\"2\" cT=\"3\" w50=\"nan\" w80=\"100\" wsat=\"130\"/>"), m),
			  "Invalid value 'nan' in attribute 'w50' of Material, expected a finite number.");
	// an optional value may be missing, but not a number beyond the finite ones
	EXPECT_EQ(readInto(QString("<Material name=\"M\" lambda=\"1\" rho=\"2\" cT=\"3\" mu=\"inf\"/>"), m),
			  "Invalid value 'inf' in attribute 'mu' of Material, expected a finite number.");
	EXPECT_EQ(readInto(QString("<Material name=\"M\" lambda=\"1\" rho=\"2\" cT=\"3\" HPCM=\"1e999\"/>"), m),
			  "Invalid value '1e999' in attribute 'HPCM' of Material, expected a finite number.");
	// a moisture storage point at a humidity no air has
	EXPECT_EQ(readInto(QString("<Material name=\"M\" lambda=\"1\" rho=\"2\" cT=\"3\" w150=\"5\"/>"), m),
			  "Invalid attribute 'w150' of Material, expected 'w' and a relative humidity from 0 to 100 [%], as in 'w50'.");
}


TEST(RXMaterial, ChecksItsLimits) {
	auto valid = [](double lambda, double rho, double cT, double HPCM, double TPCMLow) {
		RX::Material m("M", lambda, rho, cT);
		m.m_HPCM = HPCM;
		m.m_TPCMLow = TPCMLow;
		return m.isValid();
	};
	EXPECT_TRUE(valid(1e-5, 100000, 10000, 0, 101));
	EXPECT_FALSE(valid(1e-6, 1, 1, 0, 0));
	EXPECT_FALSE(valid(1, 100001, 1, 0, 0));
	EXPECT_FALSE(valid(1, 1, 0.5, 0, 0));
	EXPECT_FALSE(valid(1, 1, 1, 5, 101));
	EXPECT_TRUE(valid(1, 1, 1, 5, 100));
}


TEST(RXMaterial, ComparesNameAndFiveValues) {
	RX::Material a("en:A|de:A", 0.5, 1000, 800);
	RX::Material b = a;
	b.m_id = 7;
	b.m_mu = 1;
	b.init({0, 1}, {0, 10});
	b.m_lambda += 1e-11;
	EXPECT_TRUE(a == b);
	b.m_lambda += 1e-9;
	EXPECT_FALSE(a == b);
	b = a;
	b.m_HPCM = 1;
	EXPECT_FALSE(a == b);

	// ordered by display name, then density
	RX::Material light("A", 1, 10, 1), heavy("A", 1, 20, 1), other("B", 1, 5, 1);
	EXPECT_TRUE(light < heavy && !(heavy < light) && heavy < other);
}


TEST(RXMaterial, KeepsDescriptiveTextsPerLanguage) {
	RX::Material m;
	m.setTextString(RX::Material::TT_COMMENT, "DE: Kommentar |en:comment");
	EXPECT_EQ(m.textString(RX::Material::TT_COMMENT), "de:Kommentar|en:comment");
	m.setTextString(RX::Material::TT_COMMENT, "");
	EXPECT_TRUE(m.textMapping(RX::Material::TT_COMMENT).isEmpty());
	m.setText(RX::Material::TT_PRODUCER, "en", "ACME");

	RX::Material back;
	ASSERT_EQ(readInto(written(m), back), "");
	EXPECT_EQ(back.textString(RX::Material::TT_PRODUCER), "ACME");
	EXPECT_EQ(back.textString(RX::Material::TT_NAME), "unnamed");
}


TEST(RXMaterial, ShowsCategoryAndSummary) {
	EXPECT_EQ(RX::MaterialCategory(0u).m_category, RX::MaterialCategory::MC_MISCELLANEOUS);
	EXPECT_EQ(RX::MaterialCategory(14u).m_category, RX::MaterialCategory::MC_MISCELLANEOUS);
	EXPECT_EQ(RX::MaterialCategory(12u).toString(), "Foils and waterproofing products");

	RX::Material m;
	ASSERT_EQ(readInto(QString("<Material category=\"0\" name=\"Ins\" lambda=\"0.04\" rho=\"30\" cT=\"1500\"/>"), m), "");
	EXPECT_EQ(m.m_category.m_category, RX::MaterialCategory::MC_NONE);
	EXPECT_EQ(m.m_category.toString(), "Miscellaneous");
	EXPECT_EQ(m.fullText(), QString("Ins").leftJustified(30) + QString("|").leftJustified(30)
							+ QString("Miscellaneous").leftJustified(30) + QString("|").leftJustified(30)
							+ "   30 kg/m3 0.040 W/mK");
}
