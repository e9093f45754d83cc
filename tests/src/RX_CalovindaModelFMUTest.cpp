#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QFile>
#include <QXmlStreamWriter>

#include "Case600Box.h"
#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "RX_CalovindaModelFMU.h"
#include "RX_Database.h"
#include "RX_FMU2InputOutputDefinitions.h"
#include "RX_Material.h"
#include "RX_Room.h"
#include "RX_ShadingType.h"
#include "TestSupport.h"
#include "ZEB_Constants.h"
#include "ZEB_Time.h"

// This program has no Qt application object of its own, as a host without Qt.
namespace {

/*! An FMU resource directory: a project file of a room with one 5 mm outside wall and a
	constant climate of 10 C, 50 %, wind from the south at 3 m/s. */
struct Resources {
	Resources() {
		RX::Room & room = m_room;
		room.m_constructions.clear();
		room.m_shadingControlModel.m_structuralShadings.clear();
		room.m_heatingModel.m_modelType = RX::HeatingModel::NONE;
		room.m_userLoads.m_scheduleOccupancy.m_type = RX::Schedule::CONSTANT;
		room.m_userLoads.m_scheduleOccupancy.m_constantValue = 0;
		room.m_area = 20;
		room.m_height = 2.5;
		room.m_climateLocation = "test.c6b";
		// a project file keeps a sorption isotherm through its water content at 80 %
		RX::Material material("en:Test", 0.5, 1000, 1000);
		material.m_mu = 20;
		material.init({0.0, 0.8, 1.0}, {0.0, 8.0, 10.0});
		m_db.addMaterial(material, 1);
		Case600::addConstructionType(m_db, 1, {0.005}, {1});
		RX::RoomConstruction rc;
		rc.m_constructionId = 1;
		rc.m_type = RX::RoomConstruction::Outside;
		rc.m_AW = 10;
		Case600::addConstruction(room, rc);

		OVM::ClimateDataLoader data = Case600::constantClimate(10, 50);
		data.m_data[OVM::ClimateDataLoader::WindDirection].assign(ZEB::HOURS_PER_YEAR, 180);
		data.m_data[OVM::ClimateDataLoader::WindVelocity].assign(ZEB::HOURS_PER_YEAR, 3);
		data.writeClimateDataZEB(m_dir.file("test.c6b"));
	}

	/*! Writes the project file and initialises fmu from the directory. */
	void init(RX::CalovindaModelFMU & fmu) {
		QFile file(QString::fromStdString(projectFile()));
		ASSERT_TRUE(file.open(QIODevice::WriteOnly));
		QXmlStreamWriter writer(&file);
		m_room.writeXML(writer, &m_db);
		file.close();
		fmu.m_lesSolverName = "GMRES";
		fmu.init(projectFile(), m_dir.path());
	}

	std::string projectFile() const { return m_dir.file("calovinda_project.rmxml"); }

	TestSupport::MessageRecorder	m_messages;
	TestSupport::TempDirectory		m_dir{"fmu"};
	RX::Room						m_room;
	RX::Database					m_db;
};

double real(RX::CalovindaModelFMU & fmu, int vr) {
	double value = -1;
	fmu.getReal(vr, value);
	return value;
}

/*! For its lifetime, the C locale "C" while the environment asks for another one, as in a host
	that never called setlocale(LC_ALL, ""). */
class HostLocale {
public:
	HostLocale() {
		const char * old = std::getenv("LC_ALL");
		if (old != nullptr)
			m_oldEnv = old;
		m_hadEnv = old != nullptr;
		setenv("LC_ALL", "C.UTF-8", 1);
		std::setlocale(LC_ALL, "C");
	}
	~HostLocale() {
		if (m_hadEnv)
			setenv("LC_ALL", m_oldEnv.c_str(), 1);
		else
			unsetenv("LC_ALL");
		std::setlocale(LC_ALL, "C");
	}

private:
	bool		m_hadEnv = false;
	std::string	m_oldEnv;
};

} // namespace


TEST(RXCalovindaModelFMU, MakesNoQtApplicationAndLeavesTheHostsLocale) {
	HostLocale host;
	ASSERT_EQ(QCoreApplication::instance(), nullptr);
	{
		Resources r;
		RX::CalovindaModelFMU fmu;
		r.init(fmu);
		EXPECT_EQ(QCoreApplication::instance(), nullptr);
		EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
	}

	// a host's own application object stays as it is
	int argc = 1;
	char name[] = "host";
	char * argv[] = {name, nullptr};
	QCoreApplication hostApp(argc, argv);
	{
		Resources r;
		RX::CalovindaModelFMU fmu;
		r.init(fmu);
		EXPECT_GT(fmu.n(), 0u);
	}
	EXPECT_EQ(QCoreApplication::instance(), &hostApp);
}


TEST(RXCalovindaModelFMU, WrapsEveryStartUpFailure) {
	Resources r;
	RX::CalovindaModelFMU fmu;
	const std::optional<ZEB::Exception> ex = TestSupport::thrownException(
		[&] { fmu.init(r.m_dir.file("missing.rmxml"), r.m_dir.path()); });
	ASSERT_TRUE(ex);
	EXPECT_STREQ(ex->what(), "Error during model initialization.");
	EXPECT_STREQ(ex->location(), "[CalovindaModelFMU::init]");
	// the cause stays below
	EXPECT_NE(ex->msgStack().find("missing.rmxml"), std::string::npos) << ex->msgStack();
}


