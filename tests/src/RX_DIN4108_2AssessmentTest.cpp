#include <gtest/gtest.h>

#include "RX_DIN4108_2Assessment.h"
#include "RX_ShadingType.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using RX::DIN4108_2Assessment;
using XMLTestSupport::readInto;
using XMLTestSupport::written;

namespace {

DIN4108_2Assessment nonResidential() {
	DIN4108_2Assessment a;
	a.m_residential = false;
	return a;
}

const char * const READ = "[DIN4108_2Assessment::readXML]";

} // namespace


TEST(RXDIN4108_2Assessment, GivesTheFixedValuesOfUseAndClimateRegion) {
	DIN4108_2Assessment a;
	const double expected[] = {25.0, 26.0, 27.0};
	for (int region = 0; region < 3; ++region) {
		a.m_climateRegion = region;
		EXPECT_EQ(a.referenceRoomTemperature(), expected[region]);
	}
	EXPECT_EQ(a.totalUsingHours(), 8760);
	EXPECT_EQ(a.overtemperatureHours(), 1200);
	EXPECT_EQ(a.innerLoads(3.0), 4.166666666666667);
	EXPECT_EQ(a.roomHeatingSetPointTemperature(), 20.0);

	const DIN4108_2Assessment n = nonResidential();
	EXPECT_EQ(n.totalUsingHours(), 2871);
	EXPECT_EQ(n.overtemperatureHours(), 500);
	EXPECT_EQ(n.innerLoads(10.0), 13.090909090909092);
	EXPECT_EQ(n.innerLoads(3.0), 0.0);
	EXPECT_EQ(n.roomHeatingSetPointTemperature(), 21.0);
	// the using hours are the hours of the year that lie in the usage time
	int using_ = 0;
	for (int h = 0; h < 8760; ++h)
		using_ += n.usageTime(h + 0.5) ? 1 : 0;
	EXPECT_EQ(using_, n.totalUsingHours());
}


TEST(RXDIN4108_2Assessment, CountsDaysFromMondayAndIncludesTheWindowBounds) {
	EXPECT_TRUE(DIN4108_2Assessment::isWeekEnd(120));
	EXPECT_TRUE(DIN4108_2Assessment::isWeekEnd(167.9));
	EXPECT_FALSE(DIN4108_2Assessment::isWeekEnd(168));
	EXPECT_TRUE(DIN4108_2Assessment::usageTimeNonResidential(18.0));
	EXPECT_FALSE(DIN4108_2Assessment::usageTimeNonResidential(18.5));
	EXPECT_FALSE(DIN4108_2Assessment::usageTimeNonResidential(120 + 10));
	const DIN4108_2Assessment a;
	EXPECT_TRUE(a.residentialTime(6.0));
	EXPECT_TRUE(a.residentialTime(23.0));
	EXPECT_FALSE(a.residentialTime(23.5));
	EXPECT_TRUE(a.usageTime(120 + 2));
	EXPECT_TRUE(nonResidential().residentialTime(120 + 7));
}


TEST(RXDIN4108_2Assessment, HeatsAndCoolsProportionallyUpToTheLimits) {
	DIN4108_2Assessment a;
	EXPECT_NEAR(a.heatingLoad(292.15), 5000.0, 1e-8);
	EXPECT_EQ(a.heatingLoad(280.0), 10000.0);
	EXPECT_EQ(a.heatingLoad(293.15 + 1e-9), 0.0);
	EXPECT_EQ(a.coolingLoad(298.0), 0.0);
	EXPECT_EQ(a.coolingLoad(26.0 + 273.15 + 30), -10000.0);
	EXPECT_NEAR(a.coolingLoad(26.0 + 273.15 + 0.5), -2500.0, 1e-8);
	a.m_maximumHeatingPower = 0;
	a.m_maximumPassiveCoolingPower = 0;
	EXPECT_EQ(a.heatingLoad(250.0), 0.0);
	EXPECT_EQ(a.coolingLoad(320.0), 0.0);
}


TEST(RXDIN4108_2Assessment, SharpensControllersOnlyWhileUnsaturatedAndFarFromTarget) {
	TestSupport::MessageRecorder recorder;
	DIN4108_2Assessment a;
	a.adjustSlope(290.0, 10000.0);		// saturated
	a.adjustSlope(293.0, 750.0);		// within 0.2 K
	EXPECT_EQ(a.m_slopeHeating, 5000.0);
	a.adjustSlope(290.0, 5000.0);
	EXPECT_EQ(a.m_slopeHeating, 6000.0);
	EXPECT_EQ(recorder.texts("[DIN4108_2Assessment::adjustSlope]"),
			  std::vector<std::string>{"SlopeIdealHeating = 6000 W/K\n"});
	a.m_slopeHeating = 450000.0;
	a.adjustSlope(290.0, 5000.0);
	a.adjustSlope(290.0, 5000.0);
	EXPECT_EQ(a.m_slopeHeating, 500000.0);

	const double hot = 26.0 + 273.15 + 30;
	a.adjustSlopeCooling(hot, a.coolingLoad(hot));	// saturated
	EXPECT_EQ(a.m_slopeCooling, 5000.0);
	recorder.setConsoleVerbosityLevel(1);
	a.adjustSlopeCooling(hot, -5000.0);
	EXPECT_EQ(a.m_slopeCooling, 6000.0);
	EXPECT_TRUE(recorder.texts("[DIN4108_2Assessment::adjustSlopeCooling]").empty());
	recorder.setConsoleVerbosityLevel(2);
	a.adjustSlopeCooling(hot, -5000.0);
	EXPECT_EQ(recorder.texts("[DIN4108_2Assessment::adjustSlopeCooling]"),
			  std::vector<std::string>{"SlopeIdealCooling = 7200 W/K\n"});
}


