#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <cvode/cvode.h>
#include <nvector/nvector_serial.h>
#include <sunnonlinsol/sunnonlinsol_newton.h>

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "SolverTestModels.h"
#include "TestSupport.h"
#include "ZEB_Exception.h"
#include "cvode_serialization.h"

using KADRIX::IntegratorSundialsCVODE;
using SolverTest::BandSolver;
using SolverTest::HeatChain;
using SolverTest::KrylovSolver;
using TestSupport::MessageRecorder;
using TestSupport::readFile;

namespace {

// What a run produced, step by step, to compare runs bit for bit.
struct Trajectory {
	std::vector<double>					t;
	std::vector<std::vector<double> >	y;
	std::vector<std::vector<unsigned> >	counters;
};

Trajectory run(IntegratorSundialsCVODE & integrator, unsigned int n, unsigned int steps) {
	Trajectory tr;
	for (unsigned int i = 0; i < steps; ++i) {
		if (integrator.step() != 1) {
			ADD_FAILURE() << "step " << i << " failed";
			break;
		}
		tr.t.push_back(integrator.t());
		const double * y = integrator.yOut(integrator.t());
		tr.y.emplace_back(y, y + n);
		std::vector<unsigned> c;
		for (int s = IntegratorSundialsCVODE::ST_STEPS; s <= IntegratorSundialsCVODE::ST_JTIMES_EVALS; ++s)
			c.push_back(integrator.stats(static_cast<IntegratorSundialsCVODE::StatisticsType>(s)));
		tr.counters.push_back(c);
	}
	return tr;
}

std::vector<char> snapshot(const IntegratorSundialsCVODE & integrator, const KADRIX::LESInterface & les) {
	std::vector<char> blob(integrator.serializationSize() + les.serializationSize());
	void * p = blob.data();
	integrator.serialize(p);
	les.serialize(p);
	EXPECT_EQ(static_cast<char *>(p), blob.data() + blob.size());
	return blob;
}

void restore(IntegratorSundialsCVODE & integrator, KADRIX::LESInterface & les, std::vector<char> & blob) {
	void * p = blob.data();
	const char * end = blob.data() + blob.size();
	integrator.deserialize(p, end);
	les.deserialize(p, end);
	EXPECT_EQ(static_cast<char *>(p), blob.data() + blob.size());
}

void expectSameRun(const Trajectory & a, const Trajectory & b) {
	ASSERT_EQ(a.t.size(), b.t.size());
	for (std::size_t i = 0; i < a.t.size(); ++i) {
		ASSERT_EQ(a.t[i], b.t[i]) << "step " << i;
		ASSERT_EQ(a.y[i], b.y[i]) << "step " << i;
		ASSERT_EQ(a.counters[i], b.counters[i]) << "step " << i;
	}
}

void configure(IntegratorSundialsCVODE & integrator) {
	integrator.m_relTol = 1e-6;
	integrator.m_absTol = 1e-6;
	integrator.m_dtMin = 1e-8;
	integrator.m_nonlinConvCoef = 0.01;
}

template <typename Solver>
void checkExactRestore(Solver les, Solver freshLes, unsigned int n) {
	MessageRecorder quiet;
	HeatChain model(n);
	// CVODE's own kind of Newton solver, but one the test can look into; it outlives the integrator
	std::unique_ptr<_generic_SUNNonlinearSolver, int (*)(SUNNonlinearSolver)> newton(nullptr, SUNNonlinSolFree);
	IntegratorSundialsCVODE integrator;
	configure(integrator);
	integrator.init(&model, model.t0(), model.y0(), &les, nullptr, nullptr);
	N_Vector shape = N_VNew_Serial(n, integrator.sunContext());
	newton.reset(SUNNonlinSol_Newton(shape, integrator.sunContext()));
	N_VDestroy_Serial(shape);
	ASSERT_EQ(CVodeSetNonlinearSolver(integrator.cvodeMem(), newton.get()), CV_SUCCESS);
	run(integrator, n, 100);
	std::vector<char> blob = snapshot(integrator, les);
	const Trajectory first = run(integrator, n, 300);

	restore(integrator, les, blob);
	expectSameRun(first, run(integrator, n, 300));

	// a host restores it after a step that failed in its Newton iteration: the first step after
	// the restore, whose model fails once, recoverably, goes on as from the saved state, not as
	// the failed step left the Newton solver
	restore(integrator, les, blob);
	model.m_recoverableErrorIn = 2;
	const Trajectory recovered = run(integrator, n, 300);
	// as a Newton iteration that failed after a fresh set-up leaves it: the Jacobian marked current
	static_cast<SUNNonlinearSolverContent_Newton>(newton->content)->jcur = SUNTRUE;
	restore(integrator, les, blob);
	model.m_recoverableErrorIn = 2;
	expectSameRun(recovered, run(integrator, n, 300));

	// a host restores a saved state into a fresh instance that never stepped
	IntegratorSundialsCVODE fresh;
	configure(fresh);
	fresh.init(&model, model.t0(), model.y0(), &freshLes, nullptr, nullptr);
	restore(fresh, freshLes, blob);
	expectSameRun(first, run(fresh, n, 300));
}

} // namespace


