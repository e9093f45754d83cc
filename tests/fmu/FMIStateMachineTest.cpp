#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "FMUHost.h"
#include "RX_FMU2ModelDescription.h"

// The FMI 2.0 state machine, communication points and experiment times as hosts meet them.
namespace {

using FMUHost::airStatePerKelvin;
using FMUHost::BOX_STATES;
using FMUHost::Library;
using FMUHost::real;
using FMUHost::Recorder;

const fmi2ValueReference ROOM_AIR_TEMPERATURE = 1010;
const fmi2ValueReference CONVECTIVE_LOAD = 2001;

class FMIStateMachineTest : public ::testing::Test {
protected:
	void SetUp() override { FMUHost::writeResources(m_resources.path()); }

	/*! An instance on resources with its own results root, logging on, not initialised. */
	fmi2Component instantiate(const char * name, Recorder & recorder, fmi2Type type = fmi2CoSimulation,
							  const std::string & resources = std::string())
	{
		return FMUHost::instantiate(name, type, resources.empty() ? m_resources.path() : resources,
									m_results.path() + "/" + name, recorder);
	}

	/*! The standard sequence: set-up from 0 s (stopTime < 0: none), initialisation. */
	bool setUp(fmi2Component c, double stopTime = -1) const {
		return fmi.fmi2SetupExperiment(c, fmi2False, 0, 0, stopTime >= 0 ? fmi2True : fmi2False, stopTime) == fmi2OK &&
			   fmi.fmi2EnterInitializationMode(c) == fmi2OK && fmi.fmi2ExitInitializationMode(c) == fmi2OK;
	}

