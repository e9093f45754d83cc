#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <JlCompress.h>

#include "Case600Box.h"
#include "EnergyBalance.h"
#include "KADRIX_IntegratorErrorControlled.h"
#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_LESInterfaceIterative.h"
#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "RX_CalovindaModelFMU.h"
#include "RX_CalovindaModelInterface.h"
#include "RX_Constants.h"
#include "RX_Database.h"
#include "RX_FMU2ModelDescription.h"
#include "RX_ShadingType.h"
#include "TestSupport.h"
#include "Wexil_Directories.h"
#include "ZEB_OutputFolder.h"
#include "ZEB_Path.h"

namespace {

const char * const LES_LOCATION = "[CalovindaModelInterface::lesInterface]";

/*! An adaptor on a bare room (20 m2, 2.5 m, nobody, no heating) with its database, a
	temporary directory and a recorder that keeps the progress off the console. */
struct AdaptorSetup {
	AdaptorSetup() {
		RX::Room & room = m_model.m_room;
		room.m_constructions.clear();
		room.m_shadingControlModel.m_structuralShadings.clear();
		room.m_heatingModel.m_modelType = RX::HeatingModel::NONE;
		room.m_userLoads.m_scheduleOccupancy.m_type = RX::Schedule::CONSTANT;
		room.m_userLoads.m_scheduleOccupancy.m_constantValue = 0;
		room.m_area = 20;
		room.m_height = 2.5;
		room.m_outputTimeSteps = 3600;
		room.m_projectFilePath = QString::fromStdString(m_dir.file("project.rmxml"));
	}

	/*! One construction of one 5 mm layer (three cells) of the given type. */
	void addThinWall(RX::RoomConstruction::Type type) {
		Case600::addMaterial(m_db, 1, 0.5, 1000, 1000);
		Case600::addConstructionType(m_db, 1, {0.005}, {1});
		RX::RoomConstruction rc;
		rc.m_constructionId = 1;
		rc.m_type = type;
		rc.m_AW = 10;
		Case600::addConstruction(m_model.m_room, rc);
	}

	/*! A constant climate of 10 C and 50 % at 40 N. */
	void init() {
		const std::string dir = m_dir.file("climate");
		std::filesystem::create_directory(dir);
		Case600::constantClimate(10, 50).writeClimateDataZEB(dir + "/test.c6b");
		m_model.m_room.m_climateLocation = "test.c6b";
		m_model.initClimate(QString::fromStdString(dir), QString());
		m_model.init(m_db);
	}

	TestSupport::MessageRecorder	m_messages;
	TestSupport::TempDirectory		m_dir{"adaptor"};
	RX::Database					m_db;
	RX::CalovindaModelInterface		m_model;
};

/*! The Case-600-like box with its south window in Denver: heating to 20 C, cooling to 27 C,
	natural ventilation and two persons. */
void setUpBox(AdaptorSetup & s) {
	RX::Room & room = s.m_model.m_room;
	Case600::addDenverBox(room, s.m_db);
	s.m_model.initClimate(CALOVINDA_CLIMATE_TEST_DATA, QString());
	s.m_model.init(s.m_db);
}

/*! What a run through the adaptor saw. */
struct RunResult {
	unsigned int		m_outputs = 0;
	double				m_tFinal = 0;
	/*! Room air temperature at the end [K] and its extremes at the output times [K]. */
	double				m_TRoom = 0;
	double				m_TMin = 1e30;
	double				m_TMax = -1e30;
};

/*! Drives the model from its start time to tEnd as the co-simulation loop does: the solver
	objects of the model's choice, stepCompleted after every step, writeOutputs at the start and
	at every point of the output grid, then atOutput, when given. */
RunResult run(RX::CalovindaModelInterface & model, double tEnd, const std::function<void()> & atOutput = {}) {
	RunResult result;
	KADRIX::IntegratorInterface * integrator = model.integratorInterface();
	KADRIX::LESInterface * les = model.lesInterface();
	KADRIX::PrecondInterface * precond = model.preconditionerInterface();
	KADRIX::JacobianInterface * jacobian = model.jacobianInterface();
	dynamic_cast<KADRIX::IntegratorErrorControlled &>(*integrator).m_stopTime = tEnd;
	const double t0 = model.t0();
	integrator->init(&model, t0, model.y0(), les, precond, jacobian);
	const auto output = [&](double t, const double * y) {
		model.writeOutputs(t, y);
		++result.m_outputs;
		result.m_TMin = std::min(result.m_TMin, model.m_TRoom);
		result.m_TMax = std::max(result.m_TMax, model.m_TRoom);
		if (atOutput)
			atOutput();
	};
	// the model's own storage as the state, as at the start of a run
	output(t0, model.y0());
	double tOut = model.nextOutputTime(t0);
	while (integrator->t() < tEnd) {
		if (integrator->step() != 1) {
			ADD_FAILURE() << "step failed at t = " << integrator->t();
			break;
		}
		const double t = integrator->t();
		model.stepCompleted(t, integrator->yOut(t));
		for (; tOut <= t; tOut = model.nextOutputTime(tOut))
			output(tOut, integrator->yOut(tOut));
	}
	result.m_tFinal = integrator->t();
	result.m_TRoom = model.m_TRoom;
	return result;
}

} // namespace


TEST(RXCalovindaModelInterface, KeepsTheOutputGridAndTheYear) {
	AdaptorSetup s;
	s.addThinWall(RX::RoomConstruction::Outside);
	s.init();
	RX::CalovindaModelInterface & model = s.m_model;
	EXPECT_EQ(model.nextOutputTime(0), 3600.0);
	EXPECT_EQ(model.nextOutputTime(3600), 7200.0);
	EXPECT_EQ(model.nextOutputTime(3599.99999999995), 7200.0);
	// far beyond a 32-bit count of steps
	model.m_room.m_outputTimeSteps = 1e-3;
	EXPECT_DOUBLE_EQ(model.nextOutputTime(1e7), 1e7 + 1e-3);
	model.m_room.m_outputTimeSteps = 3600;

	EXPECT_EQ(model.setTime(31536000), KADRIX::ModelInterface::CalculationSuccess);
	EXPECT_EQ(model.m_hourOfYear, 0.0);
	model.setTime(31535999);
	EXPECT_EQ(model.m_hourOfYear, 8759.0);
	model.setTime(63071999);
	EXPECT_EQ(model.m_hourOfYear, 8759.0);
	EXPECT_EQ(model.m_t, 63071999.0);
	// no hour of the year before it starts
	EXPECT_EQ(model.setTime(-1), KADRIX::ModelInterface::CalculationAbort);
	EXPECT_EQ(model.setTime(std::nan("")), KADRIX::ModelInterface::CalculationAbort);
	EXPECT_EQ(model.m_t, 63071999.0);
	const std::vector<double> y(model.y0(), model.y0() + model.n());
	EXPECT_EQ(TestSupport::thrownAt([&] { model.stepCompleted(-1, y.data()); }, "[CalovindaModelInterface::stepCompleted]"),
			  "Cannot evaluate the model at time -1 s.");
	EXPECT_EQ(TestSupport::thrownAt([&] { model.writeOutputs(-1, y.data()); }, "[CalovindaModelInterface::writeOutputs]"),
			  "Cannot evaluate the model at time -1 s.");

	model.m_room.m_simulationEndTime = 1e6;
	EXPECT_EQ(model.tEnd(), 1e6);
	model.m_room.m_cyclicTwoYearSimulation = true;
	EXPECT_EQ(model.tEnd(), 63072000.0);
	EXPECT_EQ(model.dt0(), 1.0);
	EXPECT_EQ(model.y0(), model.m_y.data());
}


TEST(RXCalovindaModelInterface, RefusesANegativeStartAndANonPositiveOutputStep) {
	AdaptorSetup s;
	s.addThinWall(RX::RoomConstruction::Outside);
	s.m_model.m_room.m_simulationStartTime = -3600;
	EXPECT_EQ(TestSupport::thrownAt([&] { s.init(); }, "[CalovindaModelInterface::init]"),
			  "Simulation start time must not be negative, got -3600 s.");
	s.m_model.m_room.m_simulationStartTime = 0;
	s.m_model.m_room.m_outputTimeSteps = 0;
	EXPECT_EQ(TestSupport::thrownAt([&] { s.init(); }, "[CalovindaModelInterface::init]"),
			  "Output time step must be positive, got 0 s.");
}


TEST(RXCalovindaModelInterface, ReportsUnknownsAndSetsOnlyTheChosenIntegratorsTolerances) {
	AdaptorSetup s;
	s.addThinWall(RX::RoomConstruction::Outside);
	s.addThinWall(RX::RoomConstruction::Inside);
	s.m_model.m_room.m_moistureBalanceEnabled = true;
	s.m_model.m_integratorName = "ImplicitEuler";
	s.init();
	EXPECT_EQ(s.m_messages.texts("[CalovindaModelInterface::init]"),
			  (std::vector<std::string>{"Unknowns in walls = '[6,6]'.\n", "Total number of unknowns = '14'.\n"}));
	EXPECT_EQ(s.m_model.m_integratorImplicitEuler.m_nonlinConvCoef, 0.05);
	EXPECT_EQ(s.m_model.m_integratorCVODE.m_relTol, KADRIX::IntegratorSundialsCVODE().m_relTol);
	EXPECT_EQ(s.m_model.integratorInterface(), &s.m_model.m_integratorImplicitEuler);
	// the integrator name is case-sensitive
	s.m_model.m_integratorName = "implicitEuler";
	EXPECT_EQ(s.m_model.integratorInterface(), &s.m_model.m_integratorCVODE);
}


