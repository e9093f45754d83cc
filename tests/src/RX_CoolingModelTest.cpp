#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZEB_Constants.h"

#include "RX_Constants.h"
#include "RX_CoolingModel.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using XMLTestSupport::readInto;
using XMLTestSupport::written;

namespace {

struct Loads {
	double m_cooling = -1;
	double m_moisture = -1;
	double m_enthalpy = -1;
	double m_dehumidification = -1;
};

// Monday 10:00: set point 26 C, humidity 50 %.
Loads loads(const RX::CoolingModel & m, double TRoom, double rhoV = 0, bool moisture = false) {
	Loads l;
	m.computeLoads(moisture, 10, 36000, TRoom, rhoV, l.m_cooling, l.m_moisture, l.m_enthalpy, l.m_dehumidification);
	return l;
}

} // namespace


TEST(RXCoolingModel, DehumidificationTakesItsPowerFromTheSensibleCooling) {
	RX::CoolingModel m;
	EXPECT_EQ(loads(m, 310, 0.1, true).m_dehumidification, 0);		// NONE
	m.m_modelType = RX::CoolingModel::SIMPLE;
	EXPECT_EQ(loads(m, 300.15).m_cooling, -1200);
	EXPECT_NEAR(loads(m, 299.25).m_cooling, -500, 1e-6);
	Loads l = loads(m, 300.15, 0.1, false);
	EXPECT_EQ(l.m_cooling, -1200);
	EXPECT_EQ(l.m_moisture + l.m_enthalpy + l.m_dehumidification, 0);

	const double T = 300.15;
	const double rhoVSet = 0.5 * RX::p_sat(T) / (ZEB::R_VAPOR * T);
	EXPECT_EQ(loads(m, T, rhoVSet - 1e-3, true).m_cooling, -1200);		// drier than the set point
	// 1e-5 kg/m3 too humid: 1e-4 kg/s removed with 308 W, leaving 892 W
	l = loads(m, T, rhoVSet + 1e-5, true);
	EXPECT_NEAR(l.m_moisture, -1e-4, 1e-12);
	EXPECT_NEAR(l.m_dehumidification, 308, 1e-6);
	EXPECT_NEAR(l.m_cooling, -892, 1e-6);
	// far too humid: the whole device dehumidifies
	l = loads(m, T, 0.05, true);
	EXPECT_DOUBLE_EQ(l.m_moisture, -1200 / 3.08e6);
	EXPECT_EQ(l.m_dehumidification, 1200);
	EXPECT_EQ(l.m_cooling, 0);
	EXPECT_DOUBLE_EQ(l.m_enthalpy, (T * 2050 + 3.08e6) * -1200 / 3.08e6);

	// a curve is read at the set point, 299.15 K; the nominal power still bounds the removal
	m.m_maxPowerCurve.setValues({290, 310}, {1000, 3000});
	EXPECT_NEAR(loads(m, 310).m_cooling, -1915, 1e-6);
	EXPECT_NEAR(loads(m, 310, 0.2, true).m_cooling, -715, 1e-6);
}


TEST(RXCoolingModel, SlopeGrowsOnlyWhileTheRoomMissesTheSetPointUnsaturated) {
	TestSupport::MessageRecorder recorder;
	RX::CoolingModel m;
	auto adjust = [&](double TRoom, double load) { m.adjustSlope(10, 36000, TRoom, load); };
	adjust(310, -1200);			// saturated
	adjust(310, 0);				// off
	adjust(299.349, -500);		// within 0.2 K
	EXPECT_EQ(m.m_slope, 5000);
	adjust(299.45, -500);		// 0.3 K above
	EXPECT_DOUBLE_EQ(m.m_slope, 6000);
	EXPECT_EQ(recorder.texts("[CoolingModel::adjustSlope]"), std::vector<std::string>{"SlopeIdealCooling = 6000 W/K\n"});
	// under a curve the device saturates at the curve's power at the set point (1915 W), not at
	// the nominal power
	m.m_modelType = RX::CoolingModel::SIMPLE;
	m.m_maxPowerCurve.setValues({290, 310}, {1000, 3000});
	adjust(310, loads(m, 310).m_cooling);
	EXPECT_DOUBLE_EQ(m.m_slope, 6000);
	adjust(310, -1200);
	EXPECT_DOUBLE_EQ(m.m_slope, 7200);
	// saturated, too, at the power the dehumidification leaves: in steps of a minute the gain
	// climbed to its limit where steps of an hour left it low
	m.m_maxPowerCurve = ZEB::LinearSpline();
	m.adjustSlope(10, 36000, 310, -700, 500);
	EXPECT_DOUBLE_EQ(m.m_slope, 7200);
	m.m_slope = 450000;
	adjust(310, -500);
	EXPECT_EQ(m.m_slope, 500000);
}


