#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "DirectSolverTestSupport.h"
#include "KADRIX_JacobianDense.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "KADRIX_PrecondILU.h"

using KADRIX::JacobianSparseCSR;
using KADRIX::PrecondILU;
using KADRIX::PrecondInterface;
using SolverTest::HeatChain;
using SolverTest::precondSolve;
using TestSupport::MessageRecorder;

TEST(PrecondILU, FactorisesATridiagonalJacobianExactlyAndRestoresItsFactors) {
	MessageRecorder quiet;
	const unsigned int n = 8;
	HeatChain model(n, 50.0);
	SolverTest::ChainPattern pattern(n);
	JacobianSparseCSR jacobian(n, pattern.nnz(), pattern.ia.data(), pattern.ja.data());
	jacobian.init(&model);
	std::vector<double> f(n), r(n);
	model.setY(model.y0());
	model.ydot(f.data());
	jacobian.setup(0, model.y0(), f.data(), nullptr, 0);
	for (unsigned int i = 0; i < n; ++i)
		r[i] = 3.0 - i;

	PrecondILU ilu(PrecondInterface::RIGHT);
	ilu.init(&model, nullptr, &jacobian);
	bool updated = false;
	EXPECT_EQ(ilu.setup(0, nullptr, nullptr, nullptr, false, updated, 0.0), 0);
	EXPECT_EQ(precondSolve(ilu, r), r);
	EXPECT_EQ(ilu.setup(0, nullptr, nullptr, nullptr, true, updated, 0.02), 0);
	const std::vector<double> z = precondSolve(ilu, r);
	EXPECT_LT(SolverTest::chainResidual(model, z, r, 0.02), 1e-6);

	std::vector<char> blob(ilu.serializationSize());
	EXPECT_EQ(blob.size(), 8u * pattern.nnz());
	void * p = blob.data();
	ilu.serialize(p);
	PrecondILU restored(PrecondInterface::RIGHT);
	restored.init(&model, nullptr, &jacobian);
	SolverTest::expectTruncatedAndNonFiniteRefused(restored, blob, 8);
	p = blob.data();
	restored.deserialize(p, blob.data() + blob.size());
	EXPECT_EQ(p, static_cast<void *>(blob.data() + blob.size()));
	EXPECT_EQ(precondSolve(restored, r), z);
}

TEST(PrecondILU, RefusesWhatItCannotFactorise) {
	HeatChain model(3);
	PrecondILU ilu(PrecondInterface::RIGHT);
	bool updated = false;
	EXPECT_EQ(ilu.setup(0, nullptr, nullptr, nullptr, false, updated, 0.1), -1);
	const std::string noSparse = "Error initializing ILU preconditioner: a sparse Jacobian generator is required. @ [PrecondILU::init]";
	EXPECT_EQ(TestSupport::thrown([&]() { ilu.init(&model, nullptr, nullptr); }), noSparse);
	KADRIX::JacobianDense dense;
	EXPECT_EQ(TestSupport::thrown([&]() { ilu.init(&model, nullptr, &dense); }), noSparse);
	const unsigned int ia[4] = {0, 2, 3, 4};
	const unsigned int ja[4] = {0, 1, 0, 2};
	JacobianSparseCSR holed(3, 4, ia, ja);
	EXPECT_EQ(TestSupport::thrown([&]() { ilu.init(&model, nullptr, &holed); }),
			  "Error initializing ILU preconditioner: the Jacobian's sparsity pattern lacks the diagonal element of row 1. "
			  "@ [PrecondILU::init]");
	EXPECT_EQ(ilu.serializationSize(), 0u);
}

TEST(PrecondILU, ReportsTheRowOfAVanishedOrNonFinitePivot) {
	MessageRecorder quiet;
	const unsigned int n = 6;
	HeatChain model(n, 50.0);
	SolverTest::ChainPattern pattern(n);
	JacobianSparseCSR jacobian(n, pattern.nnz(), pattern.ia.data(), pattern.ja.data());
	jacobian.init(&model);
	std::vector<double> f(n);
	model.setY(model.y0());
	model.ydot(f.data());
	jacobian.setup(0, model.y0(), f.data(), nullptr, 0);
	PrecondILU ilu(PrecondInterface::RIGHT);
	ilu.init(&model, nullptr, &jacobian);
	bool updated = false;
	// I - gamma J loses its first pivot for gamma = 1/J_00
	EXPECT_EQ(ilu.setup(0, nullptr, nullptr, nullptr, false, updated, 1.0 / jacobian.jacobian()->value(0, 0)), 1);
	EXPECT_EQ(ilu.setup(0, nullptr, nullptr, nullptr, false, updated, 0.02), 0);

	model.m_conductance = std::nan("");
	model.ydot(f.data());
	jacobian.setup(0, model.y0(), f.data(), nullptr, 0);
	EXPECT_EQ(ilu.setup(0, nullptr, nullptr, nullptr, false, updated, 0.02), 1);
}

TEST(PrecondILU, SavesGMRESIterations) {
	MessageRecorder quiet;
	const unsigned int n = 60;
	SolverTest::ChainPattern pattern(n);
	std::vector<double> states[2];
	unsigned int iterations[2] = {0, 0};
	for (int withILU = 0; withILU < 2; ++withILU) {
		HeatChain model(n);
		JacobianSparseCSR jacobian(n, pattern.nnz(), pattern.ia.data(), pattern.ja.data());
		KADRIX::LESGMRES gmres;
		PrecondILU ilu(PrecondInterface::RIGHT);
		KADRIX::IntegratorSundialsCVODE cvode;
		cvode.m_relTol = 1e-6;
		cvode.init(&model, 0, model.y0(), &gmres, withILU ? &ilu : nullptr, &jacobian);
		states[withILU] = SolverTest::stateAt(cvode, 2.0, n);
		iterations[withILU] = cvode.stats(KADRIX::IntegratorSundialsCVODE::ST_LIN_ITERS);
	}
	EXPECT_LT(SolverTest::maxDifference(states[1], states[0]), 1e-4);
	EXPECT_LT(2 * iterations[1], iterations[0]);
}