TEST(IntegratorSundialsCVODE, RestoresKrylovRunBitForBit) {
	checkExactRestore(KrylovSolver(), KrylovSolver(), 40);
}

TEST(IntegratorSundialsCVODE, RestoresBandRunBitForBit) {
	checkExactRestore(BandSolver(1, 1), BandSolver(1, 1), 40);
}

TEST(IntegratorSundialsCVODE, SnapshotSizes) {
	HeatChain model(1);
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	EXPECT_EQ(integrator.serializationSize(), 0u);			// nothing before init
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	EXPECT_EQ(CVodeSerializationSize(integrator.cvodeMem()), 900);
	EXPECT_EQ(integrator.serializationSize(), 932u);
	EXPECT_EQ(les.serializationSize(), 96u);

	HeatChain two(2);
	BandSolver band(1, 1);
	IntegratorSundialsCVODE banded;
	banded.init(&two, 0, two.y0(), &band, nullptr, nullptr);
	EXPECT_EQ(band.m_attachResult, 0);
	EXPECT_EQ(band.serializationSize(), 204u);

	// stability-limit detection keeps its whole data
	IntegratorSundialsCVODE stald;
	stald.m_stabLimDet = true;
	KrylovSolver les2;
	stald.init(&model, 0, model.y0(), &les2, nullptr, nullptr);
	EXPECT_EQ(CVodeSerializationSize(stald.cvodeMem()), 900 + 20 * 8);
}

TEST(IntegratorSundialsCVODE, RestoresRunWithStabilityLimitDetection) {
	MessageRecorder quiet;
	HeatChain model(10);
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	integrator.m_stabLimDet = true;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	run(integrator, 10, 150);
	std::vector<char> blob = snapshot(integrator, les);
	const Trajectory first = run(integrator, 10, 200);
	restore(integrator, les, blob);
	expectSameRun(first, run(integrator, 10, 200));
}

TEST(IntegratorSundialsCVODE, RefusesForeignState) {
	HeatChain model(3);
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	integrator.step();
	std::vector<char> blob = snapshot(integrator, les);

	std::vector<char> wrongMagic = blob;
	wrongMagic[0] ^= 0x5A;
	void * p = wrongMagic.data();
	EXPECT_EQ(CVodeDeserialize(integrator.cvodeMem(), &p), -1);
	EXPECT_EQ(static_cast<char *>(p), wrongMagic.data() + 8);
	p = wrongMagic.data();
	EXPECT_THROW(integrator.deserialize(p, wrongMagic.data() + wrongMagic.size()), ZEB::Exception);

	std::vector<char> wrongVersion = blob;
	wrongVersion[4] = 7;
	p = wrongVersion.data();
	EXPECT_EQ(CVodeDeserialize(integrator.cvodeMem(), &p), -2);

	// a state of another problem size is refused before anything changes
	HeatChain bigger(4);
	KrylovSolver les4;
	IntegratorSundialsCVODE other;
	other.init(&bigger, 0, bigger.y0(), &les4, nullptr, nullptr);
	other.step();
	const double tBefore = other.t();
	p = blob.data();
	try {
		other.deserialize(p, blob.data() + blob.size());
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.location(), "[IntegratorSundialsCVODE::deserialize]");
	}
	EXPECT_EQ(p, static_cast<void *>(blob.data()));
	EXPECT_EQ(other.step(), 1);
	EXPECT_GT(other.t(), tBefore);
}

