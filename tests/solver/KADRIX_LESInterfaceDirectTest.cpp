#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nvector/nvector_serial.h>
#include <sunmatrix/sunmatrix_sparse.h>

#include "DirectSolverTestSupport.h"
#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_JacobianDense.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "KADRIX_LESBand.h"
#include "KADRIX_LESDense.h"
#include "KADRIX_LESKLU.h"

using KADRIX::IntegratorSundialsCVODE;
using SolverTest::HeatChain;
using SolverTest::logged;
using TestSupport::MessageRecorder;
using TestSupport::thrown;

TEST(LESInterfaceDirect, DenseBandAndKLUIntegrateWithCVODEAsGMRESDoes) {
	MessageRecorder messages;
	const std::vector<double> reference = SolverTest::gmresReference(30);
	SolverTest::ChainPattern pattern(30);
	for (int kind = 0; kind < 3; ++kind) {
		HeatChain model(30);
		KADRIX::JacobianSparseCSR jacobian(30, pattern.nnz(), pattern.ia.data(), pattern.ja.data());
		std::unique_ptr<KADRIX::LESInterfaceDirect> les;
		if (kind == 0)
			les.reset(new KADRIX::LESDense);
		else if (kind == 1)
			les.reset(new KADRIX::LESBand(1, 1));
		else
			les.reset(new KADRIX::LESKLU);
		IntegratorSundialsCVODE cvode;
		cvode.m_relTol = 1e-6;
		cvode.init(&model, 0, model.y0(), les.get(), nullptr, &jacobian);
		EXPECT_LT(SolverTest::maxDifference(SolverTest::stateAt(cvode, 2.0, 30), reference), 1e-4) << kind;
		les->updateSUNDIALSStatistics();
		const unsigned int jacEvals = les->nJacEvals();
		EXPECT_GT(jacEvals, 1u) << kind;
		// dense: a column per evaluation; band: three groups; KLU: three colours plus its own evaluation
		const unsigned int perJacobian[3] = {30, 3, 4};
		EXPECT_EQ(les->nRHSEvals(), perJacobian[kind] * jacEvals) << kind;
	}
	EXPECT_TRUE(logged(messages, "[LESBand::init] 2 -1 LESBand linear solver is chosen: Jacobian will be ignored."));
}

TEST(LESInterfaceDirect, BandSnapshotOfTwoCellsRestoresBitForBit) {
	MessageRecorder quiet;
	HeatChain model(2);
	KADRIX::LESBand band(1, 1);
	IntegratorSundialsCVODE cvode;
	cvode.init(&model, 0, model.y0(), &band, nullptr, nullptr);
	EXPECT_EQ(band.serializationSize(), 204u);
	for (int i = 0; i < 30; ++i)
		ASSERT_EQ(cvode.step(), 1);
	std::vector<char> blob(cvode.serializationSize() + band.serializationSize());
	void * p = blob.data();
	cvode.serialize(p);
	band.serialize(p);
	auto run = [&cvode]() {
		std::vector<double> trace;
		for (int i = 0; i < 40 && cvode.step() == 1; ++i)
			trace.insert(trace.end(), {cvode.t(), cvode.yOut(cvode.t())[0], cvode.yOut(cvode.t())[1]});
		trace.push_back(cvode.stats(IntegratorSundialsCVODE::ST_DIRECT_JAC_EVALS));
		return trace;
	};
	const std::vector<double> continuation = run();
	p = blob.data();
	cvode.deserialize(p, blob.data() + blob.size());
	band.deserialize(p, blob.data() + blob.size());
	EXPECT_EQ(run(), continuation);
}

TEST(LESInterfaceDirect, DenseAndBandSolveNewtonSystemsForImplicitEuler) {
	MessageRecorder quiet;
	const unsigned int n = 12;
	HeatChain model(n, 50.0);
	for (unsigned int i = 0; i < n; ++i)
		model.m_y0[i] = 20.0 + i;
	std::vector<double> ydot(n), b(n);
	model.setY(model.y0());
	model.ydot(ydot.data());
	for (unsigned int i = 0; i < n; ++i)
		b[i] = std::sin(1.0 + i);
	// evaluations per setup: a column each; min(mu + ml + 1, n) groups, also beyond the matrix
	struct Case { KADRIX::LESInterfaceDirect * les; unsigned int evaluations; };
	KADRIX::LESDense dense;
	KADRIX::LESBand band(1, 1), wider(2, 4), beyond(n, 1);
	for (const Case & c : {Case{&dense, n}, Case{&band, 3}, Case{&wider, 7}, Case{&beyond, n}}) {
		KADRIX::IntegratorImplicitEuler euler;
		euler.init(&model, 0, model.y0(), c.les, nullptr, nullptr);
		EXPECT_EQ(c.les->serializationSize(), 0u);
		c.les->setup(model.y0(), ydot.data(), nullptr, 0.01);
		EXPECT_EQ(c.les->nRHSEvals(), c.evaluations);
		EXPECT_EQ(c.les->nJacEvals(), 1u);
		std::vector<double> x = b;
		c.les->solve(x.data());
		EXPECT_LT(SolverTest::chainResidual(model, x, b, 0.01), 1e-6) << c.evaluations;
	}
}

