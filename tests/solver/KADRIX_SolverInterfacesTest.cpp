#include <gtest/gtest.h>

#include "ImplicitEulerTestSolver.h"
#include "KADRIX_FMUModelInterface.h"
#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_OutputScheduler.h"
#include "SolverTestModels.h"
#include "TestSupport.h"
#include "sundials_timer.h"

TEST(SolverInterfaces, SchedulesFullHours) {
	KADRIX::OutputScheduler s;
	EXPECT_EQ(s.nextOutputTime(0), 3600);
	EXPECT_EQ(s.nextOutputTime(3600), 7200);
	EXPECT_EQ(s.nextOutputTime(3599.9), 3600);
	EXPECT_EQ(s.nextOutputTime(-100), 0);
	EXPECT_EQ(s.nextOutputTime(3.1536e7 - 1), 3.1536e7);
}

TEST(SolverInterfaces, DefaultsDoNothing) {
	KADRIX::FMUModelInterface fmu;
	const char * text = nullptr;
	fmu.getString(7, text);
	ASSERT_NE(text, nullptr);
	EXPECT_STREQ(text, "");
	double value = 4.5;
	fmu.getReal(1, value);
	EXPECT_EQ(value, 4.5);

	SolverTest::HeatChain model(2);
	EXPECT_EQ(model.simTime2DateTimeString(0), "01.01.00  0:00:00");
	double w[2] = {7, 7};
	EXPECT_EQ(model.calculateErrorWeights(model.y0(), w), KADRIX::ModelInterface::CalculationAbort);
	EXPECT_EQ(w[0], 7);
	EXPECT_FALSE(model.hasErrorWeightsFunction());
	EXPECT_EQ(model.serializationSize(), 0u);
	EXPECT_EQ(model.lesInterface(), nullptr);
}

TEST(SolverInterfaces, TimersIgnoreUnknownSlotsAndTables) {
	TimerTable timers = {};
	timers.enabled = 1;
	TimerStart(&timers, LS_SOLVE);
	EXPECT_EQ(TimerValue(&timers, LS_SOLVE), 0);
	TimerStop(&timers, LS_SOLVE);
	EXPECT_GE(TimerValue(&timers, LS_SOLVE), 0);
	EXPECT_GE(TimerSum(&timers, LS_SOLVE), TimerValue(&timers, LS_SOLVE));
	TimerSumReset(&timers, LS_SOLVE);
	EXPECT_EQ(TimerSum(&timers, LS_SOLVE), 0);
	TimerStart(&timers, -1);
	TimerStop(&timers, 25);
	TimerSumAdd(&timers, 99, 1.0);
	EXPECT_EQ(TimerSum(&timers, 25), 0);
	EXPECT_EQ(TimerValue(&timers, -3), 0);
	TimerStart(nullptr, FEVAL);
	TimerSumAdd(nullptr, FEVAL, 1.0);
	EXPECT_EQ(TimerSum(nullptr, FEVAL), 0);
}

TEST(SolverInterfaces, TimersMeasureNothingUntilEnabled) {
	TestSupport::MessageRecorder quiet;
	SolverTest::HeatChain model(4);
	SolverTest::KrylovSolver les;
	KADRIX::IntegratorSundialsCVODE integrator;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	TimerStart(&integrator.timers(), FEVAL);
	for (int i = 0; i < 20; ++i)
		ASSERT_EQ(integrator.step(), 1);
	TimerStop(&integrator.timers(), FEVAL);
	for (int slot = 0; slot < TIMER_SLOT_COUNT; ++slot)
		EXPECT_EQ(TimerSum(&integrator.timers(), slot), 0) << slot;

	// a run that keeps statistics measures
	TestSupport::TempDirectory dir("timers");
	integrator.writeStatisticsHeader(ZEB::Path(dir.path()), false);
	EXPECT_NE(integrator.timers().enabled, 0);
}

TEST(SolverInterfaces, TimersMeasureNothingOnceSwitchedOffAgain) {
	TestSupport::MessageRecorder quiet;
	// a band solver's set-ups are split into Jacobian generation and factorisation
	SolverTest::HeatChain model(3000);
	SolverTest::BandSolver les(1, 1);
	KADRIX::IntegratorSundialsCVODE integrator;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	integrator.enableTimers(true);
	for (int i = 0; i < 20; ++i)
		ASSERT_EQ(integrator.step(), 1);
	ASSERT_GT(TimerSum(&integrator.timers(), LS_SETUP), 0);
	integrator.enableTimers(false);
	double sums[TIMER_SLOT_COUNT];
	for (int slot = 0; slot < TIMER_SLOT_COUNT; ++slot)
		sums[slot] = TimerSum(&integrator.timers(), slot);
	for (int i = 0; i < 100; ++i)
		ASSERT_EQ(integrator.step(), 1);
	for (int slot = 0; slot < TIMER_SLOT_COUNT; ++slot)
		EXPECT_EQ(TimerSum(&integrator.timers(), slot), sums[slot]) << slot;
}

TEST(SolverInterfaces, IntegratorsKeepTheirOwnTimerSums) {
	TestSupport::MessageRecorder quiet;
	SolverTest::HeatChain modelA(4), modelB(4);
	SolverTest::KrylovSolver lesA, lesB;
	KADRIX::IntegratorSundialsCVODE a, b;
	a.init(&modelA, 0, modelA.y0(), &lesA, nullptr, nullptr);
	TimerSumAdd(&a.timers(), FEVAL, 100.0);
	for (int i = 0; i < 20; ++i)
		ASSERT_EQ(a.step(), 1);
	const double sumA = TimerSum(&a.timers(), FEVAL);
	ASSERT_GE(sumA, 100.0);

	// another integrator's init and steps leave the sums alone
	b.init(&modelB, 0, modelB.y0(), &lesB, nullptr, nullptr);
	for (int i = 0; i < 20; ++i)
		ASSERT_EQ(b.step(), 1);
	SolverTest::FunctionModel modelC({1.0}, [](double, const double * y, double * f) { f[0] = -y[0]; }, 0.01);
	SolverTest::DenseDQSolver lesC;
	KADRIX::IntegratorImplicitEuler c;
	c.init(&modelC, 0, modelC.y0(), &lesC, nullptr, nullptr);
	ASSERT_EQ(c.step(), 1);
	EXPECT_EQ(TimerSum(&a.timers(), FEVAL), sumA);
	EXPECT_LT(TimerSum(&b.timers(), FEVAL), 100.0);

	// its own init starts afresh
	a.init(&modelA, 0, modelA.y0(), &lesA, nullptr, nullptr);
	EXPECT_EQ(TimerSum(&a.timers(), FEVAL), 0);
}