TEST(RXCalovindaModelFMU, ReportsClimateAndRoomInFMUUnits) {
	Resources r;
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	EXPECT_DOUBLE_EQ(real(fmu, RX::FMU2_AmbientTemperature), 283.15);
	EXPECT_DOUBLE_EQ(real(fmu, RX::FMU2_AmbientRelativeHumidity), 0.5);
	EXPECT_DOUBLE_EQ(real(fmu, RX::FMU2_WindDirection), ZEB::PI);
	EXPECT_DOUBLE_EQ(real(fmu, RX::FMU2_WindVelocity), 3);
	EXPECT_DOUBLE_EQ(real(fmu, RX::FMU2_AirPressure), 101325);
	EXPECT_DOUBLE_EQ(real(fmu, RX::FMU2_ZoneMeanAirTemperature), 293.15);
	EXPECT_EQ(real(fmu, RX::FMU2_HeatingSetpointTemperature), -999.0);
	EXPECT_EQ(real(fmu, RX::FMU2_CoolingSetpointTemperature), -999.0);
	// neither the results directory nor states are real outputs; an input reads as set
	for (const int vr : {RX::FMU2_ResultsRootDir, RX::FMU2_StateOffset, RX::FMU2_DerivativeOffset})
		EXPECT_EQ(real(fmu, vr), -1.0) << vr;
	EXPECT_EQ(real(fmu, RX::FMU2_ConvectiveThermalLoad), 0.0);
}


TEST(RXCalovindaModelFMU, ReportsSetPointsOfTheCurrentHourAndStartsWithoutHeating) {
	Resources r;
	RX::HeatingModel & heating = r.m_room.m_heatingModel;
	heating.m_modelType = RX::HeatingModel::SIMPLE;
	heating.m_maxPower = 5000;
	heating.m_scheduleSetPoints.m_type = RX::Schedule::DAILY_WEEK;
	heating.m_scheduleSetPoints.m_weekDaySchedule.fill(20);
	heating.m_scheduleSetPoints.m_weekDaySchedule[1] = 25;
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	EXPECT_DOUBLE_EQ(real(fmu, RX::FMU2_HeatingSetpointTemperature), 293.15);
	// the first derivatives hold no heating, though the room is not yet at the set point
	EXPECT_EQ(fmu.m_heatingLoad, 0.0);

	std::vector<double> y(fmu.m_y);
	fmu.updateIfModified(5400, y.data(), false);
	EXPECT_DOUBLE_EQ(real(fmu, RX::FMU2_HeatingSetpointTemperature), 298.15);
	EXPECT_EQ(fmu.m_hourOfYear, 1.0);
	EXPECT_GT(fmu.m_heatingLoad, 0.0);
}


TEST(RXCalovindaModelFMU, AppliesTheThermalInputsToTheRoomBalance) {
	Resources r;
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	const double before = fmu.m_ydot.back();
	fmu.setReal(RX::FMU2_ConvectiveThermalLoad, 200);
	fmu.setReal(RX::FMU2_RadiantThermalLoad, 100);
	// the cache only takes the values
	EXPECT_EQ(fmu.m_externalHeatInput, 0.0);
	fmu.updateFromModifiedInputQuantities();
	EXPECT_EQ(fmu.m_externalHeatInput, 300.0);
	EXPECT_NEAR(fmu.m_ydot.back() - before, 300.0, 1e-9);

	// without the moisture balance the moisture inputs are dropped
	fmu.setReal(RX::FMU2_WaterVaporMassFlowRateIn, 1e-4);
	fmu.setReal(RX::FMU2_WaterVaporEnthalpyFlowIn, 250);
	fmu.setReal(RX::FMU2_LiquidWaterMassFlowRate, 1e-4);
	fmu.updateFromModifiedInputQuantities();
	EXPECT_EQ(fmu.m_externalHeatInput, 300.0);
	EXPECT_EQ(real(fmu, RX::FMU2_WaterVaporMassFlowRateOut), 0.0);
	EXPECT_EQ(real(fmu, RX::FMU2_WaterVaporEnthalpyFlowOut), 0.0);
}


TEST(RXCalovindaModelFMU, AppliesMoistureInputsOnlyWhenTheInterfaceAsksForThem) {
	for (const int flags : {0, 0x10, 0x20}) {
		SCOPED_TRACE(flags);
		Resources r;
		r.m_room.m_moistureBalanceEnabled = true;
		r.m_room.m_interfaceDefinition = flags;
		RX::CalovindaModelFMU fmu;
		r.init(fmu);
		const double vaporBalance = fmu.m_ydot.back();
		fmu.setReal(RX::FMU2_WaterVaporMassFlowRateIn, 1e-4);
		fmu.setReal(RX::FMU2_WaterVaporEnthalpyFlowIn, 250);
		fmu.setReal(RX::FMU2_LiquidWaterMassFlowRate, 2e-4);
		std::vector<double> y(fmu.m_y);
		fmu.updateIfModified(fmu.m_t, y.data(), true);
		EXPECT_EQ(real(fmu, RX::FMU2_WaterVaporEnthalpyFlowOut), 250.0);
		if (flags == 0) {
			EXPECT_EQ(fmu.m_externalHeatInput, 0.0);
			EXPECT_EQ(real(fmu, RX::FMU2_WaterVaporMassFlowRateOut), 0.0);
		}
		else {
			EXPECT_EQ(fmu.m_externalHeatInput, 250.0);
			EXPECT_DOUBLE_EQ(real(fmu, RX::FMU2_WaterVaporMassFlowRateOut), 3e-4);
			EXPECT_NEAR(fmu.m_ydot.back() - vaporBalance, 3e-4, 1e-15);
		}
		EXPECT_GT(real(fmu, RX::FMU2_ZoneMeanAirRelativeHumidity), 0.3);
	}
}


/*! The room air temperature [K] of the moist test room after two hours free floating, with the
	inputs liquid water and vapour [kg/s] and a convective load [W] from the start. */
