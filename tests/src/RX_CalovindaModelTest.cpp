#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <new>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include <QFileInfo>

#include "Case600Box.h"
#include "EnergyBalance.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_LESDense.h"
#include "KADRIX_ModelInterface.h"
#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "RX_CalovindaModel.h"
#include "RX_Constants.h"
#include "RX_Database.h"
#include "TestSupport.h"
#include "ZEB_Constants.h"
#include "ZEB_Time.h"

// Counts every allocation of the test program, for the check that an evaluation allocates nothing.
static std::size_t allocationCount = 0;

void * operator new(std::size_t size) {
	++allocationCount;
	if (void * p = std::malloc(size == 0 ? 1 : size))
		return p;
	throw std::bad_alloc();
}

void operator delete(void * p) noexcept {
	std::free(p);
}

void operator delete(void * p, std::size_t) noexcept {
	std::free(p);
}

namespace {

const double T0 = 273.15;
const double RHO_C_AIR = ZEB::RHO_AIR*ZEB::C_AIR;

/*! A binary climate file of constant values: temperature [C], relative humidity [%], direct
	normal and diffuse horizontal radiation [W/m2]. */
void writeConstantClimate(const std::string & path, double T, double RH = 50, double direct = 0, double diffuse = 0) {
	OVM::ClimateDataLoader data = Case600::constantClimate(T, RH);
	data.m_data[OVM::ClimateDataLoader::DirectRadiation].assign(ZEB::HOURS_PER_YEAR, direct);
	data.m_data[OVM::ClimateDataLoader::DiffuseRadiation].assign(ZEB::HOURS_PER_YEAR, diffuse);
	data.writeClimateDataZEB(path);
}

RX::RoomConstruction construction(unsigned int id, RX::RoomConstruction::Type type, double AW,
								  double orientation = 180, double inclination = 90)
{
	RX::RoomConstruction rc;
	rc.m_constructionId = id;
	rc.m_type = type;
	rc.m_AW = AW;
	rc.m_orientation = orientation;
	rc.m_inclination = inclination;
	return rc;
}

/*! A room model with its database and a temporary directory for climate and project files. The
	room starts bare: no constructions, no heating, no ventilation, nobody present, GammaHC and
	GammaRad 1, 20 C and 50 %. */
struct ModelSetup {
	ModelSetup() {
		RX::Room & room = m_model.m_room;
		room.m_constructions.clear();
		room.m_shadingControlModel.m_structuralShadings.clear();
		room.m_heatingModel.m_modelType = RX::HeatingModel::NONE;
		room.m_userLoads.m_scheduleOccupancy.m_type = RX::Schedule::CONSTANT;
		room.m_userLoads.m_scheduleOccupancy.m_constantValue = 0;
		room.m_userLoads.m_scheduleEquipmentLoad.m_type = RX::Schedule::CONSTANT;
		room.m_userLoads.m_scheduleEquipmentLoad.m_constantValue = 0;
		room.m_area = 20;
		room.m_height = 2.5;
		room.m_climateLocation = "test.c6b";
		room.m_projectFilePath = QString::fromStdString(m_dir.file("project.rmxml"));
		std::filesystem::create_directory(m_dir.file("climate"));
	}

	void add(const RX::RoomConstruction & rc) {
		Case600::addConstruction(m_model.m_room, rc);
	}

	/*! Writes the test climate and initialises the model on it. */
	void init(double TOut = 10, double RH = 50, double direct = 0, double diffuse = 0) {
		writeConstantClimate(m_dir.file("climate/test.c6b"), TOut, RH, direct, diffuse);
		m_model.initClimate(QString::fromStdString(m_dir.file("climate")), QString());
		m_model.init(m_db);
	}

	/*! The whole update chain at time t [s]. */
	void evaluate(double t) {
		m_model.m_t = t;
		m_model.m_hourOfYear = std::floor(std::fmod(t, ZEB::SECONDS_PER_YEAR)/3600);
		m_model.updateClimate();
		m_model.updateStates();
		m_model.updateLoads();
		m_model.updateDerivatives();
	}

	/*! Keeps the progress of init off the console; tests read it. */
	TestSupport::MessageRecorder	m_messages;
	TestSupport::TempDirectory	m_dir{"model"};
	RX::Database				m_db;
	RX::CalovindaModel			m_model;
};

/*! The model on CVODE with a dense solver, as the solver adaptor drives it; with audit, one
	extra state integrates boundaryHeatFlow (thermal models only). */
class ModelRun : public KADRIX::ModelInterface {
public:
	ModelRun(RX::CalovindaModel & model, double t0, bool audit = false) :
		m_model(model), m_t0(t0), m_audit(audit)
	{
		m_y0 = model.m_y;
		if (audit)
			m_y0.push_back(0.0);
	}

