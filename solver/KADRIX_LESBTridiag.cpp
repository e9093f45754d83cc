#include "KADRIX_LESBTridiag.h"

#include <algorithm>
#include <cmath>

#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_ModelInterface.h"
#include "cvode_btridiag.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace KADRIX {

void LESBTridiag::init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
					   JacobianInterface * /*jacobian*/)
{
	const char * const location = "[LESBTridiag::init]";
	m_integrator = integrator;
	m_model = model;
	m_matrix.reset();
	if (model == nullptr)
		throw ZEB::Exception("Missing model.", location);
	if (precond != nullptr)
		ZEB::ZEB_Message(ZEB::FormatString("LESBTridiag solver is chosen: Preconditioner will be ignored."),
						 ZEB::MSG_WARNING, location, -1);

	IntegratorSundialsCVODE * cvode = dynamic_cast<IntegratorSundialsCVODE *>(integrator);
	if (cvode == nullptr && dynamic_cast<IntegratorImplicitEuler *>(integrator) == nullptr)
		throw ZEB::Exception("Error initializing BlockTridiag linear solver: solver is only defined for CVODE or "
							 "implicit Euler integrator.", location);
	if (cvode != nullptr) {
		// the module checks the sizes and reports what it refuses through CVODE
		reportAttachFailure(CVBTridiag(cvode, m_N, m_M), "CVBTridiag", location);
		return;
	}

	// the block factorisation needs four blocks
	if (m_N < 4)
		throw ZEB::Exception(ZEB::FormatString("Error initializing BlockTridiag linear solver: at least 4 blocks are "
											   "needed, got %1.").arg(m_N), location);
	const unsigned int n = model->n();
	if (m_M == 0 || n % m_M != 0 || n / m_M != m_N)
		throw ZEB::Exception(ZEB::FormatString("Error initializing BlockTridiag linear solver: %1 blocks of %2 unknowns "
											   "do not match the model's %3 unknowns.").arg(m_N).arg(m_M).arg(n), location);
	m_matrix.reset(NewBTridiagMat(m_N, m_M));
	if (m_matrix == nullptr)
		throw ZEB::Exception("Error initializing BlockTridiag linear solver: out of memory.", location);
	m_pivots.assign(n, 0);
	for (std::vector<double> * v : {&m_yPerturbed, &m_ydotPerturbed, &m_increments})
		v->assign(n, 0.0);
}


void LESBTridiag::setup(const double * y, const double * ydot, const double * /*residuals*/, double gamma) {
	if (m_matrix == nullptr)
		return;
	const unsigned int N = m_N;
	const unsigned int M = m_M;
	const SUNDlsMat A = m_matrix.get();
	std::copy(y, y + m_yPerturbed.size(), m_yPerturbed.begin());
	// column j of block `block` := -gamma dF/dy over the rows of block `row`, 1 on the diagonal of B
	auto fillColumn = [&](unsigned int block, unsigned int row, unsigned int j, double scale) {
		double * column = A->cols[block] + static_cast<std::size_t>(j) * M;
		const std::size_t first = static_cast<std::size_t>(row) * M;
		for (unsigned int r = 0; r < M; ++r)
			column[r] = scale * (m_ydotPerturbed[first + r] - ydot[first + r]);
	};

	// blocks three apart have disjoint rows, also with the corner blocks
	for (unsigned int g = 0; g < 3; ++g) {
		for (unsigned int j = 0; j < M; ++j) {
			for (unsigned int b = g; b < N; b += 3) {
				const std::size_t k = static_cast<std::size_t>(b) * M + j;
				m_increments[k] = std::fabs(y[k]) * m_relToleranceDQ + m_absToleranceDQ;
				m_yPerturbed[k] += m_increments[k];
			}
			m_model->setY(m_yPerturbed.data());
			m_model->ydot(m_ydotPerturbed.data());
			++m_nRHSEvals;
			for (unsigned int b = g; b < N; b += 3) {
				const std::size_t k = static_cast<std::size_t>(b) * M + j;
				m_yPerturbed[k] = y[k];
				const double scale = -gamma / m_increments[k];
				if (b >= 1)
					fillColumn(2 * N + b - 1, b - 1, j, scale);		// C_{b-1}
				if (b == 2)
					fillColumn(0, 0, j, scale);						// corner A_0
				fillColumn(N + b, b, j, scale);						// B_b
				A->cols[N + b][j * M + j] += 1.0;
				if (b + 1 < N)
					fillColumn(b + 1, b + 1, j, scale);				// A_{b+1}
				if (b + 3 == N)
					fillColumn(3 * N - 1, N - 1, j, scale);			// corner C_{N-1}
			}
		}
	}
	++m_nJacEvals;
	const int result = BTridiagBTTRF(A, m_pivots.data());
	if (result != 0)
		throw LESSetupError(result, ZEB::FormatString("Singular iteration matrix: zero pivot in block row %1.").arg(result),
							"[LESBTridiag::setup]");
}


void LESBTridiag::solve(double * b) {
	if (m_matrix == nullptr)
		return;
	BTridiagBTTRS(m_matrix.get(), m_pivots.data(), b);
}

} // namespace KADRIX
