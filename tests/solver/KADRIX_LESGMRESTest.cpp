#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "KADRIX_LESBiCGStab.h"
#include "KADRIX_LESGMRES.h"
#include "KADRIX_PrecondInterface.h"
#include "SolverTestModels.h"
#include "TestSupport.h"
#include "ZEB_Exception.h"

using KADRIX::IntegratorSundialsCVODE;
using SolverTest::HeatChain;
using TestSupport::MessageRecorder;

namespace {

// Index of the first recorded message with this text, -1 when there is none.
int indexOf(const MessageRecorder & rec, const std::string & text) {
	for (std::size_t i = 0; i < rec.m_messages.size(); ++i)
		if (rec.m_messages[i].m_text == text)
			return static_cast<int>(i);
	return -1;
}

// Identity preconditioner of a chosen side, counting its calls.
class IdentityPrecond : public KADRIX::PrecondInterface {
public:
	explicit IdentityPrecond(int type) : m_type(type) {}
	PreconditionerType preconditionerType() const override { return static_cast<PreconditionerType>(m_type); }
	void init(KADRIX::ModelInterface * model, KADRIX::IntegratorInterface *, const KADRIX::JacobianInterface *) override {
		m_n = model->n();
	}
	int setup(double, const double *, const double *, const double *, bool, bool & jacUpdated, double) override {
		++m_setups;
		jacUpdated = false;
		return 0;
	}
	int solve(double, const double *, const double *, const double *, const double * r, double * z, double, double, int lr) override {
		++m_solves;
		m_sides.push_back(lr);
		for (unsigned int i = 0; i < m_n; ++i)
			z[i] = r[i];
		return 0;
	}
	unsigned int nRHSEvals() const override { return 0; }

	int					m_type;
	unsigned int		m_n = 0;
	int					m_setups = 0;
	int					m_solves = 0;
	std::vector<int>	m_sides;
};

double integrateTo(IntegratorSundialsCVODE & integrator, double tEnd) {
	if (!SolverTest::stepTo(integrator, tEnd))
		return -1;
	return integrator.yOut(tEnd)[0];
}

} // namespace


TEST(LESGMRES, AttachesTheFMUConfiguration) {
	MessageRecorder rec;
	HeatChain model(30);
	KADRIX::LESGMRES gmres;
	gmres.m_maxKrylovDim = 10;
	gmres.m_linIterConvCoeff = 0.05;
	SolverTest::ChainJacobian jacobian;
	IntegratorSundialsCVODE integrator;
	integrator.m_relTol = 1e-6;
	integrator.init(&model, 0, model.y0(), &gmres, nullptr, &jacobian);
	const int warning = indexOf(rec, "No Preconditioner is set for LESGMRES linear equation solver.");
	const int epsLin = indexOf(rec, "Setting EpsLin (eplifac,linIterConvCoeff) to 0.05.\n");
	ASSERT_GE(warning, 0);
	ASSERT_GT(epsLin, warning);
	EXPECT_EQ(rec.m_messages[warning].m_type, ZEB::MSG_WARNING);
	EXPECT_EQ(rec.m_messages[epsLin].m_location, "[LESGMRES::init]");

	const double withJacobian = integrateTo(integrator, 2.0);
	// left preconditioning: the pass-through solve callback runs
	EXPECT_GT(integrator.stats(IntegratorSundialsCVODE::ST_PREC_SOLVES), 0u);
	EXPECT_GT(jacobian.m_products, 0);

	// the same run with difference-quotient products and no preconditioning
	HeatChain plain(30);
	KADRIX::LESGMRES dq;
	IntegratorSundialsCVODE other;
	other.m_relTol = 1e-6;
	other.init(&plain, 0, plain.y0(), &dq, nullptr, nullptr);
	EXPECT_NEAR(integrateTo(other, 2.0), withJacobian, 1e-4);
	EXPECT_EQ(other.stats(IntegratorSundialsCVODE::ST_PREC_SOLVES), 0u);
	EXPECT_EQ(dq.serializationSize(), 96u);
}

