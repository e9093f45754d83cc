#include <gtest/gtest.h>

#include "RX_Constants.h"

TEST(RXConstants, SaturationPressureOverIceAndWater) {
	EXPECT_NEAR(RX::p_sat(273.15), 610.780, 1e-3);
	EXPECT_NEAR(RX::p_sat(293.15), 2337.12, 1e-2);
	EXPECT_NEAR(RX::p_sat(253.15), 103.174, 1e-3);
	EXPECT_EQ(RX::p_sat(129.9), 1.35e-15);
	EXPECT_EQ(RX::p_sat(373.1), 109347.0);
	// Ice and water branches meet at the switch: no step for the integrator to trip over.
	EXPECT_NEAR(RX::p_sat(273.1269 - 1e-9), RX::p_sat(273.1269), 0.01);
	// Boiling point: the water polynomial ends near one atmosphere.
	EXPECT_NEAR(RX::p_sat(373.0), 101325.0, 0.01*101325.0);
	EXPECT_DOUBLE_EQ(RX::RAD2DEG, 57.29577951308232);
}
