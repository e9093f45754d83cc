#include "cvode_btridiag.h"

#include <algorithm>
#include <cmath>
#include <new>

#include <cvode/cvode.h>
#include <nvector/nvector_serial.h>

#include "cvode_impl.h"
#include "cvode_ls_impl.h"

#include "KADRIX_IntegratorSundialsCVODE.h"

namespace {

const char * const MODULE = "CVBTRIDIAG";

/* Content of the module's matrix: the type-3 record (owned) and the CVODE memory whose Jacobian
   the matrix receives (not owned). */
struct MatrixContent {
	SUNDlsMat	m_record = nullptr;
	void *		m_cvodeMem = nullptr;
};

/* Content of the module's linear solver. */
struct SolverContent {
	/*! 0, or the 1-based block row of the last singular factorisation, or -1 for unusable sizes. */
	sunindextype	m_lastFlag = 0;
};

MatrixContent * matrixContent(SUNMatrix A) {
	return static_cast<MatrixContent *>(A->content);
}

SolverContent * solverContent(SUNLinearSolver S) {
	return static_cast<SolverContent *>(S->content);
}

SUNMatrix_ID matGetID(SUNMatrix /*A*/) {
	return SUNMATRIX_CUSTOM;
}

bool isModuleMatrix(SUNMatrix A) {
	return A != nullptr && A->ops != nullptr && A->ops->getid == matGetID && A->content != nullptr;
}

bool sameShape(SUNMatrix A, SUNMatrix B) {
	if (!isModuleMatrix(A) || !isModuleMatrix(B))
		return false;
	const SUNDlsMat a = matrixContent(A)->m_record;
	const SUNDlsMat b = matrixContent(B)->m_record;
	return a->N == b->N && a->M == b->M;
}

SUNMatrix matClone(SUNMatrix A) {
	const SUNDlsMat a = matrixContent(A)->m_record;
	SUNMatrix B = SUNBTridiagMatrix(a->N, a->M, A->sunctx);
	if (B != nullptr)
		matrixContent(B)->m_cvodeMem = matrixContent(A)->m_cvodeMem;
	return B;
}

void matDestroy(SUNMatrix A) {
	if (A == nullptr)
		return;
	if (A->content != nullptr) {
		DestroyBTridiagMat(matrixContent(A)->m_record);
		delete matrixContent(A);
		A->content = nullptr;
	}
	SUNMatFreeEmpty(A);
}

int matZero(SUNMatrix A) {
	BTridiagSetToZero(matrixContent(A)->m_record);
	return SUNMAT_SUCCESS;
}

int matCopy(SUNMatrix A, SUNMatrix B) {
	if (!sameShape(A, B))
		return SUNMAT_ILL_INPUT;
	BTridiagCopy(matrixContent(A)->m_record, matrixContent(B)->m_record);
	return SUNMAT_SUCCESS;
}

// A = c A + I
int matScaleAddI(realtype c, SUNMatrix A) {
	const SUNDlsMat a = matrixContent(A)->m_record;
	BTridiagScale(a, c);
	BTridiagAddIdentity(a);
	return SUNMAT_SUCCESS;
}

int matMatvec(SUNMatrix A, N_Vector x, N_Vector y) {
	const SUNDlsMat a = matrixContent(A)->m_record;
	const realtype * xData = N_VGetArrayPointer(x);
	realtype * yData = N_VGetArrayPointer(y);
	if (xData == nullptr || yData == nullptr || N_VGetLength(x) != a->N * a->M || N_VGetLength(y) != a->N * a->M)
		return SUNMAT_ILL_INPUT;
	BTridiagMult(a, xData, yData);
	return SUNMAT_SUCCESS;
}

int matSpace(SUNMatrix A, long * lenrw, long * leniw) {
	const SUNDlsMat a = matrixContent(A)->m_record;
	*lenrw = a->ldata;
	*leniw = 3 * a->N;
	return SUNMAT_SUCCESS;
}


SUNLinearSolver_Type lsGetType(SUNLinearSolver /*S*/) {
	return SUNLINEARSOLVER_DIRECT;
}

SUNLinearSolver_ID lsGetID(SUNLinearSolver /*S*/) {
	return SUNLINEARSOLVER_CUSTOM;
}

int lsInitialize(SUNLinearSolver S) {
	solverContent(S)->m_lastFlag = 0;
	return SUNLS_SUCCESS;
}

// No C++ exception may unwind through CVODE: the integrator keeps it and stops CVODE.
int keepException(void * cvodeMem) {
	KADRIX::IntegratorSundialsCVODE_keepException(cvodeMem != nullptr ? static_cast<CVodeMem>(cvodeMem)->cv_user_data : nullptr);
	return SUNLS_PACKAGE_FAIL_UNREC;
}

int lsSetup(SUNLinearSolver S, SUNMatrix A) {
	if (!isModuleMatrix(A))
		return SUNLS_ILL_INPUT;
	try {
		const int result = BTridiagBTTRF(matrixContent(A)->m_record, nullptr);
		solverContent(S)->m_lastFlag = result;
		if (result > 0)
			return SUNLS_LUFACT_FAIL;
		return result < 0 ? SUNLS_ILL_INPUT : SUNLS_SUCCESS;
	}
	catch (...) {
		return keepException(matrixContent(A)->m_cvodeMem);
	}
}

// CVODE's linear-solver interface scales the correction for a changed gamma itself.
int lsSolve(SUNLinearSolver /*S*/, SUNMatrix A, N_Vector x, N_Vector b, realtype /*tol*/) {
	if (!isModuleMatrix(A))
		return SUNLS_ILL_INPUT;
	try {
		N_VScale(1.0, b, x);
		BTridiagBTTRS(matrixContent(A)->m_record, nullptr, N_VGetArrayPointer(x));
		return SUNLS_SUCCESS;
	}
	catch (...) {
		return keepException(matrixContent(A)->m_cvodeMem);
	}
}

sunindextype lsLastFlag(SUNLinearSolver S) {
	return solverContent(S)->m_lastFlag;
}

int lsSpace(SUNLinearSolver /*S*/, long * lenrwLS, long * leniwLS) {
	*lenrwLS = 0;
	*leniwLS = 1;
	return SUNLS_SUCCESS;
}

int lsFree(SUNLinearSolver S) {
	if (S == nullptr)
		return SUNLS_SUCCESS;
	delete solverContent(S);
	S->content = nullptr;
	SUNLinSolFreeEmpty(S);
	return SUNLS_SUCCESS;
}


// The column c of block `block` receives the difference quotients of the rows of block row `row`.
void fillColumn(SUNDlsMat J, long block, long row, long c, const realtype * ftemp, const realtype * fy, realtype incInv) {
	const long M = J->M;
	realtype * column = J->cols[block] + c * M;
	const long first = row * M;
	for (long r = 0; r < M; ++r)
		column[r] = (ftemp[first + r] - fy[first + r]) * incInv;
}

int reportError(CVodeMem cv, int flag, const char * message) {
	cvProcessError(cv, flag, MODULE, "CVBTridiag", "%s", message);
	return flag;
}

} // namespace


