#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BTridiagTestModel.h"
#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_LESBTridiag.h"
#include "SolverTestModels.h"
#include "TestSupport.h"
#include "ZEB_Exception.h"

using KADRIX::IntegratorImplicitEuler;
using KADRIX::IntegratorSundialsCVODE;
using KADRIX::LESBTridiag;
using SolverTest::HeatChain;

namespace {

std::string initFailure(LESBTridiag & les, KADRIX::ModelInterface * model, KADRIX::IntegratorInterface * integrator) {
	return TestSupport::thrownAt([&] { les.init(model, integrator, nullptr, nullptr); }, "[LESBTridiag::init]");
}


std::vector<double> integrateTo(IntegratorSundialsCVODE & integrator, unsigned int n, double tEnd) {
	integrator.m_stopTime = tEnd;
	EXPECT_TRUE(SolverTest::stepTo(integrator, tEnd));
	const double * y = integrator.yOut(integrator.t());
	return std::vector<double>(y, y + n);
}

} // namespace


TEST(LESBTridiag, WithCVODEMatchesTheBandSolverAtThreeMEvaluationsPerJacobian) {
	HeatChain bandChain(30);
	SolverTest::BandSolver band(1, 1);
	IntegratorSundialsCVODE bandCVODE;
	bandCVODE.m_relTol = bandCVODE.m_absTol = 1e-8;
	bandCVODE.init(&bandChain, 0, bandChain.y0(), &band, nullptr, nullptr);
	const std::vector<double> reference = integrateTo(bandCVODE, 30, 3.0);

	for (unsigned int M : {1u, 2u}) {
		HeatChain chain(30);
		LESBTridiag les(30 / M, M);
		IntegratorSundialsCVODE cvode;
		cvode.m_relTol = cvode.m_absTol = 1e-8;
		cvode.init(&chain, 0, chain.y0(), &les, nullptr, nullptr);
		const std::vector<double> y = integrateTo(cvode, 30, 3.0);
		for (std::size_t i = 0; i < y.size(); ++i)
			EXPECT_NEAR(y[i], reference[i], 1e-4) << "M = " << M << ", cell " << i;
		les.updateSUNDIALSStatistics();
		EXPECT_GT(les.nJacEvals(), 0u);
		EXPECT_EQ(les.nRHSEvals(), 3 * M * les.nJacEvals()) << "M = " << M;
		EXPECT_EQ(les.serializationSize(), 0u);
	}
}


TEST(LESBTridiag, InitRefusesTooFewBlocksAndMismatchedSizesWithEitherIntegrator) {
	TestSupport::MessageRecorder recorder;
	HeatChain chain(6);
	for (unsigned int N : {3u, 4u}) {	// 3 blocks, then 4 blocks of 8 unknowns for 6
		LESBTridiag les(N, 2);
		IntegratorSundialsCVODE cvode;
		recorder.m_messages.clear();
		EXPECT_THROW(cvode.init(&chain, 0, chain.y0(), &les, nullptr, nullptr), ZEB::Exception);
		const std::string errors = SolverTest::errorTexts(recorder);
		EXPECT_NE(errors.find("CVBTridiag init error (wrong input?)"), std::string::npos) << errors;
	}

	IntegratorImplicitEuler euler;
	LESBTridiag tooFew(3, 2);
	EXPECT_NE(initFailure(tooFew, &chain, &euler).find("at least 4 blocks"), std::string::npos);
	LESBTridiag mismatched(4, 2);
	EXPECT_NE(initFailure(mismatched, &chain, &euler).find("do not match the model's 6 unknowns"), std::string::npos);
	LESBTridiag fitting(6, 1);
	EXPECT_EQ(initFailure(fitting, &chain, &euler), "no exception");
	EXPECT_EQ(initFailure(fitting, nullptr, &euler), "Missing model.");
	EXPECT_NE(initFailure(fitting, &chain, nullptr).find("only defined for CVODE or implicit Euler"), std::string::npos);
}


TEST(LESBTridiag, ImplicitEulerSetupSolvesTheIterationMatrixWithItsCorners) {
	IntegratorImplicitEuler euler;
	for (long M : {1L, 2L, 3L}) {
		SolverTest::BTridiagLinearModel model(6, M);
		LESBTridiag les(6, static_cast<unsigned int>(M));
		les.init(&model, &euler, nullptr, nullptr);
		const std::size_t n = static_cast<std::size_t>(6 * M);
		std::vector<double> y(model.y0(), model.y0() + n), ydot(n), b(n), x(n), Kx(n);
		BTridiagMult(model.m_K, y.data(), ydot.data());
		const double gamma = 0.1;
		les.setup(y.data(), ydot.data(), nullptr, gamma);
		EXPECT_EQ(les.nRHSEvals(), 3 * M);
		EXPECT_EQ(les.nJacEvals(), 1u);

		for (std::size_t i = 0; i < n; ++i)
			b[i] = x[i] = std::cos(0.7 * static_cast<double>(i));
		les.solve(x.data());
		BTridiagMult(model.m_K, x.data(), Kx.data());
		for (std::size_t i = 0; i < n; ++i)
			EXPECT_NEAR(x[i] - gamma * Kx[i], b[i], 1e-6) << "M = " << M << ", row " << i;
	}
}