double moistRoomAfterTwoHours(double liquid, double vapour, double convective) {
	Resources r;
	r.m_room.m_moistureBalanceEnabled = true;
	r.m_room.m_interfaceDefinition = 0x20;
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	fmu.setReal(RX::FMU2_LiquidWaterMassFlowRate, liquid);
	fmu.setReal(RX::FMU2_WaterVaporMassFlowRateIn, vapour);
	fmu.setReal(RX::FMU2_ConvectiveThermalLoad, convective);
	fmu.updateFromModifiedInputQuantities();
	fmu.initIntegrator();
	fmu.integrateTo(7200);
	return fmu.m_TRoom;
}


TEST(RXCalovindaModelFMU, MoistureInputsEnterAtRoomTemperatureAndLiquidWaterEvaporatesThere) {
	// 36 g/h: evaporating at about 20 C it takes 24.5 W from the room, which a convective load of
	// as much gives back; vapour at room temperature takes nothing
	const double m = 1e-5;
	const double latent = m*2.45e6;
	const double T0 = moistRoomAfterTwoHours(0, 0, 0);
	const double liquid = moistRoomAfterTwoHours(m, 0, 0);
	const double heatedBack = moistRoomAfterTwoHours(m, 0, latent);
	const double vapour = moistRoomAfterTwoHours(0, m, 0);
	// each input's heat against the room without it, in the scale that the load sets
	const double perWatt = (heatedBack - liquid)/latent;
	ASSERT_GT(perWatt, 0);
	EXPECT_NEAR((T0 - liquid)/perWatt, latent, 0.02*latent);
	EXPECT_LT(std::fabs(T0 - vapour)/perWatt, 0.01*latent);
}


/*! Gives room an ideal heater of 100 kW with a constant set point of 20 C. */
void heatTo20C(RX::Room & room) {
	RX::HeatingModel & heating = room.m_heatingModel;
	heating.m_modelType = RX::HeatingModel::SIMPLE;
	heating.m_maxPower = 1e5;
	heating.m_scheduleSetPoints.m_type = RX::Schedule::CONSTANT;
	heating.m_scheduleSetPoints.m_constantValue = 20;
}


TEST(RXCalovindaModelFMU, RaisesAGainInACompletedStepAsFarAsTheRoomAirWouldRestWithinTheBand) {
	// -20 C outside and 5 air changes an hour: the room needs some 3 kW where it is
	Resources r;
	Case600::constantClimate(-20, 50).writeClimateDataZEB(r.m_dir.file("test.c6b"));
	heatTo20C(r.m_room);
	r.m_room.m_naturalVentilationModel.m_modelType = RX::NaturalVentilationModel::SIMPLE;
	r.m_room.m_naturalVentilationModel.m_scheduleAirChangeRates.m_constantValue = 5;
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	std::vector<double> y(fmu.y0(), fmu.y0() + fmu.n());
	const double E = y.back()/fmu.m_TRoom;

	// at the set point nothing changes
	y.back() = 293.15*E;
	fmu.completedIntegratorStep(3600, y.data());
	EXPECT_EQ(fmu.m_room.m_heatingModel.m_slope, 5000);
	EXPECT_FALSE(fmu.m_equationsChanged);

	// the room 1 K below it: the heater gives 5000 W at 5000 W/K, more than holds the room air
	// there; one completed step raises the gain by 20 % at a time to the first 5000 W/K x 1.2^k
	// with which the load that would hold the room air where it is would hold it within 0.2 K
	for (double & v : y)
		v *= 292.15/293.15;
	fmu.updateIfModified(7200, y.data(), false);
	const double holding = fmu.restDepth(fmu.heatingBand(), fmu.m_heatingLoad, fmu.m_room.m_gammaHC)*5000;
	ASSERT_GT(holding, 0.2*5000);
	ASSERT_LT(holding, 5000);
	fmu.completedIntegratorStep(7200, y.data());
	const double slope = fmu.m_room.m_heatingModel.m_slope;
	EXPECT_LE(holding/slope, 0.2);
	EXPECT_GT(holding/(slope/1.2), 0.2);
	EXPECT_NEAR(std::log(slope/5000)/std::log(1.2), std::round(std::log(slope/5000)/std::log(1.2)), 1e-9);
	EXPECT_TRUE(fmu.m_equationsChanged);

	// the same for the summer assessment's passive cooling, the room air 1 K above its reference
	// of 26 C, its wall at 55 C
	Resources assessedResources;
	RX::DIN4108_2Assessment & din = assessedResources.m_room.m_din4108_2Assessment;
	din.m_active = true;
	din.m_passiveCooling = true;
	RX::CalovindaModelFMU assessed;
	assessedResources.init(assessed);
	std::vector<double> yAssessed(assessed.y0(), assessed.y0() + assessed.n());
	const double TStart = assessed.m_TRoom;
	for (double & v : yAssessed)
		v *= 328.15/TStart;
	yAssessed.back() *= 300.15/328.15;
	assessed.updateIfModified(3600, yAssessed.data(), false);
	const double removing = assessed.restDepth(assessed.coolingBand(), assessed.m_coolingLoad, 1)*5000;
	ASSERT_GT(removing, 0.2*5000);
	ASSERT_LT(removing, 5000);
	assessed.completedIntegratorStep(3600, yAssessed.data());
	const double coolingSlope = assessed.m_room.m_din4108_2Assessment.m_slopeCooling;
	EXPECT_LE(removing/coolingSlope, 0.2);
	EXPECT_GT(removing/(coolingSlope/1.2), 0.2);
	EXPECT_EQ(assessed.m_room.m_din4108_2Assessment.m_slopeHeating, 5000);
	EXPECT_TRUE(assessed.m_equationsChanged);

	// a heater of 1000.4 W at 5000 W/K gives its full output 0.20008 K below its set point, within
	// the raise depth: wherever a raise would be due it is saturated, and none comes. A cooler with
	// 2,986 W left at 14,930 W/K, full 0.200025 K above its set point, had the raise's indicator
	// turn positive, where the event changed nothing; a host that restarts only on changed states
	// never saw the full output's end that shares the indicator, and the room lay 1.6 K below
	// co-simulation for half an hour one spring morning
	Resources smallResources;
	Case600::constantClimate(-20, 50).writeClimateDataZEB(smallResources.m_dir.file("test.c6b"));
	heatTo20C(smallResources.m_room);
	smallResources.m_room.m_heatingModel.m_maxPower = 1000.4;
	smallResources.m_room.m_naturalVentilationModel.m_modelType = RX::NaturalVentilationModel::SIMPLE;
	smallResources.m_room.m_naturalVentilationModel.m_scheduleAirChangeRates.m_constantValue = 5;
	RX::CalovindaModelFMU small;
	smallResources.init(small);
	std::vector<double> ySmall(small.y0(), small.y0() + small.n());
	ySmall.back() = (293.15 - 0.20012)*ySmall.back()/small.m_TRoom;
	small.m_switchesHeld = true;
	small.m_heldPieces.m_heating = RX::PIECE_PROPORTIONAL;
	small.updateIfModified(3600, ySmall.data(), false);
	ASSERT_GT(small.heatingRestDepth(small.heatingBand()), 0.2001);
	std::vector<double> z(small.numberOfSwitchingFunctions());
	small.switchingFunctions(z.data());
	EXPECT_LT(z[1], 0);
}


