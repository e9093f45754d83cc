#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "ImplicitEulerTestSolver.h"
#include "SolverTestModels.h"
#include "KADRIX_IntegratorImplicitEuler.h"
#include "TestSupport.h"
#include "ZEB_Exception.h"

using KADRIX::IntegratorImplicitEuler;
using KADRIX::ModelInterface;
using SolverTest::DenseDQSolver;
using SolverTest::FunctionModel;
using TestSupport::MessageRecorder;
using TestSupport::readFile;
using TestSupport::thrownAt;

namespace {

// y1' = -1000 (y1 - y2), y2' = -y2, y(0) = (0, 1): stiff and linear.
FunctionModel stiffLinear(double dt0) {
	return FunctionModel({0.0, 1.0}, [](double, const double * y, double * f) {
		f[0] = -1000 * (y[0] - y[1]);
		f[1] = -y[1];
	}, dt0);
}

// y' = -y, y(0) = 1.
FunctionModel decay(double dt0) {
	return FunctionModel({1.0}, [](double, const double * y, double * f) { f[0] = -y[0]; }, dt0);
}

} // namespace


TEST(IntegratorImplicitEuler, MatchesAnalyticSolutionOfStiffLinearSystem) {
	MessageRecorder rec;
	rec.setConsoleVerbosityLevel(1);
	double errors[2] = {0, 0};
	for (int run = 0; run < 2; ++run) {
		FunctionModel model = stiffLinear(1e-5);
		DenseDQSolver les;
		IntegratorImplicitEuler integrator;
		integrator.m_relTol = integrator.m_absTol = (run == 0) ? 1e-4 : 1e-6;
		integrator.m_stopTime = 5;
		integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
		double maxDt = 0;
		for (int steps = 0; integrator.t() < 5; ++steps) {
			ASSERT_LT(steps, 100000);
			ASSERT_EQ(integrator.step(), 1);
			const double t = integrator.t();
			const double * y = integrator.yOut(t);
			errors[run] = std::max({errors[run], std::fabs(y[1] - std::exp(-t)),
									std::fabs(y[0] - 1000.0 / 999 * (std::exp(-t) - std::exp(-1000 * t)))});
			maxDt = std::max(maxDt, integrator.dt());
		}
		EXPECT_EQ(integrator.t(), 5.0);
		EXPECT_GT(maxDt, 4e-3);			// beyond the explicit stability limit of 2e-3 s
		const IntegratorImplicitEuler::Counters & c = integrator.counters();
		EXPECT_LT(c.m_nLinSetups, c.m_nSteps / 2);		// the iteration matrix is reused
		EXPECT_EQ(static_cast<int>(c.m_nNewtonIters), les.m_solves);
		EXPECT_EQ(les.m_lastGamma, integrator.dtJacUpdate());
	}
	EXPECT_LT(errors[0], 2e-3);
	// local errors ~ dt^2 are held at the tolerance: the global error falls with its square root
	EXPECT_LT(errors[1], errors[0] / 5);
}


TEST(IntegratorImplicitEuler, EndsStepsExactlyAtStopTime) {
	MessageRecorder rec;
	FunctionModel model = decay(1.0);
	DenseDQSolver les;
	IntegratorImplicitEuler integrator;
	integrator.m_relTol = 1;
	integrator.m_absTol = 0.1;
	integrator.m_stopTime = 0.1;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	EXPECT_EQ(integrator.yOut(0.5)[0], 1.0);		// before the first step: the initial state
	ASSERT_EQ(integrator.step(), 1);
	EXPECT_EQ(integrator.t(), 0.1);
	EXPECT_EQ(integrator.dt(), 0.1);
	// the backward Euler state of a step of 0.1 s, not of the proposed 1 s
	EXPECT_NEAR(integrator.yOut(0.1)[0], 1 / 1.1, 1e-9);
	EXPECT_NEAR(integrator.yOut(0.05)[0], 0.5 * (1 + 1 / 1.1), 1e-9);
	EXPECT_EQ(integrator.yOut(3.0)[0], integrator.yOut(0.1)[0]);

	// at the stop time a further step is refused and changes nothing
	EXPECT_EQ(thrownAt([&] { integrator.step(); }, "[IntegratorImplicitEuler::step]"),
			  "Stop time 0.1 s already reached (t = 0.1 s).");
	EXPECT_NEAR(integrator.yOut(integrator.t())[0], 1 / 1.1, 1e-9);

	// the cut step kept the proposal of 1 s
	integrator.m_stopTime = 10;
	ASSERT_EQ(integrator.step(), 1);
	EXPECT_EQ(integrator.dt(), 1.0);

	// no sliver step is left before the stop time
	IntegratorImplicitEuler stretched;
	stretched.m_relTol = 1;
	stretched.m_absTol = 0.1;
	stretched.m_stopTime = 1.0005;
	stretched.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	ASSERT_EQ(stretched.step(), 1);
	EXPECT_EQ(stretched.t(), 1.0005);
}


