#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "DirectSolverTestSupport.h"
#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_JacobianDense.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "KADRIX_PrecondBand.h"

using KADRIX::IntegratorSundialsCVODE;
using KADRIX::PrecondBand;
using KADRIX::PrecondInterface;
using SolverTest::HeatChain;
using SolverTest::logged;
using SolverTest::precondSolve;
using TestSupport::MessageRecorder;

TEST(PrecondBand, FactorisesTheBandOfAJacobianAndReusesItWhenAllowed) {
	MessageRecorder messages;
	const unsigned int n = 6;
	HeatChain model(n, 50.0);
	std::vector<double> f(n), r = {1, -2, 3, 0.5, 2, -1};
	KADRIX::JacobianDense jacobian;
	jacobian.init(&model);
	model.setY(model.y0());
	model.ydot(f.data());
	jacobian.setup(0, model.y0(), f.data(), nullptr, 0);
	PrecondBand pb(1, 1, PrecondInterface::RIGHT);
	pb.init(&model, nullptr, &jacobian);
	EXPECT_TRUE(logged(messages, "[PrecondBand::init] 0 2 PrecondBand uses provided JacobianInterface implementation to "
								 "retrieve Jacobian data.\n"));
	bool updated = false;
	EXPECT_EQ(pb.setup(0, nullptr, nullptr, nullptr, false, updated, 0.01), 0);
	EXPECT_TRUE(updated);
	const std::vector<double> z = precondSolve(pb, r);
	EXPECT_LT(SolverTest::chainResidual(model, z, r, 0.01), 1e-6);

	// the saved band serves while the Jacobian may be reused, whatever the generator holds now
	model.m_conductance = 5.0;
	jacobian.setup(0, model.y0(), f.data(), nullptr, 0);
	EXPECT_EQ(pb.setup(0, nullptr, nullptr, nullptr, true, updated, 0.01), 0);
	EXPECT_FALSE(updated);
	EXPECT_EQ(precondSolve(pb, r), z);

	std::vector<char> blob(pb.serializationSize());
	EXPECT_EQ(blob.size(), 2 * ZEBMK::BandMatrix(n, 1, 1, 3).serializationSize());
	void * p = blob.data();
	pb.serialize(p);
	PrecondBand restored(1, 1, PrecondInterface::RIGHT), wider(2, 2, PrecondInterface::RIGHT);
	restored.init(&model, nullptr, &jacobian);
	wider.init(&model, nullptr, &jacobian);
	SolverTest::expectTruncatedAndNonFiniteRefused(restored, blob, 17);	// the working matrix's first value
	p = blob.data();
	EXPECT_THROW(wider.deserialize(p, blob.data() + blob.size()), ZEB::Exception);
	EXPECT_EQ(p, static_cast<void *>(blob.data()));
	restored.deserialize(p, blob.data() + blob.size());
	EXPECT_EQ(p, static_cast<void *>(blob.data() + blob.size()));
	EXPECT_EQ(precondSolve(restored, r), z);

	EXPECT_EQ(pb.setup(0, nullptr, nullptr, nullptr, false, updated, 0.0), 0);
	EXPECT_EQ(precondSolve(pb, r), r);
}

TEST(PrecondBand, UsesCVODEsModuleOnlyWithoutJacobianGenerator) {
	MessageRecorder messages;
	const std::vector<double> reference = SolverTest::gmresReference(30);
	SolverTest::ChainPattern pattern(30);
	// (lower bandwidth, with a generator): unequal bandwidths take the generator's band as well
	for (const auto & c : {std::make_pair(2u, false), std::make_pair(1u, true), std::make_pair(2u, true)}) {
		HeatChain model(30);
		KADRIX::JacobianSparseCSR jacobian(30, pattern.nnz(), pattern.ia.data(), pattern.ja.data());
		KADRIX::LESGMRES gmres;
		PrecondBand pb(c.first, 1, PrecondInterface::RIGHT);
		IntegratorSundialsCVODE cvode;
		cvode.m_relTol = 1e-6;
		cvode.init(&model, 0, model.y0(), &gmres, &pb, c.second ? &jacobian : nullptr);
		EXPECT_LT(SolverTest::maxDifference(SolverTest::stateAt(cvode, 2.0, 30), reference), 1e-4) << c.first << c.second;
		EXPECT_EQ(pb.libraryMode(), !c.second);
		EXPECT_EQ(jacobian.nRHSEvals() > 0, c.second);
		bool updated = false;
		if (!c.second) {
			EXPECT_EQ(pb.serializationSize(), 0u);
			EXPECT_EQ(pb.setup(0, nullptr, nullptr, nullptr, false, updated, 0.1), -1);
		}
		// the band holds the chain's whole Jacobian: one Krylov iteration per Newton iteration
		EXPECT_LE(cvode.stats(IntegratorSundialsCVODE::ST_LIN_ITERS), cvode.stats(IntegratorSundialsCVODE::ST_NONLIN_ITERS));
	}
	EXPECT_TRUE(logged(messages, "[PrecondBand::init] 0 2 Using Sundials::BandPrec implementation which generates Jacobian "
								 "data itself.\n"));

	HeatChain model(5);
	KADRIX::LESGMRES gmres;
	KADRIX::IntegratorImplicitEuler euler;
	PrecondBand pb(1, 1, PrecondInterface::RIGHT);
	EXPECT_EQ(TestSupport::thrown([&]() { euler.init(&model, 0, model.y0(), &gmres, &pb, nullptr); }),
			  "No band preconditioner implementation available for ml != mu or missig Jacobian interface. @ [PrecondBand::init]");
	SolverTest::ChainJacobian foreign;
	EXPECT_EQ(TestSupport::thrown([&]() { pb.init(&model, &euler, &foreign); }),
			  "No transfer algorithm from selected Jacobian matrix implementation toBand preconditioner implemented, "
			  "currently supported are JacobianDense and JacobianSparse! @ [PrecondBand::init]");
}