TEST(RXCalovindaModelFMU, SeesTheFullPowerEndOfAHeaterWhoseOutputAllRadiatesAfterAnEventRaisedItsGain) {
	// a 2000 W heater whose output all radiates, 0.25 K below its set point: a host's event holds
	// it proportional and raises its gain to 7200 W/K, 1800 W, its full power 0.28 K below
	Resources r;
	heatTo20C(r.m_room);
	r.m_room.m_heatingModel.m_maxPower = 2000;
	r.m_room.m_gammaHC = 0;
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	std::vector<double> y(fmu.y0(), fmu.y0() + fmu.n());
	const double E = y.back()/fmu.m_TRoom;
	y.back() = 292.90*E;
	double nextEventTime = 0;
	fmu.updateIfModified(3600, y.data(), false);
	fmu.newDiscreteStates(nextEventTime);
	ASSERT_EQ(fmu.m_heldPieces.m_heating, RX::PIECE_PROPORTIONAL);
	ASSERT_NEAR(fmu.m_room.m_heatingModel.m_slope, 7200, 1e-9);
	// the room air, which the output reaches only through the surfaces, has not moved: the
	// indicator of the full-power end must be negative, or the host would not see the room air
	// pass that end, and the heater would give more than its power until the next event
	std::vector<double> z(fmu.numberOfSwitchingFunctions());
	fmu.switchingFunctions(z.data());
	EXPECT_LT(z[1], 0);
	y.back() = 292.80*E;
	fmu.updateIfModified(3700, y.data(), false);
	fmu.switchingFunctions(z.data());
	EXPECT_GT(z[1], 0);
}


TEST(RXCalovindaModelFMU, GivesTheRaisedGainsDerivativesAtTheCompletedStepsPoint) {
	Resources r;
	Case600::constantClimate(-20, 50).writeClimateDataZEB(r.m_dir.file("test.c6b"));
	heatTo20C(r.m_room);
	r.m_room.m_naturalVentilationModel.m_modelType = RX::NaturalVentilationModel::SIMPLE;
	r.m_room.m_naturalVentilationModel.m_scheduleAirChangeRates.m_constantValue = 5;
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	std::vector<double> y(fmu.y0(), fmu.y0() + fmu.n());
	const double T0 = fmu.m_TRoom;
	for (double & v : y)
		v *= 292.15/T0;
	fmu.completedIntegratorStep(7200, y.data());
	ASSERT_TRUE(fmu.m_equationsChanged);

	// after the event the host asks at the same time and states, which recomputes nothing: 1 K
	// below the set point the heater must give the raised gain's load, not the old gain's 5000 W
	fmu.updateIfModified(7200, y.data(), false);
	const std::vector<double> ydot = fmu.m_ydot;
	EXPECT_NEAR(fmu.m_heatingLoad, fmu.m_room.m_heatingModel.m_slope, 1e-6);
	fmu.setY(y.data());
	EXPECT_EQ(ydot, fmu.m_ydot);
}


TEST(RXCalovindaModelFMU, RecomputesOnlyWhatChanged) {
	Resources r;
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	std::vector<double> y(fmu.m_y);
	fmu.updateIfModified(600, y.data(), false);
	const double ydot = fmu.m_ydot.back();
	// a marker that only a recomputation overwrites
	fmu.m_ydot.back() = 12345;
	fmu.updateIfModified(600, y.data(), false);
	EXPECT_EQ(fmu.m_ydot.back(), 12345);
	fmu.updateIfModified(600, y.data(), true);
	EXPECT_EQ(fmu.m_ydot.back(), ydot);

	y.back() *= 1.001;
	fmu.updateIfModified(600, y.data(), false);
	EXPECT_LT(fmu.m_ydot.back(), ydot);
	EXPECT_EQ(fmu.m_y, y);

	// NaN never equals itself: every call recomputes
	y.back() = std::nan("");
	fmu.updateIfModified(600, y.data(), false);
	fmu.m_ydot.back() = 12345;
	fmu.updateIfModified(600, y.data(), false);
	EXPECT_NE(fmu.m_ydot.back(), 12345);

	EXPECT_EQ(TestSupport::thrownAt([&] { fmu.updateIfModified(-1, y.data(), false); },
									"[CalovindaModelFMU::updateIfModified]"),
			  "Cannot evaluate the model at time -1 s.");
}