TEST(IntegratorImplicitEuler, ControlsStepSize) {
	MessageRecorder rec;
	// y' = a t with weights 1: the first step of 1 s has the error norm a/2
	auto firstStep = [&](double a) {
		FunctionModel model({0.0}, [a](double t, const double *, double * f) { f[0] = a * t; }, 1.0);
		model.m_ownWeight = 1;
		DenseDQSolver les;
		IntegratorImplicitEuler integrator;
		integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
		EXPECT_EQ(integrator.step(), 1);
		return std::make_pair(integrator.dt(), integrator.counters().m_nErrTestFails);
	};
	EXPECT_EQ(firstStep(1.98), std::make_pair(1.0, 0u));
	EXPECT_EQ(firstStep(2.0), std::make_pair(0.2, 1u));		// a norm of exactly 1 fails
	EXPECT_EQ(rec.texts("[IntegratorImplicitEuler::errorTest()]"),
			  std::vector<std::string>{"Error test failed with |err| = 1 (max = 1 in element 0)."});

	// growth by at most 10 per step, up to the largest step; M follows the step within 1.3
	rec.setConsoleVerbosityLevel(1);
	FunctionModel model = stiffLinear(1e-6);
	DenseDQSolver les;
	IntegratorImplicitEuler integrator;
	integrator.m_dtMax = 0.5;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	double dtPrev = integrator.dt();
	for (int steps = 0; integrator.t() < 20; ++steps) {
		ASSERT_LT(steps, 100000);
		ASSERT_EQ(integrator.step(), 1);
		EXPECT_LE(integrator.dt(), std::min(10 * dtPrev * (1 + 1e-12), 0.5));
		EXPECT_LE(std::max(integrator.dt() / integrator.dtJacUpdate(), integrator.dtJacUpdate() / integrator.dt()), 1.3);
		dtPrev = integrator.dt();
	}
	EXPECT_EQ(integrator.dt(), 0.5);
}


TEST(IntegratorImplicitEuler, HalvesStepOnLargePredictorResidual) {
	MessageRecorder rec;
	// f jumps by 1e6 after the start: the predictor's residual norm is 1e6 dt
	FunctionModel jump({0.0}, [](double t, const double *, double * f) { f[0] = t > 0 ? 1e6 : 0; }, 1.0);
	jump.m_ownWeight = 1;
	DenseDQSolver les;
	IntegratorImplicitEuler integrator;
	integrator.init(&jump, 0, jump.y0(), &les, nullptr, nullptr);
	ASSERT_EQ(integrator.step(), 1);
	EXPECT_LE(integrator.dt(), 0.25);
	EXPECT_EQ(rec.texts("[IntegratorImplicitEuler::step]"),
			  (std::vector<std::string>{"Reducing time step, residual of extrapolation was  1e+06.",
										"Reducing time step, residual of extrapolation was  500000."}));

	// a residual that never shrinks ends at rounding level, keeping the initial state
	FunctionModel pole({3.0}, [](double t, const double *, double * f) { f[0] = 1e6 / (t - 1); }, 1.0, 1.0);
	pole.m_ownWeight = 1;
	IntegratorImplicitEuler failing;
	failing.init(&pole, 1.0, pole.y0(), &les, nullptr, nullptr);
	EXPECT_EQ(thrownAt([&] { failing.step(); }, "[IntegratorImplicitEuler::decreaseTimeStepNonLinearFailure]"),
			  "Time step too small (rounding errors occur).");
	EXPECT_EQ(failing.t(), 1.0);
	EXPECT_EQ(failing.yOut(1.0)[0], 3.0);
}