TEST(LESGMRES, RestoresModuleCountersExactly) {
	MessageRecorder quiet;
	HeatChain model(20);
	KADRIX::LESGMRES gmres;
	IntegratorSundialsCVODE integrator;
	integrator.init(&model, 0, model.y0(), &gmres, nullptr, nullptr);
	for (int i = 0; i < 50; ++i)
		ASSERT_EQ(integrator.step(), 1);
	std::vector<char> blob(integrator.serializationSize() + gmres.serializationSize());
	void * p = blob.data();
	integrator.serialize(p);
	gmres.serialize(p);
	for (int i = 0; i < 40; ++i)
		ASSERT_EQ(integrator.step(), 1);
	const double t = integrator.t();
	const unsigned int iters = integrator.stats(IntegratorSundialsCVODE::ST_LIN_ITERS);
	p = blob.data();
	integrator.deserialize(p, blob.data() + blob.size());
	gmres.deserialize(p, blob.data() + blob.size());
	for (int i = 0; i < 40; ++i)
		ASSERT_EQ(integrator.step(), 1);
	EXPECT_EQ(integrator.t(), t);
	EXPECT_EQ(integrator.stats(IntegratorSundialsCVODE::ST_LIN_ITERS), iters);
}

TEST(LESGMRES, MapsPreconditionerSides) {
	MessageRecorder quiet;
	HeatChain model(10);
	for (int type : {1, 2, 3, 4}) {
		KADRIX::LESGMRES gmres;
		IdentityPrecond precond(type);
		IntegratorSundialsCVODE integrator;
		integrator.init(&model, 0, model.y0(), &gmres, &precond, nullptr);
		EXPECT_EQ(integrateTo(integrator, 0.5) > 0, true) << type;
		if (type < 4)
			EXPECT_GT(precond.m_solves, 0) << type;
		else
			EXPECT_EQ(precond.m_solves, 0);		// unknown sides keep "none" without a Jacobian generator
		EXPECT_GT(precond.m_setups, 0) << type;
	}

	KADRIX::LESGMRES gmres;
	IdentityPrecond none(0);
	IntegratorSundialsCVODE integrator;
	try {
		integrator.init(&model, 0, model.y0(), &gmres, &none, nullptr);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Error initialising preconditioner for LESGMRES linear equation solver: "
								"Preconditioner attribute 'Left', 'Right' or 'Both is enforced.");
	}
}

TEST(LESBiCGStab, RunsOnlyWithCVODE) {
	MessageRecorder quiet;
	HeatChain model(15);
	KADRIX::LESBiCGStab bicg;
	IntegratorSundialsCVODE integrator;
	integrator.m_relTol = 1e-6;
	integrator.init(&model, 0, model.y0(), &bicg, nullptr, nullptr);
	KADRIX::LESGMRES gmres;
	IntegratorSundialsCVODE reference;
	reference.m_relTol = 1e-6;
	HeatChain model2(15);
	reference.init(&model2, 0, model2.y0(), &gmres, nullptr, nullptr);
	EXPECT_NEAR(integrateTo(integrator, 1.0), integrateTo(reference, 1.0), 1e-3);
	EXPECT_GT(integrator.stats(IntegratorSundialsCVODE::ST_LIN_ITERS), 0u);
	EXPECT_GE(indexOf(quiet, "No Preconditioner is set for LESBiCGStab linear equation solver."), 0);

	KADRIX::LESBiCGStab other;
	try {
		other.init(&model, nullptr, nullptr, nullptr);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Error initializing LESBiCGStab linear solver: Only 'IntegratorSundialsCVODE' is currently supported.");
		EXPECT_STREQ(ex.location(), "[LESBiCGStab::init]");
	}
	KADRIX::LESGMRES lonely;
	EXPECT_EQ(TestSupport::thrownAt([&] { lonely.init(&model, nullptr, nullptr, nullptr); }, "[LESGMRES::init]"),
			  "Error initializing Sundials GMRES linear solver: Only 'IntegratorSundialsCVODE' or "
			  "'IntegratorImplicitEuler' are suitable integrators.");
}