TEST(RXCalovindaModelFMU, HoldsAShadingThatSwitchesOnTheRadiationUntilTheHostsEvent) {
	// the box in Denver whose south window has a blind, closed above 250 W/m2, that leaves 30 %
	Resources r;
	Case600::addDenverBox(r.m_room, r.m_db);
	RX::ShadingType blind;
	blind.m_z = 0.3;
	const unsigned int south = 2;
	r.m_room.m_constructions[south].m_shadingTypeId = r.m_db.addShadingType(blind, 10001);
	r.m_room.m_shadingControlModel.m_modelType = RX::ShadingControlModel::INTENSITY_CONTROLLED;
	std::filesystem::copy_file(CALOVINDA_CLIMATE_TEST_DATA "/725650TYCST.epw", r.m_dir.file("725650TYCST.epw"));
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	// heating and cooling have four switching functions, the blind the fifth
	ASSERT_EQ(fmu.numberOfSwitchingFunctions(), 5u);
	std::vector<double> z(5);
	const std::vector<double> y(fmu.y0(), fmu.y0() + fmu.n());
	double t = 6*3600.0, nextEventTime = 0;
	fmu.updateIfModified(t, y.data(), false);
	fmu.newDiscreteStates(nextEventTime);
	// on the morning of 1 January the radiation on the window passes the limit
	while (fmu.m_globalRadiation[south] <= 250.001 && t < 14*3600.0)
		fmu.updateIfModified(t += 60, y.data(), false);
	ASSERT_GT(fmu.m_globalRadiation[south], 250.001);
	// the blind stays open until the host's event, which its switching function asks for
	EXPECT_EQ(fmu.m_shadingControlFactor[south], 1.0);
	fmu.switchingFunctions(z.data());
	EXPECT_GT(z[4], 0);
	EXPECT_TRUE(fmu.newDiscreteStates(nextEventTime));
	EXPECT_EQ(fmu.m_shadingControlFactor[south], 0.3);
	fmu.switchingFunctions(z.data());
	EXPECT_LT(z[4], 0);
}


TEST(RXCalovindaModelFMU, KeepsWhatModelExchangeHoldsInTheModelVariables) {
	Resources r;
	heatTo20C(r.m_room);
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	std::vector<double> y(fmu.y0(), fmu.y0() + fmu.n());
	const double E = y.back()/fmu.m_TRoom;
	double nextEventTime = 0;
	// 0.1 K below the set point a host's event holds the heating on its proportional piece
	y.back() = 293.05*E;
	fmu.updateIfModified(3600, y.data(), false);
	fmu.newDiscreteStates(nextEventTime);
	ASSERT_EQ(fmu.m_heldPieces.m_heating, RX::PIECE_PROPORTIONAL);
	std::vector<char> block(fmu.modelVariablesSize());
	void * cursor = block.data();
	fmu.serializeModelVariables(cursor);

	// above the set point the next event holds it off; the saved block brings the piece back
	y.back() = 294.15*E;
	fmu.updateIfModified(3700, y.data(), false);
	// until then the piece's law holds, continued beyond its off end for 0.3 K only (where a
	// host's predictors land past the end at 0.1 K): continued further, a heater 1 K above its
	// set point would cool the room by its whole gain
	EXPECT_DOUBLE_EQ(fmu.m_heatingLoad, -0.3*fmu.m_room.m_heatingModel.m_slope);
	fmu.newDiscreteStates(nextEventTime);
	ASSERT_EQ(fmu.m_heldPieces.m_heating, RX::PIECE_OFF);
	cursor = block.data();
	fmu.deserializeModelVariables(cursor, block.data() + block.size());
	EXPECT_EQ(fmu.m_heldPieces.m_heating, RX::PIECE_PROPORTIONAL);
}