TEST(IntegratorSundialsCVODE, ChecksInitArguments) {
	HeatChain model(3);
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	auto initError = [&](KADRIX::LESInterface * solver) {
		return TestSupport::thrownAt([&] { integrator.init(&model, 0, model.y0(), solver, nullptr, nullptr); },
									 "[IntegratorSundialsCVODE::init]");
	};
	EXPECT_EQ(initError(nullptr), "Expected valid pointer to LES-solver object.");
	integrator.m_absTolVec = {1e-6, 1e-6};
	EXPECT_EQ(initError(&les), "Invalid size of absTolVec.");
	integrator.m_absTolVec = {1e-6, 1e-6, 1e-6, 1.0};		// surplus values are not used
	EXPECT_EQ(initError(&les), "no exception");
	EXPECT_EQ(integrator.step(), 1);
	EXPECT_EQ(les.m_attachResult, 0);
}

TEST(IntegratorSundialsCVODE, ReportsModelFailures) {
	HeatChain model(3);
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	ASSERT_EQ(integrator.step(), 1);

	MessageRecorder rec;
	model.m_ydotResult = KADRIX::ModelInterface::CalculationAbort;
	const double t = integrator.t();
	EXPECT_EQ(integrator.step(), -1);
	EXPECT_EQ(rec.texts("[IntegratorSundialsCVODE_f]").size(), 0u);
	EXPECT_GT(rec.texts("[CVErrHandlerFn_f]").size(), 0u);
	EXPECT_EQ(integrator.t(), t);

	model.m_ydotResult = KADRIX::ModelInterface::CalculationRecoverableError;
	EXPECT_EQ(integrator.step(), -1);
	ASSERT_GT(rec.texts("[IntegratorSundialsCVODE_f]").size(), 0u);
	for (const MessageRecorder::Message & m : rec.m_messages)
		if (m.m_location == "[IntegratorSundialsCVODE_f]") {
			EXPECT_EQ(m.m_type, ZEB::MSG_WARNING);
			EXPECT_EQ(m.m_text.find("ydot() function (in physical model) returned with 'recoverable error' at time t="), 0u);
		}
}

namespace {

// A room air alone, losing heat to its surroundings at LOSS, with a heater of gain GAIN at times.
class OneStateRoom : public KADRIX::ModelInterface {
public:
	explicit OneStateRoom(double y0) : m_y0(y0), m_y(y0) {}
	unsigned int n() const override { return 1; }
	const double * y0() const override { return &m_y0; }
	double t0() const override { return 0; }
	double dt0() const override { return 1; }
	double tEnd() const override { return 1e7; }
	CalculationResult setTime(double t) override { m_t = t; return CalculationSuccess; }
	CalculationResult setY(const double * y) override { m_y = *y; return CalculationSuccess; }

	/*! Where the room air rests with the heater holding it at set point TSet. */
	static double rest(double TSet) { return (LOSS * T_OUT + GAIN * TSet) / (LOSS + GAIN); }

	static constexpr double LOSS = 2e-4;		// [1/s]
	static constexpr double GAIN = 8.7;			// [1/s]
	/*! Where the room air goes without the heater. */
	static constexpr double T_OUT = 18.67;
	/*! When the set point steps. */
	static constexpr double T_SWITCH = 25200;
	double m_y0;
	double m_y;
	double m_t = 0;
};

// A room the sun keeps warm, whose heater comes on hard when its set point steps up: the room
// air then follows the heater within a fraction of a second, after hours in steps of minutes.
// As in a room whose step ends on a switch, the switch is ahead while the integrator steps to
// it, and in force from its time on once it has got there.
class SwitchedRoom : public OneStateRoom {
public:
	SwitchedRoom() : OneStateRoom(17) {}
	CalculationResult ydot(double * ydot) override {
		const bool on = m_switchAhead ? m_t > T_SWITCH : m_t >= T_SWITCH;
		*ydot = LOSS * (T_OUT - m_y) + (on ? GAIN * (T_SET - m_y) : 0.0);
		return CalculationSuccess;
	}
	/*! The room air t seconds after the switch, from y at the switch. */
	static double after(double y, double t) {
		return rest(T_SET) + (y - rest(T_SET)) * std::exp(-(LOSS + GAIN) * t);
	}