TEST(RXDIN4108_2Assessment, ShadesWindowsByTheChosenRule) {
	const RX::ShadingType blind("Blind", 0.3);
	DIN4108_2Assessment a;
	EXPECT_EQ(a.normalRadiationLimit(45.0), 200.0);
	EXPECT_EQ(a.normalRadiationLimit(180.0), 300.0);
	EXPECT_EQ(a.normalRadiationLimit(-90.0), 300.0);
	EXPECT_EQ(nonResidential().normalRadiationLimit(45.0), 150.0);
	EXPECT_EQ(nonResidential().normalRadiationLimit(314.9), 200.0);
	EXPECT_EQ(a.unshadedWindowPercentage(&blind, 12, 1000, 180, 44.9), 1.0);
	EXPECT_EQ(a.unshadedWindowPercentage(&blind, 12, 300, 180, 90), 1.0);
	EXPECT_EQ(a.unshadedWindowPercentage(&blind, 12, 301, 180, 90), 0.3);
	EXPECT_EQ(a.unshadedWindowPercentage(nullptr, 12, 301, 180, 90), 1.0);

	DIN4108_2Assessment n = nonResidential();
	n.m_shadingControlType = 0;
	EXPECT_EQ(n.unshadedWindowPercentage(&blind, 12, 0, 0, 90), 0.3);
	EXPECT_EQ(n.unshadedWindowPercentage(&blind, 120 + 12, 0, 0, 90), 1.0);
	n.m_shadingControlType = 1;
	EXPECT_EQ(n.unshadedWindowPercentage(&blind, 12, 1000, 180, 90), 1.0);
	n.m_shadingControlType = 4;
	EXPECT_EQ(TestSupport::thrownAt([&] { n.unshadedWindowPercentage(&blind, 12, 0, 0, 90); },
									"[DIN4108_2Assessment::unshadedWindowPercentage]"),
			  "Invalid shading control type 4.");
}


TEST(RXDIN4108_2Assessment, VentilatesInOneOverSecondsAndNeverUsesTheUnsetRate) {
	DIN4108_2Assessment a;
	EXPECT_EQ(a.airChange(12, 2.5), 0.5 / 3600);
	EXPECT_EQ(a.m_airChange, -1.0);
	const DIN4108_2Assessment n = nonResidential();
	// 4 m3 of outside air per hour and m2 of floor area
	EXPECT_NEAR(n.basicVentilationValue(12, 2.5) * 2.5 * 3600, 4.0, 1e-12);
	EXPECT_EQ(n.basicVentilationValue(3, 2.5), 6.666666666666667e-5);
	EXPECT_EQ(TestSupport::thrownAt([&] { n.basicVentilationValue(12, 0.0); },
									"[DIN4108_2Assessment::basicVentilationSetting]"),
			  "Invalid room height 0 m; the basic air change needs a positive height.");

	a.m_enhancedDayVentilation = true;
	a.setEnhancedDayVentilationValue(3.0);
	a.m_enhancedNightVentilation = true;
	a.setEnhancedNightVentilationValue(2.0);
	a.updateVentilationAirChange(28, 20, 12, 2.5);
	EXPECT_DOUBLE_EQ(a.m_airChange, 3.0 / 3600);
	EXPECT_EQ(a.enhancedDayVentilation(28, 20, 12), 3.0);
	EXPECT_FALSE(a.hasEnhancedDayVentilation(23.0, 20, 12));
	EXPECT_FALSE(a.hasEnhancedDayVentilation(28, 28, 12));
	a.updateVentilationAirChange(28, 20, 23.5, 2.5);
	EXPECT_DOUBLE_EQ(a.airChange(23.5, 2.5), 2.0 / 3600);
	a.updateVentilationAirChange(28, 28, 23.5, 2.5);
	EXPECT_EQ(a.m_airChange, 0.5 / 3600);

	EXPECT_EQ(TestSupport::thrownAt([&] { a.setEnhancedDayVentilationValue(3.1); },
									"[DIN4108_2Assessment::setEnhancedDayVentilationValue]"),
			  "Enhanced day ventilation 3.1 1/h is outside 0 to 3 1/h.");
	EXPECT_EQ(TestSupport::thrownAt([&] { a.setEnhancedNightVentilationValue(2.5); },
									"[DIN4108_2Assessment::setEnhancedNightVentilationValue]"),
			  "Enhanced night ventilation 2.5 1/h is outside 0 to 2 1/h.");
	a.setNightVentilationType(DIN4108_2Assessment::VT_HIGH);
	a.setEnhancedNightVentilationValue(5.0);
	EXPECT_EQ(a.enhancedNightVentilationValue(), 5.0);
}