	unsigned int n() const override { return static_cast<unsigned int>(m_y0.size()); }
	const double * y0() const override { return m_y0.data(); }
	double t0() const override { return m_t0; }
	double dt0() const override { return 1; }
	double tEnd() const override { return m_tEnd; }
	CalculationResult setTime(double t) override {
		m_model.m_t = t;
		m_model.m_hourOfYear = std::floor(std::fmod(t, ZEB::SECONDS_PER_YEAR)/3600);
		m_model.updateClimate();
		return CalculationSuccess;
	}
	CalculationResult setY(const double * y) override {
		std::copy(y, y + m_model.m_n, m_model.m_y.begin());
		m_model.updateStates();
		m_model.updateLoads();
		m_model.updateDerivatives();
		return CalculationSuccess;
	}
	CalculationResult ydot(double * ydot) override {
		std::copy(m_model.m_ydot.begin(), m_model.m_ydot.end(), ydot);
		if (m_audit)
			ydot[m_model.m_n] = EnergyBalance::boundaryHeatFlow(m_model);
		return CalculationSuccess;
	}

	/*! Integrates up to tEnd and leaves the model evaluated at the final state. */
	void run(double tEnd, double relTol, double absTol) {
		m_tEnd = tEnd;
		KADRIX::LESDense les;
		KADRIX::IntegratorSundialsCVODE cvode;
		cvode.m_relTol = relTol;
		cvode.m_absTol = absTol;
		cvode.m_stopTime = tEnd;
		cvode.init(this, m_t0, m_y0.data(), &les, nullptr, nullptr);
		while (cvode.t() < tEnd)
			ASSERT_EQ(cvode.step(), 1) << "at t = " << cvode.t();
		const double * y = cvode.yOut(tEnd);
		m_yEnd.assign(y, y + n());
		setTime(tEnd);
		setY(y);
	}

	RX::CalovindaModel &	m_model;
	double					m_t0;
	bool					m_audit;
	double					m_tEnd = 0;
	std::vector<double>		m_y0;
	std::vector<double>		m_yEnd;
};

} // namespace


TEST(RXCalovindaModel, LaysOutCase600BoxAndItsInitialStates) {
	ModelSetup s;
	Case600::addBox(s.m_model.m_room, s.m_db);
	s.init();
	const RX::CalovindaModel & model = s.m_model;
	ASSERT_EQ(model.m_nConstructions, 6u);
	// the floor's insulation is its outside surface resistance: the timber's cells alone
	EXPECT_EQ(model.m_n, 158u);
	EXPECT_EQ(model.m_m, 1u);
	EXPECT_EQ(model.m_elementOffsets, (std::vector<unsigned int>{0, 27, 54, 81, 108, 149}));
	// the opaque surfaces: the south wall less its 12 m2 of glazing
	EXPECT_DOUBLE_EQ(model.m_totalArea, 2*21.6 + 2*16.2 + 2*48 - 12);
	// horizontal surface first, then one per outside orientation (roof shares the horizontal one)
	EXPECT_EQ(model.m_constructions[4].m_solarSurfaceId, 0);
	for (unsigned int i = 0; i < 6; ++i)
		EXPECT_EQ(model.m_constructionSolvers[i].m_rc, &model.m_constructions[i]);

	// room air of 50 m3 at 20 C without added mass
	ModelSetup s50;
	Case600::addBox(s50.m_model.m_room, s50.m_db);
	s50.m_model.m_room.m_area = 20;
	s50.m_model.m_room.m_height = 2.5;
	s50.m_model.m_room.m_additionalMass = 0;
	s50.init();
	EXPECT_NEAR(s50.m_model.m_y[157], 17768261.2, 0.05);
	EXPECT_DOUBLE_EQ(s50.m_model.m_y[0], 530*900*293.15);
	s50.evaluate(0);
	EXPECT_NEAR(s50.m_model.m_TRoom, 293.15, 1e-10);

	s50.m_model.m_room.m_moistureBalanceEnabled = true;
	s50.init();
	const RX::CalovindaModel & moist = s50.m_model;
	EXPECT_EQ(moist.m_n, 316u);
	EXPECT_NEAR(moist.m_y[315]/50, 0.00863022, 5e-9);
	EXPECT_NEAR(moist.m_y[315], 0.431511, 5e-7);
	EXPECT_NEAR(moist.m_y[314], 19356634.4, 0.05);
	EXPECT_NEAR(moist.m_y[1], 5.0, 1e-12);	// 50 % on the linear storage function
	s50.evaluate(0);
	EXPECT_NEAR(moist.m_TRoom, 293.15, 1e-9);
	EXPECT_NEAR(moist.m_RHRoom, 0.5, 1e-12);
	for (double d : moist.m_ydot)
		ASSERT_TRUE(std::isfinite(d));
}