	static constexpr double T_SET = 22;
	bool m_switchAhead = true;
};

} // namespace

TEST(IntegratorSundialsCVODE, RestartsFromItsLastStepWhereItsHistoryCannotTakeASwitch) {
	MessageRecorder rec;
	SwitchedRoom model;
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	configure(integrator);
	integrator.init(&model, model.t0(), model.y0(), &les, nullptr, nullptr);
	integrator.m_stopTime = SwitchedRoom::T_SWITCH;
	ASSERT_TRUE(SolverTest::stepTo(integrator, SwitchedRoom::T_SWITCH));
	const double yAtSwitch = *integrator.yOut(integrator.t());
	const unsigned int stepsToSwitch = integrator.stats(IntegratorSundialsCVODE::ST_STEPS);
	std::vector<char> blob = snapshot(integrator, les);

	// CVODE's error test fails as often as it may in the step from the switch; started afresh
	// there, it follows the heater
	integrator.m_stopTime = 0;
	model.m_switchAhead = false;
	const Trajectory first = run(integrator, 1, 40);
	ASSERT_EQ(first.t.size(), 40u);
	EXPECT_GT(first.t.back(), SwitchedRoom::T_SWITCH + 0.1);
	for (std::size_t i = 0; i < first.t.size(); ++i)
		EXPECT_NEAR(first.y[i][0], SwitchedRoom::after(yAtSwitch, first.t[i] - SwitchedRoom::T_SWITCH), 1e-3) << i;
	EXPECT_EQ(rec.texts("[IntegratorSundialsCVODE::step]").size(), 1u);
	EXPECT_TRUE(rec.texts("[CVErrHandlerFn_f]").empty());
	// one run: the counters go on
	EXPECT_EQ(first.counters[0][IntegratorSundialsCVODE::ST_STEPS], stepsToSwitch + 1);

	restore(integrator, les, blob);
	expectSameRun(first, run(integrator, 1, 40));
}

TEST(IntegratorSundialsCVODE, StaysRestorableWhenAStepAskedToBuildAFreshJacobianFails) {
	// a chain that asks for a fresh Jacobian whenever told to
	struct SwitchingChain : HeatChain {
		SwitchingChain() : HeatChain(3) {}
		bool takeJacobianUpdateRequest() override {
			const bool requested = m_request;
			m_request = false;
			return requested;
		}
		bool m_request = false;
	};
	MessageRecorder quiet;
	SwitchingChain model;
	BandSolver les(1, 1);
	IntegratorSundialsCVODE integrator;
	configure(integrator);
	integrator.init(&model, model.t0(), model.y0(), &les, nullptr, nullptr);
	run(integrator, 3, 5);
	const unsigned int jacobians = integrator.stats(IntegratorSundialsCVODE::ST_DIRECT_JAC_EVALS);

	// the step fails before it sets up its linear solver
	model.m_request = true;
	model.m_ydotResult = KADRIX::ModelInterface::CalculationAbort;
	ASSERT_EQ(integrator.step(), -1);
	model.m_ydotResult = KADRIX::ModelInterface::CalculationSuccess;
	std::vector<char> blob = snapshot(integrator, les);
	BandSolver freshLes(1, 1);
	IntegratorSundialsCVODE fresh;
	configure(fresh);
	fresh.init(&model, model.t0(), model.y0(), &freshLes, nullptr, nullptr);
	EXPECT_NO_THROW(restore(fresh, freshLes, blob));

	// the next step builds the Jacobian asked for
	ASSERT_EQ(integrator.step(), 1);
	EXPECT_EQ(integrator.stats(IntegratorSundialsCVODE::ST_DIRECT_JAC_EVALS), jacobians + 1);
	// so does the first step of the integrator the state went into, when asked
	model.m_request = true;
	ASSERT_EQ(fresh.step(), 1);
	EXPECT_EQ(fresh.stats(IntegratorSundialsCVODE::ST_DIRECT_JAC_EVALS), jacobians + 1);
}