TEST(RXCalovindaModelFMU, ContinuesTheCoolersFullOutputBelowNoneWhereItsDehumidificationTakesAllItsPower) {
	// a cooler of 2 kW whose curve gives 500 W at its set point of 20 C, dehumidifying above 50 %
	Resources r;
	r.m_room.m_moistureBalanceEnabled = true;
	RX::CoolingModel & cooling = r.m_room.m_coolingModel;
	cooling.m_modelType = RX::CoolingModel::SIMPLE;
	cooling.m_maxPower = 2000;
	cooling.m_maxPowerCurve.setValues({273.15, 313.15}, {500, 500});
	cooling.m_scheduleSetPoints.m_type = RX::Schedule::CONSTANT;
	cooling.m_scheduleSetPoints.m_constantValue = 20;
	cooling.m_scheduleHumiditySetPoints.m_type = RX::Schedule::CONSTANT;
	cooling.m_scheduleHumiditySetPoints.m_constantValue = 50;
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	ASSERT_EQ(fmu.numberOfSwitchingFunctions(), 6u);
	std::vector<double> y(fmu.y0(), fmu.y0() + fmu.n());
	const double V = fmu.m_room.volume();
	// the room air at T [K] with the vapour on which the dehumidification takes power [W]
	const auto roomAtDehumidifyingWith = [&](double T, double power) {
		const RX::ControllerBand band = fmu.dehumidificationBand();
		const double rhoV = band.m_TSet + power/band.m_slope;
		y[fmu.n() - 2] = T*(ZEB::RHO_AIR*ZEB::C_AIR + ZEB::C_VAPOR*rhoV)*V + ZEB::H_EVAP*rhoV*V;
		y[fmu.n() - 1] = rhoV*V;
	};
	const auto roomAt30CDehumidifyingWith = [&](double power) { roomAtDehumidifyingWith(303.15, power); };
	double nextEventTime = 0;
	fmu.updateIfModified(3600, y.data(), false);
	roomAt30CDehumidifyingWith(300);
	fmu.updateIfModified(3600, y.data(), false);
	roomAt30CDehumidifyingWith(300);
	fmu.updateIfModified(3600, y.data(), false);
	ASSERT_NEAR(fmu.m_TRoom, 303.15, 1e-9);
	fmu.newDiscreteStates(nextEventTime);
	ASSERT_EQ(fmu.m_heldPieces.m_cooling, RX::PIECE_LIMITED);
	EXPECT_NEAR(fmu.m_coolingLoad, -200, 1e-3);

	// where the dehumidification takes a tenth of a watt more than the curve gives, the full
	// output's law holds on: cut off at none, it had a kink where such a room rests, across which
	// a host at 1e-6 stepped back and forth every four seconds until it gave up
	roomAt30CDehumidifyingWith(500.1);
	fmu.updateIfModified(3700, y.data(), false);
	ASSERT_NEAR(fmu.coolingBand().m_limit, -0.1, 1e-3);
	EXPECT_NEAR(fmu.m_coolingLoad, 0.1, 1e-3);
	std::vector<double> z(6);
	fmu.switchingFunctions(z.data());
	EXPECT_LT(z[2], 0);
	EXPECT_LT(z[3], 0);
	// where it takes a kilowatt more, the cooling ends
	roomAt30CDehumidifyingWith(1500);
	fmu.updateIfModified(3800, y.data(), false);
	fmu.switchingFunctions(z.data());
	EXPECT_GT(z[3], 0);
	fmu.newDiscreteStates(nextEventTime);
	EXPECT_EQ(fmu.m_heldPieces.m_cooling, RX::PIECE_OFF);
	EXPECT_EQ(fmu.m_coolingLoad, 0);

	// held on its proportional piece 10 mK above its set point, where the dehumidification comes
	// to take all its power, it goes on to its full output below none: held there without power,
	// it had no ends to watch and gave nothing, where the dehumidification's continuation took
	// more than the device's power, and a room with vapour pulses lay 0.8 K below co-simulation
	for (int i = 0; i < 3; ++i) {
		roomAtDehumidifyingWith(293.16, 300);
		fmu.updateIfModified(3900 + i, y.data(), false);
	}
	fmu.newDiscreteStates(nextEventTime);
	fmu.m_heldPieces.m_cooling = RX::PIECE_PROPORTIONAL;
	roomAtDehumidifyingWith(293.16, 550);
	fmu.updateIfModified(4000, y.data(), false);
	ASSERT_NEAR(fmu.coolingBand().m_limit, -50, 1e-3);
	fmu.switchingFunctions(z.data());
	EXPECT_GT(z[3], 0);
	fmu.newDiscreteStates(nextEventTime);
	EXPECT_EQ(fmu.m_heldPieces.m_cooling, RX::PIECE_LIMITED);
	EXPECT_NEAR(fmu.m_coolingLoad, 50, 1e-3);

	// the depth's rate where the room air at 42 C cools towards its walls, as the states move: the
	// air's energy holds its vapour's heat too, without which the rate was 1.5 % of the set
	// point's fall off, and a 3 kW cooler's full output below none ended where its power left
	// rested 3 W above none (more events at 1e-4 than at 1e-6)
	roomAtDehumidifyingWith(315.15, 300);
	fmu.updateIfModified(4100, y.data(), false);
	const double rate = fmu.dehumidificationDepthRate().first;
	const double T = fmu.m_TRoom, depth = fmu.dehumidificationBand().depth(fmu.m_rhoVRoom);
	const double dt = 1e-2;
	for (std::size_t i = 0; i < y.size(); ++i)
		y[i] += dt*fmu.m_ydot[i];
	fmu.updateIfModified(4100 + dt, y.data(), false);
	const double setPointFall = fmu.dehumidificationBand().m_setPointSlope*(fmu.m_TRoom - T)/dt;
	ASSERT_LT(setPointFall, 0);
	EXPECT_NEAR(rate, (fmu.dehumidificationBand().depth(fmu.m_rhoVRoom) - depth)/dt, 1e-3*std::fabs(setPointFall));

	// the dehumidification held on its proportional piece off where it would rest, the cooler on
	// the full output it leaves, the room air at 42 C: the depth settles within seconds where its
	// point of rest said. The output's moves move the cooling and with it the room air, whose set
	// point moves faster than the vapour: taken from the vapour alone, the point lay four times as
	// far from the depth, and a host's swings held the piece past its off end for two hours,
	// humidifying the room and cooling it with a kilowatt more than the device's power
	fmu.m_heldPieces.m_dehumidification = RX::PIECE_PROPORTIONAL;
	fmu.m_heldPieces.m_cooling = RX::PIECE_LIMITED;
	roomAtDehumidifyingWith(315.15, 400);
	fmu.updateIfModified(4150, y.data(), false);
	const RX::ControllerBand held = fmu.dehumidificationBand();
	const double rest = fmu.dehumidificationRestDepth(held, held.load(RX::PIECE_PROPORTIONAL, fmu.m_rhoVRoom),
													  fmu.dehumidificationDepthRate().first);
	const double away = held.depth(fmu.m_rhoVRoom) - rest;
	for (int i = 1; i <= 3000; ++i) {
		for (std::size_t j = 0; j < y.size(); ++j)
			y[j] += dt*fmu.m_ydot[j];
		fmu.updateIfModified(4150 + i*dt, y.data(), false);
	}
	EXPECT_NEAR(fmu.dehumidificationBand().depth(fmu.m_rhoVRoom), rest, 0.1*std::fabs(away));

	// a curve down to none at the set point, the cooler held off 10 K above it, the walls some
	// 10 K warmer than the air: where a host carries the dehumidification's proportional piece 7 W
	// below none as the warming air lifts the vapour's set point, what that leaves is no power of
	// the device's, and the cooler stays off as co-simulation's does (a host at 1e-4 switched it
	// onto 7 W and off again within a second, and lay 0.8 K off two hours later)
	fmu.m_room.m_coolingModel.m_maxPowerCurve.setValues({273.15, 313.15}, {0, 0});
	fmu.m_heldPieces.m_dehumidification = RX::PIECE_PROPORTIONAL;
	fmu.m_heldPieces.m_cooling = RX::PIECE_OFF;
	for (std::size_t i = 0; i + 2 < y.size(); i += fmu.m_m)
		y[i] *= 313.15/293.15;
	for (int i = 0; i < 3; ++i) {
		roomAt30CDehumidifyingWith(-0.3);
		fmu.updateIfModified(4200 + i, y.data(), false);
	}
	ASSERT_NEAR(fmu.coolingBand().m_limit, 0.3, 1e-6);
	fmu.switchingFunctions(z.data());
	EXPECT_LT(z[2], 0);
	EXPECT_LT(z[3], 0);
	fmu.newDiscreteStates(nextEventTime);
	EXPECT_EQ(fmu.m_heldPieces.m_cooling, RX::PIECE_OFF);
	EXPECT_EQ(fmu.m_coolingLoad, 0);
}