TEST(RXCalovindaModel, SettlesToAnalyticSteadyStateBehindAZoneWall) {
	ModelSetup s;
	Case600::addMaterial(s.m_db, 1, 1.0, 100, 1000);
	Case600::addConstructionType(s.m_db, 1, {0.2}, {1});
	RX::RoomConstruction wall = construction(1, RX::RoomConstruction::FixedTemperature, 10);
	wall.m_zoneT = T0 + 10;
	s.add(wall);
	// the default user loads: 4 persons at 80 W
	s.m_model.m_room.m_userLoads.m_scheduleOccupancy.m_constantValue = 4;
	s.init(-5);

	ModelRun run(s.m_model, 0);
	run.run(10*86400, 1e-8, 1e-6);
	const RX::CalovindaModel & model = s.m_model;
	EXPECT_DOUBLE_EQ(model.m_personLoad, 320);
	// q = 320 W / 10 m2 through R = 0.04 + 0.2 + 0.13
	EXPECT_NEAR(model.m_TRoom - T0, 21.84, 1e-4);
	EXPECT_NEAR(model.m_constructionSolvers[0].roomSurfaceTemperature() - T0, 17.68, 1e-4);
	EXPECT_NEAR(model.m_TMeanRadiant - T0, 17.68, 1e-4);
	EXPECT_NEAR(model.m_TOperative - T0, 19.76, 1e-4);
	EXPECT_NEAR(model.m_wallConvectionTotal, -320, 1e-3);
}


TEST(RXCalovindaModel, HeatingBalancesTransmissionAndVentilationLosses) {
	ModelSetup s;
	Case600::addMaterial(s.m_db, 1, 0.5, 100, 1000);
	Case600::addMaterial(s.m_db, 2, 0.04, 30, 1000);
	Case600::addConstructionType(s.m_db, 1, {0.1, 0.05}, {1, 2});
	Case600::addConstructionType(s.m_db, 2, {0.12}, {2});
	RX::WindowType w("en:Double", 0.9, 0.65, 1.8);
	s.m_db.addWindowType(w, 1);
	RX::WindowType w2("en:Single", 0.9, 0.8, 2.8);
	s.m_db.addWindowType(w2, 2);

	RX::Room & room = s.m_model.m_room;
	const double RTot1 = 0.04 + 0.1/0.5 + 0.05/0.04 + 0.13;
	const double RTot2 = 0.04 + 0.12/0.04 + 0.13;
	double UA = 0;
	for (unsigned int i = 0; i < 4; ++i) {
		RX::RoomConstruction rc = construction(1, RX::RoomConstruction::Outside, 8 + i, 90.0*i);
		if (i < 2) {
			rc.m_windowId = i + 1;
			rc.m_AF = 2 + i;
			UA += rc.m_AF*(i == 0 ? 1.8 : 2.8);
		}
		UA += rc.m_AW/RTot1;
		s.add(rc);
	}
	s.add(construction(2, RX::RoomConstruction::Outside, 20, 0, 0));
	s.add(construction(2, RX::RoomConstruction::Outside, 20, 0, 180));
	UA += 40/RTot2;
	const double n = 1.0;
	UA += n*room.volume()*RHO_C_AIR/3600;
	room.m_naturalVentilationModel.m_modelType = RX::NaturalVentilationModel::SIMPLE;
	room.m_naturalVentilationModel.m_scheduleAirChangeRates.m_type = RX::Schedule::CONSTANT;
	room.m_naturalVentilationModel.m_scheduleAirChangeRates.m_constantValue = n;
	room.m_heatingModel.m_modelType = RX::HeatingModel::SIMPLE;
	room.m_heatingModel.m_maxPower = 1e5;
	room.m_heatingModel.m_scheduleSetPoints.m_type = RX::Schedule::CONSTANT;
	room.m_heatingModel.m_scheduleSetPoints.m_constantValue = 20;
	room.m_gammaHC = 1;
	s.init(-5);

	ModelRun run(s.m_model, 0);
	run.run(10*86400, 1e-8, 1e-6);
	const RX::CalovindaModel & model = s.m_model;
	const double expected = UA*(model.m_TRoom - model.m_TOut);
	EXPECT_NEAR(model.m_TOut, T0 - 5, 1e-12);
	EXPECT_GT(model.m_heatingLoad, 500);
	EXPECT_NEAR(model.m_heatingLoad, expected, 0.01*expected);
	// without heat sources or sinks in the walls the balance closes far tighter than that
	EXPECT_NEAR(model.m_heatingLoad, expected, 1e-4*expected);
	EXPECT_NEAR(model.m_airChangeRate, n, 1e-12);
}