int CVBTridiag(KADRIX::IntegratorSundialsCVODE * integrator, long N, long M) {
	void * mem = (integrator != nullptr) ? integrator->cvodeMem() : nullptr;
	if (mem == nullptr)
		return reportError(nullptr, CVBTRIDIAG_MEM_NULL, "Integrator memory is NULL.");
	CVodeMem cv = static_cast<CVodeMem>(mem);
	if (cv->cv_tempv == nullptr || cv->cv_tempv->ops->nvgetarraypointer == nullptr || cv->cv_tempv->ops->nvgetlength == nullptr)
		return reportError(cv, CVBTRIDIAG_ILL_INPUT, "A required vector operation is not implemented.");
	if (M < 1)
		return reportError(cv, CVBTRIDIAG_ILL_INPUT, "Illegal bandwidth parameter(s). Must have 0 <=  ml, mu <= N-1.");
	if (N < 4)
		return reportError(cv, CVBTRIDIAG_ILL_INPUT, "Illegal number of blocks: must have N >= 4.");
	const sunindextype n = N_VGetLength(cv->cv_tempv);
	if (n % M != 0 || n / M != N)
		return reportError(cv, CVBTRIDIAG_ILL_INPUT, "Number of blocks times block size differs from the number of unknowns.");

	SUNContext ctx = integrator->sunContext();
	SUNMatrix A = SUNBTridiagMatrix(N, M, ctx);
	SUNLinearSolver LS = (A != nullptr) ? SUNLinSol_BTridiag(A, ctx) : nullptr;
	if (LS == nullptr) {
		SUNMatDestroy(A);
		return reportError(cv, CVBTRIDIAG_MEM_FAIL, "A memory request failed.");
	}
	SUNBTridiagMatrix_SetCVodeMem(A, mem);
	// the integrator owns both from here on, also when it refuses them
	const int flag = integrator->attachLinearSolver(LS, A);
	if (flag != 0)
		return flag;
	if (CVodeSetJacFn(mem, cvDlsBTridiagDQJac) != CVLS_SUCCESS)
		return CVBTRIDIAG_ILL_INPUT;
	return CVBTRIDIAG_SUCCESS;
}