TEST(RXCalovindaModelInterface, CouplesNeighbourCellsAndTheInnermostCellsToTheRoom) {
	for (const RX::RoomConstruction::Type type : {RX::RoomConstruction::Outside, RX::RoomConstruction::Inside}) {
		AdaptorSetup s;
		s.addThinWall(type);
		s.init();
		ASSERT_EQ(s.m_model.n(), 4u);
		s.m_model.generateIndexVector();
		if (type == RX::RoomConstruction::Outside) {
			EXPECT_EQ(s.m_model.m_ia, (std::vector<std::uint32_t>{0, 2, 6, 9, 12}));
			EXPECT_EQ(s.m_model.m_ja, (std::vector<std::uint32_t>{0, 1, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3}));
		}
		else {
			// both surfaces face the room
			EXPECT_EQ(s.m_model.m_ia, (std::vector<std::uint32_t>{0, 3, 7, 10, 14}));
			EXPECT_EQ(s.m_model.m_ja, (std::vector<std::uint32_t>{0, 1, 3, 0, 1, 2, 3, 1, 2, 3, 0, 1, 2, 3}));
		}
	}

	// with moisture every element coupling is a 2 x 2 block
	AdaptorSetup s;
	s.addThinWall(RX::RoomConstruction::Outside);
	s.m_model.m_room.m_moistureBalanceEnabled = true;
	s.init();
	s.m_model.generateIndexVector();
	EXPECT_EQ(s.m_model.m_ia, (std::vector<std::uint32_t>{0, 4, 8, 16, 24, 30, 36, 42, 48}));
	EXPECT_EQ(s.m_model.m_ja.size(), 48u);
}


TEST(RXCalovindaModelInterface, WeighsRoomStatesTenTimesAsStrictlyAsWallStates) {
	AdaptorSetup s;
	s.addThinWall(RX::RoomConstruction::Outside);
	s.m_model.m_room.m_moistureBalanceEnabled = true;
	s.init();
	const std::vector<double> y(s.m_model.n(), 0.0);
	std::vector<double> w(s.m_model.n());
	EXPECT_EQ(s.m_model.calculateErrorWeights(y.data(), w.data()), KADRIX::ModelInterface::CalculationSuccess);
	EXPECT_EQ(w, (std::vector<double>{1e6, 1e6, 1e6, 1e6, 1e6, 1e6, 1e7, 1e7}));
	const std::vector<double> y2(s.m_model.n(), 1e6);
	s.m_model.calculateErrorWeights(y2.data(), w.data());
	EXPECT_DOUBLE_EQ(w[0], 1/(1 + 1e-6));
	EXPECT_FALSE(s.m_model.hasErrorWeightsFunction());
	s.m_model.m_room.m_din4108_2Assessment.m_active = true;
	EXPECT_TRUE(s.m_model.hasErrorWeightsFunction());
}


TEST(RXCalovindaModelInterface, ChoosesSolverAndPreconditionerOnceByName) {
	AdaptorSetup s;
	s.addThinWall(RX::RoomConstruction::Outside);
	s.init();
	RX::CalovindaModelInterface & model = s.m_model;
	model.m_lesSolverName = "gmres";
	model.m_preconditionerName = "BAND(2)";
	s.m_messages.m_messages.clear();
	KADRIX::LESInterface * les = model.lesInterface();
	ASSERT_NE(les, nullptr);
	EXPECT_EQ(s.m_messages.texts(LES_LOCATION),
			  (std::vector<std::string>{"Using Band preconditioner (half-bandwidth 2).\n",
										"Using iterative GMRES (Krylow subspace dimension = 10) LES solver.\n"}));
	const KADRIX::LESInterfaceIterative & krylov = dynamic_cast<const KADRIX::LESInterfaceIterative &>(*les);
	EXPECT_EQ(krylov.m_maxKrylovDim, 10u);
	EXPECT_EQ(krylov.m_linIterConvCoeff, 0.05);
	EXPECT_NE(model.jacobianInterface(), nullptr);
	EXPECT_NE(model.preconditionerInterface(), nullptr);
	EXPECT_EQ(model.lesInterface(), les);
	EXPECT_EQ(s.m_messages.texts(LES_LOCATION).size(), 2u);
}


TEST(RXCalovindaModelInterface, TellsThePreconditionersAndSolversItMakes) {
	struct Case {
		const char *	m_solver;
		const char *	m_precond;
		bool			m_moisture;
		std::vector<std::string> m_messages;
		bool			m_jacobian;
	};
	const std::vector<Case> cases = {
		{"DENSE", "ILU", false, {"Using Dense LES solver.\n"}, false},
		{"btridiag", "", false, {"Using tridiagonal LES solver.\n"}, false},
		{"BTridiag", "", true, {"Using block-tridiagonal LES solver (block size 2).\n"}, false},
		{"band", "", false, {"Using banded LES solver (half-bandwidth 1).\n"}, false},
		{"Band", "", true, {"Using banded LES solver (half-bandwidth 3).\n"}, false},
		{"BiCGStab", "ilu", false, {"Using ILU preconditioner.\n",
			"Using iterative BiCGStab (Krylow subspace dimension = 10) LES solver.\n"}, true},
		{"GMRES", "Band", false, {"Using Band preconditioner (half-bandwidth 1).\n",
			"Using iterative GMRES (Krylow subspace dimension = 10) LES solver.\n"}, true},
		{"GMRES", "Band", true, {"Using Band preconditioner (half-bandwidth 3).\n",
			"Using iterative GMRES (Krylow subspace dimension = 10) LES solver.\n"}, true},
		{"GMRES", "Band(7)", true, {"Using Band preconditioner (half-bandwidth 7).\n",
			"Using iterative GMRES (Krylow subspace dimension = 10) LES solver.\n"}, true},
		{"", "ILU", false, {"Using KLU sparse LES solver.\n"}, true},
		{"klu", "", false, {"Using KLU sparse LES solver.\n"}, true},
	};
	for (const Case & c : cases) {
		SCOPED_TRACE(std::string(c.m_solver) + " " + c.m_precond);
		AdaptorSetup s;
		s.addThinWall(RX::RoomConstruction::Outside);
		s.m_model.m_room.m_moistureBalanceEnabled = c.m_moisture;
		s.init();
		s.m_model.m_lesSolverName = c.m_solver;
		s.m_model.m_preconditionerName = c.m_precond;
		EXPECT_NE(s.m_model.lesInterface(), nullptr);
		EXPECT_EQ(s.m_messages.texts(LES_LOCATION), c.m_messages);
		EXPECT_EQ(s.m_model.jacobianInterface() != nullptr, c.m_jacobian);
		// only the Krylov solvers take a preconditioner
		EXPECT_EQ(s.m_model.preconditionerInterface() != nullptr, c.m_messages.size() == 2);
	}
}


TEST(RXCalovindaModelInterface, RefusesAnUnknownPreconditionerAndCanChooseAgain) {
	AdaptorSetup s;
	s.addThinWall(RX::RoomConstruction::Outside);
	s.init();
	RX::CalovindaModelInterface & model = s.m_model;
	model.m_lesSolverName = "GMRES";
	for (const char * name : {"Band(7", "ILU(0)", "banded"}) {
		model.m_preconditionerName = name;
		EXPECT_EQ(TestSupport::thrownAt([&] { model.lesInterface(); }, LES_LOCATION),
				  "Unknown or unsupported preconditioner selected.") << name;
		EXPECT_EQ(model.m_lesSolver, nullptr);
		EXPECT_EQ(model.m_jacobian, nullptr);
	}
	model.m_preconditionerName = "Band(x)";
	EXPECT_TRUE(TestSupport::thrownException([&] { model.lesInterface(); }));
	EXPECT_EQ(model.m_lesSolver, nullptr);
	model.m_preconditionerName = "ILU";
	EXPECT_NE(model.lesInterface(), nullptr);
	EXPECT_NE(model.m_preconditioner, nullptr);
}


TEST(RXCalovindaModelInterface, AbortsTheDerivativesOnRequestWithoutTouchingThem) {
	AdaptorSetup s;
	s.addThinWall(RX::RoomConstruction::Outside);
	s.init();
	RX::CalovindaModelInterface & model = s.m_model;
	ASSERT_EQ(model.setTime(0), KADRIX::ModelInterface::CalculationSuccess);
	std::vector<double> y(model.y0(), model.y0() + model.n());
	y.back() *= 1.01;
	ASSERT_EQ(model.setY(y.data()), KADRIX::ModelInterface::CalculationSuccess);
	std::vector<double> ydot(model.n(), 42.0);
	model.m_abort = true;
	EXPECT_EQ(model.ydot(ydot.data()), KADRIX::ModelInterface::CalculationAbort);
	EXPECT_EQ(ydot, std::vector<double>(model.n(), 42.0));
	model.m_abort = false;
	EXPECT_EQ(model.ydot(ydot.data()), KADRIX::ModelInterface::CalculationSuccess);
	EXPECT_EQ(ydot, model.m_ydot);
	// a warmer room loses heat to the 10 C outside
	EXPECT_LT(ydot.back(), 0);
}


TEST(RXCalovindaModelInterface, HoldsTheBoxBetweenHeatingAndCoolingSetPointsForAYear) {
	AdaptorSetup s;
	s.m_model.m_lesSolverName = "GMRES";
	s.m_model.m_preconditionerName = "ILU";
	setUpBox(s);
	s.m_model.m_room.m_simulationStartTime = 0;
	s.m_model.m_room.m_simulationEndTime = 31536000;
	const RunResult r = run(s.m_model, s.m_model.tEnd());
	EXPECT_EQ(r.m_tFinal, 31536000.0);
	EXPECT_EQ(r.m_outputs, 8761u);
	// ideal controllers with ample power keep the air near the band between 20 C and 27 C
	EXPECT_GT(r.m_TMin - 273.15, 19.5);
	EXPECT_LT(r.m_TMax - 273.15, 27.5);
	// Denver has cold winter nights and sunny summer days: both controllers work
	EXPECT_LT(r.m_TMin - 273.15, 20.2);
	EXPECT_GT(r.m_TMax - 273.15, 26.8);

	const RX::OutputManager & out = s.m_model.m_outputManager;
	EXPECT_EQ(out.m_stateSeries[RX::OutputManager::S_ROOM_AIR_TEMPERATURE].size(), 8761u);
	EXPECT_EQ(out.m_fluxIntegralSeries[RX::OutputManager::F_HEATING_LOAD].size(), 8761u);
	EXPECT_DOUBLE_EQ(out.m_stateSeries[RX::OutputManager::S_ROOM_AIR_TEMPERATURE].back(), r.m_TRoom - 273.15);
	// the extremes of the completed steps enclose those of the hourly outputs
	EXPECT_LE(out.m_minRoomAirTemperature, r.m_TMin - 273.15 + 1e-3);
	EXPECT_GE(out.m_maxRoomAirTemperature, r.m_TMax - 273.15 - 1e-3);
	EXPECT_GT(out.m_minRoomAirTemperature, 19.5);
	EXPECT_LT(out.m_maxRoomAirTemperature, 27.5);
	EXPECT_LE(out.m_minAirChangeRate, out.m_maxAirChangeRate);
}