TEST(RXCalovindaModel, ConservesEnergyOverADayOfDenverSun) {
	ModelSetup s;
	RX::Room & room = s.m_model.m_room;
	Case600::addDenverBox(room, s.m_db);
	room.m_additionalMass = 0;
	s.m_model.initClimate(CALOVINDA_CLIMATE_TEST_DATA, QString());
	s.m_model.init(s.m_db);
	s.m_model.m_externalHeatInput = 50;

	// a day in April: cold night, sunny day
	const double t0 = 100*86400;
	ModelRun run(s.m_model, t0, true);
	run.run(t0 + 86400, 1e-8, 1e-3);
	const RX::CalovindaModel & model = s.m_model;
	const double E0 = EnergyBalance::stored(model, run.m_y0.data());
	const double E1 = EnergyBalance::stored(model, run.m_yEnd.data());
	const double fluxIntegral = run.m_yEnd[model.m_n];
	// the day moves tens of MJ through the boundaries
	EXPECT_GT(std::fabs(fluxIntegral), 1e6);
	EXPECT_NEAR(E1 - E0, fluxIntegral, 1e-5*std::fabs(fluxIntegral));
}


TEST(RXCalovindaModel, SplitsWindowGainBetweenAirAndWallsByArea) {
	ModelSetup s;
	Case600::addMaterial(s.m_db, 1, 0.5, 100, 1000);
	Case600::addConstructionType(s.m_db, 1, {0.1}, {1});
	RX::WindowType w("en:Double", 0.9, 0.65, 1.8);
	s.m_db.addWindowType(w, 1);
	// a room construction without type comes first: the kept ones follow the room's indices
	s.add(construction(0, RX::RoomConstruction::Outside, 10));
	RX::RoomConstruction south = construction(1, RX::RoomConstruction::Outside, 10, 180);
	south.m_windowId = 1;
	south.m_AF = 2;
	s.add(south);
	RX::RoomConstruction east = construction(1, RX::RoomConstruction::Outside, 10, 90);
	east.m_ad = 0.5;
	s.add(east);
	s.add(construction(1, RX::RoomConstruction::Inside, 30));
	s.m_model.m_room.m_gammaRad = 0.6;
	s.init();

	RX::CalovindaModel & model = s.m_model;
	ASSERT_EQ(model.m_nConstructions, 3u);
	EXPECT_EQ(model.m_structuralShadingIndex, (std::vector<int>{1, 2, 3}));
	s.evaluate(0);
	const double dEDark = model.m_ydot[model.m_n - 1];
	EXPECT_EQ(model.m_SHGC[0], 0);	// night
	EXPECT_EQ(model.m_windowSolarGain[0], 0);
	EXPECT_EQ(model.m_absorbedRadiation[1], 0);

	OVM::SolarRadiationModel & solar = model.m_climate.m_solarRadiationModel;
	const auto sunOn = [&]() {
		for (unsigned int i = 0; i < 2; ++i) {
			const unsigned int id = static_cast<unsigned int>(model.m_constructions[i].m_solarSurfaceId);
			solar.m_directRadiation[id] = 400;
			solar.m_diffuseRadiation[id] = 100;
		}
		model.updateLoads();
		model.updateDerivatives();
	};
	sunOn();
	EXPECT_DOUBLE_EQ(model.m_windowSolarGain[0], 585);
	EXPECT_DOUBLE_EQ(model.m_solarGains, 585);
	EXPECT_DOUBLE_EQ(model.m_SHGC[0], 0.65);
	EXPECT_DOUBLE_EQ(model.m_shadingControlFactor[0], 1);
	EXPECT_NEAR(model.m_ydot[model.m_n - 1] - dEDark, 351, 1e-9);
	// the remaining 234 W reach the walls in proportion to their areas 10, 10 and 30
	EXPECT_NEAR(model.m_radiantLoad[0], 46.8, 1e-12);
	EXPECT_NEAR(model.m_radiantLoad[1], 46.8, 1e-12);
	EXPECT_NEAR(model.m_radiantLoad[2], 140.4, 1e-12);
	EXPECT_DOUBLE_EQ(model.m_constructionSolvers[2].m_innerRadiantFlux, 140.4/30);
	// an opaque outside wall absorbs, without window gain; an inside one sees no sun
	EXPECT_DOUBLE_EQ(model.m_SHGC[1], -1);
	EXPECT_DOUBLE_EQ(model.m_absorbedRadiation[1], 250);
	EXPECT_DOUBLE_EQ(model.m_windowSolarGain[1], 0);
	EXPECT_EQ(model.m_incidenceAngle[2], -180);
	EXPECT_EQ(model.m_SHGC[2], -1);
	EXPECT_EQ(model.m_shadingControlFactor[2], -1);

	// the window's own structural shading (room index 1) applies, not the skipped one's
	std::vector<RX::StructuralShading> & shadings = model.m_room.m_shadingControlModel.m_structuralShadings;
	shadings[0].m_fileSpline.setValues({0, ZEB::SECONDS_PER_YEAR}, {0.1, 0.1});
	shadings[1].m_fileSpline.setValues({0, ZEB::SECONDS_PER_YEAR}, {0.5, 0.5});
	sunOn();
	EXPECT_DOUBLE_EQ(model.m_structuralShadingFileFactor[0], 0.5);
	EXPECT_DOUBLE_EQ(model.m_windowSolarGain[0], 292.5);

	// the window's inner pane: room air less the drop across R_ui at the window's U
	EXPECT_NEAR(model.m_windowSurfaceTemperature[0], model.m_TRoom - 0.13*1.8*10, 1e-9);
	EXPECT_DOUBLE_EQ(model.m_windowTransmission[0], 2*1.8*(model.m_TOut - model.m_TRoom));
}


