#include "KADRIX_LESGMRES.h"

#include <algorithm>
#include <cmath>

#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_JacobianInterface.h"
#include "KADRIX_ModelInterface.h"
#include "KADRIX_PrecondInterface.h"
#include "ZEB_Exception.h"
#include "ZEB_Math.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace KADRIX {

void LESGMRES::init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
					JacobianInterface * jacobian)
{
	if (IntegratorSundialsCVODE * cvode = dynamic_cast<IntegratorSundialsCVODE *>(integrator)) {
		attachToCVODE(cvode, model, precond, jacobian, KM_GMRES, "LESGMRES");
		return;
	}
	IntegratorImplicitEuler * euler = dynamic_cast<IntegratorImplicitEuler *>(integrator);
	if (euler == nullptr)
		throw ZEB::Exception("Error initializing Sundials GMRES linear solver: Only 'IntegratorSundialsCVODE' or "
							 "'IntegratorImplicitEuler' are suitable integrators.", "[LESGMRES::init]");
	m_integrator = integrator;
	m_model = model;
	m_precond = precond;
	m_jacobian = jacobian;
	if (precond == nullptr)
		ZEB::ZEB_Message(ZEB::FormatString("No Preconditioner is set for LESGMRES linear equation solver."),
						 ZEB::MSG_WARNING, "[LESGMRES::init]", -1);

	const unsigned int n = model->n();
	const unsigned int m = m_maxKrylovDim;
	m_H.resize(m + 1, m, 1, m + 1);
	m_V.assign(m + 1, std::vector<double>(n, 0.0));
	m_givens.assign(2 * (m + 1), 0.0);
	for (std::vector<double> * v : {&m_z, &m_y, &m_w, &m_x, &m_d, &m_rhs, &m_f, &m_yPerturbed, &m_ydotPerturbed})
		v->assign(n, 0.0);
	m_t.assign(std::max(n, m + 1), 0.0);
	m_s.assign(m + 1, 0.0);

	if (m_linIterConvCoeff == 0)
		m_linIterConvCoeff = 0.1;
	ZEB::ZEB_Message(ZEB::FormatString("Setting LinIterConvCoeff to %1.\n").arg(m_linIterConvCoeff),
					 ZEB::MSG_PROGRESS, "[LESGMRES::init]", 1);
	m_delta = ZEB::f_sqrt(n) * euler->m_nonlinConvCoef * m_linIterConvCoeff;
}


void LESGMRES::setup(const double * y, const double * ydot, const double * residuals, double gamma) {
	IntegratorImplicitEuler * euler = dynamic_cast<IntegratorImplicitEuler *>(m_integrator);
	if (euler == nullptr)
		return;
	const unsigned int n = m_model->n();
	std::copy(y, y + n, m_y.begin());
	m_gamma = gamma;
	if (!m_model->hasErrorWeightsFunction()) {
		for (unsigned int i = 0; i < n; ++i) {
			const double absTol = euler->m_absTolVec.empty() ? euler->m_absTol : euler->m_absTolVec[i];
			m_w[i] = 1 / (std::fabs(y[i]) * euler->m_relTol + absTol);
		}
	}
	else
		m_model->calculateErrorWeights(y, m_w.data());
	std::copy(ydot, ydot + n, m_f.begin());
	const double t = euler->t();
	// solves with failed factors would only produce garbage: the integrator decides what to do
	if (m_jacobian != nullptr) {
		const int result = m_jacobian->setup(t, y, ydot, residuals, gamma);
		if (result != 0)
			throw LESSetupError(result, ZEB::FormatString("Set-up of the Jacobian failed with result %1.").arg(result),
								"[LESGMRES::setup]");
	}
	if (m_precond != nullptr) {
		bool jacUpdated = false;
		const int result = m_precond->setup(t, y, ydot, residuals, false, jacUpdated, gamma);
		++m_nPrecSetups;
		if (result != 0)
			throw LESSetupError(result, ZEB::FormatString("Set-up of the preconditioner failed with result %1.").arg(result),
								"[LESGMRES::setup]");
	}
}


void LESGMRES::precondSolve(const double * r, double * z, int lr) {
	m_precond->solve(0, m_y.data(), m_f.data(), nullptr, r, z, m_gamma, 0, lr);
	++m_nPrecSolves;
}