TEST(RXCalovindaModelInterface, RaisesTheHeatersGainAfterTheStartAlikeInLongAndShortSteps) {
	// the box falls below its heating's set point after the start and the heater's gain rises
	// while its air recovers; steps of at most a second, as communication steps of a second
	// make them, took two raises more there than steps of the integrator's own choice
	double slopes[2];
	for (int i = 0; i < 2; ++i) {
		AdaptorSetup s;
		s.m_model.m_lesSolverName = "GMRES";
		setUpBox(s);
		if (i == 1)
			s.m_model.m_integratorCVODE.m_dtMax = 1;
		run(s.m_model, 3600);
		slopes[i] = s.m_model.m_room.m_heatingModel.m_slope;
	}
	EXPECT_GT(slopes[0], 5000.0);
	EXPECT_EQ(slopes[0], slopes[1]);
}


TEST(RXCalovindaModelInterface, RoomTouchingItsHeatersOffEndOnAFallingAirChangeStaysThereInLongAndShortSteps) {
	// the bare room heated to 20 C with 150 W of equipment, its air change falling from 3 to 0.5
	// per hour over 19.9 to 20.1 C: left to itself the air tips across that step within seconds,
	// the heater holds it there; the outside warms to a peak at which the heater's output falls to
	// a few watts, 0.5 mK short of its off end. Hourly steps carried the room past that end, and
	// it tipped, 4 K warmer an hour later; steps of 10 s and 60 s did not.
	std::vector<std::vector<double> > hours;
	for (const double step : {10.0, 60.0, 3600.0}) {
		SCOPED_TRACE(step);
		AdaptorSetup s;
		RX::Room & room = s.m_model.m_room;
		room.m_heatingModel.m_modelType = RX::HeatingModel::SIMPLE;
		room.m_heatingModel.m_maxPower = 1e4;
		room.m_heatingModel.m_scheduleSetPoints.m_type = RX::Schedule::CONSTANT;
		room.m_heatingModel.m_scheduleSetPoints.m_constantValue = 20;
		room.m_userLoads.m_scheduleEquipmentLoad.m_type = RX::Schedule::CONSTANT;
		room.m_userLoads.m_scheduleEquipmentLoad.m_constantValue = 150/room.m_area;
		RX::NaturalVentilationModel & ventilation = room.m_naturalVentilationModel;
		ventilation.m_modelType = RX::NaturalVentilationModel::MANAGED;
		ventilation.m_scheduleAirChangeRates.m_type = RX::Schedule::CONSTANT;
		ventilation.m_scheduleAirChangeRates.m_constantValue = 0.5;
		ventilation.m_baseAirChangeRate = 3;
		ventilation.m_minTRoom = 19.9;
		const std::string dir = s.m_dir.file("climate");
		std::filesystem::create_directory(dir);
		OVM::ClimateDataLoader climate = Case600::constantClimate(10, 50);
		std::vector<double> & outside = climate.m_data[OVM::ClimateDataLoader::Temperature];
		outside[2] = outside[4] = 12;
		outside[3] = 14.87;
		climate.writeClimateDataZEB(dir + "/test.c6b");
		room.m_climateLocation = "test.c6b";
		RX::CalovindaModelInterface & model = s.m_model;
		model.chooseSolvers();
		model.initClimate(QString::fromStdString(dir), QString());
		model.init(s.m_db);
		model.initIntegrator();
		hours.emplace_back();
		for (int h = 1; h <= 6; ++h) {
			for (double t = 3600*(h - 1) + step; t <= 3600*h; t += step)
				model.integrateTo(t);
			hours.back().push_back(model.m_TRoom);
		}
	}
	// the peak itself
	EXPECT_NEAR(hours[0][3], 293.15, 1e-3);
	for (std::size_t i = 1; i < hours.size(); ++i)
		for (std::size_t h = 0; h < hours[0].size(); ++h)
			EXPECT_NEAR(hours[i][h], hours[0][h], 0.01) << "hour " << h + 1;
}


TEST(RXCalovindaModelInterface, RestartsTheRunningExtremesOnlyAtTimeZero) {
	AdaptorSetup s;
	s.addThinWall(RX::RoomConstruction::Outside);
	s.init();
	RX::CalovindaModelInterface & model = s.m_model;
	const RX::OutputManager & out = model.m_outputManager;
	std::vector<double> y(model.y0(), model.y0() + model.n());
	model.stepCompleted(0.0, y.data());
	EXPECT_NEAR(out.m_minRoomAirTemperature, 20.0, 1e-9);
	EXPECT_NEAR(out.m_maxRoomAirTemperature, 20.0, 1e-9);
	EXPECT_EQ(out.m_tStepCompleted, 0.0);

	// a warmer room a step later raises the maximum only
	y.back() *= 1.01;
	model.stepCompleted(60, y.data());
	EXPECT_NEAR(out.m_minRoomAirTemperature, 20.0, 1e-9);
	EXPECT_NEAR(out.m_maxRoomAirTemperature, 1.01*293.15 - 273.15, 1e-9);
	EXPECT_EQ(out.m_tStepCompleted, 60.0);

	y.back() /= 1.02;
	model.stepCompleted(0.0, y.data());
	EXPECT_DOUBLE_EQ(out.m_minRoomAirTemperature, out.m_maxRoomAirTemperature);
	EXPECT_LT(out.m_minRoomAirTemperature, 20.0);
}


TEST(RXCalovindaModelInterface, StepsToEachCommunicationPointWithoutPassingIt) {
	AdaptorSetup s;
	s.addThinWall(RX::RoomConstruction::Outside);
	RX::CalovindaModelInterface & model = s.m_model;
	model.chooseSolvers();
	s.init();
	model.initIntegrator();
	const std::vector<double> & time = model.m_outputManager.m_stateSeries[RX::OutputManager::S_TIME];

	// a step of length zero from the start writes the start row only
	model.integrateTo(0);
	EXPECT_EQ(time.size(), 1u);
	// an interval ending between two output times: the output time inside it, and the model at its end
	model.integrateTo(5400);
	EXPECT_EQ(model.integratorInterface()->t(), 5400.0);
	EXPECT_EQ(model.m_t, 5400.0);
	ASSERT_EQ(time.size(), 2u);
	EXPECT_DOUBLE_EQ(time[1], 3600.0/86400);
	// an output time at the end of the interval belongs to it
	model.integrateTo(7200);
	ASSERT_EQ(time.size(), 3u);
	EXPECT_DOUBLE_EQ(time[2], 7200.0/86400);
	// the start row is not written again, and there is no way back
	model.integrateTo(7200);
	EXPECT_EQ(time.size(), 3u);
	EXPECT_THROW(model.integrateTo(3600), ZEB::Exception);
	// the room at 20 C cools towards the 10 C outside
	EXPECT_LT(model.m_TRoom, 293.15);
	EXPECT_GT(model.m_TRoom, 283.15);

	// heated to 20 C, at the weekend to 12 C: up to the weekend's start the room and its heating
	// are those heated to 20 C always, also where the integrator's step ends on that time (days
	// into the year, where a step's end is rounded onto it)
	double TBefore = 0;
	double heatingBefore = 0;
	double tWeekend = 0;
	for (const bool setBack : {true, false}) {
		AdaptorSetup heated;
		heated.addThinWall(RX::RoomConstruction::Outside);
		RX::HeatingModel & heating = heated.m_model.m_room.m_heatingModel;
		heating.m_modelType = RX::HeatingModel::SIMPLE;
		heating.m_maxPower = 1e5;
		heating.m_scheduleSetPoints.m_type = RX::Schedule::DAILY_WEEK;
		heating.m_scheduleSetPoints.m_weekDaySchedule.fill(20);
		heating.m_scheduleSetPoints.m_weekEndSchedule.fill(setBack ? 12 : 20);
		heated.m_model.chooseSolvers();
		heated.init();
		heated.m_model.initIntegrator();
		if (setBack)
			tWeekend = heated.m_model.nextRuleChange(0);
		ASSERT_GE(tWeekend, 86400.0);
		heated.m_model.integrateTo(tWeekend);
		const double heat = heated.m_model.m_outputManager.m_fluxIntegrals[RX::OutputManager::F_HEATING_LOAD];
		if (!setBack) {
			EXPECT_EQ(heated.m_model.m_TRoom, TBefore);
			EXPECT_EQ(heat, heatingBefore);
		}
		TBefore = heated.m_model.m_TRoom;
		heatingBefore = heat;
	}
}


namespace {

/*! An integrator, linear equation solver and preconditioner, by the adaptor's names. */
struct SolverChoice {
	const char * m_integrator;
	const char * m_solver;
	const char * m_precond;
};

/*! Every solver road the adaptor offers. */
const std::vector<SolverChoice> SOLVER_CHOICES = {
	{"", "GMRES", ""}, {"", "Dense", ""}, {"", "BTridiag", ""}, {"", "Band", ""}, {"", "KLU", ""},
	{"", "BiCGStab", ""}, {"", "GMRES", "ILU"}, {"", "GMRES", "Band"}, {"", "GMRES", "Band(5)"},
	{"", "BiCGStab", "ILU"}, {"", "BiCGStab", "Band"},
	{"ImplicitEuler", "Dense", ""}, {"ImplicitEuler", "Band", ""}, {"ImplicitEuler", "GMRES", ""},
	{"ImplicitEuler", "GMRES", "ILU"}
};

} // namespace


