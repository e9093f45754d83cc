#include "KADRIX_LESKLU.h"

#include <algorithm>

#include <cvode/cvode.h>
#include <sunlinsol/sunlinsol_klu.h>
#include <sunmatrix/sunmatrix_sparse.h>


#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "KADRIX_ModelInterface.h"
#include "sundials_timer.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace KADRIX {

namespace {

int failureReaction(ModelInterface::CalculationResult result) {
	return result == ModelInterface::CalculationRecoverableError ? 1 : -1;
}

} // namespace


int CVSlsSparseJacFn_f(realtype t, N_Vector y, N_Vector fy, SUNMatrix JacMat, void * userData,
					   N_Vector /*tmp1*/, N_Vector /*tmp2*/, N_Vector /*tmp3*/)
{
	LESKLU * klu = static_cast<LESKLU *>(userData);
	const double * yData = N_VGetArrayPointer(y);
	double * fyData = N_VGetArrayPointer(fy);

	TimerTable * timers = timersOf(klu->m_integrator);
	TimerStart(timers, FEVAL_JACOBIAN_GENERATION);
	ModelInterface::CalculationResult evaluation = klu->m_model->setY(yData);
	if (evaluation == ModelInterface::CalculationSuccess)
		evaluation = klu->m_model->ydot(fyData);
	TimerStop(timers, FEVAL_JACOBIAN_GENERATION);
	++klu->m_nJacFnRHSEvals;
	if (evaluation != ModelInterface::CalculationSuccess)
		return failureReaction(evaluation);

	const int result = klu->m_jacobian->setup(t, yData, fyData, nullptr, klu->m_integrator->dt());
	if (result != 0)
		return result;

	const ZEBMK::SparseMatrixCSR & csr = *klu->m_jacobian->jacobian();
	const unsigned int n = csr.n();
	const unsigned int nnz = csr.elementCount();
	if (SUNMatGetID(JacMat) != SUNMATRIX_SPARSE || SM_SPARSETYPE_S(JacMat) != CSR_MAT ||
		SM_NP_S(JacMat) != static_cast<sunindextype>(n) || SM_NNZ_S(JacMat) < static_cast<sunindextype>(nnz))
	{
		return -1;
	}
	// CVODE clears the whole matrix, index arrays included, before every request
	std::copy(csr.ia().begin(), csr.ia().end(), SM_INDEXPTRS_S(JacMat));
	std::copy(csr.ja().begin(), csr.ja().end(), SM_INDEXVALS_S(JacMat));
	std::copy(csr.data(), csr.data() + nnz, SM_DATA_S(JacMat));
	return 0;
}


void LESKLU::init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
				  JacobianInterface * jacobian)
{
	const char * const location = "[LESKLU::init]";
	m_integrator = integrator;
	m_model = model;
	if (model == nullptr)
		throw ZEB::Exception("Missing model.", location);
	if (precond != nullptr)
		ZEB::ZEB_Message(ZEB::FormatString("LESKLU linear solver is chosen: Preconditioner will be ignored."),
						 ZEB::MSG_WARNING, location, -1);
	if (jacobian == nullptr)
		throw ZEB::Exception("Error initializing LESKLU linear solver: missing Jacobian.", location);
	JacobianSparseCSR * csrJacobian = dynamic_cast<JacobianSparseCSR *>(jacobian);
	if (csrJacobian == nullptr)
		throw ZEB::Exception("Error initializing LESKLU linear solver: only JacobianSparseCSR  is allowed.", location);
	m_jacobian = csrJacobian;

	IntegratorSundialsCVODE * cvode = dynamic_cast<IntegratorSundialsCVODE *>(integrator);
	if (cvode == nullptr)
		throw ZEB::Exception("Error initializing KLU linear solver: solver is only defined for CVODE integrator", location);

	const sunindextype n = static_cast<sunindextype>(model->n());
	const sunindextype nnz = static_cast<sunindextype>(m_jacobian->jacobian()->elementCount());
	attachToCVODE(cvode, SUNSparseMatrix(n, n, nnz, CSR_MAT, cvode->sunContext()), SUNLinSol_KLU, "CVKLU", location);
	reportAttachFailure(cvode->setJacobianFunction(CVSlsSparseJacFn_f, this), "CVKLU", location);
}


void LESKLU::updateSUNDIALSStatistics() {
	const IntegratorSundialsCVODE * cvode = dynamic_cast<const IntegratorSundialsCVODE *>(m_integrator);
	if (cvode == nullptr || m_jacobian == nullptr)
		return;
	m_nJacEvals = cvode->stats(IntegratorSundialsCVODE::ST_DIRECT_JAC_EVALS);
	m_nRHSEvals = m_jacobian->nRHSEvals() + m_nJacFnRHSEvals;
}

} // namespace KADRIX
