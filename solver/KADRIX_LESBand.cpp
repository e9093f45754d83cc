#include "KADRIX_LESBand.h"

#include <algorithm>
#include <cmath>

#include <sunlinsol/sunlinsol_band.h>
#include <sunmatrix/sunmatrix_band.h>

#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_ModelInterface.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace KADRIX {

void LESBand::init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
				   JacobianInterface * jacobian)
{
	const char * const location = "[LESBand::init]";
	m_integrator = integrator;
	m_model = model;
	if (model == nullptr)
		throw ZEB::Exception("Missing model.", location);
	if (precond != nullptr)
		ZEB::ZEB_Message(ZEB::FormatString("LESBand linear solver is chosen: Preconditioner will be ignored."),
						 ZEB::MSG_WARNING, location, -1);
	if (jacobian != nullptr)
		ZEB::ZEB_Message(ZEB::FormatString("LESBand linear solver is chosen: Jacobian will be ignored."),
						 ZEB::MSG_WARNING, location, -1);

	IntegratorSundialsCVODE * cvode = dynamic_cast<IntegratorSundialsCVODE *>(integrator);
	if (cvode == nullptr && dynamic_cast<IntegratorImplicitEuler *>(integrator) == nullptr)
		throw ZEB::Exception("Error initializing Band linear solver: solver is only defined for CVODE or "
							 "implicit Euler integrator", location);
	const unsigned int n = model->n();
	if (cvode != nullptr) {
		// CVODE does not check the bandwidths itself
		if (n == 0 || m_mu > n - 1 || m_ml > n - 1)
			reportAttachFailure(-3, "CVBand", location);
		const sunindextype mu = m_mu, ml = m_ml;
		const sunindextype smu = std::min<sunindextype>(static_cast<sunindextype>(n) - 1, mu + ml);
		attachToCVODE(cvode, SUNBandMatrixStorage(static_cast<sunindextype>(n), mu, ml, smu, cvode->sunContext()),
					  SUNLinSol_Band, "CVBand", location);
		return;
	}
	// a band wider than the matrix holds no further elements
	const unsigned int last = (n > 0) ? n - 1 : 0;
	const unsigned int mu = std::min(m_mu, last);
	const unsigned int ml = std::min(m_ml, last);
	m_matrix = ZEBMK::BandMatrix();
	m_matrix.resize(n, mu, ml, std::min(mu + ml, last));
	for (std::vector<double> * v : {&m_yPerturbed, &m_ydotPerturbed, &m_increments})
		v->assign(n, 0.0);
}


void LESBand::setup(const double * y, const double * ydot, const double * /*residuals*/, double gamma) {
	if (dynamic_cast<IntegratorImplicitEuler *>(m_integrator) == nullptr)
		return;
	const unsigned int n = m_matrix.n();
	const unsigned int mu = m_matrix.mu();
	const unsigned int ml = m_matrix.ml();
	double * values = m_matrix.data();
	std::fill(values, values + m_matrix.dataSize(), 0.0);
	std::copy(y, y + n, m_yPerturbed.begin());
	for (unsigned int j = 0; j < n; ++j)
		m_increments[j] = std::fabs(y[j]) * m_relToleranceDQ + m_absToleranceDQ;

	// columns a band width apart share no row: one evaluation per group
	const unsigned int width = mu + ml + 1;
	const unsigned int groups = std::min(width, n);
	for (unsigned int g = 0; g < groups; ++g) {
		for (unsigned int j = g; j < n; j += width)
			m_yPerturbed[j] += m_increments[j];
		m_model->setY(m_yPerturbed.data());
		m_model->ydot(m_ydotPerturbed.data());
		++m_nRHSEvals;
		for (unsigned int j = g; j < n; j += width) {
			const unsigned int iFirst = (j > mu) ? j - mu : 0;
			const unsigned int iLast = std::min(j + ml, n - 1);
			for (unsigned int i = iFirst; i <= iLast; ++i)
				m_matrix(i, j) = (m_ydotPerturbed[i] - ydot[i]) / m_increments[j];
			m_yPerturbed[j] = y[j];
		}
	}

	const std::size_t size = m_matrix.dataSize();
	for (std::size_t k = 0; k < size; ++k)
		values[k] *= -gamma;
	for (unsigned int j = 0; j < n; ++j)
		m_matrix(j, j) += 1.0;
	++m_nJacEvals;
	const int result = m_matrix.lu();
	if (result != 0)
		throw LESSetupError(result, ZEB::FormatString("Singular iteration matrix: zero pivot in column %1.").arg(result),
							"[LESBand::setup]");
}


void LESBand::solve(double * b) {
	if (dynamic_cast<IntegratorImplicitEuler *>(m_integrator) == nullptr)
		return;
	m_matrix.backsolve(b);
}

} // namespace KADRIX