void LESGMRES::ATimesVec(const double * v, double * Av, double gamma, const double * y, const double * f, double * /*tmp*/) {
	const unsigned int n = m_model->n();
	if (m_jacobian != nullptr) {
		m_jacobian->jacTimesVec(v, Av);
		for (unsigned int i = 0; i < n; ++i)
			Av[i] = v[i] - gamma * Av[i];
	}
	else {
		// the norm divided by n, not by its root
		const double sigma = norm2(y, n) / n * m_relToleranceDQ + m_absToleranceDQ;
		for (unsigned int i = 0; i < n; ++i)
			m_yPerturbed[i] = y[i] + sigma * v[i];
		m_model->setY(m_yPerturbed.data());
		m_model->ydot(m_ydotPerturbed.data());
		++m_nRHSEvals;
		for (unsigned int i = 0; i < n; ++i)
			Av[i] = v[i] - gamma * (m_ydotPerturbed[i] - f[i]) / sigma;
	}
	++m_nJacTimesVec;
}


void LESGMRES::solve(double * b) {
	if (dynamic_cast<IntegratorImplicitEuler *>(m_integrator) == nullptr)
		return;
	const unsigned int n = m_model->n();
	const unsigned int m = m_maxKrylovDim;
	const int type = (m_precond != nullptr) ? m_precond->preconditionerType() : PrecondInterface::NONE;
	const bool left = (type == PrecondInterface::LEFT || type == PrecondInterface::BOTH);
	const bool right = (type == PrecondInterface::RIGHT || type == PrecondInterface::BOTH);

	std::fill(m_x.begin(), m_x.end(), 0.0);
	std::copy(b, b + n, m_rhs.begin());
	for (std::vector<double> & v : m_V)
		std::fill(v.begin(), v.end(), 0.0);
	std::copy(b, b + n, m_V[0].begin());
	if (left) {
		std::copy(m_V[0].begin(), m_V[0].end(), m_t.begin());
		precondSolve(m_t.data(), m_V[0].data(), 1);
	}
	for (unsigned int i = 0; i < n; ++i)
		m_V[0][i] *= m_w[i];
	const double beta = norm2(m_V[0].data(), n);
	if (beta < m_delta)
		return;
	for (unsigned int i = 0; i < n; ++i)
		m_V[0][i] /= beta;
	std::fill(m_H.data(), m_H.data() + m_H.dataSize(), 0.0);
	double s = 1;
	bool converged = false;
	unsigned int k = m;
	for (unsigned int l = 0; l < m; ++l) {
		for (unsigned int i = 0; i < n; ++i)
			m_t[i] = m_V[l][i] / m_w[i];
		if (right)
			precondSolve(m_t.data(), m_z.data(), 2);
		else
			std::copy(m_t.begin(), m_t.begin() + n, m_z.begin());
		ATimesVec(m_z.data(), m_t.data(), m_gamma, m_y.data(), m_f.data(), nullptr);
		if (left)
			precondSolve(m_t.data(), m_z.data(), 1);
		else
			std::copy(m_t.begin(), m_t.begin() + n, m_z.begin());
		for (unsigned int i = 0; i < n; ++i)
			m_z[i] *= m_w[i];
		ModifiedGramSchmidt(m_z.data(), l);
		QRfactorisation(l);
		s *= m_givens[2 * l + 1];
		++m_nLinIters;
		// a vanished new basis vector gives a zero sine: the solution lies in the subspace
		if (std::fabs(s) * beta <= m_delta) {
			converged = true;
			k = l + 1;
			break;
		}
		if (l + 1 == n) {
			k = n;
			break;
		}
	}

	std::fill(m_t.begin(), m_t.end(), 0.0);
	m_t[0] = beta;
	if (QRsolve(k, m_t.data()) != 0) {
		// A zero diagonal of R: A is singular on the Krylov subspace (a breakdown). The columns
		// before the first zero still form a solvable problem; the correction comes from them.
		unsigned int solvable = 0;
		while (m_H(solvable, solvable) != 0)
			++solvable;
		k = solvable;
		converged = false;
		std::fill(m_t.begin(), m_t.end(), 0.0);
		m_t[0] = beta;
		QRsolve(k, m_t.data());
	}
	std::fill(m_d.begin(), m_d.end(), 0.0);
	for (unsigned int i = 0; i < k; ++i)
		for (unsigned int j = 0; j < n; ++j)
			m_d[j] += m_t[i] * m_V[i][j];
	for (unsigned int j = 0; j < n; ++j)
		m_d[j] /= m_w[j];
	if (right) {
		std::copy(m_d.begin(), m_d.end(), m_t.begin());
		precondSolve(m_t.data(), m_d.data(), 2);
	}
	for (unsigned int j = 0; j < n; ++j)
		m_x[j] += m_d[j];
	std::copy(m_x.begin(), m_x.end(), b);
	if (!converged)
		++m_nLinConvFails;
}