/*! The states of fmu's initial room, all of it at a temperature T [K], as a function of T. */
std::function<std::vector<double>(double)> uniformRoom(const RX::CalovindaModelFMU & fmu) {
	const std::vector<double> y(fmu.y0(), fmu.y0() + fmu.n());
	const double TStart = fmu.m_TRoom;
	return [y, TStart](double T) {
		std::vector<double> scaled = y;
		for (double & v : scaled)
			v *= T/TStart;
		return scaled;
	};
}


TEST(RXCalovindaModelFMU, SwitchesOnAHeaterOrCoolerSmallerThanItsOutputsReachBelowNone) {
	// a heater, and a cooler whose curve gives as little at its set point, of 0.3 W at 20 C, less
	// than a band's full output continues below none: held off, each must come on where the room
	// air passes its set point, as co-simulation switches it on
	struct Device {
		const char *	m_name;
		bool			m_cooling;
	};
	for (const Device & device : {Device{"heater", false}, Device{"cooler", true}}) {
		SCOPED_TRACE(device.m_name);
		Resources r;
		if (device.m_cooling) {
			RX::CoolingModel & cooling = r.m_room.m_coolingModel;
			cooling.m_modelType = RX::CoolingModel::SIMPLE;
			cooling.m_maxPowerCurve.setValues({273.15, 313.15}, {0.3, 0.3});
			cooling.m_scheduleSetPoints.m_type = RX::Schedule::CONSTANT;
			cooling.m_scheduleSetPoints.m_constantValue = 20;
		}
		else {
			heatTo20C(r.m_room);
			r.m_room.m_heatingModel.m_maxPower = 0.3;
		}
		RX::CalovindaModelFMU fmu;
		r.init(fmu);
		ASSERT_EQ(fmu.numberOfSwitchingFunctions(), 4u);
		// the room 0.5 K on the device's idle side of 20 C, then 1 K on its other side
		const auto roomAt = uniformRoom(fmu);
		const double idle = device.m_cooling ? 292.65 : 293.65;
		const double wanting = device.m_cooling ? 294.15 : 292.15;
		double nextEventTime = 0;
		fmu.updateIfModified(3600, roomAt(idle).data(), false);
		fmu.newDiscreteStates(nextEventTime);
		const RX::ControllerBand band = device.m_cooling ? fmu.coolingBand() : fmu.heatingBand();
		ASSERT_LT(band.m_limit, band.powerEndReach());
		ASSERT_EQ(device.m_cooling ? fmu.m_heldPieces.m_cooling : fmu.m_heldPieces.m_heating, RX::PIECE_OFF);
		fmu.updateIfModified(3700, roomAt(wanting).data(), false);
		std::vector<double> z(4);
		fmu.switchingFunctions(z.data());
		EXPECT_GT(z[device.m_cooling ? 2 : 0], 0);
		fmu.newDiscreteStates(nextEventTime);
		EXPECT_EQ(device.m_cooling ? fmu.m_heldPieces.m_cooling : fmu.m_heldPieces.m_heating, RX::PIECE_LIMITED);
		EXPECT_NEAR(device.m_cooling ? -fmu.m_coolingLoad : fmu.m_heatingLoad, 0.3, 1e-12);
	}
}