TEST(IntegratorSundialsCVODE, RefusesUseBeforeASuccessfulInit) {
	MessageRecorder quiet;
	HeatChain model(3);
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	auto expectRefused = [&] {
		EXPECT_EQ(TestSupport::thrownAt([&] { integrator.step(); }, "[IntegratorSundialsCVODE::step]"),
				  "The integrator has not been initialized: a successful init() must come first.");
		EXPECT_THROW(integrator.t(), ZEB::Exception);
		EXPECT_THROW(integrator.dt(), ZEB::Exception);
		EXPECT_THROW(integrator.yOut(0), ZEB::Exception);
	};
	expectRefused();
	integrator.m_maxOrder = 0;
	EXPECT_THROW(integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr), ZEB::Exception);
	expectRefused();
	integrator.m_maxOrder = 5;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	EXPECT_EQ(integrator.step(), 1);
}

TEST(IntegratorSundialsCVODE, RefusesIllegalSettingsWithCVODEsReason) {
	MessageRecorder rec;
	HeatChain model(3);
	KrylovSolver les;
	auto initError = [&](const std::function<void(IntegratorSundialsCVODE &)> & set) {
		IntegratorSundialsCVODE integrator;
		set(integrator);
		return TestSupport::thrownAt([&] { integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr); },
									 "[IntegratorSundialsCVODE::init]");
	};
	EXPECT_EQ(initError([](IntegratorSundialsCVODE & i) { i.m_relTol = -1; }),
			  "Invalid tolerances relTol = -1, absTol = 1e-06. (CVODE: reltol < 0 illegal.)");
	// CVODE's own message went to the message handler, not to the standard error stream
	ASSERT_EQ(rec.texts("[CVErrHandlerFn_f]").size(), 1u);
	EXPECT_NE(rec.texts("[CVErrHandlerFn_f]")[0].find("reltol < 0 illegal."), std::string::npos);
	EXPECT_EQ(initError([](IntegratorSundialsCVODE & i) { i.m_absTol = std::nan(""); })
			  .find("Invalid tolerances relTol = 1e-05, absTol = "), 0u);
	EXPECT_EQ(initError([](IntegratorSundialsCVODE & i) { i.m_absTolVec = {1e-6, -1, 1e-6}; }).find("Invalid tolerances"), 0u);
	EXPECT_EQ(initError([](IntegratorSundialsCVODE & i) { i.m_maxOrder = 0; }).find("Invalid maximum order 0."), 0u);
	EXPECT_EQ(initError([](IntegratorSundialsCVODE & i) { i.m_dtMin = 10; i.m_dtMax = 1; })
			  .find("Invalid minimum step size 10 s (maximum step size 1 s)."), 0u);
}

namespace {

// Throws from its n-th right-hand-side evaluation, as the room model does on bad input.
class ThrowingChain : public HeatChain {
public:
	explicit ThrowingChain(unsigned int n) : HeatChain(n) {}
	CalculationResult ydot(double * ydot) override {
		if (++m_calls == m_throwAt)
			throw ZEB::Exception("Model broke.", "[ThrowingChain::ydot]");
		return HeatChain::ydot(ydot);
	}
	int m_calls = 0;
	int m_throwAt = 0;
};

// A Jacobian generator that throws from its set-up when asked to.
class ThrowingJacobian : public SolverTest::ChainJacobian {
public:
	int setup(double t, const double * y, const double * ydot, const double * residuals, double gamma) override {
		if (m_throw)
			throw ZEB::Exception("Jacobian broke.", "[ThrowingJacobian::setup]");
		return ChainJacobian::setup(t, y, ydot, residuals, gamma);
	}
	bool m_throw = false;
};

std::vector<double> stateAt(IntegratorSundialsCVODE & integrator, double tEnd) {
	integrator.m_stopTime = tEnd;
	EXPECT_TRUE(SolverTest::stepTo(integrator, tEnd));
	const double * y = integrator.yOut(integrator.t());
	return std::vector<double>(y, y + 10);
}

} // namespace

