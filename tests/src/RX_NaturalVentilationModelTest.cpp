#include <cmath>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZEB_Constants.h"

#include "RX_NaturalVentilationModel.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using XMLTestSupport::readInto;
using XMLTestSupport::written;

namespace {

struct Flows {
	double m_moisture = -1;
	double m_heat = -1;
};

// Room of 100 m3, hour 10 unless t says otherwise.
Flows flows(RX::NaturalVentilationModel & m, double Ti, double Te, bool moisture = false, double rhoVi = 0,
			double rhoVe = 0, double t = 36000)
{
	Flows f;
	m.computeLoads(moisture, static_cast<unsigned int>(t / 3600), t, Ti, Te, rhoVi, rhoVe, 100, f.m_moisture, f.m_heat);
	return f;
}

RX::NaturalVentilationModel withScheduledRate(RX::NaturalVentilationModel::ModelType type, double n) {
	RX::NaturalVentilationModel m;
	m.m_modelType = type;
	m.m_scheduleAirChangeRates.m_constantValue = n;
	return m;
}

} // namespace


TEST(RXNaturalVentilationModel, AirChangeCarriesSensibleAndMoistAirEnthalpy) {
	RX::NaturalVentilationModel m;
	EXPECT_EQ(m.m_airChangeRate, 0);
	Flows f = flows(m, 293.15, 273.15, true, 0.008, 0.003);
	EXPECT_EQ(f.m_heat + f.m_moisture + m.m_airChangeRate, 0);		// NONE

	m = withScheduledRate(RX::NaturalVentilationModel::SIMPLE, 3.6);
	f = flows(m, 293.15, 283.15);
	EXPECT_NEAR(f.m_heat, -1212.23, 1e-6);			// 1.205 * 1006 * 100 m3 * 3.6/h * -10 K / 3600
	EXPECT_EQ(f.m_moisture, 0);
	f = flows(m, 293.15, 273.15, true, 0.00863022, 0.003);
	EXPECT_NEAR(f.m_moisture, -6.2896e-4, 1e-8);
	EXPECT_NEAR(f.m_heat, -4731.9, 0.05);
	f = flows(m, 293.15, 293.15, true, 0.008, 0.008);
	EXPECT_NEAR(f.m_moisture, 0, 1e-15);
	EXPECT_NEAR(f.m_heat, 0, 1e-9);
	// dry air: the sensible flow with the ideal-gas density of the outside air
	f = flows(m, 293.15, 273.15, true, 0, 0);
	EXPECT_NEAR(f.m_heat, 0.1 * ZEB::GASPRESS_REF / (ZEB::R_AIR * 273.15) * ZEB::C_AIR * -20, 1e-9);
}


TEST(RXNaturalVentilationModel, ManagedVentilationRisesLinearlyAboveBothThresholds) {
	RX::NaturalVentilationModel m = withScheduledRate(RX::NaturalVentilationModel::MANAGED, 3);
	m.m_tRoomDifference = 50;			// DIN only, like the night settings
	m.m_setTRoom = -50;
	flows(m, 295.15, 280);					// 22 C, below 23 C
	EXPECT_EQ(m.m_airChangeRate, 0.5);
	flows(m, 298.15, 288.15);				// 25 C, outside 15 C
	EXPECT_EQ(m.m_airChangeRate, 3);
	flows(m, 298.15, 299);					// warmer outside
	EXPECT_EQ(m.m_airChangeRate, 0.5);
	flows(m, 296.25, 296.15);				// 0.1 K above both: halfway on the step
	EXPECT_NEAR(m.m_airChangeRate, 1.75, 1e-9);
	flows(m, 296.2, 280);					// 0.05 K above: a quarter of the step
	EXPECT_NEAR(m.m_airChangeRate, 0.5 + 2.5 * 0.25, 1e-9);
}


TEST(RXNaturalVentilationModel, DinDayRulesHoldFromStartToBeforeEndOnEveryDay) {
	RX::NaturalVentilationModel m = withScheduledRate(RX::NaturalVentilationModel::DIN, 3);
	// 21.5 C: below the day threshold of 23 C, above the night one of 20 C
	auto rate = [&](unsigned int day, double secondsOfDay) {
		flows(m, 294.65, 283.15, false, 0, 0, day * 86400.0 + secondsOfDay);
		return m.m_airChangeRate;
	};
	for (unsigned int day = 0; day < 365; ++day) {
		ASSERT_DOUBLE_EQ(rate(day, 6 * 3600 - 1), 3) << day;
		ASSERT_EQ(rate(day, 6 * 3600), 0.5) << day;
		ASSERT_EQ(rate(day, 23 * 3600 - 1), 0.5) << day;
		ASSERT_DOUBLE_EQ(rate(day, 23 * 3600), 3) << day;
	}
	m.m_tRoomDifferenceNight = 20;			// outside 10 C + 20 K > room
	m.m_baseAirChangeRateNight = 0.1;
	m.m_occupancyStartTime = QTime(6, 30);
	EXPECT_EQ(rate(3, 6 * 3600 + 1799), 0.1);
	m.m_minTRoom = 21;
	EXPECT_DOUBLE_EQ(rate(3, 6 * 3600 + 1800), 3);

	// occupied from 22:00 to 6:00: the day rules hold across midnight, the night rules by day
	m.m_occupancyStartTime = QTime(22, 0);
	m.m_occupancyEndTime = QTime(6, 0);
	m.m_minTRoom = 23;
	EXPECT_EQ(rate(3, 23 * 3600), 0.5);
	EXPECT_EQ(rate(4, 5 * 3600), 0.5);
	EXPECT_EQ(rate(4, 12 * 3600), 0.1);
	EXPECT_EQ(m.nextDayPeriodChange(3 * 86400.0 + 12 * 3600), 3 * 86400.0 + 22 * 3600);
	EXPECT_EQ(m.nextDayPeriodChange(3 * 86400.0 + 23 * 3600), 4 * 86400.0 + 6 * 3600);
}