TEST(RXCalovindaModelInterface, EverySolverChoiceIntegratesADayToTheSameRoomTemperature) {
	double reference = 0;
	for (const SolverChoice & c : SOLVER_CHOICES) {
		SCOPED_TRACE(std::string(c.m_integrator) + " " + c.m_solver + " " + c.m_precond);
		AdaptorSetup s;
		s.m_model.m_integratorName = c.m_integrator;
		s.m_model.m_lesSolverName = c.m_solver;
		s.m_model.m_preconditionerName = c.m_precond;
		setUpBox(s);
		// a spring day: a cold night and a sunny day
		s.m_model.m_room.m_simulationStartTime = 100*86400;
		const RunResult r = run(s.m_model, 101*86400);
		EXPECT_EQ(r.m_outputs, 25u);
		if (reference == 0)
			reference = r.m_TRoom;
		EXPECT_NEAR(r.m_TRoom, reference, 0.05);
	}
}


TEST(RXCalovindaModelInterface, EveryProjectWrittenAndReadBackRunsAsTheOriginal) {
	namespace fs = std::filesystem;
	const fs::path data = fs::path(CALOVINDA_CLIMATE_TEST_DATA).parent_path();
	std::vector<fs::path> projects;
	for (const fs::path & dir : {fs::path(CALOVINDA_EXAMPLE_DIR), data})
		for (const fs::directory_entry & entry : fs::directory_iterator(dir))
			if (entry.path().extension() == ".rmxml")
				projects.push_back(entry.path());
	ASSERT_GE(projects.size(), 3u);

	struct Day {
		RunResult	m_run;
		double		m_tEnd;
	};
	const auto runDay = [](const std::string & projectFile, const fs::path & climateDir) {
		TestSupport::MessageRecorder messages;
		RX::Database db;
		RX::CalovindaModelInterface model;
		model.readProject(QString::fromStdString(projectFile), db);
		model.initClimate(QString::fromStdString(climateDir.string()), CALOVINDA_CLIMATE_TEST_DATA);
		model.init(db);
		return Day{run(model, model.t0() + 86400), model.tEnd()};
	};
	// as the projects are, and with the parameters a default room does not write
	for (const fs::path & source : projects)
		for (const std::string parameters : {"", "<OutputTimeSteps>600</OutputTimeSteps>",
											 "<CyclicTwoYearSimulation>true</CyclicTwoYearSimulation>"}) {
			SCOPED_TRACE(source.filename().string() + " " + parameters);
			TestSupport::TempDirectory dir("roundtrip");
			std::string text = TestSupport::readFile(source.string());
			const std::string section = "<SimulationParameters>";
			text.insert(text.find(section) + section.size(), parameters);
			std::ofstream(dir.file("original.rmxml")) << text;
			{
				TestSupport::MessageRecorder messages;
				RX::Room room;
				RX::Database db;
				QFile in(QString::fromStdString(dir.file("original.rmxml")));
				ASSERT_TRUE(in.open(QIODevice::ReadOnly));
				QXmlStreamReader reader(&in);
				room.readXML(reader, db);
				ASSERT_FALSE(reader.hasError());
				QFile out(QString::fromStdString(dir.file("written.rmxml")));
				ASSERT_TRUE(out.open(QIODevice::WriteOnly));
				QXmlStreamWriter writer(&out);
				room.writeXML(writer, &db);
			}
			const Day original = runDay(dir.file("original.rmxml"), source.parent_path());
			const Day written = runDay(dir.file("written.rmxml"), source.parent_path());
			EXPECT_EQ(written.m_tEnd, original.m_tEnd);
			EXPECT_EQ(written.m_run.m_outputs, original.m_run.m_outputs);
			EXPECT_EQ(written.m_run.m_TRoom, original.m_run.m_TRoom);
			EXPECT_EQ(written.m_run.m_TMin, original.m_run.m_TMin);
			EXPECT_EQ(written.m_run.m_TMax, original.m_run.m_TMax);
		}
}


TEST(RXCalovindaModelInterface, AsksForAFreshJacobianOnceAControllerChangesItsPieceOrSlope) {
	AdaptorSetup s;
	setUpBox(s);
	RX::CalovindaModelInterface & model = s.m_model;
	std::vector<double> y(model.y0(), model.y0() + model.n());
	// the room's energy is proportional to its air temperature in K
	const double energyPerKelvin = y.back()/model.m_TRoom;
	const auto completeAt = [&](double t, double thetaRoom) {
		y.back() = energyPerKelvin*(thetaRoom + 273.15);
		model.stepCompleted(t, y.data());
		return model.takeJacobianUpdateRequest();
	};
	// between the set points both controllers are off; the first step has nothing to compare with
	EXPECT_FALSE(completeAt(3600, 23));
	EXPECT_FALSE(completeAt(3660, 24));
	// 0.1 K below the heating set point: proportional heating, asked for once
	EXPECT_TRUE(completeAt(3720, 19.9));
	EXPECT_FALSE(model.takeJacobianUpdateRequest());
	EXPECT_FALSE(completeAt(3780, 19.95));
	// 0.5 K below, the slope grows: the gain on the room air changes as with a new piece
	const double slope = model.m_room.m_heatingModel.m_slope;
	EXPECT_TRUE(completeAt(3840, 19.5));
	EXPECT_GT(model.m_room.m_heatingModel.m_slope, slope);
	// cooling at its limit of 10 kW
	EXPECT_TRUE(completeAt(3900, 35));
	EXPECT_FALSE(completeAt(3960, 34));

	// supply air that cools by 10000 m3/h per K above 25 C, up to 300 m3/h
	RX::MechanicalVentilationModel & ventilation = model.m_room.m_mechanicalVentilationModel;
	ventilation.m_modelType = RX::MechanicalVentilationModel::MECHANICAL_VENTILATION_COOLING;
	ventilation.m_maxSupplyFlowRate = 300;
	ventilation.m_scheduleSetPoints.m_type = RX::Schedule::CONSTANT;
	ventilation.m_scheduleSetPoints.m_constantValue = 25;
	EXPECT_TRUE(completeAt(4020, 24.9));
	EXPECT_FALSE(completeAt(4080, 24.95));
	EXPECT_TRUE(completeAt(4140, 25.01));
	EXPECT_TRUE(completeAt(4200, 25.1));
	EXPECT_FALSE(completeAt(4260, 25.2));

	// a heat recovery bypassed over 0.6 K around 22 C: its gain turns at each half of the step
	ventilation.m_modelType = RX::MechanicalVentilationModel::MECHANICAL_VENTILATION;
	ventilation.m_heatRecoveryEfficiency = 0.8;
	ventilation.m_heatRecoverySetpoint = 22;
	EXPECT_TRUE(completeAt(4320, 21.5));
	EXPECT_TRUE(completeAt(4380, 21.8));
	EXPECT_FALSE(completeAt(4440, 21.9));
	EXPECT_TRUE(completeAt(4500, 22.1));
	EXPECT_TRUE(completeAt(4560, 22.4));

	// natural ventilation falling from 3 to 0.5 per hour over 0.2 K above 23 C: on the step its gain
	// on the room air changes from step to step
	ventilation.m_modelType = RX::MechanicalVentilationModel::NONE;
	RX::NaturalVentilationModel & natural = model.m_room.m_naturalVentilationModel;
	natural.m_modelType = RX::NaturalVentilationModel::MANAGED;
	natural.m_baseAirChangeRate = 3;
	EXPECT_TRUE(completeAt(4620, 22.5));
	EXPECT_FALSE(completeAt(4680, 22.6));
	EXPECT_TRUE(completeAt(4740, 23.02));
	EXPECT_TRUE(completeAt(4800, 23.04));
	EXPECT_TRUE(completeAt(4860, 23.16));
	EXPECT_TRUE(completeAt(4920, 23.18));
	EXPECT_TRUE(completeAt(4980, 23.5));
	EXPECT_FALSE(completeAt(5040, 23.6));

	// the cooler's dehumidification above 50 % (moisture balance), 30.8 kW per g/m3 of vapour
	// beyond the set point up to its 1200 W
	AdaptorSetup moist;
	moist.addThinWall(RX::RoomConstruction::Outside);
	RX::Room & room = moist.m_model.m_room;
	room.m_moistureBalanceEnabled = true;
	RX::CoolingModel & cooler = room.m_coolingModel;
	cooler.m_modelType = RX::CoolingModel::SIMPLE;
	cooler.m_scheduleSetPoints.m_type = cooler.m_scheduleHumiditySetPoints.m_type = RX::Schedule::CONSTANT;
	cooler.m_scheduleSetPoints.m_constantValue = 26;
	cooler.m_scheduleHumiditySetPoints.m_constantValue = 50;
	moist.init();
	std::vector<double> yMoist(moist.m_model.y0(), moist.m_model.y0() + moist.m_model.n());
	const auto completeAtHumidity = [&](double t, double relativeHumidity) {
		const double T = 293.15, V = room.volume();
		const double rhoV = relativeHumidity*RX::p_sat(T)/(ZEB::R_VAPOR*T);
		yMoist.back() = V*rhoV;
		yMoist[yMoist.size() - 2] = room.m_additionalMassHeatCapacity*room.m_additionalMass*T
									+ V*(T*(ZEB::RHO_AIR*ZEB::C_AIR + ZEB::C_VAPOR*rhoV) + ZEB::H_EVAP*rhoV);
		moist.m_model.stepCompleted(t, yMoist.data());
		EXPECT_NEAR(moist.m_model.m_TRoom, T, 1e-9);
		return moist.m_model.takeJacobianUpdateRequest();
	};
	EXPECT_FALSE(completeAtHumidity(3600, 0.45));
	EXPECT_FALSE(completeAtHumidity(3660, 0.48));
	EXPECT_TRUE(completeAtHumidity(3720, 0.5001));
	EXPECT_FALSE(completeAtHumidity(3780, 0.5002));
	EXPECT_TRUE(completeAtHumidity(3840, 0.6));
	EXPECT_FALSE(completeAtHumidity(3900, 0.7));
}