TEST(IntegratorSundialsCVODE, RethrowsCallbackExceptionsOnceCVODEHasReturned) {
	MessageRecorder rec;
	ThrowingChain model(10);
	KrylovSolver les;
	ThrowingJacobian jacobian;
	IntegratorSundialsCVODE integrator;
	configure(integrator);
	integrator.init(&model, 0, model.y0(), &les, nullptr, &jacobian);
	run(integrator, 10, 20);
	const double t = integrator.t();
	model.m_throwAt = model.m_calls + 2;		// within the Newton iteration of the next step
	EXPECT_EQ(TestSupport::thrownAt([&] { integrator.step(); }, "[ThrowingChain::ydot]"), "Model broke.");
	EXPECT_EQ(integrator.t(), t);
	EXPECT_TRUE(rec.texts("[CVErrHandlerFn_f]").empty());		// no misleading echo from CVODE
	jacobian.m_throw = true;
	EXPECT_EQ(TestSupport::thrownAt([&] { for (int i = 0; i < 100; ++i) integrator.step(); }, "[ThrowingJacobian::setup]"),
			  "Jacobian broke.");
	jacobian.m_throw = false;

	// CVODE was left between steps: it steps on to the undisturbed solution
	ThrowingChain undisturbed(10);
	KrylovSolver referenceLes;
	SolverTest::ChainJacobian referenceJacobian;
	IntegratorSundialsCVODE reference;
	configure(reference);
	reference.init(&undisturbed, 0, undisturbed.y0(), &referenceLes, nullptr, &referenceJacobian);
	const std::vector<double> expected = stateAt(reference, 2.0);
	const std::vector<double> y = stateAt(integrator, 2.0);
	for (std::size_t i = 0; i < y.size(); ++i)
		EXPECT_NEAR(y[i], expected[i], 1e-4 * std::fabs(expected[i])) << i;

	// and can be initialised afresh after a failure in its first evaluation
	model.m_throwAt = model.m_calls + 1;
	integrator.init(&model, 0, model.y0(), &les, nullptr, &jacobian);
	EXPECT_THROW(integrator.step(), ZEB::Exception);
	EXPECT_EQ(integrator.step(), 1);
}

TEST(IntegratorSundialsCVODE, FailsAStepWhoseErrorWeightsTheModelCannotGive) {
	MessageRecorder rec;
	class FailingWeights : public HeatChain {
	public:
		FailingWeights() : HeatChain(4) {}
		CalculationResult calculateErrorWeights(const double *, double *) override { return CalculationAbort; }
		bool hasErrorWeightsFunction() override { return true; }
	} model;
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	EXPECT_EQ(integrator.step(), -1);
	EXPECT_FALSE(rec.texts("[CVErrHandlerFn_f]").empty());
}

TEST(IntegratorSundialsCVODE, StopsAtStopTimeAndInterpolates) {
	HeatChain model(5);
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	integrator.m_stopTime = 0.25;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	int steps = 0;
	while (integrator.t() < 0.25 && steps < 10000) {
		ASSERT_EQ(integrator.step(), 1);
		++steps;
	}
	EXPECT_EQ(integrator.t(), 0.25);

	const double * state = integrator.yOut(integrator.t());
	EXPECT_EQ(state, integrator.yOut(integrator.t()));
	const double * between = integrator.yOut(integrator.t() - 0.5 * integrator.dt());
	EXPECT_NE(between, state);
	EXPECT_THROW(integrator.yOut(integrator.t() + 10), ZEB::Exception);
}

namespace {

class WeightedChain : public HeatChain {
public:
	WeightedChain() : HeatChain(4) {}
	CalculationResult calculateErrorWeights(const double *, double * w) override {
		++m_calls;
		for (unsigned int i = 0; i < n(); ++i)
			w[i] = 1e6;
		return CalculationSuccess;
	}
	bool hasErrorWeightsFunction() override { return true; }
	int m_calls = 0;
};

} // namespace

TEST(IntegratorSundialsCVODE, UsesModelErrorWeights) {
	WeightedChain model;
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	integrator.m_absTolVec = {1.0};			// unused with the model's own weights
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	ASSERT_EQ(integrator.step(), 1);
	EXPECT_GT(model.m_calls, 0);
}