TEST(RXNaturalVentilationModel, ReadsBackEqualAndKeepsTimesThatCannotBeRead) {
	RX::NaturalVentilationModel m;
	m.m_modelType = RX::NaturalVentilationModel::DIN;
	m.m_minTRoom = 24.25;
	m.m_baseAirChangeRateNight = 0.3;
	m.m_occupancyStartTime = QTime(7, 15);
	m.m_airChangeRate = 9;
	const QString text = written(m);
	EXPECT_TRUE(text.contains("<MinTRoom>24.25</MinTRoom><TRoomDifference>0</TRoomDifference><SetTRoom>20</SetTRoom>"
							  "<TRoomDifferenceNight>0</TRoomDifferenceNight><BaseAirChangeRate>0.5</BaseAirChangeRate>"
							  "<BaseAirChangeRateNight>0.3</BaseAirChangeRateNight><OccupancyStartTime>07:15:00"
							  "</OccupancyStartTime><OccupancyEndTime>23:00:00</OccupancyEndTime>"
							  "</NaturalVentilationModel>"));
	RX::NaturalVentilationModel back;
	EXPECT_EQ(readInto(text, back), "");
	EXPECT_EQ(written(back), text);
	EXPECT_EQ(back.m_airChangeRate, 0);

	TestSupport::MessageRecorder recorder;
	EXPECT_EQ(readInto(QString("<NaturalVentilationModel><OccupancyStartTime>7 o'clock"
							   "</OccupancyStartTime><Door><a/></Door><OccupancyEndTime>21:30:00</OccupancyEndTime>"
							   "<MinTRoom>0</MinTRoom></NaturalVentilationModel>"), back), "");
	EXPECT_EQ(back.m_modelType, RX::NaturalVentilationModel::DIN);
	EXPECT_EQ(back.m_occupancyStartTime, QTime(7, 15));
	EXPECT_EQ(back.m_occupancyEndTime, QTime(21, 30));
	EXPECT_EQ(back.m_minTRoom, 0);
	EXPECT_EQ(recorder.texts("[NaturalVentilationModel::readXML]"),
			  (std::vector<std::string>{"Invalid time '7 o'clock' in element 'OccupancyStartTime' of "
										"NaturalVentilationModel tag, keeping 07:15:00.",
										"Found unknown element 'Door' in NaturalVentilationModel."}));
}

TEST(RXNaturalVentilationModel, FallsOnlyBelowABaseOfTheRuleInForce) {
	// 3 per hour from 6:00 to 22:00 and 0.2 at night, the day rule from 6:00 to 22:00
	RX::NaturalVentilationModel m = withScheduledRate(RX::NaturalVentilationModel::DIN, 0);
	m.m_scheduleAirChangeRates.m_type = RX::Schedule::DAILY_WEEK;
	for (int h = 0; h < 24; ++h)
		m.m_scheduleAirChangeRates.m_weekDaySchedule[h] = m.m_scheduleAirChangeRates.m_weekEndSchedule[h] =
			h >= 6 && h < 22 ? 3 : 0.2;
	m.m_occupancyEndTime = QTime(22, 0);
	m.m_baseAirChangeRateNight = 0.1;
	EXPECT_TRUE(std::isnan(m.fallingStepStart()));		// the day's base of 0.5 lies below the day's rate
	m.m_baseAirChangeRateNight = 0.24;
	EXPECT_EQ(m.fallingStepStart(), 20);
	m.m_occupancyEndTime = QTime(22, 15);				// the day rule meets the night's rate for 15 minutes
	EXPECT_EQ(m.fallingStepStart(), 23);
	m.m_occupancyEndTime = QTime(22, 0);
	m.m_modelType = RX::NaturalVentilationModel::MANAGED;	// its one rule holds at night too
	EXPECT_EQ(m.fallingStepStart(), 23);
}
