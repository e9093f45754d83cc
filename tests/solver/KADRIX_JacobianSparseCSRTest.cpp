#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "KADRIX_LESGMRES.h"
#include "SolverTestModels.h"
#include "TestSupport.h"
#include "ZEB_Exception.h"

using KADRIX::JacobianSparseCSR;
using KADRIX::ModelInterface;
using TestSupport::MessageRecorder;

namespace {

typedef std::set<std::pair<unsigned int, unsigned int> > Elements;

// CSR pattern from (row, column) pairs; every pattern here holds its diagonal.
struct Pattern {
	Pattern(unsigned int size, const Elements & e) : n(size), ia(size + 1, 0) {
		for (const auto & rc : e) {
			++ia[rc.first + 1];
			ja.push_back(rc.second);
		}
		for (unsigned int i = 0; i < n; ++i)
			ia[i + 1] += ia[i];
	}
	unsigned int nnz() const { return static_cast<unsigned int>(ja.size()); }
	JacobianSparseCSR jacobian() const { return JacobianSparseCSR(n, nnz(), ia.data(), ja.data()); }
	unsigned int n;
	std::vector<unsigned int> ia, ja;
};

// Diagonal (halfWidth 0) or tridiagonal (1).
Elements band(unsigned int n, unsigned int halfWidth) {
	Elements e;
	for (unsigned int i = 0; i < n; ++i)
		for (unsigned int j = (i >= halfWidth ? i - halfWidth : 0); j <= i + halfWidth && j < n; ++j)
			e.insert({i, j});
	return e;
}

// The diagonal plus about three elements per row from a fixed sequence; mirrored when symmetric.
Elements scattered(unsigned int n, unsigned int seed, bool symmetric) {
	Elements e = band(n, 0);
	for (unsigned int k = 0, x = seed; k < 3 * n; ++k) {
		x = x * 1103515245u + 12345u;
		const unsigned int i = (x >> 8) % n, j = (x >> 20) % n;
		e.insert({i, j});
		if (symmetric)
			e.insert({j, i});
	}
	return e;
}

/*! ydot_i = sum over stored (i,j) of a_ij y_j + y_i^2 / 2, so J = A + diag(y) on the pattern.
	Counts evaluations; ydot() reports m_failure at evaluation m_failAt (from 1; 0 never). */
class PatternModel : public ModelInterface {
public:
	explicit PatternModel(const Pattern & p) : m_p(p), m_y(p.n, 0.0) {}
	static double a(unsigned int i, unsigned int j) { return 1.0 + 0.37 * i - 0.11 * j - (i == j ? 5 : 0); }
	double exact(unsigned int i, unsigned int j, const std::vector<double> & y) const { return a(i, j) + (i == j ? y[i] : 0); }

	unsigned int n() const override { return m_p.n; }
	const double * y0() const override { return m_y.data(); }
	double t0() const override { return 0; }
	double dt0() const override { return 1; }
	double tEnd() const override { return 1; }
	CalculationResult setTime(double) override { return CalculationSuccess; }
	CalculationResult setY(const double * y) override { m_y.assign(y, y + m_p.n); return CalculationSuccess; }
	CalculationResult ydot(double * ydot) override {
		for (unsigned int i = 0; i < m_p.n; ++i) {
			ydot[i] = 0.5 * m_y[i] * m_y[i];
			for (unsigned int k = m_p.ia[i]; k < m_p.ia[i + 1]; ++k)
				ydot[i] += a(i, m_p.ja[k]) * m_y[m_p.ja[k]];
		}
		return ++m_evaluations == m_failAt ? m_failure : CalculationSuccess;
	}