TEST(RXCalovindaModelInterface, BuildsAFreshJacobianOnRequestOnEverySolverRoad) {
	for (const SolverChoice & c : SOLVER_CHOICES) {
		SCOPED_TRACE(std::string(c.m_integrator) + " " + c.m_solver + " " + c.m_precond);
		AdaptorSetup s;
		RX::CalovindaModelInterface & model = s.m_model;
		model.m_integratorName = c.m_integrator;
		model.m_lesSolverName = c.m_solver;
		model.m_preconditionerName = c.m_precond;
		setUpBox(s);
		KADRIX::IntegratorInterface * integrator = model.integratorInterface();
		integrator->init(&model, model.t0(), model.y0(), model.lesInterface(), model.preconditionerInterface(),
						 model.jacobianInterface());
		// Jacobians built so far: by CVODE's matrix-based solvers, by the preconditioner set-up of
		// the Krylov solvers, or with every set-up of the implicit Euler method
		const auto rebuilds = [&]() -> unsigned long {
			if (integrator == &model.m_integratorImplicitEuler)
				return model.m_integratorImplicitEuler.counters().m_nLinSetups;
			using CVODE = KADRIX::IntegratorSundialsCVODE;
			return model.m_integratorCVODE.stats(CVODE::ST_DIRECT_JAC_EVALS) + model.m_integratorCVODE.stats(CVODE::ST_PREC_EVALS);
		};
		for (int i = 0; i < 40; ++i)
			ASSERT_EQ(integrator->step(), 1);
		// left alone, the solvers keep their Jacobian for many steps
		const unsigned long before = rebuilds();
		for (int i = 0; i < 5; ++i) {
			model.m_jacobianUpdateRequested = true;
			ASSERT_EQ(integrator->step(), 1);
			EXPECT_FALSE(model.m_jacobianUpdateRequested);
		}
		EXPECT_GE(rebuilds() - before, 5u);
	}
}


namespace {

/*! Room air temperatures [C] at the 48 hours of the example room from the start of July 18th
	(day 198) on, from its initial state, stepped as the co-simulation steps (a stop at every hour,
	stepCompleted after every step) with the controller slopes held at the values the example's
	year adapts them to, so that every run integrates the same equations. The cooling switches on
	and off on both afternoons. */
std::vector<double> exampleRoomHours(const char * solver, const char * precond, double tolerance) {
	TestSupport::MessageRecorder quiet;
	RX::CalovindaModelFMU model;
	model.m_lesSolverName = solver;
	model.m_preconditionerName = precond;
	const ZEB::Path resources(CALOVINDA_EXAMPLE_DIR);
	model.init(resources / "calovinda_project.rmxml", resources);
	RX::HeatingModel & heating = model.m_room.m_heatingModel;
	RX::CoolingModel & cooling = model.m_room.m_coolingModel;
	const double heatingSlope = 21499.1, coolingSlope = 44580.5;
	heating.m_slope = heatingSlope;
	cooling.m_slope = coolingSlope;
	KADRIX::IntegratorSundialsCVODE & cvode = model.m_integratorCVODE;
	cvode.m_relTol = cvode.m_absTol = tolerance;
	const double t0 = 198*86400.0;
	cvode.init(&model, t0, model.y0(), model.lesInterface(), model.preconditionerInterface(), model.jacobianInterface());
	std::vector<double> hours;
	for (int h = 1; h <= 48; ++h) {
		cvode.m_stopTime = t0 + h*3600.0;
		while (cvode.t() < cvode.m_stopTime) {
			if (cvode.step() != 1) {
				ADD_FAILURE() << "step failed at t = " << cvode.t();
				return hours;
			}
			model.stepCompleted(cvode.t(), cvode.yOut(cvode.t()));
			heating.m_slope = heatingSlope;
			cooling.m_slope = coolingSlope;
		}
		hours.push_back(model.m_TRoom - 273.15);
	}
	return hours;
}

} // namespace


TEST(RXCalovindaModelInterface, FollowsTheRoomAirAcrossControllerSwitches) {
	const std::vector<double> reference = exampleRoomHours("KLU", "", 1e-10);
	ASSERT_EQ(reference.size(), 48u);
	// the cooling holds the room at 27 C
	EXPECT_GT(*std::max_element(reference.begin(), reference.end()), 26.95);
	// a Jacobian kept across a switch missed the room air by 0.26 K (GMRES + ILU) and 0.30 K (KLU)
	for (const char * solver : {"KLU", "GMRES"}) {
		SCOPED_TRACE(solver);
		const char * precond = std::string(solver) == "GMRES" ? "ILU" : "";
		const std::vector<double> hours = exampleRoomHours(solver, precond, 1e-6);
		ASSERT_EQ(hours.size(), 48u);
		for (std::size_t h = 0; h < 48; ++h)
			EXPECT_NEAR(hours[h], reference[h], 0.05) << "hour " << h + 1;
		// a hundred times coarser, the room still keeps to its set points
		const std::vector<double> coarse = exampleRoomHours(solver, precond, 1e-4);
		ASSERT_EQ(coarse.size(), 48u);
		for (std::size_t h = 0; h < 48; ++h) {
			EXPECT_GT(coarse[h], 19) << "hour " << h + 1;
			EXPECT_LT(coarse[h], 28) << "hour " << h + 1;
		}
	}
}


namespace {

/*! The lines of a text file, without their line feeds. */
std::vector<std::string> fileLines(const std::string & path) {
	std::vector<std::string> lines;
	std::istringstream in(TestSupport::readFile(path));
	for (std::string line; std::getline(in, line);)
		lines.push_back(line);
	return lines;
}

/*! Every file of the folder dir by name, with its content. */
std::map<std::string, std::string> folderFiles(const std::string & dir) {
	std::map<std::string, std::string> files;
	for (const auto & entry : std::filesystem::directory_iterator(dir))
		files[entry.path().filename().string()] = TestSupport::readFile(entry.path().string());
	return files;
}

std::string streamed(double value) {
	std::ostringstream strm;
	strm << value;
	return strm.str();
}

/*! The text split at its separators outside brackets and strings, each piece trimmed. */
std::vector<std::string> modelicaPieces(const std::string & text, char separator) {
	std::vector<std::string> pieces(1);
	int depth = 0;
	for (std::size_t i = 0; i < text.size(); ++i) {
		const char c = text[i];
		if (c == '"') {
			const std::size_t start = i;
			for (++i; i < text.size() && text[i] != '"'; ++i)
				i += text[i] == '\\';
			pieces.back() += text.substr(start, i + 1 - start);
			continue;
		}
		depth += (c == '(' || c == '{' || c == '[') - (c == ')' || c == '}' || c == ']');
		if (c == separator && depth == 0)
			pieces.emplace_back();
		else
			pieces.back() += c;
	}
	for (std::string & p : pieces)
		p = QString::fromStdString(p).trimmed().toStdString();
	return pieces;
}

/*! What a Modelica 3 parser refuses in the annotations of a class text: more than one class
	annotation, one that is not the last element before "end", an experiment with other names
	than the language's. Empty when there is nothing. */
std::string annotationFault(const std::string & text) {
	std::vector<std::string> statements = modelicaPieces(text, ';');
	std::vector<std::size_t> annotations;
	for (std::size_t i = 0; i < statements.size(); ++i) {
		std::string & s = statements[i];
		for (const std::string keyword : {"initial equation\n", "equation\n", "algorithm\n", "public\n", "protected\n"})
			if (s.rfind(keyword, 0) == 0)
				s = QString::fromStdString(s.substr(keyword.size())).trimmed().toStdString();
		if (s.rfind("annotation", 0) == 0)
			annotations.push_back(i);
	}
	if (annotations.size() > 1)
		return std::to_string(annotations.size()) + " class annotations";
	// the last piece is the empty one behind "end Name;"
	if (annotations.size() == 1 && annotations[0] + 3 != statements.size())
		return "a class annotation before the class's last element";
	if (annotations.empty())
		return "";
	const std::string & annotation = statements[annotations[0]];
	const std::size_t experiment = annotation.find("experiment(");
	if (experiment == std::string::npos)
		return "";
	std::size_t end = experiment + 10;
	for (int depth = 0; end < annotation.size(); ++end) {
		depth += (annotation[end] == '(') - (annotation[end] == ')');
		if (depth == 0)
			break;
	}
	for (const std::string & argument : modelicaPieces(annotation.substr(experiment + 11, end - experiment - 11), ',')) {
		const std::string name = QString::fromStdString(argument.substr(0, argument.find('='))).trimmed().toStdString();
		if (name != "StartTime" && name != "StopTime" && name != "Interval" && name != "Tolerance")
			return "the experiment names '" + name + "'";
	}
	return "";
}

} // namespace