TEST(RXCalovindaModel, TakesLoadsFromTheActiveSummerAssessment) {
	ModelSetup s;
	Case600::addMaterial(s.m_db, 1, 0.5, 100, 1000);
	Case600::addConstructionType(s.m_db, 1, {0.1}, {1});
	s.add(construction(1, RX::RoomConstruction::Outside, 10));
	RX::Room & room = s.m_model.m_room;
	room.m_userLoads.m_scheduleOccupancy.m_constantValue = 4;
	room.m_mechanicalVentilationModel.m_modelType = RX::MechanicalVentilationModel::MECHANICAL_VENTILATION;
	RX::DIN4108_2Assessment & din = room.m_din4108_2Assessment;
	din.m_active = true;
	din.m_passiveCooling = true;
	room.m_TInitial = 19;
	s.init(30);
	s.evaluate(3600);

	const RX::CalovindaModel & model = s.m_model;
	EXPECT_EQ(model.m_personLoad, 0);
	EXPECT_DOUBLE_EQ(model.m_equipmentLoad, 100.0/24*room.m_area);
	EXPECT_DOUBLE_EQ(model.m_heatingLoad, din.m_slopeHeating);	// 1 K below the residential 20 C
	EXPECT_EQ(model.m_coolingLoad, 0);
	EXPECT_EQ(model.m_mechanicalVentilationHeatLoad, 0);
	// before the assessment's first update its basic rate stands in for the sentinel -1
	ASSERT_EQ(din.m_airChange, -1.0);
	const double n = din.basicVentilationValue(1.0, room.height());
	EXPECT_GT(n, 0);
	EXPECT_DOUBLE_EQ(model.m_airChangeRate, 3600*n);
	EXPECT_NEAR(model.m_naturalVentilationHeatLoad, room.volume()*11*n*RHO_C_AIR, 1e-9);
}


TEST(RXCalovindaModel, LetsTheSummerAssessmentsAirChangeCarryVapour) {
	// a bare room: only the air change moves its vapour, which it brings to the outside's share
	// of the air's mass, also in the room that the assessment's inner loads warm
	ModelSetup s;
	RX::Room & room = s.m_model.m_room;
	room.m_moistureBalanceEnabled = true;
	room.m_din4108_2Assessment.m_active = true;
	s.init(20, 80);
	ModelRun run(s.m_model, 0);
	run.run(2*86400, 1e-8, 1e-9);
	const RX::CalovindaModel & model = s.m_model;
	const auto vapourShare = [](double rhoV, double T) {
		return rhoV/((ZEB::GASPRESS_REF - rhoV*ZEB::R_VAPOR*T)/(ZEB::R_AIR*T) + rhoV);
	};
	const double outside = vapourShare(model.m_rhoVOut, model.m_TOut);
	EXPECT_GT(model.m_TRoom, model.m_TOut + 1);
	EXPECT_NEAR(vapourShare(model.m_rhoVRoom, model.m_TRoom), outside, 1e-4*outside);
}


