#include <gtest/gtest.h>

#include "KADRIX_FMUModelInterface.h"
#include "KADRIX_OutputScheduler.h"
#include "SolverTestModels.h"
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

TEST(SolverInterfaces, TimersIgnoreUnknownSlots) {
	TimerStart(LS_SOLVE);
	EXPECT_EQ(TimerValue(LS_SOLVE), 0);
	TimerStop(LS_SOLVE);
	EXPECT_GE(TimerValue(LS_SOLVE), 0);
	EXPECT_GE(TimerSum(LS_SOLVE), TimerValue(LS_SOLVE));
	TimerSumReset(LS_SOLVE);
	EXPECT_EQ(TimerSum(LS_SOLVE), 0);
	TimerStart(-1);
	TimerStop(25);
	TimerSumAdd(99, 1.0);
	EXPECT_EQ(TimerSum(25), 0);
	EXPECT_EQ(TimerValue(-3), 0);
}