	Pattern				m_p;
	std::vector<double>	m_y;
	unsigned int		m_evaluations = 0;
	unsigned int		m_failAt = 0;
	CalculationResult	m_failure = CalculationRecoverableError;
};

std::vector<double> state(unsigned int n, double shift = 0) {
	std::vector<double> y(n);
	for (unsigned int i = 0; i < n; ++i)
		y[i] = (i % 2 ? -1.0 : 1.0) * (3.0 + 0.5 * i) + shift;
	return y;
}

// Evaluates the model at y as the integrator would, then lets the Jacobian recompute.
int setupAt(JacobianSparseCSR & jac, PatternModel & model, const std::vector<double> & y) {
	std::vector<double> f(y.size());
	model.setY(y.data());
	model.ydot(f.data());
	return jac.setup(0.0, y.data(), f.data(), nullptr, 0.1);
}

void expectExact(const JacobianSparseCSR & jac, const PatternModel & model, const std::vector<double> & y) {
	const Pattern & p = model.m_p;
	ASSERT_EQ(jac.jacobian()->dataSize(), p.nnz());
	std::vector<double> v(p.n, 1.0), Jv(p.n), expected(p.n, 0.0);
	for (unsigned int i = 0; i < p.n; ++i) {
		for (unsigned int k = p.ia[i]; k < p.ia[i + 1]; ++k) {
			const double e = model.exact(i, p.ja[k], y);
			EXPECT_NEAR(jac.jacobian()->value(i, p.ja[k]), e, 1e-5 * (1 + std::fabs(e))) << i << "," << p.ja[k];
			expected[i] += e;
		}
	}
	EXPECT_EQ(jac.jacTimesVec(v.data(), Jv.data()), 0);
	for (unsigned int i = 0; i < p.n; ++i)
		EXPECT_NEAR(Jv[i], expected[i], 1e-4 * (1 + std::fabs(expected[i])));
}

// Every column in exactly one group, groups ascending, no row holding two columns of one group.
void expectValidColouring(const JacobianSparseCSR & jac, const Pattern & p) {
	std::vector<unsigned int> colour(p.n, 0);
	for (std::size_t g = 0; g < jac.colorGroups().size(); ++g) {
		const std::vector<unsigned int> & group = jac.colorGroups()[g];
		EXPECT_TRUE(std::is_sorted(group.begin(), group.end()));
		for (unsigned int j : group) {
			EXPECT_EQ(colour.at(j), 0u) << "column " << j << " in two groups";
			colour[j] = static_cast<unsigned int>(g + 1);
		}
	}
	for (unsigned int i = 0; i < p.n; ++i) {
		std::set<unsigned int> seen;
		for (unsigned int k = p.ia[i]; k < p.ia[i + 1]; ++k)
			EXPECT_TRUE(colour[p.ja[k]] != 0 && seen.insert(colour[p.ja[k]]).second) << "row " << i;
	}
}

std::vector<char> blobOf(const KADRIX::JacobianInterface & jac) {
	std::vector<char> blob(jac.serializationSize());
	void * p = blob.data();
	jac.serialize(p);
	EXPECT_EQ(static_cast<char *>(p), blob.data() + blob.size());
	return blob;
}

std::vector<double> valuesOf(const JacobianSparseCSR & jac) {
	return std::vector<double>(jac.jacobian()->data(), jac.jacobian()->data() + jac.jacobian()->dataSize());
}

} // namespace


TEST(JacobianSparseCSR, MatchesExactJacobianWithOneEvaluationPerColour) {
	MessageRecorder recorder;
	const Pattern tri(10, band(10, 1));
	PatternModel model(tri);
	JacobianSparseCSR jac = tri.jacobian();
	jac.init(&model);
	EXPECT_EQ(jac.colorGroups(), (std::vector<std::vector<unsigned int> >{{0, 3, 6, 9}, {1, 4, 7}, {2, 5, 8}}));
	EXPECT_EQ(recorder.m_messages.back().m_text, "  3 colors\n");
	for (double shift : {0.0, 40.0}) {
		model.m_evaluations = 0;
		EXPECT_EQ(setupAt(jac, model, state(10, shift)), 0);
		EXPECT_EQ(model.m_evaluations, 1u + 3u);
		expectExact(jac, model, state(10, shift));
	}
	EXPECT_EQ(jac.nRHSEvals(), 6u);

	for (unsigned int n : {5u, 1u}) {
		const Pattern diag(n, band(n, 0));
		PatternModel diagModel(diag);
		JacobianSparseCSR diagJac = diag.jacobian();
		diagJac.init(&diagModel);
		EXPECT_EQ(setupAt(diagJac, diagModel, state(n)), 0);
		EXPECT_EQ(diagJac.nRHSEvals(), 1u);
		expectExact(diagJac, diagModel, state(n));
	}
}


TEST(JacobianSparseCSR, ColouringNeverGroupsColumnsThatShareARow) {
	MessageRecorder quiet;
	Elements arrow = band(6, 0);	// a full row and column: every two columns share a row
	for (unsigned int j = 0; j < 6; ++j) {
		arrow.insert({0, j});
		arrow.insert({j, 0});
	}
	PatternModel arrowModel{Pattern(6, arrow)};
	JacobianSparseCSR arrowJac = arrowModel.m_p.jacobian();
	arrowJac.init(&arrowModel);
	EXPECT_EQ(arrowJac.colorGroups().size(), 6u);

	for (unsigned int seed = 1; seed <= 6; ++seed) {
		PatternModel model{Pattern(40, scattered(40, seed, seed % 2 == 0))};
		JacobianSparseCSR jac = model.m_p.jacobian();
		jac.init(&model);
		expectValidColouring(jac, model.m_p);
		EXPECT_EQ(setupAt(jac, model, state(40)), 0);
		EXPECT_EQ(jac.nRHSEvals(), jac.colorGroups().size());
		expectExact(jac, model, state(40));
	}
}