TEST(IntegratorSundialsCVODE, WritesStatisticsAndMetrics) {
	TestSupport::TempDirectory tmp("cvodestats");
	const std::string dir = tmp.path();
	MessageRecorder rec;
	HeatChain model(4);
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	integrator.writeStatistics();								// no header yet: nothing
	integrator.writeStatisticsHeader(ZEB::Path(dir), false);
	integrator.writeStatistics();								// no step yet: nothing
	const std::string header =
		"                 Time [s]\t     Steps\t  RhsEvals\t LinSetups\t  NIters\t NConvFails\t  NErrFails\t Order\t  StepSize [s]\n";
	const std::string file = dir + "/integrator_cvode_stats.tsv";
	EXPECT_EQ(readFile(file), header);

	ASSERT_EQ(integrator.step(), 1);
	integrator.writeStatistics();
	std::string text = readFile(file);
	ASSERT_GT(text.size(), header.size());
	const std::string line = text.substr(header.size());
	EXPECT_EQ(line.find('\t'), 25u);
	EXPECT_EQ(line.substr(0, 25).find('.') + 11, 25u);			// 10 decimals
	EXPECT_NE(line.find("e-"), std::string::npos);				// a first step below 1e-5 s

	integrator.writeStatisticsHeader(ZEB::Path(dir), true);	// a restart appends without header
	integrator.writeStatistics();
	EXPECT_EQ(readFile(file), text + line);

	std::stringstream metrics;
	integrator.writeMetrics(2.0, &metrics);
	EXPECT_EQ(rec.texts("[IntegratorSundialsCVODE::writeMetrics]").size(), 7u);
	EXPECT_EQ(metrics.str().substr(0, 18), "IntegratorSteps=1\n");
	EXPECT_NE(metrics.str().find("IntegratorTimeLESSolve="), std::string::npos);
}

TEST(IntegratorSundialsCVODE, UsesOwnJacobianForKrylovProducts) {
	MessageRecorder quiet;
	HeatChain model(20);
	KrylovSolver les;
	SolverTest::ChainJacobian jacobian;
	IntegratorSundialsCVODE integrator;
	configure(integrator);
	integrator.init(&model, 0, model.y0(), &les, nullptr, &jacobian);
	run(integrator, 20, 100);
	EXPECT_GT(jacobian.m_setups, 0);
	EXPECT_GT(jacobian.m_products, 0);
	EXPECT_EQ(static_cast<int>(integrator.stats(IntegratorSundialsCVODE::ST_JTIMES_EVALS)), jacobian.m_products);
	// without a preconditioner the solve callback passes r through
	EXPECT_GT(integrator.stats(IntegratorSundialsCVODE::ST_PREC_SOLVES), 0u);
	EXPECT_EQ(quiet.texts("[IntegratorSundialsCVODE::init]").size(), 5u);		// init, coefficient, Jacobian, LES, J*v
}

TEST(IntegratorSundialsCVODE, KeepsItsSolverWhenAnAttachIsRefused) {
	HeatChain model(4);
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	EXPECT_EQ(integrator.attachLinearSolver(nullptr, nullptr), -1);		// before init
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	N_Vector tmpl = N_VNew_Serial(4, integrator.sunContext());
	SUNMatrix A = SUNBandMatrixStorage(4, 1, 1, 2, integrator.sunContext());
	// a matrix-based solver without its matrix is refused; CVODE keeps GMRES
	EXPECT_EQ(integrator.attachLinearSolver(SUNLinSol_Band(tmpl, A, integrator.sunContext()), nullptr), -3);
	SUNMatDestroy(A);
	N_VDestroy_Serial(tmpl);
	EXPECT_EQ(integrator.attachLinearSolver(nullptr, nullptr), -4);
	for (int i = 0; i < 5; ++i)
		EXPECT_EQ(integrator.step(), 1);
}