TEST(RXCalovindaModel, ReadsZoneTemperatureSeriesRelativeToTheProject) {
	ModelSetup s;
	Case600::addMaterial(s.m_db, 1, 0.5, 100, 1000);
	Case600::addConstructionType(s.m_db, 1, {0.1}, {1});
	std::ofstream(s.m_dir.file("zone.CCD")) << "# neighbour\nTemperature C\n0 01:00:00 10\n182 12:00:00 30\n364 23:00:00 12\n";
	RX::RoomConstruction rc = construction(1, RX::RoomConstruction::FixedTemperature, 10);
	rc.m_zoneTCCD = ZEB::Path("zone.CCD");
	s.add(rc);
	// a file of that name where the run starts is not the project's
	TestSupport::TempDirectory elsewhere("cwd");
	std::ofstream(elsewhere.file("zone.CCD")) << "Temperature C\n0 01:00:00 40\n364 23:00:00 40\n";
	const std::filesystem::path cwd = std::filesystem::current_path();
	std::filesystem::current_path(elsewhere.path());
	EXPECT_NO_THROW(s.init());
	std::filesystem::current_path(cwd);
	const ZEB::LinearSpline & spline = s.m_model.m_constructions[0].m_zoneTSpline;
	ASSERT_EQ(spline.size(), 5u);
	EXPECT_EQ(spline.m_x.front(), 0);
	EXPECT_EQ(spline.m_x.back(), ZEB::SECONDS_PER_YEAR);
	// 11 C at the year's turn, halfway between 12 C and 10 C, two hours apart
	EXPECT_NEAR(spline.m_y.front(), T0 + 11, 1e-9);
	EXPECT_NEAR(spline.m_y.back(), T0 + 11, 1e-9);
	EXPECT_NEAR(spline.m_y[2], T0 + 30, 1e-9);
	const std::vector<std::string> texts = s.m_messages.texts("[CalovindaModel::init]");
	EXPECT_NE(std::find(texts.begin(), texts.end(), "Read climate data from file 'zone.CCD'\n-----\nneighbour\n-----\n"),
			  texts.end());

	s.evaluate(ZEB::SECONDS_PER_YEAR);
	EXPECT_NEAR(s.m_model.m_constructions[0].m_zoneT, T0 + 11, 1e-9);
	s.evaluate(182.5*86400 + ZEB::SECONDS_PER_YEAR);
	EXPECT_NEAR(s.m_model.m_constructions[0].m_zoneT, T0 + 30, 1e-9);

	// other formats and missing files are refused with the construction named
	s.m_model.m_room.m_constructions[0].m_zoneTCCD = ZEB::Path("zone.csv");
	std::ofstream(s.m_dir.file("zone.csv")) << "x";
	EXPECT_EQ(TestSupport::thrownException([&] { s.m_model.init(s.m_db); })->msgStack(),
			  "Invalid zone temperature file 'zone.csv' of element 'zoneTCCD', expected a file ending in '.ccd' or "
			  "'.tsv'. \nError reading temperature spline from CCD file "
			  "'zone.csv' and for construction with ID 1.");
	s.m_model.m_room.m_constructions[0].m_zoneTCCD = ZEB::Path("none.ccd");
	EXPECT_EQ(TestSupport::thrownException([&] { s.m_model.init(s.m_db); })->msgStack(),
			  "Zone temperature file 'none.ccd' of element 'zoneTCCD' does not exist. \nError reading temperature spline from CCD "
			  "file 'none.ccd' and for construction with ID 1.");
	// and so is a neighbour below absolute zero, naming the value and its time
	std::ofstream(s.m_dir.file("cold.ccd")) << "Temperature C\n0 01:00:00 10\n182 12:00:00 -300\n364 23:00:00 12\n";
	s.m_model.m_room.m_constructions[0].m_zoneTCCD = ZEB::Path("cold.ccd");
	const std::string cold = TestSupport::thrownException([&] { s.m_model.init(s.m_db); })->msgStack();
	EXPECT_NE(cold.find("-300 C at t = 15768000 s"), std::string::npos) << cold;
	EXPECT_NE(cold.find("'cold.ccd' and for construction with ID 1."), std::string::npos) << cold;
}