TEST(LESInterfaceDirect, DenseAndBandReportASingularIterationMatrixToImplicitEuler) {
	MessageRecorder quiet;
	// y' = 2 y from 0: the difference quotients give J = 2 exactly, I - 0.5 J = 0 at the first step
	class Growth : public HeatChain {
	public:
		Growth() : HeatChain(1) {}
		double dt0() const override { return 0.5; }
		CalculationResult ydot(double * ydot) override { ydot[0] = 2 * m_y[0]; return CalculationSuccess; }
	};
	for (int kind = 0; kind < 2; ++kind) {
		Growth model;
		KADRIX::LESDense dense;
		KADRIX::LESBand band(0, 0);
		KADRIX::IntegratorImplicitEuler euler;
		euler.init(&model, 0, model.y0(), kind == 0 ? static_cast<KADRIX::LESInterface *>(&dense) : &band, nullptr, nullptr);
		ASSERT_EQ(euler.step(), 1) << kind;
		EXPECT_EQ(euler.dt(), 0.25) << kind;				// the singular attempt was halved
		EXPECT_EQ(euler.yOut(euler.t())[0], 0.0) << kind;
		EXPECT_EQ(euler.counters().m_nNewtonConvFails, 1u) << kind;
		EXPECT_EQ(euler.counters().m_nNewtonIters, 1u) << kind;		// no solve with the singular factors
	}
}

TEST(LESInterfaceDirect, SolversRefuseWhatTheyCannotServe) {
	MessageRecorder messages;
	HeatChain model(3);
	IntegratorSundialsCVODE cvode;
	KADRIX::IntegratorImplicitEuler euler;
	KADRIX::LESBand wide(3, 1);
	EXPECT_EQ(thrown([&]() { cvode.init(&model, 0, model.y0(), &wide, nullptr, nullptr); }),
			  "Error initializing linear equation solver. @ [LESBand::init]");
	EXPECT_TRUE(logged(messages, "[LESBand::init] 3 -1 CVBand init error (wrong input?)"));
	KADRIX::LESDense dense;
	EXPECT_EQ(thrown([&]() { dense.init(nullptr, &euler, nullptr, nullptr); }), "Missing model. @ [LESDense::init]");
	EXPECT_EQ(thrown([&]() { dense.init(&model, nullptr, nullptr, nullptr); }),
			  "Error initialising Dense linear solver: solver is only defined for CVODE or implicit Euler integrator"
			  " @ [LESDense::init]");

	SolverTest::ChainPattern pattern(3);
	KADRIX::JacobianSparseCSR sparse(3, pattern.nnz(), pattern.ia.data(), pattern.ja.data());
	KADRIX::JacobianDense denseJacobian;
	KADRIX::LESKLU klu;
	EXPECT_EQ(thrown([&]() { euler.init(&model, 0, model.y0(), &klu, nullptr, &sparse); }),
			  "Error initializing KLU linear solver: solver is only defined for CVODE integrator @ [LESKLU::init]");
	EXPECT_EQ(thrown([&]() { cvode.init(&model, 0, model.y0(), &klu, nullptr, &denseJacobian); }),
			  "Error initializing LESKLU linear solver: only JacobianSparseCSR  is allowed. @ [LESKLU::init]");
	EXPECT_EQ(thrown([&]() { cvode.init(&model, 0, model.y0(), &klu, nullptr, nullptr); }),
			  "Error initializing LESKLU linear solver: missing Jacobian. @ [LESKLU::init]");
}