TEST(IntegratorSundialsCVODE, RestoresNothingFromAStateWithAForeignVector) {
	MessageRecorder quiet;
	HeatChain model(6);
	KrylovSolver les;
	IntegratorSundialsCVODE integrator;
	integrator.init(&model, 0, model.y0(), &les, nullptr, nullptr);
	run(integrator, 6, 5);
	std::vector<char> blob = snapshot(integrator, les);
	run(integrator, 6, 20);
	const double t = integrator.t();
	const unsigned int steps = integrator.stats(IntegratorSundialsCVODE::ST_STEPS);
	// the stored state vector claims another length
	blob[CVodeSerializationSize(integrator.cvodeMem())] = 7;
	void * p = blob.data();
	EXPECT_THROW(integrator.deserialize(p, blob.data() + blob.size()), ZEB::Exception);
	EXPECT_EQ(integrator.t(), t);
	EXPECT_EQ(integrator.stats(IntegratorSundialsCVODE::ST_STEPS), steps);
	EXPECT_EQ(integrator.step(), 1);
	EXPECT_GT(integrator.t(), t);
}

TEST(IntegratorSundialsCVODE, RestoresRunWithOwnJacobianExactly) {
	MessageRecorder quiet;
	HeatChain model(20);
	KrylovSolver les, freshLes;
	SolverTest::ChainJacobian jacobian, freshJacobian;
	IntegratorSundialsCVODE integrator;
	integrator.init(&model, 0, model.y0(), &les, nullptr, &jacobian);
	run(integrator, 20, 100);
	std::vector<char> blob = snapshot(integrator, les);
	const Trajectory first = run(integrator, 20, 150);
	IntegratorSundialsCVODE fresh;
	fresh.init(&model, 0, model.y0(), &freshLes, nullptr, &freshJacobian);
	restore(fresh, freshLes, blob);
	expectSameRun(first, run(fresh, 20, 150));
}

namespace {

// A room air whose heater holds it at its set point with a gain of 8.7/s, until the set point
// steps down inside a step: the heater is off from then on, and the room cools freely. The
// heater's piece at the state of the integrator's Jacobian is noted, and a converged state off
// that piece is named for the integrator's check.
class ThermostatRoom : public OneStateRoom {
public:
	ThermostatRoom() : OneStateRoom(rest(22)) {}
	CalculationResult ydot(double * ydot) override {
		*ydot = LOSS * (T_OUT - m_y) + (heating(m_t, m_y) ? GAIN * (setPoint(m_t) - m_y) : 0.0);
		return CalculationSuccess;
	}
	void jacobianBuilt(double t, const double * y) override { m_heatingInMatrix = heating(t, *y); }
	unsigned int equationsOffMatrixPiece(double t, const double * y, unsigned int * rows) override {
		if (m_heatingInMatrix == heating(t, *y))
			return 0;
		rows[0] = 0;
		return 1;
	}
	static double setPoint(double t) { return t < T_SWITCH ? 22 : 17; }
	static bool heating(double t, double y) { return y < setPoint(t); }
	/*! The room air t seconds after the switch: from its rest at the heater's set point, freely. */
	static double after(double t) {
		return T_OUT + (rest(22) - T_OUT) * std::exp(-LOSS * t);
	}

	bool m_heatingInMatrix = false;
};

} // namespace

TEST(IntegratorSundialsCVODE, ConvergesWithTheGainOfTheStateNotOfItsMatrix) {
	MessageRecorder quiet;
	ThermostatRoom model;
	BandSolver les(0, 0);
	IntegratorSundialsCVODE integrator;
	integrator.m_relTol = 1e-4;
	integrator.m_absTol = 1e-4;
	integrator.init(&model, model.t0(), model.y0(), &les, nullptr, nullptr);
	double worst = 0;
	while (integrator.t() < ThermostatRoom::T_SWITCH + 20000) {
		ASSERT_EQ(integrator.step(), 1);
		const double t = integrator.t();
		if (t > ThermostatRoom::T_SWITCH)
			worst = std::max(worst, std::fabs(*integrator.yOut(t) - ThermostatRoom::after(t - ThermostatRoom::T_SWITCH)));
	}
	// a matrix with the heater's gain damps the room air's corrections a thousand-fold and more: kept,
	// it leaves the room at 22 C for hours while it cools towards 18.67 C
	EXPECT_LT(worst, 0.02);
}
