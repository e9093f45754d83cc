#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "KADRIX_JacobianDense.h"
#include "SolverTestModels.h"
#include "ZEB_Exception.h"

using KADRIX::JacobianDense;
using KADRIX::ModelInterface;

namespace {

// Evaluates the heat chain at a fixed state as the integrator would, then lets the Jacobian recompute.
int setupAt(JacobianDense & jac, SolverTest::HeatChain & model) {
	std::vector<double> y(model.n()), f(model.n());
	for (unsigned int i = 0; i < model.n(); ++i)
		y[i] = 20.0 + 1.5 * i - 0.25 * i * i;
	model.setY(y.data());
	model.ydot(f.data());
	return jac.setup(0.0, y.data(), f.data(), nullptr, 0.1);
}

std::vector<double> valuesOf(const JacobianDense & jac) {
	return std::vector<double>(jac.data(), jac.data() + jac.n() * jac.n());
}

std::vector<char> blobOf(const JacobianDense & jac) {
	std::vector<char> blob(jac.serializationSize());
	void * p = blob.data();
	jac.serialize(p);
	return blob;
}

} // namespace


TEST(JacobianDense, MatchesExactJacobianAndRefusesSetupItCannotDo) {
	const unsigned int n = 7;
	SolverTest::HeatChain model(n);
	SolverTest::ChainJacobian exact;
	exact.init(&model);
	JacobianDense jac;
	EXPECT_EQ(setupAt(jac, model), -1);	// no model yet
	jac.init(&model);
	EXPECT_EQ(setupAt(jac, model), 0);
	EXPECT_EQ(jac.nRHSEvals(), n);
	std::vector<double> e(n), column(n);
	for (unsigned int j = 0; j < n; ++j) {
		e.assign(n, 0.0);
		e[j] = 1.0;
		exact.jacTimesVec(e.data(), column.data());
		for (unsigned int i = 0; i < n; ++i)
			EXPECT_NEAR(jac.value(i, j), column[i], 1e-6 * std::fabs(column[i])) << i << "," << j;
	}
	std::vector<double> v(n, 1.0), Jv(n), expected(n);
	exact.jacTimesVec(v.data(), expected.data());
	EXPECT_EQ(jac.jacTimesVec(v.data(), Jv.data()), 0);
	for (unsigned int i = 0; i < n; ++i)
		EXPECT_NEAR(Jv[i], expected[i], 1e-6 * 4 * model.m_conductance);	// sums of terms ~ conductance

	model.m_ydotResult = ModelInterface::CalculationRecoverableError;
	EXPECT_EQ(setupAt(jac, model), 1);
	model.m_ydotResult = ModelInterface::CalculationAbort;
	EXPECT_EQ(setupAt(jac, model), -1);
	model.m_ydotResult = ModelInterface::CalculationSuccess;
	jac.resize(n + 1);	// through the public matrix base: the work arrays no longer fit
	EXPECT_EQ(setupAt(jac, model), -1);
}


TEST(JacobianDense, RestoresFromBlobAndRefusesCorruptOnes) {
	const unsigned int n = 5;
	SolverTest::HeatChain model(n);
	JacobianDense jac, restored, rebuilt;
	jac.init(&model);
	restored.init(&model);
	setupAt(jac, model);
	std::vector<char> blob = blobOf(jac);
	EXPECT_EQ(blob.size(), 13u + 8 * (n * n + n) + 4);
	void * p = blob.data();
	restored.deserialize(p, blob.data() + blob.size());
	EXPECT_EQ(static_cast<char *>(p), blob.data() + blob.size());
	p = blob.data();
	rebuilt.recreate(p, blob.data() + blob.size());
	for (const JacobianDense * j : {&restored, &rebuilt}) {
		EXPECT_EQ(valuesOf(*j), valuesOf(jac));
		EXPECT_EQ(j->nRHSEvals(), n);
	}

	auto expectRefused = [&](std::vector<char> corrupt, std::size_t length, bool recreate) {
		void * cursor = corrupt.data();
		try {
			recreate ? restored.recreate(cursor, corrupt.data() + length) : restored.deserialize(cursor, corrupt.data() + length);
			ADD_FAILURE() << "accepted a corrupt blob";
		}
		catch (ZEB::Exception & ex) {
			EXPECT_STREQ(ex.what(), recreate ? "Error in Dense Jacobian recreation." : "Error in Dense Jacobian deserialization.");
			EXPECT_STREQ(ex.location(), recreate ? "[JacobianDense::recreate]" : "[JacobianDense::deserialize]");
		}
		EXPECT_EQ(cursor, static_cast<void *>(corrupt.data()));
		EXPECT_EQ(valuesOf(restored), valuesOf(jac));
		EXPECT_EQ(restored.nRHSEvals(), n);
	};
	for (bool recreate : {false, true}) {
		std::vector<char> wrongType(blob);
		wrongType[0] = 5;
		expectRefused(wrongType, blob.size(), recreate);
		expectRefused(blob, blob.size() - 1, recreate);
		std::vector<char> notFinite(blob);
		const double nan = std::nan("");
		std::memcpy(notFinite.data() + 9, &nan, sizeof(nan));	// the first value
		expectRefused(notFinite, blob.size(), recreate);
	}
	// the end of the buffer is required
	p = blob.data();
	EXPECT_THROW(restored.deserialize(p, nullptr), ZEB::Exception);
	EXPECT_THROW(restored.recreate(p, nullptr), ZEB::Exception);
	SolverTest::HeatChain bigger(n + 1);
	JacobianDense other;
	other.init(&bigger);
	expectRefused(blobOf(other), blobOf(other).size(), false);
}