TEST(RXCalovindaModelInterface, ExportsTheBoxAsAModelicaPackage) {
	AdaptorSetup s;
	setUpBox(s);
	s.m_model.m_room.m_heatingModel.m_scheduleSetPoints.m_constantValue = 20.1234567891234;
	const std::string dir = s.m_dir.file("sub/Box");
	s.m_model.export2Modelica(ZEB::Path(dir));

	std::set<std::string> names;
	for (const auto & entry : std::filesystem::directory_iterator(dir))
		names.insert(entry.path().filename().string());
	EXPECT_EQ(names, (std::set<std::string>{"climate_data.txt", "Climate.mo", "Wall1.mo", "Wall2.mo", "Wall3.mo",
		"Wall4.mo", "Wall5.mo", "Wall6.mo", "Room.mo", "Calovinda.mo", "schedule_data.txt", "Schedules.mo", "package.mo",
		RX::CalovindaModelInterface::PACKAGE_LIST}));
	const std::vector<std::string> messages = s.m_messages.texts("[CalovindaModelInterface::export2Modelica]");
	ASSERT_EQ(messages.size(), 6u);
	EXPECT_EQ(messages[0], "Creating Modelica export directory for package: '" + dir + "'\n");
	EXPECT_EQ(messages[4], "Creating Schedules model 'Schedules.mo' and 'schedules_data.txt'\n");
	EXPECT_EQ(s.m_messages.texts("[ConstructionSolver::export2Modelica]").back(), "Writing wall model 'Wall6.mo'\n");

	// hour 0 repeats the last hour of the year
	const std::vector<double> & T = s.m_model.m_climate.m_solarRadiationModel.m_climateDataLoader.m_data[0];
	const std::vector<double> & RH = s.m_model.m_climate.m_solarRadiationModel.m_climateDataLoader.m_data[1];
	ASSERT_EQ(T.size(), 8760u);
	const std::vector<std::string> climate = fileLines(dir + "/climate_data.txt");
	ASSERT_EQ(climate.size(), 1 + 2*(1 + 8761u));
	EXPECT_EQ(climate[0], "#1");
	EXPECT_EQ(climate[1], "double Temperature(8761,2)");
	EXPECT_EQ(climate[2], "0 " + streamed(T[8759]));
	EXPECT_EQ(climate[3], "1 " + streamed(T[0]));
	EXPECT_EQ(climate[8762], "8760 " + streamed(T[8759]));
	EXPECT_EQ(climate[8763], "double RelativeHumidity(8761,2)");
	EXPECT_EQ(climate[8764], "0 " + streamed(RH[8759]));
	EXPECT_EQ(TestSupport::readFile(dir + "/schedule_data.txt"),
			  "#1\ndouble HeatingSetPointTemperature(2,2)\n0 20.1234567891234\n8760 20.1234567891234\n");

	const std::string room = TestSupport::readFile(dir + "/Room.mo");
	EXPECT_EQ(room.rfind("within Box;\nmodel Room \"The Calovinda room\"\n"
						 "  parameter Modelica.SIunits.Temperature T0 = 293.15 \"Initial temperature\";\n", 0), 0u);
	EXPECT_NE(room.find("  parameter Modelica.SIunits.Volume V = 129.6 \"Room air volume\";\n"), std::string::npos);
	EXPECT_NE(room.find("\n  parameter Integer nWalls = 6;\n"), std::string::npos);
	EXPECT_NE(room.find("  Q_heatConductionWalls = HeatPortWall[1].Q_flow + HeatPortWall[2].Q_flow + HeatPortWall[3].Q_flow"
						" + HeatPortWall[4].Q_flow + HeatPortWall[5].Q_flow + HeatPortWall[6].Q_flow;\n"), std::string::npos);
	const std::string top = TestSupport::readFile(dir + "/Calovinda.mo");
	EXPECT_NE(top.find("rotation = 0)));\n"
		"  Wall1 Wall1Instance annotation(Placement(visible = true, transformation(origin = {-40, 80}, extent = {{-5, -10}, {5, 10}}, rotation = 0)));\n"
		"  Wall2 Wall2Instance annotation(Placement(visible = true, transformation(origin = {-40, 40}, "), std::string::npos);
	EXPECT_NE(top.find("origin = {-40, -120}, extent = {{-5, -10}, {5, 10}}, rotation = 0)));\n\n"
		"  Modelica.Thermal.HeatTransfer.Interfaces.HeatPort_a externalHeatPort"), std::string::npos);
	EXPECT_NE(top.find("\nequation\n  climate.AmbientTemperature = Wall1Instance.T_left;\n"
		"  connect(Wall1Instance.HeatPortRoom, theRoom.HeatPortWall[1]) annotation(Line(points = {{-35, 80}, {40, 80}, {40, 0}, {50, 0}, {50, 0}}));\n"
		"  climate.AmbientTemperature = Wall2Instance.T_left;\n"), std::string::npos);
	EXPECT_NE(top.find("annotation(Line(points = {{-35, -120}, {40, -120}, {40, 0}, {50, 0}, {50, 0}}));\n\n"
		"  connect(theRoom.externalHeatPort, externalHeatPort)"), std::string::npos);
	EXPECT_NE(TestSupport::readFile(dir + "/Climate.mo").find("fileName = \"" + dir + "/climate_data.txt\", tableName = \"Temperature\");\n"),
			  std::string::npos);
	const std::string schedules = TestSupport::readFile(dir + "/Schedules.mo");
	EXPECT_NE(schedules.find("fileName = \"" + dir + "/schedule_data.txt\", tableName = \"HeatingSetPointTemperature\");  \nequation\n"),
			  std::string::npos);
	EXPECT_EQ(TestSupport::readFile(dir + "/package.mo"), "package Box\nextends Modelica.Icons.Library2;\nend Box;\n");
	for (const std::string & name : names) {
		SCOPED_TRACE(name);
		EXPECT_EQ(TestSupport::readFile(dir + "/" + name).find("${"), std::string::npos);
		if (name.size() > 3 && name.substr(name.size() - 3) == ".mo") {
			EXPECT_EQ(annotationFault(TestSupport::readFile(dir + "/" + name)), "");
		}
	}

	// The room without its last two walls, exported into the same folder: the earlier Wall6.mo
	// goes, a Modelica tool would load it into the package; Wall5.mo, which the user has changed
	// since, and the user's own files stay, also one under a name the export could write.
	std::ofstream(dir + "/Wall5.mo", std::ios::app) << "// mine\n";
	std::ofstream(dir + "/Wall9.mo") << "// mine\n";
	std::ofstream(dir + "/notes.txt") << "mine\n";
	s.m_model.m_constructionSolvers.resize(4);
	s.m_model.export2Modelica(ZEB::Path(dir));
	names.clear();
	for (const auto & entry : std::filesystem::directory_iterator(dir))
		names.insert(entry.path().filename().string());
	EXPECT_EQ(names, (std::set<std::string>{"climate_data.txt", "Climate.mo", "Wall1.mo", "Wall2.mo", "Wall3.mo",
		"Wall4.mo", "Wall5.mo", "Room.mo", "Calovinda.mo", "schedule_data.txt", "Schedules.mo", "package.mo",
		RX::CalovindaModelInterface::PACKAGE_LIST, "Wall9.mo", "notes.txt"}));
	EXPECT_EQ(s.m_messages.texts("[CalovindaModelInterface::export2Modelica]").back(),
			  "Kept '" + dir + "/Wall5.mo', which an earlier run wrote there and this one does not: it has changed since.\n");
}


TEST(RXCalovindaModelInterface, ExportsEachWallKindIntoARelativeDirectory) {
	AdaptorSetup s;
	s.addThinWall(RX::RoomConstruction::Outside);
	RX::RoomConstruction rc = s.m_model.m_room.m_constructions[0];
	rc.m_type = RX::RoomConstruction::Inside;
	Case600::addConstruction(s.m_model.m_room, rc);
	rc.m_type = RX::RoomConstruction::FixedTemperature;
	Case600::addConstruction(s.m_model.m_room, rc);
	s.init();
	// no other platform's text for a value that is not a number
	s.m_model.m_constructions[1].m_AW = std::nan("");
	const std::filesystem::path cwd = std::filesystem::current_path();
	std::filesystem::create_directory(s.m_dir.file("Pkg"));
	std::filesystem::current_path(s.m_dir.path());
	s.m_model.export2Modelica(ZEB::Path("Pkg"));
	std::filesystem::current_path(cwd);
	const std::string dir = s.m_dir.file("Pkg");
	// an existing directory is not announced
	EXPECT_EQ(s.m_messages.texts("[CalovindaModelInterface::export2Modelica]").front(),
			  "Creating Climate model 'Climate.mo' and 'climate_data.txt'\n");
	EXPECT_NE(TestSupport::readFile(dir + "/Climate.mo").find("\"" + dir + "/climate_data.txt\""), std::string::npos);

	const std::vector<std::string> fixed = fileLines(dir + "/Wall3.mo");
	ASSERT_EQ(fixed.size(), 55u);
	EXPECT_EQ(fixed[0], "within Pkg;");
	EXPECT_EQ(fixed[1], "model Wall3 \"A 1D Wall Model generated from Calovinda\"");
	EXPECT_EQ(fixed[2], "  type HeatConductionCoefficient = Real(unit = \"W/(m2.K)\", min = 0) \"Effective heat cunduction coefficient\";");
	EXPECT_EQ(fixed[3], "  type ThermalConductivity = Real(unit = \"W/(m.K)\", min = 0) \"Thermal conductivity\";");
	EXPECT_EQ(fixed[4], "  parameter Integer n = 3 \"Number of discretization elements\";");
	EXPECT_EQ(fixed[5], "  parameter Modelica.SIunits.Temperature T0 = 293.15 \"Initial temperature\";");
	EXPECT_EQ(fixed[6], "  parameter Modelica.SIunits.Temperature T_zone = 285.15 \"Adjacent zone temperature\";");
	EXPECT_EQ(fixed[7], "  parameter Modelica.SIunits.Density rho[n] = {1000,1000,1000} \"Material density\";");
	EXPECT_EQ(fixed[9], "  parameter ThermalConductivity lambda[n] = {0.5,0.5,0.5} \"Material thermal conductivity\";");
	EXPECT_EQ(fixed[10], "  parameter Modelica.SIunits.Length dx[n] = {0.00144461,0.00211079,0.00144461} \"Element discretization\";");
	EXPECT_EQ(fixed[11], "  parameter HeatConductionCoefficient alpha_left = 25 \"Left heat conduction coefficient\";");
	EXPECT_EQ(fixed[12], "  parameter HeatConductionCoefficient alpha_right = 7.69231 \"Right heat conduction coefficient\";");
	EXPECT_EQ(fixed[13], "  parameter Modelica.SIunits.Area A = 10 \"Net wall area\";");
	EXPECT_EQ(fixed[33], "  TsurfaceRight = T[n] - 0.406314*(T[n-1] - T[n]);");
	EXPECT_EQ(fixed[34], "  TsurfaceLeft = T[1] - 0.406314*(T[2] - T[1]);");
	EXPECT_EQ(fixed[35], "  q[1] = alpha_left * (T_zone - TsurfaceLeft) \"Left heat conduction boundary condition, to fixed zone\";");
	EXPECT_EQ(fixed[53], "end Wall3;");
	EXPECT_EQ(fixed[54], "");

	const std::vector<std::string> outside = fileLines(dir + "/Wall1.mo");
	ASSERT_EQ(outside.size(), 54u);
	EXPECT_EQ(outside[34], "  q[1] = alpha_left * (T_left - TsurfaceLeft) \"Left heat conduction boundary condition\";");
	const std::vector<std::string> inside = fileLines(dir + "/Wall2.mo");
	ASSERT_EQ(inside.size(), 54u);
	EXPECT_EQ(inside[12], "  parameter Modelica.SIunits.Area A = nan \"Net wall area\";");
	// both surfaces of an inside wall face the room
	EXPECT_EQ(inside[34],
			  "  q[1] = alpha_left * (HeatPortRoom.T - TsurfaceLeft) \"Left heat conduction boundary condition, inside (to same room)\";");
	// every wall is fed the ambient temperature, whether it uses it or not
	EXPECT_NE(TestSupport::readFile(dir + "/Calovinda.mo").find("  climate.AmbientTemperature = Wall3Instance.T_left;\n"),
			  std::string::npos);

	// a neighbouring zone that follows a series is written at the value it has now, and says so
	RX::RoomConstruction & zone = s.m_model.m_constructions[2];
	zone.m_zoneTCCD = ZEB::Path("neighbour.ccd");
	zone.m_zoneTSpline.setValues({0, ZEB::SECONDS_PER_YEAR}, {290.15, 300.15});
	zone.m_zoneT = 290.15;
	s.m_messages.m_messages.clear();
	s.m_model.export2Modelica(ZEB::Path(dir));
	std::vector<std::string> warnings;
	for (const TestSupport::MessageRecorder::Message & m : s.m_messages.m_messages)
		if (m.m_type == ZEB::MSG_WARNING)
			warnings.push_back(m.m_text);
	ASSERT_EQ(warnings.size(), 1u);
	EXPECT_NE(warnings[0].find("Wall3"), std::string::npos) << warnings[0];
	EXPECT_NE(warnings[0].find("17 C"), std::string::npos) << warnings[0];
	EXPECT_NE(warnings[0].find("neighbour.ccd"), std::string::npos) << warnings[0];
	EXPECT_EQ(fileLines(dir + "/Wall3.mo")[6],
			  "  parameter Modelica.SIunits.Temperature T_zone = 290.15 \"Adjacent zone temperature\";");
}