TEST(RXCalovindaModelFMU, EndsAHeldHeaterAsItCoolsWhereTheRoomTipsAwayFromIt) {
	// a heater at 20 C (5000 W/K) held on its proportional piece, then more other heat than the
	// room loses and the room air 0.05 mK above the set point, where the piece continued cools by 0.25 W: less than
	// the hysteresis's 0.5 W, so that a room resting there does not switch it on and off at each
	// of a host's restarts. Where the natural ventilation falls from 3 to 0.5 air changes an hour
	// over 0.2 K above 19.9 C, the piece continued is all that holds the room on that step, and
	// co-simulation's heater, which gives nothing there, lets it tip: the piece ends at once.
	for (const bool falling : {false, true}) {
		SCOPED_TRACE(falling ? "falling air change" : "constant air change");
		Resources r;
		heatTo20C(r.m_room);
		r.m_room.m_heatingModel.m_maxPower = 2000;
		RX::NaturalVentilationModel & natural = r.m_room.m_naturalVentilationModel;
		natural.m_modelType = falling ? RX::NaturalVentilationModel::MANAGED : RX::NaturalVentilationModel::SIMPLE;
		natural.m_scheduleAirChangeRates.m_type = RX::Schedule::CONSTANT;
		natural.m_scheduleAirChangeRates.m_constantValue = 0.5;
		natural.m_baseAirChangeRate = 3;
		natural.m_minTRoom = 19.9;
		RX::CalovindaModelFMU fmu;
		r.init(fmu);
		const auto roomAt = uniformRoom(fmu);
		double nextEventTime = 0;
		fmu.updateIfModified(3600, roomAt(293.1).data(), false);
		fmu.newDiscreteStates(nextEventTime);
		ASSERT_EQ(fmu.m_heldPieces.m_heating, RX::PIECE_PROPORTIONAL);
		fmu.setReal(RX::FMU2_ConvectiveThermalLoad, 1500);
		fmu.updateFromModifiedInputQuantities();
		fmu.updateIfModified(3700, roomAt(293.15 + 5e-5).data(), false);
		ASSERT_NEAR(fmu.m_heatingLoad, -0.25, 1e-6);
		ASSERT_GT(fmu.airHeatBalance(), 0);
		EXPECT_EQ(fmu.tippingRate(fmu.m_heldPieces.m_naturalVentilationRise) > 0, falling);
		std::vector<double> z(fmu.numberOfSwitchingFunctions());
		fmu.switchingFunctions(z.data());
		if (falling) {
			EXPECT_GT(z[0], 0);
		}
		else {
			EXPECT_LT(z[0], 0);
		}
	}
}


TEST(RXCalovindaModelFMU, AsksForAStepEventWhereAHostPassedATimeEvent) {
	// an equipment load of 10 W/m2 from 6:00, none before (a heater's set point that changes
	// while the heater stays off announces no time event)
	Resources r;
	RX::Schedule & load = r.m_room.m_userLoads.m_scheduleEquipmentLoad;
	load.m_type = RX::Schedule::DAILY_WEEK;
	for (int h = 0; h < 24; ++h)
		load.m_weekDaySchedule[h] = load.m_weekEndSchedule[h] = h < 6 ? 0 : 10;
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	const std::vector<double> y(fmu.y0(), fmu.y0() + fmu.n());
	double nextEventTime = 0;
	fmu.updateIfModified(3600, y.data(), false);
	fmu.newDiscreteStates(nextEventTime);
	EXPECT_EQ(nextEventTime, 6*3600.0);
	// a host that ignores the time event completes a step past it: the event comes now
	fmu.completedIntegratorStep(7*3600, y.data());
	EXPECT_TRUE(fmu.m_equationsChanged);
	EXPECT_TRUE(fmu.newDiscreteStates(nextEventTime));
	EXPECT_EQ(nextEventTime, 24*3600.0);
	fmu.completedIntegratorStep(8*3600, y.data());
	EXPECT_FALSE(fmu.m_equationsChanged);
}


TEST(RXCalovindaModelFMU, WatchesTheSetPointsOfChangesPassedOverUntilTheNextEvent) {
	// a cooler at 25 C, at 24 C from 7:00 to 8:00, held off at 1:00 with the room at 20 C: no
	// change of the day acts there, and a host's step from before 7:00 to past 8:00 must still
	// see the room pass 24 C within that hour
	Resources r;
	RX::CoolingModel & cooling = r.m_room.m_coolingModel;
	cooling.m_modelType = RX::CoolingModel::SIMPLE;
	cooling.m_scheduleSetPoints.m_type = RX::Schedule::DAILY_WEEK;
	for (int h = 0; h < 24; ++h)
		cooling.m_scheduleSetPoints.m_weekDaySchedule[h] = cooling.m_scheduleSetPoints.m_weekEndSchedule[h] = h == 7 ? 24 : 25;
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	const auto roomAt = uniformRoom(fmu);
	double nextEventTime = 0;
	fmu.updateIfModified(3600, roomAt(293.15).data(), false);
	fmu.newDiscreteStates(nextEventTime);
	ASSERT_EQ(fmu.m_heldPieces.m_cooling, RX::PIECE_OFF);
	EXPECT_GT(nextEventTime, 8*3600.0);
	std::vector<double> z(fmu.numberOfSwitchingFunctions());
	for (const double hours : {6.5, 7.5, 8.5}) {
		SCOPED_TRACE(hours);
		fmu.updateIfModified(hours*3600, roomAt(297.65).data(), false);
		fmu.eventIndicators(z.data());
		EXPECT_EQ(z[2] > 0, hours > 7);
	}
}


TEST(RXCalovindaModelFMU, EndsTheAssessmentsAirChangeDwellAtItsEventNotAMomentAfter) {
	Resources r;
	RX::DIN4108_2Assessment & din = r.m_room.m_din4108_2Assessment;
	din.m_active = true;
	din.m_enhancedNightVentilation = true;
	din.m_enhancedNightVentilationValue = 2;
	RX::CalovindaModelFMU fmu;
	r.init(fmu);
	const std::vector<double> y(fmu.y0(), fmu.y0() + fmu.n());
	// the air change changed 30 minutes before the day window opens at 6:00: both end at once, and
	// the host's next interval must not be a moment too short for its solver to start
	fmu.m_room.m_din4108_2Assessment.m_lastVentilationUpdate = 6*3600.0 - 1800;
	double nextEventTime = 0;
	fmu.updateIfModified(6*3600.0, y.data(), false);
	fmu.newDiscreteStates(nextEventTime);
	EXPECT_EQ(nextEventTime, 23*3600.0);
}