TEST(LESGMRES, WritesStatisticsAndMetrics) {
	TestSupport::TempDirectory tmp("gmresstats");
	const std::string dir = tmp.path();
	MessageRecorder rec;
	HeatChain model(10);
	KADRIX::LESGMRES gmres;
	IntegratorSundialsCVODE integrator;
	integrator.init(&model, 0, model.y0(), &gmres, nullptr, nullptr);
	gmres.writeStatisticsHeader(ZEB::Path(dir), false);
	// its metrics report the timings
	EXPECT_NE(integrator.timers().enabled, 0);
	integrateTo(integrator, 0.1);
	gmres.writeStatistics(integrator.t());
	std::ifstream in(dir + "/LES_iterative_stats.tsv");
	std::string header, row;
	std::getline(in, header);
	std::getline(in, row);
	EXPECT_EQ(header, "                    Time\t  NLIters\t NLCFails\t  NPEvals\t  NPSolve\t    NJvEvals\t    NRhsEvals");
	EXPECT_EQ(row.find('\t'), 25u);
	EXPECT_EQ(row.size(), 25u + 4 * 11 + 2 * 14);

	rec.m_messages.clear();
	std::stringstream metrics;
	gmres.writeMetrics(1.0, &metrics);
	EXPECT_EQ(rec.m_messages.size(), 9u);
	EXPECT_EQ(rec.m_messages[0].m_text.substr(0, 23), "LES: Linear iterations ");
	EXPECT_EQ(metrics.str().substr(0, 15), "LESLinearIters=");
}

TEST(LESGMRES, SolvesNewtonSystemsForImplicitEuler) {
	MessageRecorder quiet;
	const unsigned int n = 12;
	HeatChain model(n, 50.0);
	model.m_y0.assign(n, 20.0);
	KADRIX::IntegratorImplicitEuler euler;
	for (bool withJacobian : {false, true}) {
		KADRIX::LESGMRES gmres;
		gmres.m_linIterConvCoeff = 1e-9;
		SolverTest::ChainJacobian jacobian;
		euler.init(&model, 0, model.y0(), &gmres, nullptr, withJacobian ? &jacobian : nullptr);
		std::vector<double> ydot(n);
		model.setY(model.y0());
		model.ydot(ydot.data());
		const double gamma = 0.01;
		gmres.setup(model.y0(), ydot.data(), nullptr, gamma);
		std::vector<double> b(n);
		for (unsigned int i = 0; i < n; ++i)
			b[i] = std::sin(1.0 + i);
		std::vector<double> x = b;
		gmres.solve(x.data());
		const std::vector<double> Mx = SolverTest::iterationMatrixTimes(model, x, gamma);
		// difference quotients carry rounding errors of the perturbation
		const double tolerance = withJacobian ? 1e-8 : 1e-4;
		for (unsigned int i = 0; i < n; ++i)
			EXPECT_NEAR(Mx[i], b[i], tolerance) << i << (withJacobian ? " with Jacobian" : " difference quotients");
	}
}

namespace {

// J = diag(0, 1/gamma0): I - gamma0 J = diag(1, 0) is singular.
class SingularJacobian : public KADRIX::JacobianInterface {
public:
	void init(KADRIX::ModelInterface *) override {}
	int setup(double, const double *, const double *, const double *, double) override { return 0; }
	int jacTimesVec(const double * v, double * Jv) const override {
		Jv[0] = 0;
		Jv[1] = v[1] / m_gamma0;
		return 0;
	}
	unsigned int nRHSEvals() const override { return 0; }
	double m_gamma0 = 0.5;
};

class CountingGMRES : public KADRIX::LESGMRES {
public:
	unsigned int convergenceFailures() const { return m_nLinConvFails; }
};

} // namespace