TEST(RXCalovindaModelInterface, RefusesAnIncompleteModelBeforeWritingAnything) {
	AdaptorSetup s;
	const std::string dir = s.m_dir.file("pkg");
	EXPECT_EQ(TestSupport::thrownAt([&] { s.m_model.export2Modelica(ZEB::Path(dir)); }, "[CalovindaModelInterface::export2Modelica]"),
			  "Cannot export the Modelica package: no climate data loaded.");
	s.addThinWall(RX::RoomConstruction::Outside);
	s.init();
	s.m_model.m_constructionSolvers.emplace_back();
	EXPECT_EQ(TestSupport::thrownAt([&] { s.m_model.export2Modelica(ZEB::Path(dir)); }, "[CalovindaModelInterface::export2Modelica]"),
			  "Cannot export the Modelica package: construction #2 has 0 cells, at least 2 are needed.");
	EXPECT_FALSE(std::filesystem::exists(dir));
	ZEB::OutputFolder package(dir, RX::CalovindaModelInterface::PACKAGE_LIST, "[test]",
							  RX::CalovindaModelInterface::isPackageFile);
	EXPECT_EQ(TestSupport::thrownAt([&] { s.m_model.m_constructionSolvers.back().export2Modelica(2, package, "pkg"); },
									"[ConstructionSolver::export2Modelica]"),
			  "Cannot export wall model #2: it needs an initialised construction with at least 2 cells, got 0.");
	EXPECT_FALSE(std::filesystem::exists(dir));

	// a directory below a file
	s.m_model.m_constructionSolvers.pop_back();
	std::ofstream(s.m_dir.file("file")) << "x";
	EXPECT_EQ(TestSupport::thrownAt([&] { s.m_model.export2Modelica(ZEB::Path(s.m_dir.file("file/pkg"))); },
									"[CalovindaModelInterface::export2Modelica]"),
			  "Cannot create the export directory '" + s.m_dir.file("file/pkg") + "'.");

	// a failure part-way, when the wall is written after the climate, leaves the earlier package
	// as it was
	s.m_model.export2Modelica(ZEB::Path(dir));
	const std::map<std::string, std::string> earlier = folderFiles(dir);
	s.m_model.m_climate.m_solarRadiationModel.m_climateDataLoader.m_data[0][0] += 1;
	// 3 is no kind of construction, yet a value of the type (its range takes all values of two bits)
	s.m_model.m_constructions[0].m_type = static_cast<RX::RoomConstruction::Type>(3);
	EXPECT_EQ(TestSupport::thrownAt([&] { s.m_model.export2Modelica(ZEB::Path(dir)); }, "[ConstructionSolver::export2Modelica]"),
			  "Cannot export wall model #1: invalid construction type 3.");
	EXPECT_TRUE(folderFiles(dir) == earlier);
}


namespace {

const char * const FMU_LOCATION = "[CalovindaModelInterface::export2FMU]";

/*! Everything an FMU export needs around the model: the process's Qt application (the climate
	database lies beside the program), a folder of its own in the climate database, a library
	directory with a stand-in library, and the project file written from the model's room. */
struct FMUExport {
	FMUExport() {
		if (QCoreApplication::instance() == nullptr)
			m_app = std::make_unique<QCoreApplication>(m_argc, m_argv);
		const std::string db = Wexil::Directories::databasesDir().toStdString() + "/DB_climate";
		std::filesystem::create_directories(db);
		std::string pattern = db + "/fmuexportXXXXXX";
		if (mkdtemp(&pattern[0]) == nullptr)
			throw std::runtime_error("cannot create " + pattern);
		m_climateDir = std::filesystem::canonical(pattern).string();
		m_subdir = std::filesystem::path(m_climateDir).filename().string();
		std::filesystem::create_directory(m_dir.file("lib"));
		std::ofstream(m_dir.file("lib/CalovindaFMI2.so")) << "library";
	}
	~FMUExport() {
		std::error_code ec;
		std::filesystem::remove_all(m_climateDir, ec);
	}

	void writeProject(const RX::Room & room, const RX::Database & db) {
		QFile file(QString::fromStdString(m_project));
		ASSERT_TRUE(file.open(QIODevice::WriteOnly));
		QXmlStreamWriter writer(&file);
		room.writeXML(writer, &db);
	}

	bool exportTo(RX::CalovindaModelInterface & model, const std::string & fmu) {
		return model.export2FMU(m_dir.file("lib"), m_project, fmu, m_dir.file("results.rr"));
	}

	std::set<std::string> entries(const std::string & fmu) const {
		std::set<std::string> result;
		for (const QString & e : JlCompress::getFileList(QString::fromStdString(fmu)))
			result.insert(e.toStdString());
		return result;
	}

	/*! True when a temporary tree of this export (one that carries its climate folder) is left. */
	bool treeLeft() const {
		for (const auto & e : std::filesystem::directory_iterator(Wexil::Directories::tmpDir().toStdString()))
			if (e.path().filename().string().rfind("CalovindaFMU", 0) == 0
				&& std::filesystem::exists(e.path() / "resources" / m_subdir))
				return true;
		return false;
	}

	int								m_argc = 1;
	char							m_arg0[8] = "test";
	char *							m_argv[2] = {m_arg0, nullptr};
	std::unique_ptr<QCoreApplication>	m_app;
	TestSupport::TempDirectory		m_dir{"fmuexport"};
	std::string						m_project = m_dir.file("box.rmxml");
	std::string						m_climateDir;
	std::string						m_subdir;
};

} // namespace


TEST(RXCalovindaModelInterface, PacksTheBoxAsAnFMUArchive) {
	AdaptorSetup s;
	setUpBox(s);
	FMUExport e;
	std::filesystem::copy_file(std::string(CALOVINDA_CLIMATE_TEST_DATA) + "/725650TYCST.epw",
							   e.m_climateDir + "/725650TYCST.epw");
	s.m_model.m_room.m_climateLocation = QString::fromStdString(e.m_subdir + "/725650TYCST.epw");
	e.writeProject(s.m_model.m_room, s.m_db);

	// into a directory that does not exist yet
	const std::string fmu = e.m_dir.file("out/box.fmu");
	ASSERT_TRUE(e.exportTo(s.m_model, fmu));
	EXPECT_FALSE(e.treeLeft());
	const std::string climate = "resources/" + e.m_subdir + "/725650TYCST.epw";
	for (const std::string & name : std::vector<std::string>{"binaries/linux64/CalovindaFMI2.so", "documentation/",
				"resources/calovinda_project.rmxml", climate, "modelDescription.xml"})
		EXPECT_EQ(e.entries(fmu).count(name), 1u) << name;
	for (const std::string & name : e.entries(fmu))
		EXPECT_TRUE(name == "modelDescription.xml" || name.rfind("binaries/", 0) == 0
					|| name.rfind("documentation/", 0) == 0 || name.rfind("resources/", 0) == 0) << name;

	const QString description = JlCompress::extractFile(QString::fromStdString(fmu), "modelDescription.xml",
														QString::fromStdString(e.m_dir.file("md.xml")));
	QFile file(description);
	ASSERT_TRUE(file.open(QIODevice::ReadOnly));
	QXmlStreamReader reader(&file);
	ASSERT_TRUE(reader.readNextStartElement());
	EXPECT_EQ(reader.name().toString(), "fmiModelDescription");
	EXPECT_EQ(reader.attributes().value("guid").toString().toStdString(), RX::FMU2_GUID);
	// each derivative declares its dependencies, though no solver has built the pattern yet
	std::size_t dependencies = 0;
	while (!reader.atEnd())
		if (reader.readNext() == QXmlStreamReader::StartElement && reader.attributes().hasAttribute("dependencies"))
			++dependencies;
	EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
	EXPECT_EQ(dependencies, s.m_model.n());

	// a missing library: no archive, no tree
	std::filesystem::remove(e.m_dir.file("lib/CalovindaFMI2.so"));
	const std::string failed = e.m_dir.file("out/failed.fmu");
	EXPECT_FALSE(e.exportTo(s.m_model, failed));
	EXPECT_FALSE(std::filesystem::exists(failed));
	EXPECT_FALSE(e.treeLeft());
	const std::vector<std::string> errors = s.m_messages.texts(FMU_LOCATION);
	EXPECT_EQ(errors.back(), "Cannot copy library: '" + e.m_dir.file("lib/CalovindaFMI2.so") + "'\n");
}

