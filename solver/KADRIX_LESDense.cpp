#include "KADRIX_LESDense.h"

#include <algorithm>
#include <cmath>

#include <sunlinsol/sunlinsol_dense.h>
#include <sunmatrix/sunmatrix_dense.h>

#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_ModelInterface.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace KADRIX {

void LESDense::init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
					JacobianInterface * /*jacobian*/)
{
	const char * const location = "[LESDense::init]";
	m_integrator = integrator;
	m_model = model;
	if (model == nullptr)
		throw ZEB::Exception("Missing model.", location);
	if (precond != nullptr)
		ZEB::ZEB_Message(ZEB::FormatString("LESDense solver is chosen: Preconditioner will be ignored."),
						 ZEB::MSG_WARNING, location, -1);

	IntegratorSundialsCVODE * cvode = dynamic_cast<IntegratorSundialsCVODE *>(integrator);
	if (cvode == nullptr && dynamic_cast<IntegratorImplicitEuler *>(integrator) == nullptr)
		throw ZEB::Exception("Error initialising Dense linear solver: solver is only defined for CVODE or "
							 "implicit Euler integrator", location);
	m_n = model->n();
	if (cvode != nullptr) {
		const sunindextype n = static_cast<sunindextype>(m_n);
		attachToCVODE(cvode, SUNDenseMatrix(n, n, cvode->sunContext()), SUNLinSol_Dense, "CVDense", location);
		return;
	}
	m_matrix.resize(0);
	m_matrix.resize(m_n);
	for (std::vector<double> * v : {&m_yPerturbed, &m_ydotPerturbed, &m_increments})
		v->assign(m_n, 0.0);
}


void LESDense::setup(const double * y, const double * ydot, const double * /*residuals*/, double gamma) {
	if (dynamic_cast<IntegratorImplicitEuler *>(m_integrator) == nullptr)
		return;
	double * values = m_matrix.data();
	const std::size_t size = static_cast<std::size_t>(m_n) * m_n;
	std::fill(values, values + size, 0.0);
	std::copy(y, y + m_n, m_yPerturbed.begin());
	for (unsigned int j = 0; j < m_n; ++j) {
		const double delta = std::fabs(y[j]) * m_relToleranceDQ + m_absToleranceDQ;
		m_increments[j] = delta;
		m_yPerturbed[j] += delta;
		m_model->setY(m_yPerturbed.data());
		m_model->ydot(m_ydotPerturbed.data());
		++m_nRHSEvals;
		for (unsigned int i = 0; i < m_n; ++i)
			m_matrix(i, j) = (m_ydotPerturbed[i] - ydot[i]) / delta;
		m_yPerturbed[j] = y[j];
	}
	for (std::size_t k = 0; k < size; ++k)
		values[k] *= -gamma;
	for (unsigned int j = 0; j < m_n; ++j)
		m_matrix(j, j) += 1.0;
	++m_nJacEvals;
	const int result = m_matrix.lu();
	if (result != 0)
		throw LESSetupError(result, ZEB::FormatString("Singular iteration matrix: zero pivot in column %1.").arg(result),
							"[LESDense::setup]");
}


void LESDense::solve(double * b) {
	if (dynamic_cast<IntegratorImplicitEuler *>(m_integrator) == nullptr)
		return;
	m_matrix.backsolve(b);
}

} // namespace KADRIX