int LESGMRES::ModifiedGramSchmidt(const double * w, unsigned int k) {
	const unsigned int n = m_model->n();
	const double nu = norm2(w, n);
	std::vector<double> & next = m_V[k + 1];
	std::copy(w, w + n, next.begin());
	for (unsigned int i = 0; i <= k; ++i) {
		m_H(i, k) = dotProduct(w, m_V[i].data(), n);
		for (unsigned int j = 0; j < n; ++j)
			next[j] -= m_H(i, k) * m_V[i][j];
	}
	double nuNew = norm2(next.data(), n);
	// reorthogonalise only when the new vector is tiny against the incoming one
	if (std::fabs((nuNew + 1000 * nu) - 1000 * nu) < 1e-23) {
		double S = 0;
		for (unsigned int i = 0; i <= k; ++i) {
			const double p = dotProduct(next.data(), m_V[i].data(), n);
			if (std::fabs((p + 1000 * m_H(i, k)) - 1000 * m_H(i, k)) < 1e-23)
				continue;
			m_H(i, k) += p;
			for (unsigned int j = 0; j < n; ++j)
				next[j] -= p * m_V[i][j];
			S += p * p;
		}
		if (S > 1e-23)
			nuNew = (nuNew * nuNew - S > 0) ? std::sqrt(nuNew * nuNew - S) : 0;
	}
	m_H(k + 1, k) = nuNew;
	// a vanished vector stays zero instead of being divided by zero
	if (nuNew != 0)
		for (unsigned int j = 0; j < n; ++j)
			next[j] /= nuNew;
	return 0;
}


int LESGMRES::ClassicalGramSchmidt(const double * w, unsigned int k) {
	const unsigned int n = m_model->n();
	std::vector<double> & next = m_V[k + 1];
	std::copy(w, w + n, next.begin());
	for (unsigned int i = 0; i <= k; ++i)
		m_H(i, k) = dotProduct(w, m_V[i].data(), n);
	for (unsigned int i = 0; i <= k; ++i)
		for (unsigned int j = 0; j < n; ++j)
			next[j] -= m_H(i, k) * m_V[i][j];
	const double nu = norm2(w, n);
	double nuNew = norm2(next.data(), n);
	if (nu > 1000 * nuNew) {
		for (unsigned int i = 0; i <= k; ++i)
			m_s[i] = dotProduct(next.data(), m_V[i].data(), n);
		for (unsigned int i = 0; i <= k; ++i) {
			for (unsigned int j = 0; j < n; ++j)
				next[j] -= m_s[i] * m_V[i][j];
			m_H(i, k) += m_s[i];
		}
		nuNew = norm2(next.data(), n);
	}
	m_H(k + 1, k) = nuNew;
	if (nuNew != 0)
		for (unsigned int j = 0; j < n; ++j)
			next[j] /= nuNew;
	return 0;
}


int LESGMRES::QRfactorisation(unsigned int k) {
	for (unsigned int i = 0; i < k; ++i) {
		const double c = m_givens[2 * i];
		const double s = m_givens[2 * i + 1];
		const double a = m_H(i, k);
		const double b = m_H(i + 1, k);
		m_H(i, k) = c * a - s * b;
		m_H(i + 1, k) = s * a + c * b;
	}
	const double a = m_H(k, k);
	const double b = m_H(k + 1, k);
	double c, s;
	if (b == 0) {
		c = 1;
		s = 0;
	}
	else if (std::fabs(b) < std::fabs(a)) {
		const double tau = b / a;
		c = 1 / std::sqrt(1 + tau * tau);
		s = -c * tau;
	}
	else {
		const double tau = a / b;
		s = -1 / std::sqrt(1 + tau * tau);
		c = -s * tau;
	}
	m_H(k, k) = c * a - s * b;
	m_givens[2 * k] = c;
	m_givens[2 * k + 1] = s;
	return 0;
}


int LESGMRES::QRsolve(unsigned int k, double * g) {
	if (k == 0)
		return 0;
	for (unsigned int i = 0; i < k; ++i) {
		const double c = m_givens[2 * i];
		const double s = m_givens[2 * i + 1];
		const double a = g[i];
		const double b = g[i + 1];
		g[i] = c * a - s * b;
		g[i + 1] = s * a + c * b;
	}
	for (unsigned int i = k; i-- > 0;) {
		if (m_H(i, i) == 0)
			return 1;
		g[i] /= m_H(i, i);
		for (unsigned int j = 0; j < i; ++j)
			g[j] -= g[i] * m_H(j, i);
	}
	return 0;
}


double LESGMRES::dotProduct(const double * a, const double * b, unsigned int n) {
	double sum = 0;
	for (unsigned int i = 0; i < n; ++i)
		sum += a[i] * b[i];
	return sum;
}


double LESGMRES::norm2(const double * a, unsigned int n) {
	return std::sqrt(dotProduct(a, a, n));
}

} // namespace KADRIX