TEST(RXCalovindaModel, RefusesInvalidProjectsWithClearMessages) {
	ModelSetup s;
	Case600::addMaterial(s.m_db, 1, 0.5, 100, 1000);
	Case600::addConstructionType(s.m_db, 1, {0.1}, {1});
	s.add(construction(0, RX::RoomConstruction::Outside, 10));
	s.add(construction(1, RX::RoomConstruction::Outside, 10));
	RX::Room & room = s.m_model.m_room;

	room.m_height = 0;
	const char * const location = "[CalovindaModel::init]";
	// the refusal names the values it comes from
	EXPECT_EQ(TestSupport::thrownAt([&] { s.init(); }, location),
			  "Invalid room volume 0 m3 (Area 20 m2 x Height 0 m of Geometry), expected a volume above 0.");
	room.m_height = 2.5;

	room.m_constructions[1].m_R_ui = 0;
	// the wall number counts the skipped construction too
	EXPECT_EQ(TestSupport::thrownAt([&] { s.init(); }, location),
			  "Invalid value '0' in element 'R_ui' of wall #1, expected a surface resistance above 0 m2K/W.");
	room.m_constructions[1].m_R_ui = 0.13;

	room.m_constructions[1].m_constructionId = 7;
	EXPECT_EQ(TestSupport::thrownAt([&] { s.init(); }, location), "Construction type with Id '7' not defined.");

	// a construction the solver refuses is named by its construction type
	Case600::addConstructionType(s.m_db, 7, {0.1}, {99});
	EXPECT_EQ(TestSupport::thrownAt([&] { s.init(); }, location), "Error initializing construction with Id '7'.");
	room.m_constructions[1].m_constructionId = 1;

	// the database keeps a window type that breaks its limits; the room model refuses it
	RX::WindowType opaque("en:Opaque", 0.9, 0.65, 0);
	s.m_db.addWindowType(opaque, 5);
	room.m_constructions[1].m_windowId = 5;
	EXPECT_EQ(TestSupport::thrownAt([&] { s.init(); }, location).rfind("Invalid window type 'Opaque' (Id 5)", 0), 0u);
	room.m_constructions[1].m_windowId = 0;

	room.m_climateLocation = "elsewhere.c6b";
	EXPECT_EQ(TestSupport::thrownAt([&] { s.init(); }, "[CalovindaModel::initClimate]"),
			  "Missing climate data for location 'elsewhere.c6b'.");
	room.m_climateLocation = "test.c6b";

	// a missing temperature series is no climate; missing radiation is darkness
	writeConstantClimate(s.m_dir.file("climate/test.c6b"), 0);
	s.m_model.initClimate(QString::fromStdString(s.m_dir.file("climate")), QString());
	EXPECT_EQ(TestSupport::thrownAt([&] { s.m_model.init(s.m_db); }, location), "Currently selected climate data has (partly) invalid/missing temperature data.");

	// an inside construction loses its window to its wall area, with warnings
	room.m_constructions[1].m_type = RX::RoomConstruction::Inside;
	room.m_constructions[1].m_windowId = 3;
	room.m_constructions[1].m_shadingTypeId = 4;
	room.m_constructions[1].m_AF = 2;
	s.m_messages.m_messages.clear();
	s.init();
	EXPECT_EQ(s.m_model.m_constructions[0].m_AW, 12);
	EXPECT_EQ(s.m_model.m_constructions[0].m_AF, 0);
	EXPECT_EQ(s.m_model.m_constructions[0].m_windowType, nullptr);
	EXPECT_EQ(room.m_constructions[1].m_AW, 10);
	const std::vector<std::string> texts = s.m_messages.texts("[CalovindaModel::init]");
	EXPECT_NE(std::find(texts.begin(), texts.end(),
						"Warning: Window specified for inside/floor construction #1. Window type and area set to zero!"),
			  texts.end());
	EXPECT_NE(std::find(texts.begin(), texts.end(), "Shading type (Id '4') defined for construction #0, but this "
						"construction has no window. Ignoring shading type."), texts.end());
}


