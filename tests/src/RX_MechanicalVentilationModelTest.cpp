#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZEB_Constants.h"

#include "RX_MechanicalVentilationModel.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using XMLTestSupport::readInto;
using XMLTestSupport::written;

namespace {

const double RHO_C = ZEB::RHO_AIR * ZEB::C_AIR;

struct Flows {
	double m_moisture = -1;
	double m_supply = -1;
	double m_heat = -1;
	double m_cooling = -1;
};

// Monday 10:00, cooling set point 26 C.
Flows flows(const RX::MechanicalVentilationModel & m, double Ti, double Te, bool moisture = false,
			double rhoVi = 0, double rhoVe = 0)
{
	Flows f;
	m.computeLoads(moisture, 10, 36000, Ti, Te, rhoVi, rhoVe, 60, f.m_moisture, f.m_supply, f.m_heat, f.m_cooling);
	return f;
}

} // namespace


TEST(RXMechanicalVentilationModel, HeatRecoveryIsBypassedSmoothlyAroundItsSetPoint) {
	RX::MechanicalVentilationModel m;
	Flows f = flows(m, 300, 280, true, 0.01, 0.005);
	EXPECT_EQ(f.m_moisture + f.m_supply + f.m_heat + f.m_cooling, 0);		// NONE
	m.m_modelType = RX::MechanicalVentilationModel::MECHANICAL_VENTILATION;
	f = flows(m, 300, 280, true, 0.01, 0.005);
	EXPECT_EQ(f.m_moisture + f.m_supply + f.m_heat + f.m_cooling, 0);		// default rate 0

	m.m_scheduleVentilationRates.m_constantValue = 100;
	m.m_heatRecoveryEfficiency = 0.8;
	const double V = 100 / 3600.0;
	f = flows(m, 293.15, 273.15);
	EXPECT_DOUBLE_EQ(f.m_supply, V);
	EXPECT_NEAR(f.m_heat, -134.69, 0.005);				// supply at 16 C
	EXPECT_NEAR(f.m_heat, V * RHO_C * -4, 1e-9);
	EXPECT_EQ(f.m_moisture + f.m_cooling, 0);
	// the efficiency at the room temperature, read off the supply temperature
	auto efficiency = [&](double Ti) { return 1 - flows(m, Ti, 273.15).m_heat / (V * RHO_C * (273.15 - Ti)); };
	EXPECT_NEAR(efficiency(294.85), 0.8, 1e-9);			// 21.7 C
	EXPECT_NEAR(efficiency(295.15), 0.4, 1e-9);			// 22 C
	EXPECT_NEAR(efficiency(295.45), 0, 1e-9);			// 22.3 C
	EXPECT_NEAR(efficiency(300), 0, 1e-9);
	m.m_heatRecoveryEfficiency = 0;						// outside air supplied as it is
	EXPECT_NEAR(flows(m, 293.15, 273.15).m_heat, V * RHO_C * -20, 1e-9);

	// moist supply: 30 C outside at 0.025 kg/m3 cooled to 25.2 C condenses in the unit
	m.m_heatRecoverySetpoint = 26;
	m.m_heatRecoveryEfficiency = 0.8;
	f = flows(m, 297.15, 303.15, true, 0.012, 0.025);
	EXPECT_NEAR(f.m_moisture, 3.21072e-4, 1e-9);
	EXPECT_NEAR(f.m_heat, 1113.273, 1e-3);
	// air that bypasses the unit keeps its vapour, even beyond saturation
	m.m_heatRecoveryEfficiency = 0;
	f = flows(m, 297.15, 303.15, true, 0.012, 0.035);
	EXPECT_NEAR(f.m_moisture, 6.49481e-4, 1e-9);
	EXPECT_NEAR(f.m_heat, 2399.602, 1e-3);
	f = flows(m, 293.15, 273.15, true, 0, 0);			// dry: the outside air's ideal-gas density
	EXPECT_NEAR(f.m_heat, V * ZEB::GASPRESS_REF / (ZEB::R_AIR * 273.15) * ZEB::C_AIR * -20, 1e-9);
}


TEST(RXMechanicalVentilationModel, CoolingModeBlowsCooledAirAboveTheSetPoint) {
	RX::MechanicalVentilationModel m;
	m.m_modelType = RX::MechanicalVentilationModel::MECHANICAL_VENTILATION_COOLING;
	Flows f = flows(m, 299.151, 303.15, true, 0.012, 0.025);
	EXPECT_NEAR(f.m_supply * 3600, 10, 1e-6);
	EXPECT_EQ(f.m_moisture, 0);
	EXPECT_DOUBLE_EQ(flows(m, 299.154, 303.15).m_supply * 3600, 40);
	f = flows(m, 300.15, 303.15);						// 27 C room, supply 16 C
	EXPECT_NEAR(f.m_heat, -RHO_C * 40 / 3600 * 11, 1e-9);
	EXPECT_NEAR(f.m_cooling, -RHO_C * 40 / 3600 * 14, 1e-9);
	f = flows(m, 300.15, 285.15);						// outside 12 C enters as it is
	EXPECT_NEAR(f.m_heat, -RHO_C * 40 / 3600 * 15, 1e-9);
	EXPECT_EQ(f.m_cooling, 0);
	f = flows(m, 299.15, 303.15);
	EXPECT_EQ(f.m_supply + f.m_heat + f.m_cooling, 0);
}


TEST(RXMechanicalVentilationModel, ReadsBackEqualAndClampsOutOfRangeValues) {
	RX::MechanicalVentilationModel m;
	m.m_modelType = RX::MechanicalVentilationModel::MECHANICAL_VENTILATION_COOLING;
	m.m_supplyTemperature = 14.5;
	m.m_heatRecoveryEfficiency = 0.75;
	m.m_scheduleVentilationRates.m_constantValue = 80;
	const QString text = written(m);
	EXPECT_TRUE(text.startsWith("<MechanicalVentilationModel name=\"\" modelType=\"MECHANICAL_VENTILATION_COOLING\">"
								"<SupplyTemperature>14.5</SupplyTemperature><MaxSupplyFlowRate>40</MaxSupplyFlowRate>"
								"<HeatRecoveryEfficiency>0.75</HeatRecoveryEfficiency><HeatRecoverySetpoint>22"
								"</HeatRecoverySetpoint><ScheduleSetPoints type=\"DAILY_WEEK\">"));
	RX::MechanicalVentilationModel back;
	EXPECT_EQ(readInto(text, back), "");
	EXPECT_EQ(written(back), text);

	TestSupport::MessageRecorder recorder;
	EXPECT_EQ(readInto(QString("<MechanicalVentilationModel><SupplyTemperature>-300</SupplyTemperature>"
							   "<MaxSupplyFlowRate>-5</MaxSupplyFlowRate><Filter><a/></Filter>"
							   "<HeatRecoveryEfficiency>1.5</HeatRecoveryEfficiency></MechanicalVentilationModel>"), back), "");
	EXPECT_EQ(back.m_modelType, RX::MechanicalVentilationModel::MECHANICAL_VENTILATION_COOLING);
	EXPECT_EQ(back.m_supplyTemperature, -100);
	EXPECT_EQ(back.m_maxSupplyFlowRate, 0.1);
	EXPECT_EQ(back.m_heatRecoveryEfficiency, 1);
	EXPECT_EQ(recorder.texts("MechanicalVentilationModel::readXML"),
			  std::vector<std::string>{"Found unknown element 'Filter' in MechanicalVentilationModel."});
}