TEST(LESInterfaceDirect, KLUJacobianFunctionCopiesPatternAndValuesAndReportsFailures) {
	MessageRecorder quiet;
	const unsigned int n = 6;
	HeatChain model(n);
	SolverTest::ChainPattern pattern(n);
	KADRIX::JacobianSparseCSR jacobian(n, pattern.nnz(), pattern.ia.data(), pattern.ja.data());
	KADRIX::LESKLU klu;
	IntegratorSundialsCVODE cvode;
	cvode.init(&model, 0, model.y0(), &klu, nullptr, &jacobian);
	N_Vector y = N_VNew_Serial(n, cvode.sunContext());
	N_Vector fy = N_VNew_Serial(n, cvode.sunContext());
	N_VConst(20.0, y);
	SUNMatrix J = SUNSparseMatrix(n, n, pattern.nnz(), CSR_MAT, cvode.sunContext());
	SUNMatZero(J);		// as CVODE does before every request, index arrays included
	ASSERT_EQ(KADRIX::CVSlsSparseJacFn_f(0.5, y, fy, J, &klu, nullptr, nullptr, nullptr), 0);
	const ZEBMK::SparseMatrixCSR & csr = *jacobian.jacobian();
	EXPECT_TRUE(std::equal(csr.ia().begin(), csr.ia().end(), SM_INDEXPTRS_S(J)));
	EXPECT_TRUE(std::equal(csr.ja().begin(), csr.ja().end(), SM_INDEXVALS_S(J)));
	EXPECT_TRUE(std::equal(csr.data(), csr.data() + pattern.nnz(), SM_DATA_S(J)));
	EXPECT_NEAR(SM_DATA_S(J)[0], -4000.0, 1e-3);		// d ydot_0 / d y_0 of the chain
	model.m_ydotResult = KADRIX::ModelInterface::CalculationRecoverableError;
	EXPECT_EQ(KADRIX::CVSlsSparseJacFn_f(0.5, y, fy, J, &klu, nullptr, nullptr, nullptr), 1);
	model.m_ydotResult = KADRIX::ModelInterface::CalculationAbort;
	EXPECT_EQ(KADRIX::CVSlsSparseJacFn_f(0.5, y, fy, J, &klu, nullptr, nullptr, nullptr), -1);
	SUNMatDestroy(J);
	N_VDestroy_Serial(fy);
	N_VDestroy_Serial(y);
}

TEST(LESInterfaceDirect, WritesStatisticsAndMetrics) {
	TestSupport::TempDirectory tmp("lesdirect");
	const std::string dir = tmp.path();
	const std::string file = dir + "/LES_direct_stats.tsv";
	auto lines = [&file]() {
		std::ifstream in(file);
		std::vector<std::string> result(1);
		while (std::getline(in, result.back()))
			result.emplace_back();
		result.pop_back();
		return result;
	};
	MessageRecorder messages;
	HeatChain model(10);
	KADRIX::LESDense dense;
	IntegratorSundialsCVODE cvode;
	cvode.init(&model, 0, model.y0(), &dense, nullptr, nullptr);
	dense.writeStatisticsHeader(ZEB::Path(dir), false);
	// its metrics report the timings
	EXPECT_NE(cvode.timers().enabled, 0);
	SolverTest::stateAt(cvode, 0.1, 10);
	dense.writeStatistics(cvode.t());
	const std::vector<std::string> written = lines();
	ASSERT_EQ(written.size(), 2u);
	EXPECT_EQ(written[0], "                    Time\t   NJacEvals\t    NRhsEvals");
	EXPECT_EQ(written[1].find('\t'), 25u);
	EXPECT_EQ(written[1].size(), 25u + 2 * 14);
	EXPECT_EQ(std::count(written[1].begin(), written[1].end(), '\t'), 2);
	dense.writeStatisticsHeader(ZEB::Path(dir), true);
	dense.writeStatistics(cvode.t());
	EXPECT_EQ(lines().size(), 3u);
	dense.writeStatisticsHeader(ZEB::Path(dir), false);
	EXPECT_EQ(lines().size(), 1u);
	// a file that cannot be opened is told, not written silently into nothing
	EXPECT_THROW(dense.writeStatisticsHeader(ZEB::Path(dir + "/missing"), false), ZEB::Exception);

	messages.m_messages.clear();
	std::stringstream metrics;
	dense.writeMetrics(1.0, &metrics);
	EXPECT_EQ(messages.m_messages.size(), 3u);
	EXPECT_EQ(metrics.str().substr(0, 10), "LESSetups=");
	EXPECT_NE(metrics.str().find("\nLESJacEvals=" + std::to_string(dense.nJacEvals()) + "\nLESTimeJacEvals="),
			  std::string::npos);
}
