#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RX_HeatingModel.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using XMLTestSupport::readInto;
using XMLTestSupport::written;

namespace {

// Monday 10:00 (set point 20 C) unless h says otherwise.
double load(const RX::HeatingModel & m, double TRoom, unsigned int h = 10) {
	double q = -1;
	m.computeLoads(h, 3600.0 * h, TRoom, q);
	return q;
}

} // namespace


TEST(RXHeatingModel, ProportionalLoadBetweenZeroAndMaxPower) {
	RX::HeatingModel m;
	EXPECT_EQ(load(m, 250), 0);							// NONE
	m.m_modelType = RX::HeatingModel::SIMPLE;
	EXPECT_NEAR(load(m, 293.05), 500, 1e-6);
	EXPECT_EQ(load(m, 292.15), 800);
	EXPECT_EQ(load(m, 293.15), 0);
	EXPECT_NEAR(load(m, 289.05, 3), 500, 1e-6);			// 16 C at night
}


TEST(RXHeatingModel, SlopeGrowsOnlyWhileTheRoomMissesTheSetPointUnsaturated) {
	TestSupport::MessageRecorder recorder;
	RX::HeatingModel m;
	auto adjust = [&](double TRoom, double load) { m.adjustSlope(10, 36000, TRoom, load); };
	adjust(292.951, 400);		// within 0.2 K
	adjust(280, 0);				// off
	adjust(280, 800);			// saturated
	EXPECT_EQ(m.m_slope, 5000);
	adjust(292.85, 400);		// 0.3 K below
	EXPECT_DOUBLE_EQ(m.m_slope, 6000);
	ASSERT_EQ(recorder.m_messages.size(), 1u);
	EXPECT_EQ(recorder.m_messages[0].m_text, "SlopeIdealHeating = 6000 W/K\n");
	EXPECT_EQ(recorder.m_messages[0].m_location, "[HeatingModel::adjustSlope]");
	EXPECT_EQ(recorder.m_messages[0].m_level, 2);

	// from 5000 W/K the 26th raise reaches the cap, which then holds; quiet below verbosity 2
	recorder.setConsoleVerbosityLevel(1);
	m.m_slope = 5000;
	for (int i = 0; i < 25; ++i)
		adjust(292.85, 400);
	EXPECT_LT(m.m_slope, 500000);
	adjust(292.85, 400);
	EXPECT_EQ(m.m_slope, 500000);
	adjust(292.85, 400);
	EXPECT_EQ(m.m_slope, 500000);
	EXPECT_EQ(recorder.m_messages.size(), 1u);
}


TEST(RXHeatingModel, ReadsBackEqualWithoutTheSlopeAndToleratesUnknownContent) {
	TestSupport::MessageRecorder recorder;
	RX::HeatingModel m;
	m.m_name = "Radiator";
	m.m_modelType = RX::HeatingModel::SIMPLE;
	m.m_maxPower = 1234567;
	m.m_scheduleSetPoints.m_weekEndSchedule[4] = 17.5;
	m.m_slope = 77777;
	const QString text = written(m);
	EXPECT_TRUE(text.startsWith("<HeatingModel name=\"Radiator\" modelType=\"SIMPLE\"><MaxPower>1.23457e+06</MaxPower>"
								"<ScheduleSetPoints type=\"DAILY_WEEK\"><WeekDaySchedule>16 16 16 16 16 16 20 "));
	EXPECT_FALSE(text.contains("77777"));
	RX::HeatingModel back;
	EXPECT_EQ(readInto(text, back), "");
	EXPECT_EQ(written(back), text);
	EXPECT_EQ(back.m_maxPower, 1234570);
	EXPECT_EQ(back.m_slope, 5000);

	// a model type left out keeps the type
	EXPECT_EQ(readInto(QString("<HeatingModel><Pump><MaxPower>1</MaxPower></Pump>"
							   "<MaxPower>0</MaxPower></HeatingModel>"), back), "");
	EXPECT_EQ(back.m_modelType, RX::HeatingModel::SIMPLE);
	EXPECT_EQ(back.m_name, "");
	EXPECT_EQ(back.m_maxPower, 0);
	EXPECT_EQ(recorder.texts("HeatingModel::readXML()"),
			  std::vector<std::string>{"Found unknown element 'Pump' in HeatingModel."});
}