TEST(JacobianSparseCSR, WritesOnlyPositionsOfItsPattern) {
	MessageRecorder quiet;
	// Row 0 full, else the diagonal, no transposed index. Taking rows as columns would put all
	// columns into one group and write the unstored (i,0), one past the values for i = 5.
	Elements fullRow = band(6, 0);
	for (unsigned int j = 0; j < 6; ++j)
		fullRow.insert({0, j});
	PatternModel model{Pattern(6, fullRow)};
	const Pattern & p = model.m_p;
	JacobianSparseCSR derived = p.jacobian();
	derived.init(&model);
	expectValidColouring(derived, p);
	EXPECT_EQ(setupAt(derived, model, state(6)), 0);
	expectExact(derived, model, state(6));

	std::vector<unsigned int> iaT, jaT;
	ZEBMK::SparseMatrixCSR::generateTransposedIndex(p.ia, p.ja, iaT, jaT);
	JacobianSparseCSR given(p.n, p.nnz(), p.ia.data(), p.ja.data(), iaT.data(), jaT.data());
	given.init(&model);
	EXPECT_EQ(setupAt(given, model, state(6)), 0);
	EXPECT_EQ(valuesOf(given), valuesOf(derived));
	// the copy for preconditioners keeps pattern and transposed index, without values
	std::unique_ptr<ZEBMK::SparseMatrix> copy(derived.createAndReleaseJacobianCopy());
	const ZEBMK::SparseMatrixCSR & csr = dynamic_cast<const ZEBMK::SparseMatrixCSR &>(*copy);
	EXPECT_EQ(csr.ja(), p.ja);
	EXPECT_EQ(csr.jaT(), jaT);
	EXPECT_EQ(std::vector<double>(csr.data(), csr.data() + csr.dataSize()), std::vector<double>(p.nnz(), 0.0));

	// a transposed index that is not that of the pattern is refused
	const Pattern tri(6, band(6, 1));
	EXPECT_THROW(JacobianSparseCSR(6, tri.nnz(), tri.ia.data(), tri.ja.data(), iaT.data(), jaT.data()), ZEB::Exception);
}


TEST(JacobianSparseCSR, RestoresFromBlobAndRefusesCorruptOnes) {
	MessageRecorder quiet;
	PatternModel model{Pattern(6, band(6, 1))};
	JacobianSparseCSR jac = model.m_p.jacobian();
	jac.init(&model);
	setupAt(jac, model, state(6));
	std::vector<char> good = blobOf(jac);
	EXPECT_EQ(good.size(), 29u + 12 * 16 + 4 * 7 + 4);

	JacobianSparseCSR restored = model.m_p.jacobian();
	void * p = good.data();
	restored.deserialize(p, good.data() + good.size());
	EXPECT_EQ(static_cast<char *>(p), good.data() + good.size());
	EXPECT_EQ(valuesOf(restored), valuesOf(jac));
	EXPECT_EQ(restored.nRHSEvals(), 3u);
	// recreate takes any pattern; setup then waits for init
	JacobianSparseCSR other = Pattern(3, band(3, 0)).jacobian();
	p = good.data();
	other.recreate(p, good.data() + good.size());
	EXPECT_EQ(valuesOf(other), valuesOf(jac));
	std::vector<double> y = state(6), f(6);
	EXPECT_EQ(other.setup(0, y.data(), f.data(), nullptr, 0), -1);
	other.init(&model);
	EXPECT_EQ(setupAt(other, model, y), 0);

	auto expectRefused = [&](std::vector<char> blob, std::size_t length, bool recreate) {
		void * cursor = blob.data();
		try {
			recreate ? jac.recreate(cursor, blob.data() + length) : jac.deserialize(cursor, blob.data() + length);
			ADD_FAILURE() << "accepted a corrupt blob";
		}
		catch (ZEB::Exception & ex) {
			EXPECT_STREQ(ex.what(), recreate ? "Error in Sparse Jacobian CSR recreation." : "Error in Sparse Jacobian CSR deserialization.");
			EXPECT_STREQ(ex.location(), recreate ? "[JacobianSparseCSR::recreate]" : "[JacobianSparseCSR::deserialize]");
		}
		EXPECT_EQ(cursor, static_cast<void *>(blob.data()));
		EXPECT_EQ(valuesOf(jac), valuesOf(restored));
		EXPECT_EQ(jac.nRHSEvals(), 3u);
	};
	for (bool recreate : {false, true}) {
		std::vector<char> wrongType(good);
		wrongType[0] = 1;
		expectRefused(wrongType, good.size(), recreate);
		expectRefused(good, good.size() - 2, recreate);	// cut inside the counter
		std::vector<char> notFinite(good);
		const double inf = HUGE_VAL;
		std::memcpy(notFinite.data() + 13, &inf, sizeof(inf));	// the first value
		expectRefused(notFinite, good.size(), recreate);
	}
	// the end of the buffer is required
	p = good.data();
	EXPECT_THROW(jac.deserialize(p, nullptr), ZEB::Exception);
	EXPECT_THROW(jac.recreate(p, nullptr), ZEB::Exception);
	std::vector<char> hugeCount(good);
	const std::uint32_t huge = 0x7FFFFFFF;
	std::memcpy(hugeCount.data() + 9, &huge, 4);	// the value count
	expectRefused(hugeCount, good.size(), true);
	// same sizes, another symmetric pattern: its values would land on the wrong elements
	Elements moved = band(6, 1);
	moved.erase({4, 5});
	moved.erase({5, 4});
	moved.insert({0, 5});
	moved.insert({5, 0});
	expectRefused(blobOf(Pattern(6, moved).jacobian()), good.size(), false);
}