	const Library &					fmi = Library::instance();
	TestSupport::TempDirectory		m_resources{"fsmres"};
	TestSupport::TempDirectory		m_results{"fsmresults"};
};


TEST_F(FMIStateMachineTest, RefusesCallsTheFMIStateForbidsNamingCallAndState) {
	Recorder recorder;
	fmi2Component c = instantiate("room1", recorder);
	ASSERT_NE(c, nullptr);
	double value = 0;
	const fmi2ValueReference T = ROOM_AIR_TEMPERATURE;
	EXPECT_EQ(fmi.fmi2GetReal(c, &T, 1, &value), fmi2Error);
	EXPECT_EQ(fmi.fmi2ExitInitializationMode(c), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2GetReal: not allowed in the FMI state 'instantiated'.")) << recorder.messages();
	EXPECT_TRUE(recorder.received("fmi2ExitInitializationMode: not allowed in the FMI state 'instantiated'."));
	// the results root is a parameter, readable from the start; the model's variables are not
	const fmi2ValueReference texts[2] = {42, ROOM_AIR_TEMPERATURE};
	fmi2String text = nullptr;
	EXPECT_EQ(fmi.fmi2GetString(c, &texts[0], 1, &text), fmi2OK);
	EXPECT_EQ(fmi.fmi2GetString(c, &texts[1], 1, &text), fmi2Error);

	ASSERT_TRUE(setUp(c)) << recorder.messages();
	EXPECT_EQ(fmi.fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2False, 0), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2SetupExperiment: not allowed in the FMI state 'step complete'."));
	// outputs and states are no inputs: a value set there would vanish
	const double T0 = real(c, ROOM_AIR_TEMPERATURE);
	const fmi2ValueReference notInputs[2] = {ROOM_AIR_TEMPERATURE, 10000};
	const double hot[2] = {350, 350};
	EXPECT_EQ(fmi.fmi2SetReal(c, &notInputs[0], 1, &hot[0]), fmi2Error);
	EXPECT_EQ(fmi.fmi2SetReal(c, &notInputs[1], 1, &hot[1]), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2SetReal: variable 1010 is not an input.")) << recorder.messages();
	EXPECT_TRUE(recorder.received("fmi2SetReal: variable 10000 is not an input."));
	EXPECT_EQ(real(c, ROOM_AIR_TEMPERATURE), T0);
	// references this room's description does not declare for the type are refused, naming them;
	// the states, derivatives and the results root it declares work
	const fmi2ValueReference five = 5, humidity = 1014, vapourIn = 2003, seven = 7;
	double slot = 0;
	fmi2Integer integer = 7;
	fmi2Boolean flag = fmi2True;
	EXPECT_EQ(fmi.fmi2GetReal(c, &five, 1, &slot), fmi2Error);
	EXPECT_EQ(fmi.fmi2GetReal(c, &humidity, 1, &slot), fmi2Error);
	EXPECT_EQ(fmi.fmi2SetReal(c, &vapourIn, 1, &hot[0]), fmi2Error);
	EXPECT_EQ(fmi.fmi2SetInteger(c, &seven, 1, &integer), fmi2Error);
	EXPECT_EQ(fmi.fmi2GetInteger(c, &seven, 1, &integer), fmi2Error);
	EXPECT_EQ(fmi.fmi2GetBoolean(c, &seven, 1, &flag), fmi2Error);
	EXPECT_EQ(fmi.fmi2GetString(c, &texts[1], 1, &text), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2GetReal: variable 5 is not a Real variable of this FMU.")) << recorder.messages();
	const fmi2ValueReference declared[2] = {10000 + BOX_STATES - 1, 20000 + BOX_STATES - 1};
	double values[2] = {0, 0};
	EXPECT_EQ(fmi.fmi2GetReal(c, declared, 2, values), fmi2OK);
	EXPECT_NE(values[0], 0);
	EXPECT_EQ(fmi.fmi2GetString(c, &texts[0], 1, &text), fmi2OK);

	// the FMU does not interpolate its inputs: derivatives of them would be lost unseen
	const fmi2ValueReference load = CONVECTIVE_LOAD;
	const fmi2Integer order = 1;
	const double rate = 10;
	EXPECT_EQ(fmi.fmi2SetRealInputDerivatives(c, &load, 1, &order, &rate), fmi2Error);
	ASSERT_EQ(fmi.fmi2DoStep(c, 0, 3600, fmi2True), fmi2OK) << recorder.messages();
	// every step completes within fmi2DoStep: none is left to cancel
	EXPECT_EQ(fmi.fmi2CancelStep(c), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2CancelStep: not allowed in the FMI state 'step complete'."));
	ASSERT_EQ(fmi.fmi2Terminate(c), fmi2OK);
	const double T1 = real(c, ROOM_AIR_TEMPERATURE);
	EXPECT_EQ(fmi.fmi2DoStep(c, 3600, 3600, fmi2True), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2DoStep: not allowed in the FMI state 'terminated'."));
	EXPECT_EQ(real(c, ROOM_AIR_TEMPERATURE), T1);
	fmi.fmi2FreeInstance(c);

	// model exchange: integrator steps complete in continuous time only
	Recorder me;
	c = instantiate("me", me, fmi2ModelExchange);
	ASSERT_TRUE(setUp(c)) << me.messages();
	fmi2Boolean enterEventMode = fmi2True, terminate = fmi2True;
	EXPECT_EQ(fmi.fmi2CompletedIntegratorStep(c, fmi2True, &enterEventMode, &terminate), fmi2Error);
	EXPECT_TRUE(me.received("fmi2CompletedIntegratorStep: not allowed in the FMI state 'event mode'.")) << me.messages();
	fmi2EventInfo info{};
	EXPECT_EQ(fmi.fmi2NewDiscreteStates(c, &info), fmi2OK);
	EXPECT_EQ(fmi.fmi2EnterContinuousTimeMode(c), fmi2OK);
	EXPECT_EQ(fmi.fmi2CompletedIntegratorStep(c, fmi2True, &enterEventMode, &terminate), fmi2OK) << me.messages();
	fmi.fmi2FreeInstance(c);
}


/*! Six hourly co-simulation steps from the standard sequence: the room air and mean radiant
	temperature after each, empty when a call fails. */
std::vector<double> coSimulatedHours(const Library & fmi, fmi2Component c) {
	std::vector<double> values;
	if (fmi.fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2True, 86400) != fmi2OK ||
		fmi.fmi2EnterInitializationMode(c) != fmi2OK || fmi.fmi2ExitInitializationMode(c) != fmi2OK)
		return values;
	const fmi2ValueReference vr[2] = {ROOM_AIR_TEMPERATURE, 1011};
	for (unsigned int h = 0; h < 6; ++h) {
		double T[2] = {0, 0};
		if (fmi.fmi2DoStep(c, h*3600.0, 3600, fmi2True) != fmi2OK || fmi.fmi2GetReal(c, vr, 2, T) != fmi2OK)
			return std::vector<double>();
		values.insert(values.end(), T, T + 2);
	}
	return values;
}


/*! Model exchange from the standard sequence: 200 forward Euler steps of 10 ms, completed one by
	one; the states after each tenth step, empty when a call fails. */
std::vector<double> eulerSteps(const Library & fmi, fmi2Component c) {
	std::vector<double> trace;
	fmi2EventInfo info{};
	if (fmi.fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2False, 0) != fmi2OK ||
		fmi.fmi2EnterInitializationMode(c) != fmi2OK || fmi.fmi2ExitInitializationMode(c) != fmi2OK ||
		fmi.fmi2NewDiscreteStates(c, &info) != fmi2OK || fmi.fmi2EnterContinuousTimeMode(c) != fmi2OK)
		return trace;
	const std::size_t n = BOX_STATES;
	std::vector<double> x(n), dx(n);
	if (fmi.fmi2GetContinuousStates(c, x.data(), n) != fmi2OK)
		return trace;
	fmi2Boolean enterEventMode = fmi2False, terminate = fmi2False;
	const double h = 0.01;
	for (unsigned int k = 0; k < 200; ++k) {
		if (fmi.fmi2SetTime(c, k*h) != fmi2OK || fmi.fmi2SetContinuousStates(c, x.data(), n) != fmi2OK ||
			fmi.fmi2GetDerivatives(c, dx.data(), n) != fmi2OK)
			return std::vector<double>();
		for (std::size_t i = 0; i < n; ++i)
			x[i] += h*dx[i];
		if (fmi.fmi2SetTime(c, (k + 1)*h) != fmi2OK || fmi.fmi2SetContinuousStates(c, x.data(), n) != fmi2OK ||
			fmi.fmi2CompletedIntegratorStep(c, fmi2True, &enterEventMode, &terminate) != fmi2OK)
			return std::vector<double>();
		if (k % 10 == 9)
			trace.insert(trace.end(), x.begin(), x.end());
	}
	return trace;
}


TEST_F(FMIStateMachineTest, ResetRunsTheFirstRunAgainBitForBit) {
	Recorder recorder;
	fmi2Component c = instantiate("cs", recorder);
	ASSERT_NE(c, nullptr);
	const std::vector<double> first = coSimulatedHours(fmi, c);
	ASSERT_EQ(first.size(), 12u) << recorder.messages();
	const fmi2ValueReference load = CONVECTIVE_LOAD, root = 42;
	const double heat = 3000, blast = -1e8;
	// after fmi2Terminate; mid-run, with a load set; after a step that failed
	const std::vector<std::function<bool()>> before = {
		[&] { return fmi.fmi2Terminate(c) == fmi2OK; },
		[&] { return fmi.fmi2SetReal(c, &load, 1, &heat) == fmi2OK && fmi.fmi2DoStep(c, 21600, 3600, fmi2True) == fmi2OK; },
		[&] { return fmi.fmi2SetReal(c, &load, 1, &blast) == fmi2OK && fmi.fmi2DoStep(c, 21600, 3600, fmi2True) == fmi2Error; }};
	for (std::size_t k = 0; k < before.size(); ++k) {
		ASSERT_TRUE(before[k]()) << k << recorder.messages();
		ASSERT_EQ(fmi.fmi2Reset(c), fmi2OK) << k << recorder.messages();
		// the results root stays the instance's
		const std::string other = m_results.path() + "/other";
		const char * otherText = other.c_str();
		EXPECT_EQ(fmi.fmi2SetString(c, &root, 1, &otherText), fmi2Error) << k;
		const std::vector<double> again = coSimulatedHours(fmi, c);
		ASSERT_EQ(again.size(), first.size()) << k << recorder.messages();
		EXPECT_EQ(std::memcmp(again.data(), first.data(), first.size()*sizeof(double)), 0) << k;
	}
	// a state saved before the reset stays the host's: it restores the run it was saved in
	fmi2FMUstate saved = nullptr;
	ASSERT_EQ(fmi.fmi2GetFMUstate(c, &saved), fmi2OK);
	const std::vector<char> bytes = FMUHost::serializedState(c);
	ASSERT_EQ(fmi.fmi2Reset(c), fmi2OK);
	std::size_t size = 0;
	ASSERT_EQ(fmi.fmi2SerializedFMUstateSize(c, saved, &size), fmi2OK);
	std::vector<char> kept(size);
	ASSERT_EQ(fmi.fmi2SerializeFMUstate(c, saved, kept.data(), size), fmi2OK);
	EXPECT_EQ(kept, bytes);
	ASSERT_EQ(fmi.fmi2SetFMUstate(c, saved), fmi2OK) << recorder.messages();
	ASSERT_EQ(fmi.fmi2FreeFMUstate(c, &saved), fmi2OK);
	ASSERT_EQ(fmi.fmi2DoStep(c, 21600, 3600, fmi2True), fmi2OK) << recorder.messages();
	fmi.fmi2FreeInstance(c);

	Recorder me;
	c = instantiate("me", me, fmi2ModelExchange);
	const std::vector<double> trace = eulerSteps(fmi, c);
	ASSERT_EQ(trace.size(), 20*BOX_STATES) << me.messages();
	for (const bool midRun : {false, true}) {
		if (midRun) {
			fmi2Boolean enterEventMode = fmi2False, terminate = fmi2False;
			ASSERT_EQ(fmi.fmi2Reset(c), fmi2OK);
			ASSERT_FALSE(eulerSteps(fmi, c).empty());
			ASSERT_EQ(fmi.fmi2SetReal(c, &load, 1, &heat), fmi2OK);
			ASSERT_EQ(fmi.fmi2CompletedIntegratorStep(c, fmi2True, &enterEventMode, &terminate), fmi2OK);
		}
		else
			ASSERT_EQ(fmi.fmi2Terminate(c), fmi2OK);
		ASSERT_EQ(fmi.fmi2Reset(c), fmi2OK) << me.messages();
		const std::vector<double> again = eulerSteps(fmi, c);
		ASSERT_EQ(again.size(), trace.size()) << midRun << me.messages();
		EXPECT_EQ(std::memcmp(again.data(), trace.data(), trace.size()*sizeof(double)), 0) << midRun;
	}
	fmi.fmi2FreeInstance(c);
}


TEST_F(FMIStateMachineTest, RestoresIntoAFreshInstanceWithAndWithoutTheStandardSequenceAfterwards) {
	Recorder recorder;
	fmi2Component c = instantiate("saved", recorder);
	ASSERT_TRUE(setUp(c, 31536000)) << recorder.messages();
	for (unsigned int h = 0; h < 6; ++h)
		ASSERT_EQ(fmi.fmi2DoStep(c, h*3600.0, 3600, fmi2True), fmi2OK) << recorder.messages();
	const std::vector<char> bytes = FMUHost::serializedState(c);
	ASSERT_FALSE(bytes.empty()) << recorder.messages();
	ASSERT_EQ(fmi.fmi2DoStep(c, 6*3600.0, 3600, fmi2True), fmi2OK);
	const double reference = real(c, ROOM_AIR_TEMPERATURE);
	fmi.fmi2FreeInstance(c);

	for (const bool standardSequence : {false, true}) {
		Recorder fresh;
		c = instantiate(standardSequence ? "standard" : "direct", fresh);
		fmi2FMUstate restored = nullptr;
		ASSERT_EQ(fmi.fmi2DeSerializeFMUstate(c, bytes.data(), bytes.size(), &restored), fmi2OK) << fresh.messages();
		ASSERT_EQ(fmi.fmi2SetFMUstate(c, restored), fmi2OK) << fresh.messages();
		ASSERT_EQ(fmi.fmi2FreeFMUstate(c, &restored), fmi2OK);
		// a host sets its start values after the restore, a results root of the user's among them
		const fmi2ValueReference root = 42;
		const std::string asked = m_results.path() + "/asked";
		const char * rootText = asked.c_str();
		EXPECT_EQ(fmi.fmi2SetString(c, &root, 1, &rootText), fmi2OK) << fresh.messages();
		if (standardSequence) {
			ASSERT_TRUE(setUp(c, 31536000)) << fresh.messages();
		}
		// the restored time holds: the start time is no communication point any more
		EXPECT_EQ(fmi.fmi2DoStep(c, 0, 3600, fmi2True), fmi2Error);
		ASSERT_EQ(fmi.fmi2DoStep(c, 6*3600.0, 3600, fmi2True), fmi2OK) << fresh.messages();
		double T = 0;
		const fmi2ValueReference vr = ROOM_AIR_TEMPERATURE;
		ASSERT_EQ(fmi.fmi2GetReal(c, &vr, 1, &T), fmi2OK);
		EXPECT_EQ(std::memcmp(&T, &reference, sizeof(T)), 0) << "standard sequence " << standardSequence;
		EXPECT_EQ(fmi.fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2False, 0), fmi2Error);
		fmi.fmi2FreeInstance(c);
	}
}


TEST_F(FMIStateMachineTest, AFailedStartForARestoreLeavesTheErrorState) {
	Recorder saver;
	fmi2Component c = instantiate("saved", saver);
	ASSERT_TRUE(setUp(c)) << saver.messages();
	const std::vector<char> bytes = FMUHost::serializedState(c);
	ASSERT_FALSE(bytes.empty()) << saver.messages();
	fmi.fmi2FreeInstance(c);

	// resources without a project: the model cannot start, neither for the restore nor after it
	TestSupport::TempDirectory empty("fsmempty");
	Recorder recorder;
	c = instantiate("broken", recorder, fmi2CoSimulation, empty.path());
	ASSERT_NE(c, nullptr);
	fmi2FMUstate restored = nullptr;
	EXPECT_EQ(fmi.fmi2DeSerializeFMUstate(c, bytes.data(), bytes.size(), &restored), fmi2Error);
	EXPECT_EQ(restored, nullptr);
	EXPECT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2EnterInitializationMode: not allowed in the FMI state 'error'."))
		<< recorder.messages();
	EXPECT_EQ(fmi.fmi2Terminate(c), fmi2OK);
	fmi.fmi2FreeInstance(c);
}


TEST_F(FMIStateMachineTest, DoStepRefusesAnotherCommunicationPointAndAStepPastTheStopTime) {
	Recorder recorder;
	fmi2Component c = instantiate("room1", recorder);
	ASSERT_TRUE(setUp(c, 7200)) << recorder.messages();
	ASSERT_EQ(fmi.fmi2DoStep(c, 0, 3600, fmi2True), fmi2OK) << recorder.messages();
	const double T = real(c, ROOM_AIR_TEMPERATURE);
	EXPECT_EQ(fmi.fmi2DoStep(c, 0, 3600, fmi2True), fmi2Error);
	EXPECT_EQ(fmi.fmi2DoStep(c, 7200, 3600, fmi2True), fmi2Error);
	EXPECT_EQ(fmi.fmi2DoStep(c, 3600.001, 3600, fmi2True), fmi2Error);
	EXPECT_EQ(fmi.fmi2DoStep(c, 3600, -1, fmi2True), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2DoStep: the communication point 0 s differs from the FMU's time 3600 s."))
		<< recorder.messages();
	EXPECT_TRUE(recorder.received("fmi2DoStep: the communication point 7200 s differs from the FMU's time 3600 s."));
	EXPECT_TRUE(recorder.received("fmi2DoStep: the communication point 3600.001 s differs from the FMU's time 3600 s."));
	EXPECT_TRUE(recorder.received("fmi2DoStep: negative communication step size -1 s."));
	// the refused steps integrated nothing
	EXPECT_EQ(real(c, ROOM_AIR_TEMPERATURE), T);

	// a host's sum of steps may differ from the FMU's time by rounding, and a year's sum of
	// 1.1 s steps from the stop time by some 1e-9
	ASSERT_EQ(fmi.fmi2DoStep(c, 3600*(1 + 1e-13), 3600 + 7200*2e-9, fmi2True), fmi2OK) << recorder.messages();
	double t = 0;
	ASSERT_EQ(fmi.fmi2GetRealStatus(c, fmi2LastSuccessfulTime, &t), fmi2OK);
	EXPECT_NEAR(t, 7200, 1e-4);
	EXPECT_EQ(fmi.fmi2DoStep(c, t, 1, fmi2True), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2DoStep: the step to 7201.00001440036 s passes the stop time 7200 s."))
		<< recorder.messages();
	EXPECT_EQ(fmi.fmi2Terminate(c), fmi2OK);
	fmi.fmi2FreeInstance(c);
}


TEST_F(FMIStateMachineTest, StartsAtTheProjectsStartTimeAndRefusesAnother) {
	Recorder recorder;
	fmi2Component c = instantiate("room1", recorder);
	ASSERT_EQ(fmi.fmi2SetupExperiment(c, fmi2False, 0, 86400, fmi2False, 0), fmi2OK);
	EXPECT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2Error);
	EXPECT_TRUE(recorder.received("The experiment's start time 86400 s differs from the project's start time 0 s; "
								  "the FMU simulates from the project's start time.")) << recorder.messages();
	// the failed initialisation leaves no values to read
	double value = 0;
	const fmi2ValueReference T = ROOM_AIR_TEMPERATURE;
	EXPECT_EQ(fmi.fmi2GetReal(c, &T, 1, &value), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2GetReal: variable 1010 has no value in the FMI state 'error'."));
	fmi.fmi2FreeInstance(c);

	// a project that starts on day 30, run as a host does with the default experiment: its first
	// values are those of its start time, as a model-exchange instance's at that time
	TestSupport::TempDirectory later("fsmlater");
	const double start = 2592000;
	FMUHost::writeResources(later.path(), [&](RX::Room & room, RX::Database &) { room.m_simulationStartTime = start; });
	Recorder second;
	c = instantiate("later", second, fmi2CoSimulation, later.path());
	ASSERT_EQ(fmi.fmi2SetupExperiment(c, fmi2False, 0, start, fmi2True, 31536000), fmi2OK);
	ASSERT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << second.messages();
	ASSERT_EQ(fmi.fmi2ExitInitializationMode(c), fmi2OK);
	const double ambient = real(c, 1001), sunHeight = real(c, 1004);
	EXPECT_EQ(fmi.fmi2DoStep(c, 0, 3600, fmi2True), fmi2Error);
	ASSERT_EQ(fmi.fmi2DoStep(c, start, 3600, fmi2True), fmi2OK) << second.messages();
	double t = 0;
	ASSERT_EQ(fmi.fmi2GetRealStatus(c, fmi2LastSuccessfulTime, &t), fmi2OK);
	EXPECT_EQ(t, start + 3600);
	fmi.fmi2FreeInstance(c);

	Recorder me;
	c = instantiate("laterme", me, fmi2ModelExchange, later.path());
	ASSERT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << me.messages();
	ASSERT_EQ(fmi.fmi2ExitInitializationMode(c), fmi2OK);
	const std::size_t n = BOX_STATES;
	std::vector<double> x(n), before(n), after(n);
	ASSERT_EQ(fmi.fmi2GetDerivatives(c, before.data(), n), fmi2OK) << me.messages();
	EXPECT_EQ(real(c, 1001), ambient);
	ASSERT_EQ(fmi.fmi2GetContinuousStates(c, x.data(), n), fmi2OK);
	ASSERT_EQ(fmi.fmi2SetTime(c, start), fmi2OK);
	ASSERT_EQ(fmi.fmi2SetContinuousStates(c, x.data(), n), fmi2OK);
	ASSERT_EQ(fmi.fmi2GetDerivatives(c, after.data(), n), fmi2OK);
	EXPECT_EQ(after, before);
	EXPECT_EQ(real(c, 1001), ambient);
	EXPECT_EQ(real(c, 1004), sunHeight);
	fmi.fmi2FreeInstance(c);
}


TEST_F(FMIStateMachineTest, RefusesNonFiniteValues) {
	Recorder recorder;
	fmi2Component c = instantiate("room1", recorder);
	ASSERT_TRUE(setUp(c)) << recorder.messages();
	const fmi2ValueReference load = CONVECTIVE_LOAD;
	const double nan = std::numeric_limits<double>::quiet_NaN();
	const double inf = std::numeric_limits<double>::infinity();
	EXPECT_EQ(fmi.fmi2SetReal(c, &load, 1, &nan), fmi2Error);
	EXPECT_EQ(fmi.fmi2SetReal(c, &load, 1, &inf), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2SetReal: the value inf of input 2001 is not finite.")) << recorder.messages();
	// the refused loads never reach the room: an hour later it is where the heated box is
	ASSERT_EQ(fmi.fmi2DoStep(c, 0, 3600, fmi2True), fmi2OK) << recorder.messages();
	const double T = real(c, ROOM_AIR_TEMPERATURE);
	EXPECT_GT(T, 273.15 + 19);
	EXPECT_LT(T, 273.15 + 28);
	// a finite heat sink no room has drives the air below absolute zero: a step that ends there
	// is no result
	const double blast = -1e8;
	ASSERT_EQ(fmi.fmi2SetReal(c, &load, 1, &blast), fmi2OK);
	EXPECT_EQ(fmi.fmi2DoStep(c, 3600, 3600, fmi2True), fmi2Error);
	EXPECT_NE(recorder.m_calls.back().m_message.find("room air temperature (ZoneMeanAirTemperature)"),
			  std::string::npos) << recorder.messages();
	EXPECT_NE(recorder.m_calls.back().m_message.find("at t = 7200 s"), std::string::npos) << recorder.messages();
	fmi.fmi2FreeInstance(c);

	Recorder me;
	c = instantiate("me", me, fmi2ModelExchange);
	ASSERT_TRUE(setUp(c)) << me.messages();
	fmi2EventInfo info{};
	ASSERT_EQ(fmi.fmi2NewDiscreteStates(c, &info), fmi2OK);
	ASSERT_EQ(fmi.fmi2EnterContinuousTimeMode(c), fmi2OK);
	const std::size_t n = BOX_STATES;
	std::vector<double> x(n), x0(n), dx(n);
	ASSERT_EQ(fmi.fmi2GetContinuousStates(c, x0.data(), n), fmi2OK);
	x = x0;
	x[17] = nan;
	EXPECT_EQ(fmi.fmi2SetContinuousStates(c, x.data(), n), fmi2Error);
	EXPECT_TRUE(me.received("fmi2SetContinuousStates: the state x[17] is not finite (NaN).")) << me.messages();
	ASSERT_EQ(fmi.fmi2GetContinuousStates(c, x.data(), n), fmi2OK);
	EXPECT_EQ(x, x0);
	// states a solver overshot to: finite, but their differences overflow
	for (std::size_t i = 0; i < n; ++i)
		x[i] = i % 2 == 0 ? 1e308 : -1e308;
	ASSERT_EQ(fmi.fmi2SetContinuousStates(c, x.data(), n), fmi2OK);
	ASSERT_EQ(fmi.fmi2SetTime(c, 31535999.5), fmi2OK);
	EXPECT_EQ(fmi.fmi2GetEventIndicators(c, nullptr, 0), fmi2Discard) << me.messages();
	EXPECT_EQ(fmi.fmi2GetDerivatives(c, dx.data(), n), fmi2Discard) << me.messages();
	const std::string told = me.m_calls.back().m_message;
	EXPECT_EQ(told.compare(0, 37, "fmi2GetDerivatives: the derivative of"), 0) << told;
	EXPECT_NE(told.find(" at time 31535999.5 s."), std::string::npos) << told;
	// a solver's overshoot to room air of -300 C (the last state is the room air's energy): the
	// solver is sent back, the values and the step are refused, each naming variable, value and
	// time
	ASSERT_EQ(fmi.fmi2SetContinuousStates(c, x0.data(), n), fmi2OK);
	ASSERT_EQ(fmi.fmi2SetTime(c, 600), fmi2OK);
	std::vector<double> dx0(n);
	ASSERT_EQ(fmi.fmi2GetDerivatives(c, dx0.data(), n), fmi2OK) << me.messages();
	x = x0;
	x[n - 1] -= 320*airStatePerKelvin(c, x0, ROOM_AIR_TEMPERATURE);
	ASSERT_EQ(fmi.fmi2SetContinuousStates(c, x.data(), n), fmi2OK);
	// each call's message names it, the variable, the value and the time
	const auto toldOfTheAir = [&me](const std::string & function) {
		for (const auto & call : me.m_calls)
			if (call.m_message.compare(0, function.size() + 2, function + ": ") == 0
				&& call.m_message.find("(ZoneMeanAirTemperature) is -300 C at t = 600 s") != std::string::npos)
				return true;
		return false;
	};
	EXPECT_EQ(fmi.fmi2GetDerivatives(c, dx.data(), n), fmi2Discard) << me.messages();
	EXPECT_TRUE(toldOfTheAir("fmi2GetDerivatives")) << me.messages();
	EXPECT_EQ(fmi.fmi2GetEventIndicators(c, nullptr, 0), fmi2Discard) << me.messages();
	fmi2Boolean enterEventMode = fmi2False, terminate = fmi2False;
	EXPECT_EQ(fmi.fmi2CompletedIntegratorStep(c, fmi2True, &enterEventMode, &terminate), fmi2Error);
	EXPECT_TRUE(toldOfTheAir("fmi2CompletedIntegratorStep")) << me.messages();
	const fmi2ValueReference air = ROOM_AIR_TEMPERATURE;
	double value = 0;
	EXPECT_EQ(fmi.fmi2GetReal(c, &air, 1, &value), fmi2Error);
	EXPECT_TRUE(toldOfTheAir("fmi2GetReal")) << me.messages();
	// the refused step changed nothing: a host that retreats gets what it got there before, and
	// steps on
	ASSERT_EQ(fmi.fmi2SetContinuousStates(c, x0.data(), n), fmi2OK);
	ASSERT_EQ(fmi.fmi2GetDerivatives(c, dx.data(), n), fmi2OK) << me.messages();
	EXPECT_EQ(dx[n - 1], dx0[n - 1]) << "the room air's";
	EXPECT_EQ(dx, dx0);
	EXPECT_EQ(fmi.fmi2CompletedIntegratorStep(c, fmi2True, &enterEventMode, &terminate), fmi2OK) << me.messages();
	fmi.fmi2FreeInstance(c);
}

} // namespace