TEST(RXCoolingModel, WritesTheCurveInCelsiusAndKilowattAndReadsBackEqual) {
	RX::CoolingModel m;
	m.m_modelType = RX::CoolingModel::SIMPLE;
	m.m_maxPower = 1234567;
	m.m_maxPowerCurve.setValues({293.15, 303.15}, {1500, 2500});
	m.m_scheduleHumiditySetPoints.m_weekDaySchedule[0] = 60;
	m.m_slope = 77777;
	const QString text = written(m);
	EXPECT_TRUE(text.startsWith("<CoolingModel name=\"\" modelType=\"SIMPLE\"><MaxPower>1.23457e+06</MaxPower>"
								"<LinearSpline name=\"MaxPowerCurve\"><X unit=\"C\">20 30</X><Y unit=\"kW\">1.5 2.5</Y>"
								"</LinearSpline><ScheduleSetPoints type=\"DAILY_WEEK\">"));
	EXPECT_FALSE(text.contains("77777"));
	RX::CoolingModel back;
	EXPECT_EQ(readInto(text, back), "");
	EXPECT_EQ(written(back), text);
	EXPECT_EQ(back.m_maxPower, 1234570);
	EXPECT_EQ(back.m_slope, 5000);
	ASSERT_EQ(back.m_maxPowerCurve.size(), 2u);
	EXPECT_NEAR(back.m_maxPowerCurve.m_x[1], 303.15, 1e-9);
	EXPECT_NEAR(back.m_maxPowerCurve.m_y[1], 2500, 1e-9);
}


TEST(RXCoolingModel, UnusableCurvesFailWrappedAndLeaveTheCurve) {
	TestSupport::MessageRecorder recorder;
	RX::CoolingModel m;
	m.m_maxPowerCurve.setValues({290}, {900});
	auto read = [&](const char * x, const char * y) {
		return TestSupport::thrownException([&] {
			readInto(QString("<CoolingModel><LinearSpline name=\"MaxPowerCurve\"><X unit=\"%1</X><Y unit=\"%2</Y>"
							 "</LinearSpline><MaxPower>5</MaxPower></CoolingModel>").arg(x, y), m);
		});
	};
	auto ex = read("W\">1 2", "W\">1 2");
	ASSERT_TRUE(ex);
	EXPECT_EQ(ex->msgStack(), "Invalid x unit 'W' in linear spline 'MaxPowerCurve', expected temperature in [K] or "
							  "convertible unit. \nError reading cooling model data.");
	EXPECT_STREQ(ex->location(), "[CoolingModel::readXML]");
	ex = read("C\">1 2", "C\">1 2");
	ASSERT_TRUE(ex);
	EXPECT_EQ(ex->msgStack(), "Invalid y unit 'C' in linear spline 'MaxPowerCurve', expected power in [W] or "
							  "convertible unit. \nError reading cooling model data.");
	ex = read("C\">2 1", "W\">1 2");		// refused by the spline itself, unwrapped
	ASSERT_TRUE(ex);
	EXPECT_STRNE(ex->location(), "[CoolingModel::readXML]");
	EXPECT_EQ(m.m_maxPowerCurve.m_x, std::vector<double>{290});
	EXPECT_EQ(m.m_maxPower, 1200);

	// other splines and elements are reported and dropped, the rest is read
	EXPECT_EQ(readInto(QString("<CoolingModel><LinearSpline name=\"Curve\"><X unit=\"C\">1</X><Y unit=\"W\">1</Y>"
							   "</LinearSpline><Fan/><MaxPower>5</MaxPower></CoolingModel>"), m), "");
	EXPECT_EQ(m.m_maxPowerCurve.m_x, std::vector<double>{290});
	EXPECT_EQ(m.m_maxPower, 5);
	EXPECT_EQ(recorder.texts("[CoolingModel::readXML]"),
			  (std::vector<std::string>{"Found unknown element 'LinearSpline' named 'Curve' in CoolingModel.",
										"Found unknown element 'Fan' in CoolingModel."}));
}
