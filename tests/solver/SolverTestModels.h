#ifndef SolverTestModelsH
#define SolverTestModelsH

// Models and linear equation solvers for integrator tests.

#include <vector>

#include <gtest/gtest.h>
#include <nvector/nvector_serial.h>
#include <sunlinsol/sunlinsol_band.h>
#include <sunlinsol/sunlinsol_spgmr.h>
#include <sunmatrix/sunmatrix_band.h>

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_JacobianInterface.h"
#include "KADRIX_LESInterfaceIterative.h"
#include "KADRIX_ModelInterface.h"
#include "cvode_serialization.h"
#include "sundials_serialization.h"
#include "ZEB_Exception.h"

namespace SolverTest {

/*! Steps until the integrator reaches tEnd, in at most maxSteps steps: a fault must fail the
	test, never hang it. The failure tells the failed step or how far the integrator came. */
template <typename Integrator>
::testing::AssertionResult stepTo(Integrator & integrator, double tEnd, int maxSteps = 100000) {
	for (int steps = 0; integrator.t() < tEnd; ++steps) {
		if (steps == maxSteps)
			return ::testing::AssertionFailure() << "only at t = " << integrator.t() << " after " << steps << " steps";
		if (integrator.step() != 1)
			return ::testing::AssertionFailure() << "step " << steps << " failed at t = " << integrator.t();
	}
	return ::testing::AssertionSuccess();
}

/*! A chain of heat-conducting cells, the first held against a warm boundary: stiff for large
	conductances. Stateless, so that only the solver carries the state of a run. */
class HeatChain : public KADRIX::ModelInterface {
public:
	explicit HeatChain(unsigned int n, double conductance = 2000.0) :
		m_y0(n, 0.0), m_y(n, 0.0), m_conductance(conductance) {}

	unsigned int n() const override { return static_cast<unsigned int>(m_y0.size()); }
	const double * y0() const override { return m_y0.data(); }
	double t0() const override { return 0; }
	double dt0() const override { return 1e-4; }
	double tEnd() const override { return 1e6; }
	CalculationResult setTime(double t) override { m_t = t; return CalculationSuccess; }
	CalculationResult setY(const double * y) override {
		m_y.assign(y, y + m_y.size());
		return CalculationSuccess;
	}
	CalculationResult ydot(double * ydot) override {
		const std::size_t n = m_y.size();
		const double boundary = 20.0 + 5.0 * (m_t > 1.0 ? 1.0 : m_t);
		for (std::size_t i = 0; i < n; ++i) {
			const double left = (i == 0) ? boundary : m_y[i - 1];
			const double right = (i + 1 == n) ? m_y[i] : m_y[i + 1];
			ydot[i] = m_conductance * (left - 2 * m_y[i] + right) / (1.0 + 0.1 * static_cast<double>(i));
		}
		if (m_recoverableErrorIn > 0 && --m_recoverableErrorIn == 0)
			return CalculationRecoverableError;
		return m_ydotResult;
	}


	std::vector<double>	m_y0;
	std::vector<double>	m_y;
	double				m_t = 0;
	double				m_conductance;
	/*! What ydot() reports, to provoke failures. */
	CalculationResult	m_ydotResult = CalculationSuccess;
	/*! When positive, the m_recoverableErrorIn-th call of ydot() from now (1: the next) reports a
		recoverable error, once. */
	int					m_recoverableErrorIn = 0;
};


/*! Attaches CVODE's GMRES without preconditioning; its state is the Krylov block. */
class KrylovSolver : public KADRIX::LESInterfaceIterative {
public:
	void init(KADRIX::ModelInterface * model, KADRIX::IntegratorInterface * integrator,
			  KADRIX::PrecondInterface *, KADRIX::JacobianInterface * jacobian) override
	{
		m_cvode = dynamic_cast<KADRIX::IntegratorSundialsCVODE *>(integrator);
		N_Vector tmpl = N_VNew_Serial(model->n(), m_cvode->sunContext());
		// with a Jacobian generator the preconditioner callbacks refresh it
		const int side = (jacobian != nullptr) ? SUN_PREC_LEFT : SUN_PREC_NONE;
		SUNLinearSolver ls = SUNLinSol_SPGMR(tmpl, side, static_cast<int>(m_maxKrylovDim), m_cvode->sunContext());
		N_VDestroy_Serial(tmpl);
		m_attachResult = m_cvode->attachLinearSolver(ls, nullptr);
		m_integrator = integrator;		// the base's snapshot of the Krylov block needs it
	}
	void setup(const double *, const double *, const double *, double) override {}
	void solve(double *) override {}
	void updateSUNDIALSStatistics() override {}