TEST(RXDIN4108_2Assessment, WritesSetFlagsOnlyAndReadsWhatItWrote) {
	EXPECT_EQ(written(DIN4108_2Assessment()),
			  "<DIN4108_2Assessment><Residential>true</Residential>"
			  "<ClimateRegion>1</ClimateRegion><ShadingControlType>2</ShadingControlType><VentilationType>0</VentilationType>"
			  "<EnhancedDayVentilationValue>0</EnhancedDayVentilationValue>"
			  "<EnhancedNightVentilationValue>0</EnhancedNightVentilationValue>"
			  "<EnhancedDayVentilationExplanation></EnhancedDayVentilationExplanation>"
			  "<EnhancedNightVentilationExplanation></EnhancedNightVentilationExplanation>"
			  "<ShadingControlExplanation></ShadingControlExplanation><MaximumHeatingPower>10000</MaximumHeatingPower>"
			  "<MaximumPassiveCoolingPower>10000</MaximumPassiveCoolingPower>"
			  "<PassiveCoolingExplanation></PassiveCoolingExplanation></DIN4108_2Assessment>");

	DIN4108_2Assessment a = nonResidential();
	a.m_active = a.m_enhancedDayVentilation = a.m_enhancedNightVentilation = a.m_passiveCooling = true;
	a.m_climateRegion = 2;
	a.m_shadingControlType = 3;
	a.setNightVentilationType(DIN4108_2Assessment::VT_UNLIMITED);
	a.setEnhancedDayVentilationValue(2.5);
	a.setEnhancedNightVentilationValue(8.0);
	a.m_maximumHeatingPower = 1234.5;
	a.m_maximumPassiveCoolingPower = 0;
	a.m_passiveCoolingExplanation = "fans & <vents>";
	DIN4108_2Assessment back;
	EXPECT_EQ(readInto(written(a), back), "");
	EXPECT_EQ(written(back), written(a));
}


TEST(RXDIN4108_2Assessment, ReadsExactTextsAndRefusesValuesOutOfRange) {
	TestSupport::MessageRecorder recorder;
	DIN4108_2Assessment a;
	EXPECT_EQ(readInto(QString("<D><Active>false</Active><Other><x/></Other><ClimateRegion>2</ClimateRegion>"
							   "<EnhancedDayVentilationValue>0</EnhancedDayVentilationValue></D>"), a), "");
	EXPECT_FALSE(a.m_active);
	EXPECT_EQ(a.m_climateRegion, 2);
	EXPECT_TRUE(a.m_residential);
	EXPECT_EQ(recorder.texts(READ), std::vector<std::string>{"Found unknown element 'Other' in DIN4108_2Assessment."});

	// each named with its text and what it should be
	const std::pair<const char *, const char *> refused[] = {
		{"<ClimateRegion>-1</ClimateRegion>",
		 "Invalid value '-1' in element 'ClimateRegion' of DIN4108_2Assessment, expected a whole number from 0 to 2."},
		{"<ShadingControlType>4</ShadingControlType>",
		 "Invalid value '4' in element 'ShadingControlType' of DIN4108_2Assessment, expected a whole number from 0 to 3."},
		{"<VentilationType>3</VentilationType>",
		 "Invalid value '3' in element 'VentilationType' of DIN4108_2Assessment, expected a whole number from 0 to 2."},
		{"<EnhancedNightVentilationValue>-0.1</EnhancedNightVentilationValue>",
		 "Invalid value '-0.1' in element 'EnhancedNightVentilationValue' of DIN4108_2Assessment, expected a number of 0 "
		 "or more."},
		{"<MaximumHeatingPower>nan</MaximumHeatingPower>",
		 "Invalid value 'nan' in element 'MaximumHeatingPower' of DIN4108_2Assessment, expected a finite number."},
		{"<Active>TRUE</Active>", "Invalid value 'TRUE' in element 'Active' of DIN4108_2Assessment, expected one of: false, true."}
	};
	for (const auto & r : refused)
		EXPECT_EQ(TestSupport::thrownAt([&] { readInto(QString("<D>") + r.first + "</D>", a); }, READ), r.second);

	// the credited air change never exceeds the limit of the ventilation type, whatever the order
	DIN4108_2Assessment b;
	EXPECT_EQ(readInto(QString("<D><EnhancedNightVentilationValue>8</EnhancedNightVentilationValue>"
							   "<VentilationType>1</VentilationType><EnhancedDayVentilationValue>4</EnhancedDayVentilationValue></D>"), b), "");
	EXPECT_EQ(b.enhancedNightVentilationValue(), 5.0);
	EXPECT_EQ(b.enhancedDayVentilationValue(), 3.0);
	EXPECT_EQ(recorder.texts(READ).size(), 3u);
}