TEST(IntegratorImplicitEuler, RecoversFromNewtonFailures) {
	MessageRecorder rec;
	auto newtonTexts = [&rec] { return rec.texts("[IntegratorImplicitEuler::newtonIteration]"); };
	// constant steps of 0.01 s: the iteration matrix of the first step is reused
	FunctionModel modelA = decay(0.01), modelB = decay(0.01);
	DenseDQSolver lesA, lesB;
	IntegratorImplicitEuler a, b;
	for (IntegratorImplicitEuler * i : {&a, &b}) {
		i->m_relTol = 1e-3;
		i->m_dtMax = 0.01;
	}
	a.init(&modelA, 0, modelA.y0(), &lesA, nullptr, nullptr);
	b.init(&modelB, 0, modelB.y0(), &lesB, nullptr, nullptr);
	for (int i = 0; i < 4; ++i) {
		lesB.m_corruptSolves = (i == 3) ? 1 : 0;
		a.step();
		b.step();
	}
	// divergence with the old matrix: retried at the same size with a new one
	EXPECT_EQ(b.counters().m_nDivergences, 1u);
	EXPECT_EQ(b.counters().m_nLinSetups, 2u);
	EXPECT_EQ(b.dt(), a.dt());
	EXPECT_NEAR(b.yOut(b.t())[0], a.yOut(a.t())[0], 1e-8);
	EXPECT_EQ(newtonTexts().back(), "Diverging (delta t ratio = 1), residual/delta norms have become too large!");

	// divergence with a fresh matrix halves the step
	FunctionModel modelC = decay(0.01);
	DenseDQSolver lesC;
	IntegratorImplicitEuler c;
	c.m_relTol = 1e-3;
	c.init(&modelC, 0, modelC.y0(), &lesC, nullptr, nullptr);
	lesC.m_corruptSolves = 1;
	c.step();
	EXPECT_EQ(c.dt(), 0.005);

	// too many iterations with a fresh matrix reduce the step until one iteration suffices
	FunctionModel modelD = decay(0.01);
	DenseDQSolver lesD;
	lesD.m_solutionScale = 0.5;
	IntegratorImplicitEuler d;
	d.m_relTol = 1e-6;
	d.m_maxNonLinIters = 1;
	d.init(&modelD, 0, modelD.y0(), &lesD, nullptr, nullptr);
	d.step();
	EXPECT_LT(d.dt(), 0.01);
	EXPECT_GT(d.counters().m_nNewtonConvFails, 0u);
	EXPECT_EQ(newtonTexts().back(), "Too many Newton iterations, reducing time step!");
}


TEST(IntegratorImplicitEuler, SetsUpIterationMatrixAsTheUpdateModeSays) {
	MessageRecorder rec;
	rec.setConsoleVerbosityLevel(1);
	for (int mode : {1, 3}) {
		// nonlinear, so that the Newton iteration needs more than one correction
		FunctionModel model({1.0, 0.0}, [](double, const double * y, double * f) {
			f[0] = -y[0] * y[0] - 10 * y[0] * y[1];
			f[1] = y[0] * y[0] - y[1];
		}, 0.1);
		DenseDQSolver les;
		IntegratorImplicitEuler integrator;
		integrator.m_jacUpdateMode = mode;
		integrator.m_stopTime = 2;
		integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
		ASSERT_TRUE(SolverTest::stepTo(integrator, 2));
		const IntegratorImplicitEuler::Counters & c = integrator.counters();
		const unsigned int attempts = c.m_nSteps + c.m_nErrTestFails + c.m_nNewtonConvFails + c.m_nDivergences;
		EXPECT_GT(c.m_nNewtonIters, attempts);
		// one setup per attempt; with mode 3 also one after every iteration that has not converged
		EXPECT_EQ(c.m_nLinSetups, mode == 1 ? attempts : c.m_nNewtonIters);
	}
}