TEST(LESGMRES, OwnGMRESSolvesWhatItCanAfterABreakdown) {
	MessageRecorder quiet;
	HeatChain model(2);
	SingularJacobian jacobian;
	CountingGMRES gmres;
	KADRIX::IntegratorImplicitEuler euler;
	euler.init(&model, 0, model.y0(), &gmres, nullptr, &jacobian);
	const double ydot[2] = {0, 0};
	gmres.setup(model.y0(), ydot, nullptr, jacobian.m_gamma0);
	// diag(1, 0) x = (1, 1) has no solution; the best one from the first Krylov vector is (1, 1)
	std::vector<double> x = {1, 1};
	gmres.solve(x.data());
	EXPECT_NEAR(x[0], 1.0, 1e-12);
	EXPECT_NEAR(x[1], 1.0, 1e-12);
	EXPECT_EQ(gmres.convergenceFailures(), 1u);
	EXPECT_DOUBLE_EQ(KADRIX::LESGMRES::norm2(x.data(), 2), std::sqrt(2.0));
}

TEST(LESGMRES, OwnGMRESStopsEarlyAndCountsSides) {
	MessageRecorder quiet;
	const unsigned int n = 6;
	HeatChain model(n, 5.0);
	KADRIX::IntegratorImplicitEuler euler;
	KADRIX::LESGMRES gmres;					// Krylov dimension 50 > n
	IdentityPrecond both(3);
	euler.init(&model, 0, model.y0(), &gmres, &both, nullptr);
	EXPECT_GE(indexOf(quiet, "Setting LinIterConvCoeff to 0.1.\n"), 0);
	std::vector<double> ydot(n, 0.0);
	model.setY(model.y0());
	model.ydot(ydot.data());
	gmres.setup(model.y0(), ydot.data(), nullptr, 0.5);

	// a right-hand side below the tolerance comes back unchanged, nothing counted
	std::vector<double> tiny(n, 1e-12);
	std::vector<double> x = tiny;
	const int solvesBefore = both.m_solves;
	gmres.solve(x.data());
	EXPECT_EQ(x, tiny);
	EXPECT_EQ(both.m_solves, solvesBefore + 1);			// only the left solve of the start vector

	std::vector<double> b(n);
	for (unsigned int i = 0; i < n; ++i)
		b[i] = 100.0 * (i + 1);
	x = b;
	both.m_sides.clear();
	gmres.solve(x.data());
	const std::vector<double> Mx = SolverTest::iterationMatrixTimes(model, x, 0.5);
	for (unsigned int i = 0; i < n; ++i)
		EXPECT_NEAR(Mx[i], b[i], 1e-3 * std::fabs(b[i]));
	// per iteration a right and a left solve, plus the start vector and the final correction
	const std::size_t iterations = (both.m_sides.size() - 2) / 2;
	EXPECT_LE(iterations, n);
	EXPECT_EQ(both.m_sides.front(), 1);
	EXPECT_EQ(both.m_sides.back(), 2);
	EXPECT_EQ(gmres.serializationSize(), 0u);			// no snapshot without CVODE
}

TEST(LESGMRES, IntegratesWithImplicitEuler) {
	MessageRecorder quiet;
	HeatChain model(10, 20.0);
	KADRIX::LESGMRES gmres;
	KADRIX::IntegratorImplicitEuler euler;
	euler.m_relTol = 1e-5;
	euler.m_stopTime = 2.0;
	euler.init(&model, 0, model.y0(), &gmres, nullptr, nullptr);
	ASSERT_TRUE(SolverTest::stepTo(euler, 2.0));

	HeatChain reference(10, 20.0);
	KADRIX::LESGMRES cvodeGmres;
	IntegratorSundialsCVODE cvode;
	cvode.m_relTol = 1e-8;
	cvode.m_absTol = 1e-8;
	cvode.init(&reference, 0, reference.y0(), &cvodeGmres, nullptr, nullptr);
	const double exact = integrateTo(cvode, 2.0);
	// first order in time: close, not exact
	EXPECT_NEAR(euler.yOut(2.0)[0], exact, 0.05 * std::fabs(exact));
}

