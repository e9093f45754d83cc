#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "RX_RoomConstruction.h"
#include "RX_ShadingControlModel.h"
#include "RX_ShadingType.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using XMLTestSupport::readInto;

namespace {

QString written(const RX::ShadingControlModel & m, const std::vector<RX::RoomConstruction> & constructions) {
	QString text;
	QXmlStreamWriter writer(&text);
	m.writeXML(writer, constructions);
	return text;
}

// Which of the thresholds 100 (horizontal), 200 (east), 300 (south), 400 (west), 500 (north)
// applies: the one at which the shading stays open and just above which it closes.
double threshold(const RX::ShadingControlModel & m, double orientation, double inclination) {
	RX::ShadingType type;
	type.m_z = 0.3;
	for (double T : {100.0, 200.0, 300.0, 400.0, 500.0})
		if (m.unshadedWindowPercentage(&type, 0, 0, T, orientation, inclination) == 1
			&& m.unshadedWindowPercentage(&type, 0, 0, T + 1e-9, orientation, inclination) == 0.3)
			return T;
	return -1;
}

} // namespace


TEST(RXShadingControlModel, FactorBetweenClosedAndOpenByModelType) {
	RX::ShadingControlModel m;
	RX::ShadingType type;
	type.m_z = 0.3;
	// a fresh model keeps the shading closed, also when switched to its default schedule
	EXPECT_EQ(m.unshadedWindowPercentage(&type, 5000, 5000 * 3600.0, 0, 180, 90), 0.3);
	m.m_modelType = RX::ShadingControlModel::SCHEDULED;
	EXPECT_DOUBLE_EQ(m.unshadedWindowPercentage(&type, 3, 3 * 3600.0, 0, 180, 90), 0.3);
	m.m_scheduleShadingDegree.m_constantValue = 0.5;
	EXPECT_DOUBLE_EQ(m.unshadedWindowPercentage(&type, 3, 3 * 3600.0, 0, 180, 90), 0.65);
	m.m_scheduleShadingDegree.m_constantValue = 0;
	EXPECT_EQ(m.unshadedWindowPercentage(&type, 3, 3 * 3600.0, 0, 180, 90), 1);
	m.m_modelType = RX::ShadingControlModel::ModelType(7);
	EXPECT_EQ(m.unshadedWindowPercentage(&type, 3, 3 * 3600.0, 1000, 180, 90), 1);
}


TEST(RXShadingControlModel, ThresholdBySectorOfTheWindowsOrientation) {
	RX::ShadingControlModel m;
	m.m_modelType = RX::ShadingControlModel::INTENSITY_CONTROLLED;
	m.m_maxRadiationIntensityHorizontal = 100;
	m.m_maxRadiationIntensityEast = 200;
	m.m_maxRadiationIntensitySouth = 300;
	m.m_maxRadiationIntensityWest = 400;
	m.m_maxRadiationIntensityNorth = 500;
	for (double o : {0.0, 350.0, -10.0, 720.0, 315.0, 44.9})
		EXPECT_EQ(threshold(m, o, 90), 500) << o;
	EXPECT_EQ(threshold(m, 45, 90), 200);
	EXPECT_EQ(threshold(m, 134.9, 90), 200);
	EXPECT_EQ(threshold(m, 135, 45), 300);
	EXPECT_EQ(threshold(m, 225, 90), 400);
	for (double o : {180.0, 540.0, -180.0})
		EXPECT_EQ(threshold(m, o, 90), 300) << o;
	EXPECT_EQ(threshold(m, 180, 44.9), 100);
}


TEST(RXShadingControlModel, WritesOneStructuralShadingPerConstructionAndReadsThemBack) {
	RX::ShadingControlModel m;
	m.m_name = "Blinds";
	m.m_modelType = RX::ShadingControlModel::INTENSITY_CONTROLLED;
	m.m_maxRadiationIntensityWest = 180.5;
	EXPECT_EQ(written(m, {}), "<ShadingControlModel name=\"Blinds\" modelType=\"INTENSITY_CONTROLLED\">"
		"<MaxRadiationIntensityHorizontal>250</MaxRadiationIntensityHorizontal>"
		"<MaxRadiationIntensityWest>180.5</MaxRadiationIntensityWest>"
		"<MaxRadiationIntensitySouth>250</MaxRadiationIntensitySouth>"
		"<MaxRadiationIntensityNorth>250</MaxRadiationIntensityNorth>"
		"<MaxRadiationIntensityEast>250</MaxRadiationIntensityEast>"
		"<StructuralShadingDescription></StructuralShadingDescription>"
		"<ScheduleShadingDegree type=\"CONSTANT\"><ConstantValue>1</ConstantValue></ScheduleShadingDegree>"
		"</ShadingControlModel>");

	// the second construction has no construction type; its entry keeps the third one's place
	std::vector<RX::RoomConstruction> constructions(3);
	constructions[0].m_constructionId = 5;
	constructions[2].m_constructionId = 5;
	m.m_structuralShadings.resize(3);
	m.m_structuralShadings[2].m_shadingFileName = "third.csv";
	const QString text = written(m, constructions);
	RX::ShadingControlModel back;
	EXPECT_EQ(readInto(text, back), "");
	ASSERT_EQ(back.m_structuralShadings.size(), 3u);
	EXPECT_EQ(back.m_structuralShadings[2].m_shadingFileName, "third.csv");
	EXPECT_EQ(written(back, constructions), text);
}


TEST(RXShadingControlModel, ReaderWarnsAboutUnknownContentAndRefusesUnknownTypes) {
	TestSupport::MessageRecorder recorder;
	RX::ShadingControlModel m;
	EXPECT_EQ(readInto("<ShadingControlModel><Extra><a/></Extra>"
					   "<MaxRadiationIntensityEast>0</MaxRadiationIntensityEast>"
					   "<StructuralShadings><StructuralShading/><Fin/></StructuralShadings>"
					   "<StructuralShadingDescription>eaves</StructuralShadingDescription></ShadingControlModel>", m), "");
	EXPECT_EQ(m.m_modelType, RX::ShadingControlModel::CONSTANT);
	EXPECT_EQ(m.m_maxRadiationIntensityEast, 0);
	EXPECT_EQ(m.m_structuralShadings.size(), 1u);
	EXPECT_EQ(m.m_structuralShadingDescription, "eaves");
	EXPECT_EQ(recorder.texts("[ShadingControlModel::readXML]"), (std::vector<std::string>{
		"Found unknown element 'Extra' in ShadingControlModel.",
		"Found unknown element 'Fin' in StructuralShadings."}));

	// a structural shading that breaks the document is dropped with a warning
	RX::ShadingControlModel cut;
	EXPECT_NE(readInto("<ShadingControlModel><StructuralShadings><StructuralShading><WindowHeight>1", cut), "");
	EXPECT_TRUE(cut.m_structuralShadings.empty());
	EXPECT_EQ(recorder.texts("[ShadingControlModel::readXML]").back(), "Invalid data in StructuralShading tag.");

	// a type in other letters is no default
	EXPECT_EQ(TestSupport::thrown([&] { readInto("<ShadingControlModel modelType=\"scheduled\"/>", m); }),
			  "Invalid value 'scheduled' in attribute 'modelType' of ShadingControlModel, expected one of: CONSTANT, "
			  "SCHEDULED, INTENSITY_CONTROLLED. @ [ShadingControlModel::readXML]");
	EXPECT_EQ(m.m_modelType, RX::ShadingControlModel::CONSTANT);
}