TEST(IntegratorImplicitEuler, ReportsInitAndModelFailures) {
	MessageRecorder rec;
	FunctionModel model = decay(0.01);
	DenseDQSolver les;
	IntegratorImplicitEuler integrator;
	auto init = [&](KADRIX::LESInterface * solver) {
		return thrownAt([&] { integrator.init(&model, 0, model.y0(), solver, nullptr, nullptr); },
						"[IntegratorImplicitEuler::init]");
	};
	EXPECT_EQ(init(nullptr), "Expected valid pointer to LES-solver object.");
	integrator.m_absTolVec = {1e-6, 1e-6};
	EXPECT_EQ(init(&les), "Invalid size of absTolVec.");
	integrator.m_absTolVec = {1e-6};
	model.m_setTimeResult = ModelInterface::CalculationRecoverableError;
	EXPECT_EQ(init(&les), "Error initializing the model in setTime(): failed setting the start time.");
	model.m_setTimeResult = ModelInterface::CalculationSuccess;
	model.m_setYResult = ModelInterface::CalculationAbort;
	EXPECT_EQ(init(&les), "Error initializing the model in setY(): failed setting the initial states.");
	model.m_setYResult = ModelInterface::CalculationSuccess;
	model.m_ydotResult = ModelInterface::CalculationRecoverableError;
	EXPECT_EQ(init(&les), "Error initializing the model in ydot(): failed setting the initial states.");
	model.m_ydotResult = ModelInterface::CalculationSuccess;
	model.m_dt0 = 0;
	EXPECT_EQ(init(&les), "Invalid initial step size 0 s.");
	model.m_dt0 = 0.01;
	rec.m_messages.clear();
	EXPECT_EQ(init(&les), "no exception");
	EXPECT_EQ(rec.texts("[IntegratorImplicitEuler::init]"),
			  (std::vector<std::string>{"Initializing Implicit Euler integrator\n", "Setting NonlinConvCoef to 0.1.\n",
										"Setting MaxNonLinIters to 3.\n"}));

	// a recoverable failure while stepping is not acted upon; an abort ends the step
	ASSERT_EQ(integrator.step(), 1);
	model.m_ydotResult = ModelInterface::CalculationRecoverableError;
	ASSERT_EQ(integrator.step(), 1);
	const double t = integrator.t();
	const double y = integrator.yOut(t)[0];
	model.m_ydotResult = ModelInterface::CalculationAbort;
	EXPECT_EQ(thrownAt([&] { integrator.step(); }, "[IntegratorImplicitEuler::handleErrors]"),
			  "Aborting simulation (signaled from within model).");
	EXPECT_EQ(integrator.t(), t);
	EXPECT_EQ(integrator.yOut(t)[0], y);
	model.m_ydotResult = ModelInterface::CalculationSuccess;
	ASSERT_EQ(integrator.step(), 1);
	EXPECT_GT(integrator.t(), t);
}