namespace {

// Singular above a step size, as a band or ILU factorisation of I - gamma J can be.
class SingularPrecond : public IdentityPrecond {
public:
	SingularPrecond() : IdentityPrecond(KADRIX::PrecondInterface::RIGHT) {}
	int setup(double t, const double * y, const double * f, const double * res, bool ok, bool & updated, double gamma) override {
		IdentityPrecond::setup(t, y, f, res, ok, updated, gamma);
		m_factorised = gamma <= m_gammaLimit;
		m_failures += m_factorised ? 0 : 1;
		return m_factorised ? 0 : m_failure;
	}
	int solve(double t, const double * y, const double * f, const double * res, const double * r, double * z,
			  double gamma, double delta, int lr) override
	{
		m_solvesWithoutFactors += m_factorised ? 0 : 1;
		return IdentityPrecond::solve(t, y, f, res, r, z, gamma, delta, lr);
	}
	double	m_gammaLimit = 1e-3;
	int		m_failure = 3;
	bool	m_factorised = false;
	int		m_failures = 0;
	int		m_solvesWithoutFactors = 0;
};

} // namespace

TEST(LESGMRES, ReportsAFailedSetupToImplicitEuler) {
	MessageRecorder quiet;
	HeatChain model(10, 20.0);
	SingularPrecond precond;
	KADRIX::LESGMRES gmres;
	KADRIX::IntegratorImplicitEuler euler;
	euler.m_stopTime = 1.0;
	euler.init(&model, 0, model.y0(), &gmres, &precond, nullptr);
	for (int steps = 0; euler.t() < 1.0; ++steps) {
		ASSERT_LT(steps, 10000);
		ASSERT_EQ(euler.step(), 1);
	}
	// a singular factorisation costs a smaller step, never a solve with its factors
	EXPECT_GT(precond.m_failures, 0);
	EXPECT_EQ(precond.m_solvesWithoutFactors, 0);
	EXPECT_GE(euler.counters().m_nNewtonConvFails, static_cast<unsigned int>(precond.m_failures));

	// a failure beyond recovery fails the step, which keeps the last state
	precond.m_failure = -1;
	precond.m_gammaLimit = 0;
	euler.m_jacUpdateMode = 1;
	euler.m_stopTime = 2.0;
	const double t = euler.t();
	EXPECT_EQ(TestSupport::thrownAt([&] { euler.step(); }, "[IntegratorImplicitEuler::setupIterationMatrix]")
			  .find("Cannot set up the linear equation solver at t = "), 0u);
	EXPECT_EQ(euler.t(), t);
	EXPECT_EQ(precond.m_solvesWithoutFactors, 0);
}