TEST(RXCalovindaModel, ReadsProjectsAndReportsTheFileOfAnXMLError) {
	ModelSetup s;
	const std::string file = s.m_dir.file("broken.rmxml");
	std::ofstream(file) << "<?xml version=\"1.0\"?>\n<RoomModelProject>\n<Room>\n</Rom>\n";
	RX::Database db;
	const std::optional<ZEB::Exception> ex =
			TestSupport::thrownException([&] { s.m_model.readProject(QString::fromStdString(file), db); });
	ASSERT_TRUE(ex);
	// the reader's error, then the file
	const std::string stack = ex->msgStack();
	EXPECT_EQ(stack.rfind("Error reading project file: ", 0), 0u) << stack;
	EXPECT_NE(stack.find(" \nError reading project file: " + file + "\n"), std::string::npos) << stack;
	EXPECT_STREQ(ex->what(), ("Error reading project file: " + file + "\n").c_str());
	EXPECT_EQ(TestSupport::thrownAt([&] { s.m_model.readProject("missing.rmxml", db); }, "[CalovindaModel::readProject]"),
			  "Cannot open project file 'missing.rmxml'.");
}


TEST(RXCalovindaModel, RepeatsInitWithoutDuplicatesOrStalePointers) {
	ModelSetup s;
	Case600::addBox(s.m_model.m_room, s.m_db);
	RX::StructuralShading & shading = s.m_model.m_room.m_shadingControlModel.m_structuralShadings[2];
	shading.m_hasOverhang = true;
	shading.m_overhangWidth = 1;
	shading.m_overhangLength = 8;
	shading.m_overhangDistance = 0.5;
	s.init(10, 50, 600, 100);
	const std::size_t surfaces = s.m_model.m_climate.m_solarRadiationModel.m_surfaces.size();
	const std::size_t obstacles = shading.m_sunShadingAlgorithm.m_obstacles.size();
	const std::vector<double> y = s.m_model.m_y;
	s.evaluate(172*86400 + 12*3600);
	const double gain = s.m_model.m_windowSolarGain[2];
	EXPECT_LT(s.m_model.m_structuralShadingGeometryFactor[2], 1);
	EXPECT_GT(gain, 0);

	s.m_model.init(s.m_db);
	EXPECT_EQ(s.m_model.m_climate.m_solarRadiationModel.m_surfaces.size(), surfaces);
	EXPECT_EQ(shading.m_sunShadingAlgorithm.m_obstacles.size(), obstacles);
	EXPECT_EQ(s.m_model.m_y, y);
	for (unsigned int i = 0; i < s.m_model.m_nConstructions; ++i)
		EXPECT_EQ(s.m_model.m_constructionSolvers[i].m_rc, &s.m_model.m_constructions[i]);
	s.evaluate(172*86400 + 12*3600);
	EXPECT_DOUBLE_EQ(s.m_model.m_windowSolarGain[2], gain);
}


TEST(RXCalovindaModel, EvaluatesDenverBoxWithoutAllocatingAndWithFiniteDerivatives) {
	ModelSetup s;
	Case600::addBox(s.m_model.m_room, s.m_db);
	RX::Room & room = s.m_model.m_room;
	room.m_climateLocation = "725650TYCST.epw";
	room.m_moistureBalanceEnabled = true;
	room.m_naturalVentilationModel.m_modelType = RX::NaturalVentilationModel::SIMPLE;
	room.m_heatingModel.m_modelType = RX::HeatingModel::SIMPLE;
	room.m_coolingModel.m_modelType = RX::CoolingModel::SIMPLE;
	room.m_mechanicalVentilationModel.m_modelType = RX::MechanicalVentilationModel::MECHANICAL_VENTILATION;
	s.m_model.initClimate(CALOVINDA_CLIMATE_TEST_DATA, QString());
	s.m_model.init(s.m_db);
	double maxGain = 0;
	s.evaluate(0);
	const std::size_t allocations = allocationCount;
	EXPECT_GT(allocations, 0u);
	for (double t = 0; t < ZEB::SECONDS_PER_YEAR; t += 7*86400 + 3*3600) {
		s.evaluate(t);
		ASSERT_EQ(allocationCount, allocations) << "at t = " << t;
		for (double d : s.m_model.m_ydot)
			ASSERT_TRUE(std::isfinite(d)) << "at t = " << t;
		maxGain = std::max(maxGain, s.m_model.m_solarGains);
	}
	EXPECT_GT(maxGain, 1000);
}


TEST(RXCalovindaModel, PrintsVersionsInPaddedColumns) {
	TestSupport::MessageRecorder recorder;
	RX::CalovindaModel::printVersionStrings();
	const std::vector<std::string> texts = recorder.texts("[CalovindaModel::printVersionStrings]");
	ASSERT_EQ(texts.size(), 4u);
	EXPECT_EQ(texts[0], "\n");
	EXPECT_EQ(texts[1], std::string("CALOVINDA physical model and solver version      ") + RX::LONG_VERSION + "\n");
	EXPECT_EQ(texts[3].substr(0, 49), "OVM library version" + std::string(30, ' '));
}