extern "C" {

SUNMatrix SUNBTridiagMatrix(long N, long M, SUNContext ctx) {
	SUNDlsMat record = NewBTridiagMat(N, M);
	if (record == nullptr)
		return nullptr;
	MatrixContent * content = new (std::nothrow) MatrixContent;
	SUNMatrix A = (content != nullptr) ? SUNMatNewEmpty(ctx) : nullptr;
	if (A == nullptr) {
		delete content;
		DestroyBTridiagMat(record);
		return nullptr;
	}
	content->m_record = record;
	A->content = content;
	A->ops->getid = matGetID;
	A->ops->clone = matClone;
	A->ops->destroy = matDestroy;
	A->ops->zero = matZero;
	A->ops->copy = matCopy;
	A->ops->scaleaddi = matScaleAddI;
	A->ops->matvec = matMatvec;
	A->ops->space = matSpace;
	return A;
}


SUNDlsMat SUNBTridiagMatrix_Record(SUNMatrix A) {
	return isModuleMatrix(A) ? matrixContent(A)->m_record : nullptr;
}


void * SUNBTridiagMatrix_CVodeMem(SUNMatrix A) {
	return isModuleMatrix(A) ? matrixContent(A)->m_cvodeMem : nullptr;
}


void SUNBTridiagMatrix_SetCVodeMem(SUNMatrix A, void * cvode_mem) {
	if (isModuleMatrix(A))
		matrixContent(A)->m_cvodeMem = cvode_mem;
}


SUNLinearSolver SUNLinSol_BTridiag(SUNMatrix A, SUNContext ctx) {
	if (!isModuleMatrix(A))
		return nullptr;
	SolverContent * content = new (std::nothrow) SolverContent;
	SUNLinearSolver S = (content != nullptr) ? SUNLinSolNewEmpty(ctx) : nullptr;
	if (S == nullptr) {
		delete content;
		return nullptr;
	}
	S->content = content;
	S->ops->gettype = lsGetType;
	S->ops->getid = lsGetID;
	S->ops->initialize = lsInitialize;
	S->ops->setup = lsSetup;
	S->ops->solve = lsSolve;
	S->ops->lastflag = lsLastFlag;
	S->ops->space = lsSpace;
	S->ops->free = lsFree;
	return S;
}


} // extern "C"


namespace {

int dqJacobian(SUNDlsMat Jm, CVodeMem cv, realtype t, N_Vector y, N_Vector fy, N_Vector tmp1, N_Vector tmp2) {
	CVLsMem ls = static_cast<CVLsMem>(cv->cv_lmem);
	const long N = Jm->N;
	const long M = Jm->M;
	N_Vector ftemp = tmp1;
	N_Vector ytemp = tmp2;
	N_VScale(1.0, y, ytemp);
	const realtype * yData = N_VGetArrayPointer(y);
	const realtype * fyData = N_VGetArrayPointer(fy);
	const realtype * ewtData = N_VGetArrayPointer(cv->cv_ewt);
	const realtype * ftempData = N_VGetArrayPointer(ftemp);
	realtype * ytempData = N_VGetArrayPointer(ytemp);

	const realtype srur = std::sqrt(cv->cv_uround);
	const realtype fnorm = N_VWrmsNorm(fy, cv->cv_ewt);
	const realtype minInc = (fnorm != 0.0)
			? 1000.0 * std::fabs(cv->cv_h) * cv->cv_uround * static_cast<realtype>(N * M) * fnorm
			: 1.0;
	auto increment = [&](long j) { return std::max(srur * std::fabs(yData[j]), minInc / ewtData[j]); };

	// block columns three apart have disjoint rows, also with the corner blocks
	for (long group = 0; group < 3; ++group) {
		for (long c = 0; c < M; ++c) {
			for (long k = group; k < N; k += 3)
				ytempData[k * M + c] += increment(k * M + c);

			const int result = cv->cv_f(t, ytemp, ftemp, cv->cv_user_data);
			if (ls != nullptr)
				++ls->nfeDQ;
			if (result != 0)
				return result;

			for (long k = group; k < N; k += 3) {
				const long j = k * M + c;
				ytempData[j] = yData[j];
				const realtype incInv = 1.0 / increment(j);
				if (k >= 1)
					fillColumn(Jm, 2 * N + k - 1, k - 1, c, ftempData, fyData, incInv);	// C_{k-1}
				fillColumn(Jm, N + k, k, c, ftempData, fyData, incInv);					// B_k
				if (k + 1 < N)
					fillColumn(Jm, k + 1, k + 1, c, ftempData, fyData, incInv);			// A_{k+1}
				if (k == 2)
					fillColumn(Jm, 0, 0, c, ftempData, fyData, incInv);					// corner A_0
				if (k == N - 3)
					fillColumn(Jm, 3 * N - 1, N - 1, c, ftempData, fyData, incInv);		// corner C_{N-1}
			}
		}
	}
	return 0;
}

} // namespace


extern "C" {

int cvDlsBTridiagDQJac(realtype t, N_Vector y, N_Vector fy, SUNMatrix J, void * /*data*/,
					   N_Vector tmp1, N_Vector tmp2, N_Vector /*tmp3*/)
{
	const SUNDlsMat Jm = SUNBTridiagMatrix_Record(J);
	CVodeMem cv = static_cast<CVodeMem>(SUNBTridiagMatrix_CVodeMem(J));
	if (Jm == nullptr || cv == nullptr)
		return -1;
	try {
		return dqJacobian(Jm, cv, t, y, fy, tmp1, tmp2);
	}
	catch (...) {
		return KADRIX::IntegratorSundialsCVODE_keepException(cv->cv_user_data);
	}
}

} // extern "C"