TEST(RXCalovindaModelInterface, PacksACCDClimateSetWhenItIsComplete) {
	AdaptorSetup s;
	s.init();
	FMUExport e;
	for (const char * name : {"description.xml", "DiffuseRadiation.ccd", "DirectRadiation.ccd", "Temperature.ccd"})
		std::ofstream(e.m_climateDir + "/" + name) << name;
	RX::Room & room = s.m_model.m_room;
	room.m_climateLocation = QString::fromStdString(e.m_subdir + "/Testhausen");
	const std::string fmu = e.m_dir.file("ccd.fmu");
	const std::string dir = "resources/" + e.m_subdir + "/";

	// without the moisture balance the three series and the description suffice
	e.writeProject(room, s.m_db);
	ASSERT_TRUE(e.exportTo(s.m_model, fmu));
	EXPECT_EQ(e.entries(fmu).count(dir + "Temperature.ccd"), 1u);
	EXPECT_EQ(e.entries(fmu).count(dir + "description.xml"), 1u);
	std::filesystem::remove(fmu);

	// with it the humidity series is missing
	room.m_moistureBalanceEnabled = true;
	e.writeProject(room, s.m_db);
	EXPECT_FALSE(e.exportTo(s.m_model, fmu));
	EXPECT_FALSE(std::filesystem::exists(fmu));
	EXPECT_FALSE(e.treeLeft());

	// the ccdx file stands in for the series
	std::ofstream(e.m_climateDir + "/Testhausen.ccdx") << "ccdx";
	EXPECT_TRUE(e.exportTo(s.m_model, fmu));
	EXPECT_EQ(e.entries(fmu).count(dir + "Testhausen.ccdx"), 1u);
	EXPECT_EQ(s.m_messages.texts(FMU_LOCATION).back(), "\nCreated '" + fmu + "'\n");

	// without the description the set is incomplete
	std::filesystem::remove(e.m_climateDir + "/description.xml");
	EXPECT_FALSE(e.exportTo(s.m_model, e.m_dir.file("nodescription.fmu")));
	EXPECT_FALSE(std::filesystem::exists(e.m_dir.file("nodescription.fmu")));
}


TEST(RXCalovindaModelInterface, MovableShadingScalesTheWindowGainAsItsControlSays) {
	// three January days of the box, its south window with or without a shading type of factor z
	struct Variant {
		bool		m_shaded;
		int			m_control;
		double		m_z;
		double		m_degree;
		double		m_factor;
	};
	const Variant variants[] = {
		{false, 0, 1, 0, 1},
		{true, RX::ShadingControlModel::CONSTANT, 0, 0, 0},
		{true, RX::ShadingControlModel::CONSTANT, 1, 0, 1},
		{true, RX::ShadingControlModel::SCHEDULED, 0.2, 0, 1},
		{true, RX::ShadingControlModel::SCHEDULED, 0.2, 1, 0.2},
		{true, RX::ShadingControlModel::SCHEDULED, 0.2, 0.5, 0.6}
	};
	std::vector<double> unshadedGains;
	for (const Variant & v : variants) {
		SCOPED_TRACE(v.m_factor);
		AdaptorSetup s;
		RX::Room & room = s.m_model.m_room;
		Case600::addDenverBox(room, s.m_db);
		room.m_simulationStartTime = 0;
		room.m_simulationEndTime = 3*86400;
		if (v.m_shaded) {
			RX::ShadingType shading("en:Blind", v.m_z);
			s.m_db.addShadingType(shading, 1);
			room.m_constructions[2].m_shadingTypeId = 1;
			room.m_shadingControlModel.m_modelType = static_cast<RX::ShadingControlModel::ModelType>(v.m_control);
			room.m_shadingControlModel.m_scheduleShadingDegree.m_type = RX::Schedule::CONSTANT;
			room.m_shadingControlModel.m_scheduleShadingDegree.m_constantValue = v.m_degree;
		}
		s.m_model.initClimate(CALOVINDA_CLIMATE_TEST_DATA, QString());
		s.m_model.init(s.m_db);
		std::vector<double> gains;
		double cooling = 0;
		run(s.m_model, s.m_model.tEnd(), [&]() {
			const RX::CalovindaModel & model = s.m_model;
			gains.push_back(model.m_windowSolarGain[2]);
			// the control is asked only while the sun shines
			if (model.m_globalRadiation[2] > 0) {
				EXPECT_DOUBLE_EQ(model.m_shadingControlFactor[2], v.m_shaded ? v.m_factor : 1.0);
			}
			cooling = std::min(cooling, model.m_coolingLoad);
		});
		ASSERT_EQ(gains.size(), 73u);
		if (unshadedGains.empty()) {
			unshadedGains = gains;
			// the winter sun through 12 m2 of glass calls for cooling
			EXPECT_GT(*std::max_element(gains.begin(), gains.end()), 2000);
			EXPECT_LT(cooling, -500);
			continue;
		}
		// the gain depends on time alone: each hour's is the unshaded one times the factor
		for (std::size_t k = 0; k < gains.size(); ++k)
			EXPECT_NEAR(gains[k], v.m_factor*unshadedGains[k], 1e-9*unshadedGains[k]) << k;
		if (v.m_factor == 0) {
			EXPECT_EQ(cooling, 0.0);
		}
	}
}


TEST(RXCalovindaModelInterface, SummerAssessmentVentilatesCoolsAndClosesItsEnergyBalance) {
	// two July weeks of the box in Denver under the residential assessment with passive cooling
	AdaptorSetup s;
	RX::Room & room = s.m_model.m_room;
	Case600::addDenverBox(room, s.m_db);
	room.m_simulationStartTime = 186*86400;
	room.m_simulationEndTime = 200*86400;
	RX::DIN4108_2Assessment & din = room.m_din4108_2Assessment;
	din.m_active = true;
	din.m_climateRegion = 1;
	din.m_passiveCooling = true;
	din.m_enhancedDayVentilation = true;
	din.setEnhancedDayVentilationValue(3);
	din.m_enhancedNightVentilation = true;
	din.setEnhancedNightVentilationValue(2);
	s.m_model.initClimate(CALOVINDA_CLIMATE_TEST_DATA, QString());
	s.m_model.init(s.m_db);

	std::set<double> airChanges;
	double throughput = 0;
	double worstImbalance = 0;
	double coolingMin = 0;
	const RX::CalovindaModel & model = s.m_model;
	const RunResult r = run(s.m_model, s.m_model.tEnd(), [&]() {
		const double h = std::fmod(model.m_t/3600, 24);
		const double n = model.m_airChangeRate;
		airChanges.insert(std::round(n*1000)/1000);
		// enhanced day ventilation only in the day window 6:00 to 23:00, enhanced night ventilation
		// outside it; the rate set after a completed step may show at the output hour before it
		EXPECT_TRUE(n != 3.0 || (h >= 6 && h <= 23)) << model.m_t;
		EXPECT_TRUE(n != 2.0 || h <= 6 || h >= 23) << model.m_t;
		EXPECT_NEAR(model.m_equipmentLoad, 100.0/24*room.m_area, 1e-9);
		EXPECT_EQ(model.m_personLoad, 0.0);
		coolingMin = std::min(coolingMin, model.m_coolingLoad);
		// the ideal heating to 20 C works only below its set point, the cooling above 26 C
		EXPECT_TRUE(model.m_heatingLoad == 0 || model.m_TRoom < 293.15) << model.m_t;
		EXPECT_TRUE(model.m_coolingLoad == 0 || model.m_TRoom > 299.15) << model.m_t;
		const double Q = EnergyBalance::boundaryHeatFlow(model);
		throughput = std::max(throughput, std::fabs(Q));
		worstImbalance = std::max(worstImbalance, std::fabs(EnergyBalance::stored(model, model.m_ydot.data()) - Q));
	});
	EXPECT_EQ(r.m_outputs, 14u*24 + 1);
	// basic air change 0.5 1/h, enhanced 3 by day and 2 by night when the room is warmer than outside
	EXPECT_EQ(airChanges, (std::set<double>{0.5, 2.0, 3.0}));
	// passive cooling to the region's 26 C works and its controller gain grew; the night
	// ventilation of cold Denver nights brings the room down to the heating set point
	EXPECT_LT(coolingMin, -100);
	EXPECT_GT(din.m_slopeCooling, 5000);
	EXPECT_LT(r.m_TMax - 273.15, 26.5);
	EXPECT_GT(r.m_TMin - 273.15, 19.8);
	// every evaluation conserves energy
	EXPECT_GT(throughput, 1000);
	EXPECT_LT(worstImbalance, 1e-6*throughput);

	// the assessment's results: degree hours above 26 C from the operative temperature series
	RX::OutputManager & out = s.m_model.m_outputManager;
	out.updateAggregatedOutputs();
	const std::vector<double> & hours = out.m_stateSeries[RX::OutputManager::S_OVERTEMPERATURE_HOURS];
	const double sum = std::accumulate(hours.begin(), hours.end(), 0.0);
	EXPECT_GT(sum, 0.0);
	EXPECT_NEAR(out.m_overtemperatureDegreeHours, std::floor(10*sum)/10, 1e-9);
	EXPECT_TRUE(out.m_verificationFulfilled);
}

TEST(RXCalovindaModelInterface, RefusesClimateReferencesAndArchiveNamesItCannotWriteAsGiven) {
	AdaptorSetup s;
	s.init();
	FMUExport e;
	RX::Room & room = s.m_model.m_room;
	// backslashes turn into separators on their way into a path
	room.m_climateLocation = "..\\..\\test.c6b";
	e.writeProject(room, s.m_db);
	EXPECT_FALSE(e.exportTo(s.m_model, e.m_dir.file("climate.fmu")));
	EXPECT_EQ(s.m_messages.texts(FMU_LOCATION).back(),
			  "Climate reference is not a relative path of names separated by '/': '..\\..\\test.c6b'\n");
	EXPECT_FALSE(std::filesystem::exists(e.m_dir.file("climate.fmu")));

	const std::string invalid = e.m_dir.file("bad\xff.fmu");
	EXPECT_FALSE(e.exportTo(s.m_model, invalid));
	EXPECT_EQ(s.m_messages.texts(FMU_LOCATION).back(),
			  "Cannot write the FMU archive under a name that is not valid UTF-8: '" + invalid + "'\n");
	for (const auto & entry : std::filesystem::directory_iterator(e.m_dir.path()))
		EXPECT_EQ(entry.path().filename().string().find("bad"), std::string::npos);
}