TEST(JacobianSparseCSR, RefusesMismatchingModelAndReportsModelFailures) {
	MessageRecorder quiet;
	PatternModel model{Pattern(7, band(7, 1))};
	PatternModel smaller{Pattern(4, band(4, 1))};
	JacobianSparseCSR jac = model.m_p.jacobian();
	try {
		jac.init(&smaller);
		ADD_FAILURE() << "accepted a model of another size";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Mismatching dimensions in JacobianSparseCSR and model.");
		EXPECT_STREQ(ex.location(), "[JacobianSparseCSR::init]");
	}
	EXPECT_EQ(setupAt(jac, model, state(7)), -1);	// not initialised

	jac.init(&model);
	model.m_evaluations = 0;
	model.m_failAt = 3;	// the second group, after the caller's own evaluation
	EXPECT_EQ(setupAt(jac, model, state(7)), 1);
	model.m_evaluations = 0;
	model.m_failure = ModelInterface::CalculationAbort;
	EXPECT_EQ(setupAt(jac, model, state(7)), -1);
	model.m_failAt = 0;	// the perturbed state was taken back
	EXPECT_EQ(setupAt(jac, model, state(7)), 0);
	expectExact(jac, model, state(7));
}


// The FMU's configuration: CVODE, GMRES without preconditioner, the sparse Jacobian supplying
// J*v. A snapshot of integrator, solver and Jacobian continues bit for bit in a fresh instance.
TEST(JacobianSparseCSR, RunsAndRestoresCVODEWithGMRES) {
	MessageRecorder quiet;
	constexpr unsigned int n = 20;
	SolverTest::HeatChain model(n);
	struct Instance {
		KADRIX::IntegratorSundialsCVODE	integrator;
		KADRIX::LESGMRES				les;
		JacobianSparseCSR				jac = Pattern(n, band(n, 1)).jacobian();
	};
	auto start = [&](Instance & s) {
		s.integrator.m_relTol = s.integrator.m_absTol = 1e-6;
		s.les.m_maxKrylovDim = 10;
		s.les.m_linIterConvCoeff = 0.05;
		s.integrator.init(&model, model.t0(), model.y0(), &s.les, nullptr, &s.jac);
	};
	auto run = [&](Instance & s) {
		std::vector<double> trace;
		for (unsigned int i = 0; i < 60; ++i) {
			EXPECT_EQ(s.integrator.step(), 1);
			const double * y = s.integrator.yOut(s.integrator.t());
			trace.push_back(s.integrator.t());
			trace.insert(trace.end(), y, y + n);
		}
		return trace;
	};

	Instance first, fresh;
	start(first);
	run(first);
	EXPECT_GT(first.jac.nRHSEvals(), 0u);
	std::vector<char> blob(first.integrator.serializationSize() + first.les.serializationSize() + first.jac.serializationSize());
	void * p = blob.data();
	first.integrator.serialize(p);
	first.les.serialize(p);
	first.jac.serialize(p);
	const std::vector<double> expected = run(first);

	start(fresh);
	p = blob.data();
	fresh.integrator.deserialize(p, blob.data() + blob.size());
	fresh.les.deserialize(p, blob.data() + blob.size());
	fresh.jac.deserialize(p, blob.data() + blob.size());
	ASSERT_EQ(static_cast<char *>(p), blob.data() + blob.size());
	EXPECT_EQ(run(fresh), expected);
}
