#ifndef ImplicitEulerTestSolverH
#define ImplicitEulerTestSolverH

// A model given by a function and a dense direct solver of I - gamma J for integrator tests
// that do not depend on the production linear equation solvers.

#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "KADRIX_LESInterface.h"
#include "KADRIX_ModelInterface.h"

namespace SolverTest {

/*! y' = f(t, y) with f given as a function; evaluation results can be forced, and the model can
	supply constant error weights of its own. */
class FunctionModel : public KADRIX::ModelInterface {
public:
	typedef std::function<void(double t, const double * y, double * ydot)> Rhs;

	FunctionModel(std::vector<double> y0, Rhs rhs, double dt0, double t0 = 0) :
		m_y0(std::move(y0)), m_y(m_y0), m_rhs(std::move(rhs)), m_t0(t0), m_dt0(dt0) {}

	unsigned int n() const override { return static_cast<unsigned int>(m_y0.size()); }
	const double * y0() const override { return m_y0.data(); }
	double t0() const override { return m_t0; }
	double dt0() const override { return m_dt0; }
	double tEnd() const override { return 1e9; }
	CalculationResult setTime(double t) override { m_t = t; return m_setTimeResult; }
	CalculationResult setY(const double * y) override {
		m_y.assign(y, y + m_y.size());
		return m_setYResult;
	}
	CalculationResult ydot(double * ydot) override {
		m_rhs(m_t, m_y.data(), ydot);
		return m_ydotResult;
	}
	CalculationResult calculateErrorWeights(const double *, double * weights) override {
		for (std::size_t i = 0; i < m_y.size(); ++i)
			weights[i] = m_ownWeight;
		return CalculationSuccess;
	}
	bool hasErrorWeightsFunction() override { return m_ownWeight > 0; }

	std::vector<double>	m_y0;
	std::vector<double>	m_y;
	Rhs					m_rhs;
	double				m_t0;
	double				m_dt0;
	double				m_t = 0;
	/*! Error weight of every unknown; 0 uses the integrator's tolerances. */
	double				m_ownWeight = 0;
	CalculationResult	m_setTimeResult = CalculationSuccess;
	CalculationResult	m_setYResult = CalculationSuccess;
	CalculationResult	m_ydotResult = CalculationSuccess;
};


/*! Builds M = I - gamma J with a difference-quotient J and solves by LU with partial pivoting.
	Like the production direct solvers it leaves the model at the last perturbed state. Solutions
	can be scaled to provoke slow or diverging Newton iterations. */
class DenseDQSolver : public KADRIX::LESInterface {
public:
	void init(KADRIX::ModelInterface * model, KADRIX::IntegratorInterface * integrator,
			  KADRIX::PrecondInterface *, KADRIX::JacobianInterface *) override
	{
		m_testModel = model;
		m_testIntegrator = integrator;
		m_size = model->n();
		m_lu.assign(m_size * m_size, 0.0);
		m_pivots.assign(m_size, 0);
		m_yPert.assign(m_size, 0.0);
		m_fPert.assign(m_size, 0.0);
	}

	void setup(const double * y, const double * ydot, const double *, double gamma) override {
		++m_setups;
		m_lastGamma = gamma;
		const std::size_t n = m_size;
		m_yPert.assign(y, y + n);
		for (std::size_t j = 0; j < n; ++j) {
			const double delta = std::fabs(y[j]) * 1e-7 + 1e-8;
			m_yPert[j] += delta;
			m_testModel->setY(m_yPert.data());
			m_testModel->ydot(m_fPert.data());
			m_yPert[j] = y[j];
			for (std::size_t i = 0; i < n; ++i)
				m_lu[i * n + j] = -gamma * (m_fPert[i] - ydot[i]) / delta + (i == j ? 1.0 : 0.0);
		}
		for (std::size_t k = 0; k < n; ++k) {
			std::size_t p = k;
			for (std::size_t i = k + 1; i < n; ++i)
				if (std::fabs(m_lu[i * n + k]) > std::fabs(m_lu[p * n + k]))
					p = i;
			m_pivots[k] = p;
			if (p != k)
				for (std::size_t j = 0; j < n; ++j)
					std::swap(m_lu[k * n + j], m_lu[p * n + j]);
			for (std::size_t i = k + 1; i < n; ++i) {
				const double l = m_lu[i * n + k] / m_lu[k * n + k];
				m_lu[i * n + k] = l;
				for (std::size_t j = k + 1; j < n; ++j)
					m_lu[i * n + j] -= l * m_lu[k * n + j];
			}
		}
	}

	void solve(double * b) override {
		++m_solves;
		const std::size_t n = m_size;
		for (std::size_t k = 0; k < n; ++k) {
			std::swap(b[k], b[m_pivots[k]]);
			for (std::size_t i = k + 1; i < n; ++i)
				b[i] -= m_lu[i * n + k] * b[k];
		}
		for (std::size_t k = n; k-- > 0;) {
			for (std::size_t j = k + 1; j < n; ++j)
				b[k] -= m_lu[k * n + j] * b[j];
			b[k] /= m_lu[k * n + k];
		}
		double scale = m_solutionScale;
		if (m_corruptSolves > 0) {
			--m_corruptSolves;
			scale = 1e12;
		}
		for (std::size_t i = 0; i < n; ++i)
			b[i] *= scale;
	}

	void updateSUNDIALSStatistics() override {}

	KADRIX::ModelInterface *		m_testModel = nullptr;
	KADRIX::IntegratorInterface *	m_testIntegrator = nullptr;
	std::size_t						m_size = 0;
	std::vector<double>				m_lu;
	std::vector<std::size_t>		m_pivots;
	std::vector<double>				m_yPert;
	std::vector<double>				m_fPert;
	int								m_setups = 0;
	int								m_solves = 0;
	double							m_lastGamma = 0;
	/*! Factor applied to every solution. */
	double							m_solutionScale = 1;
	/*! Number of following solves whose solution is blown up by 1e12. */
	int								m_corruptSolves = 0;
};

} // namespace SolverTest

#endif // ImplicitEulerTestSolverH