TEST(IntegratorImplicitEuler, WritesStatisticsMetricsAndIterationTable) {
	TestSupport::TempDirectory tmp("eulerstats");
	const std::string dir = tmp.path();
	MessageRecorder rec;		// console level 4: the iteration table is sent from level 3 on
	FunctionModel model = decay(1e-6);
	DenseDQSolver les;
	IntegratorImplicitEuler integrator;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	integrator.writeStatistics();								// no file yet: nothing
	integrator.writeStatisticsHeader(ZEB::Path(dir), false);
	ASSERT_EQ(integrator.step(), 1);
	integrator.writeStatistics();
	integrator.writeStatisticsHeader(ZEB::Path(dir), true);	// a restart appends without header
	integrator.writeStatistics();
	const std::string header = "                 Time [s]\t     Steps\t  RhsEvals\t  NJacEvals\t  NIters\t"
							   "  NDiverged\t NConvFails\t  NErrFails\t  StepSize [s]\n";
	const std::string line = "                   0.0000\t         1\t         2\t          1\t       1\t"
							 "          0\t          0\t          0\t1.00000000e-06\n";
	EXPECT_EQ(readFile(dir + "/integrator_ImplicitEuler_stats.tsv"), header + line + line);
	EXPECT_THROW(integrator.writeStatisticsHeader(ZEB::Path(dir + "/missing"), false), ZEB::Exception);

	// the table header comes once, before the first iteration; then one line per call
	const std::vector<std::string> table = rec.texts("[IntegratorImplicitEuler::writeIterationStats]");
	ASSERT_EQ(table.size(), 3u);
	std::size_t pos = 0;
	for (const char * label : {"Steps ", "TIters ", "t_{n+1} ", "dt ", "NIters ", "NItJac ", "NStepsJac ",
							   "JacCurrent ", "ResNorm ", "CRateRes ", "DeltaNorm ", "CRateDelta "})
	{
		pos = table[0].find(label, pos);
		ASSERT_NE(pos, std::string::npos) << label;
	}

	std::stringstream metrics;
	integrator.writeMetrics(2.0, &metrics);
	const std::vector<std::string> lines = rec.texts("[IntegratorImplicitEuler::writeMetrics]");
	ASSERT_EQ(lines.size(), 7u);
	EXPECT_EQ(lines[0], "Integrator: Steps                          =                                 1\n");
	EXPECT_EQ(lines[6].find("Integrator: LES solve                      = "), 0u);
	EXPECT_EQ(lines[6].substr(lines[6].size() - 13), "%)         1\n");		// one solve, in 8 characters
	const std::string m = metrics.str();
	const std::string counts = "IntegratorSteps=1\nIntegratorNewtonConvFails=0\nIntegratorErrorTestFails=0\n"
							   "IntegratorFunctionEvals=2\n";
	EXPECT_EQ(m.substr(0, counts.size()), counts);
	for (const char * key : {"\nIntegratorTimeFunctionEvals=", "\nIntegratorLESSetup=1\n", "\nIntegratorTimeLESSetup=",
							 "\nIntegratorLESSolve=1\n", "\nIntegratorTimeLESSolve="})
		EXPECT_NE(m.find(key), std::string::npos) << key;
}


TEST(IntegratorImplicitEuler, KeepsLastStepAfterAFailedOne) {
	MessageRecorder quiet;
	FunctionModel model = decay(0.1);
	DenseDQSolver les;
	IntegratorImplicitEuler integrator;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	for (int i = 0; i < 5; ++i)
		ASSERT_EQ(integrator.step(), 1);
	const double t = integrator.t();
	const double tMid = t - 0.5 * integrator.dt();
	const double end = integrator.yOut(t)[0];
	const double mid = integrator.yOut(tMid)[0];

	model.m_ydotResult = ModelInterface::CalculationAbort;
	EXPECT_THROW(integrator.step(), ZEB::Exception);
	EXPECT_EQ(integrator.t(), t);
	EXPECT_EQ(integrator.yOut(t)[0], end);
	EXPECT_EQ(integrator.yOut(tMid)[0], mid);		// the interpolation within the last step too

	// no step is stretched beyond the largest step size to reach the stop time
	IntegratorImplicitEuler limited;
	limited.m_dtMax = 1.0;
	limited.m_stopTime = 1.0005;
	model.m_ydotResult = ModelInterface::CalculationSuccess;
	limited.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	for (int steps = 0; limited.t() < 1.0005; ++steps) {
		ASSERT_LT(steps, 100000);
		ASSERT_EQ(limited.step(), 1);
		EXPECT_LE(limited.dt(), 1.0);
	}
}
