#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <nvector/nvector_serial.h>
#include <sundials/sundials_context.h>
#include <sunmatrix/sunmatrix_dense.h>

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "BTridiagTestModel.h"
#include "SolverTestModels.h"
#include "TestSupport.h"
#include "cvode_btridiag.h"

using KADRIX::IntegratorSundialsCVODE;
using SolverTest::BandSolver;
using SolverTest::BTridiagLinearModel;
using SolverTest::HeatChain;

namespace {

/*! Attaches the block-tridiagonal module and remembers its result. */
class ModuleSolver : public KADRIX::LESInterface {
public:
	ModuleSolver(long N, long M) : m_N(N), m_M(M) {}
	void init(KADRIX::ModelInterface *, KADRIX::IntegratorInterface * integrator, KADRIX::PrecondInterface *,
			  KADRIX::JacobianInterface *) override
	{
		m_attachResult = CVBTridiag(dynamic_cast<IntegratorSundialsCVODE *>(integrator), m_N, m_M);
	}
	void setup(const double *, const double *, const double *, double) override {}
	void solve(double *) override {}
	void updateSUNDIALSStatistics() override {}

	long	m_N;
	long	m_M;
	int		m_attachResult = -99;
};


void initIntegrator(IntegratorSundialsCVODE & cvode, KADRIX::ModelInterface & model, KADRIX::LESInterface & les) {
	cvode.m_relTol = 1e-8;
	cvode.m_absTol = 1e-8;
	cvode.init(&model, model.t0(), model.y0(), &les, nullptr, nullptr);
}


} // namespace


TEST(CVBTridiag, RefusesIllegalSizesAndKeepsTheAttachedSolver) {
	TestSupport::MessageRecorder recorder;
	HeatChain chain(6);
	BandSolver band(1, 1);
	IntegratorSundialsCVODE cvode;
	initIntegrator(cvode, chain, band);

	EXPECT_EQ(CVBTridiag(&cvode, 10, 0), CVBTRIDIAG_ILL_INPUT);
	EXPECT_EQ(CVBTridiag(&cvode, 3, 2), CVBTRIDIAG_ILL_INPUT);
	EXPECT_EQ(CVBTridiag(&cvode, 4, 2), CVBTRIDIAG_ILL_INPUT);	// 8 unknowns for a model of 6
	EXPECT_NE(SolverTest::errorTexts(recorder).find("CVBTRIDIAG"), std::string::npos);
	EXPECT_EQ(CVBTridiag(nullptr, 6, 1), CVBTRIDIAG_MEM_NULL);
	IntegratorSundialsCVODE uninitialised;
	EXPECT_EQ(CVBTridiag(&uninitialised, 6, 1), CVBTRIDIAG_MEM_NULL);

	// the band solver is still in place
	for (int i = 0; i < 20; ++i)
		ASSERT_EQ(cvode.step(), 1);
	EXPECT_GT(cvode.stats(IntegratorSundialsCVODE::ST_DIRECT_JAC_EVALS), 0u);
}


TEST(CVBTridiag, DifferenceQuotientsReproduceTheJacobianWithItsCorners) {
	const long N = 6, M = 2;
	BTridiagLinearModel model(N, M);
	ModuleSolver module(N, M);
	IntegratorSundialsCVODE cvode;
	initIntegrator(cvode, model, module);
	ASSERT_EQ(module.m_attachResult, CVBTRIDIAG_SUCCESS);
	ASSERT_EQ(cvode.step(), 1);

	SUNMatrix J = SUNBTridiagMatrix(N, M, cvode.sunContext());
	ASSERT_NE(J, nullptr);
	N_Vector y = N_VNew_Serial(N * M, cvode.sunContext());
	N_Vector fy = N_VClone(y);
	N_Vector tmp1 = N_VClone(y), tmp2 = N_VClone(y), tmp3 = N_VClone(y);
	const double * yNow = cvode.yOut(cvode.t());
	std::copy(yNow, yNow + N * M, N_VGetArrayPointer(y));
	BTridiagMult(model.m_K, N_VGetArrayPointer(y), N_VGetArrayPointer(fy));

	EXPECT_EQ(cvDlsBTridiagDQJac(cvode.t(), y, fy, J, nullptr, tmp1, tmp2, tmp3), -1);	// no CVODE memory
	SUNBTridiagMatrix_SetCVodeMem(J, cvode.cvodeMem());
	const unsigned int evaluationsBefore = cvode.stats(IntegratorSundialsCVODE::ST_DIRECT_RHS_EVALS);
	ASSERT_EQ(cvDlsBTridiagDQJac(cvode.t(), y, fy, J, nullptr, tmp1, tmp2, tmp3), 0);
	EXPECT_EQ(cvode.stats(IntegratorSundialsCVODE::ST_DIRECT_RHS_EVALS), evaluationsBefore + 3 * M);
	const SUNDlsMat Jm = SUNBTridiagMatrix_Record(J);
	for (long i = 0; i < Jm->ldata; ++i)
		EXPECT_NEAR(Jm->data[i], model.m_K->data[i], 1e-6) << "value " << i;
	EXPECT_EQ(SUNBTridiagMatrix_CVodeMem(J), cvode.cvodeMem());

	model.m_ydotResult = KADRIX::ModelInterface::CalculationRecoverableError;
	EXPECT_EQ(cvDlsBTridiagDQJac(cvode.t(), y, fy, J, nullptr, tmp1, tmp2, tmp3), 1);
	EXPECT_EQ(cvode.stats(IntegratorSundialsCVODE::ST_DIRECT_RHS_EVALS), evaluationsBefore + 3 * M + 1);

	for (N_Vector v : {y, fy, tmp1, tmp2, tmp3})
		N_VDestroy(v);
	SUNMatDestroy(J);
}


TEST(CVBTridiag, SingularDiagonalBlockIsARecoverableSetupFailure) {
	SUNContext ctx = nullptr;
	ASSERT_EQ(SUNContext_Create(nullptr, &ctx), 0);
	SUNMatrix A = SUNBTridiagMatrix(5, 2, ctx);
	SUNLinearSolver LS = SUNLinSol_BTridiag(A, ctx);
	ASSERT_NE(LS, nullptr);
	EXPECT_EQ(SUNLinSolGetType(LS), SUNLINEARSOLVER_DIRECT);
	ASSERT_EQ(SUNLinSolInitialize(LS), SUNLS_SUCCESS);
	EXPECT_EQ(SUNLinSolSetup(LS, A), SUNLS_LUFACT_FAIL);	// all zero
	EXPECT_EQ(SUNLinSolLastFlag(LS), 1);
	ASSERT_EQ(SUNMatScaleAddI(0.0, A), SUNMAT_SUCCESS);
	EXPECT_EQ(SUNLinSolSetup(LS, A), SUNLS_SUCCESS);

	SUNMatrix denseMatrix = SUNDenseMatrix(10, 10, ctx);
	EXPECT_EQ(SUNLinSol_BTridiag(denseMatrix, ctx), nullptr);
	EXPECT_EQ(SUNBTridiagMatrix(3, 0, ctx), nullptr);
	SUNLinSolFree(LS);
	SUNMatDestroy(A);
	SUNMatDestroy(denseMatrix);
	SUNContext_Free(&ctx);
}