namespace {

// y_i' = -k_i y_i with five distinct rates: exp(-k t) is the solution.
class Decay : public KADRIX::ModelInterface {
public:
	unsigned int n() const override { return 5; }
	const double * y0() const override { return m_y0; }
	double t0() const override { return 0; }
	double dt0() const override { return 1e-3; }
	double tEnd() const override { return 100; }
	CalculationResult setTime(double) override { return CalculationSuccess; }
	CalculationResult setY(const double * y) override { std::copy(y, y + 5, m_y); return CalculationSuccess; }
	CalculationResult ydot(double * ydot) override {
		for (int i = 0; i < 5; ++i)
			ydot[i] = -m_k[i] * m_y[i];
		return CalculationSuccess;
	}
	const double	m_k[5] = {0.05, 0.1, 0.2, 0.5, 1.0};
	const double	m_y0[5] = {1, 1, 1, 1, 1};
	double			m_y[5] = {1, 1, 1, 1, 1};
};

// The solver objects of the FMU: CVODE, GMRES (dimension 10, coefficient 0.05) and the sparse
// difference-quotient Jacobian of a diagonal pattern.
struct FMUSolvers {
	FMUSolvers() : jacobian(5, 5, ia, ja) {
		integrator.m_relTol = 1e-7;
		integrator.m_absTol = 1e-9;
		gmres.m_maxKrylovDim = 10;
		gmres.m_linIterConvCoeff = 0.05;
	}
	void init(Decay & model) { integrator.init(&model, 0, model.y0(), &gmres, nullptr, &jacobian); }
	std::vector<double> runTo(double tEnd) {
		std::vector<double> trace;
		for (int steps = 0; integrator.t() < tEnd; ++steps) {
			if (steps == 100000 || integrator.step() != 1) {
				ADD_FAILURE() << "no progress at t = " << integrator.t();
				break;
			}
			const double * y = integrator.yOut(integrator.t());
			trace.push_back(integrator.t());
			trace.insert(trace.end(), y, y + 5);
		}
		return trace;
	}
	const unsigned int				ia[6] = {0, 1, 2, 3, 4, 5};
	const unsigned int				ja[5] = {0, 1, 2, 3, 4};
	IntegratorSundialsCVODE			integrator;
	KADRIX::LESGMRES				gmres;
	KADRIX::JacobianSparseCSR		jacobian;
};

} // namespace

TEST(FMUSolverRoad, IntegratesDecayAndRestoresExactly) {
	MessageRecorder quiet;
	Decay model;
	FMUSolvers first;
	first.init(model);
	first.integrator.m_stopTime = 5;
	first.runTo(5);
	ASSERT_EQ(first.integrator.t(), 5);
	std::vector<char> blob(first.integrator.serializationSize() + first.gmres.serializationSize() +
						   first.jacobian.serializationSize());
	void * p = blob.data();
	first.integrator.serialize(p);
	first.gmres.serialize(p);
	first.jacobian.serialize(p);
	first.integrator.m_stopTime = 10;
	const std::vector<double> continuation = first.runTo(10);
	const double * y = first.integrator.yOut(10);
	for (int i = 0; i < 5; ++i)
		EXPECT_NEAR(y[i], std::exp(-model.m_k[i] * 10), 1e-4 * std::exp(-model.m_k[i] * 10)) << i;

	FMUSolvers fresh;
	fresh.init(model);
	fresh.integrator.m_stopTime = 10;
	p = blob.data();
	fresh.integrator.deserialize(p, blob.data() + blob.size());
	fresh.gmres.deserialize(p, blob.data() + blob.size());
	fresh.jacobian.deserialize(p, blob.data() + blob.size());
	EXPECT_EQ(fresh.runTo(10), continuation);
}

TEST(FMUSolverRoad, ImplicitEulerStopsAtItsStopTime) {
	MessageRecorder quiet;
	Decay model;
	KADRIX::LESGMRES gmres;
	KADRIX::IntegratorImplicitEuler euler;
	euler.m_relTol = 1e-4;
	euler.m_absTol = 1e-6;
	euler.m_stopTime = 1.0;
	euler.init(&model, 0, model.y0(), &gmres, nullptr, nullptr);
	for (int steps = 0; euler.t() < 1.0; ++steps) {
		ASSERT_LT(steps, 100000);
		ASSERT_EQ(euler.step(), 1);
		ASSERT_LE(euler.t(), 1.0);
	}
	EXPECT_EQ(euler.t(), 1.0);
	EXPECT_NEAR(euler.yOut(1.0)[4], std::exp(-1.0), 5e-3);		// y' = -y
}