	KADRIX::IntegratorSundialsCVODE *	m_cvode = nullptr;
	int									m_attachResult = -99;
};


/*! The exact Jacobian of a heat chain, counting its calls. */
class ChainJacobian : public KADRIX::JacobianInterface {
public:
	void init(KADRIX::ModelInterface * model) override { m_chain = dynamic_cast<HeatChain *>(model); }
	int setup(double, const double *, const double *, const double *, double) override { ++m_setups; return 0; }
	int jacTimesVec(const double * v, double * Jv) const override {
		++m_products;
		const std::size_t n = m_chain->m_y.size();
		for (std::size_t i = 0; i < n; ++i) {
			const double left = (i == 0) ? 0.0 : v[i - 1];
			const double right = (i + 1 == n) ? v[i] : v[i + 1];
			Jv[i] = m_chain->m_conductance * (left - 2 * v[i] + right) / (1.0 + 0.1 * static_cast<double>(i));
		}
		return 0;
	}
	unsigned int nRHSEvals() const override { return 0; }

	HeatChain *		m_chain = nullptr;
	int				m_setups = 0;
	mutable int		m_products = 0;
};


/*! (I - gamma J) x for the exact Jacobian J of a heat chain. */
inline std::vector<double> iterationMatrixTimes(HeatChain & model, const std::vector<double> & x, double gamma) {
	ChainJacobian jacobian;
	jacobian.init(&model);
	std::vector<double> Mx(x.size());
	jacobian.jacTimesVec(x.data(), Mx.data());
	for (std::size_t i = 0; i < x.size(); ++i)
		Mx[i] = x[i] - gamma * Mx[i];
	return Mx;
}


/*! Attaches CVODE's band solver; its state is the direct block. */
class BandSolver : public KADRIX::LESInterface {
public:
	BandSolver(long mu, long ml) : m_mu(mu), m_ml(ml) {}
	void init(KADRIX::ModelInterface * model, KADRIX::IntegratorInterface * integrator,
			  KADRIX::PrecondInterface *, KADRIX::JacobianInterface *) override
	{
		m_cvode = dynamic_cast<KADRIX::IntegratorSundialsCVODE *>(integrator);
		const long n = model->n();
		SUNMatrix A = SUNBandMatrixStorage(n, m_mu, m_ml, std::min(n - 1, m_mu + m_ml), m_cvode->sunContext());
		N_Vector tmpl = N_VNew_Serial(n, m_cvode->sunContext());
		SUNLinearSolver ls = SUNLinSol_Band(tmpl, A, m_cvode->sunContext());
		N_VDestroy_Serial(tmpl);
		m_attachResult = m_cvode->attachLinearSolver(ls, A);
	}
	void setup(const double *, const double *, const double *, double) override {}
	void solve(double *) override {}
	void updateSUNDIALSStatistics() override {}
	std::size_t serializationSize() const override {
		return static_cast<std::size_t>(CVDlsSerializationSize(m_cvode->cvodeMem()));
	}
	void serialize(void *& dataPtr) const override { CVDlsSerialize(m_cvode->cvodeMem(), &dataPtr); }
	void deserialize(void *& dataPtr, const void * dataEnd) override {
		KADRIX::checkSnapshotRoom(dataPtr, serializationSize(), dataEnd, "[BandSolver::deserialize]");
		if (CVDlsDeserialize(m_cvode->cvodeMem(), &dataPtr) < 0)
			throw ZEB::Exception("Invalid band solver state data.", "[BandSolver::deserialize]");
	}

	long								m_mu;
	long								m_ml;
	KADRIX::IntegratorSundialsCVODE *	m_cvode = nullptr;
	int									m_attachResult = -99;
};

} // namespace SolverTest

#endif // SolverTestModelsH
