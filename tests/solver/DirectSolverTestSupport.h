#ifndef DirectSolverTestSupportH
#define DirectSolverTestSupportH

// Helpers of the tests of the direct linear equation solvers and the preconditioners.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_LESGMRES.h"
#include "KADRIX_PrecondInterface.h"
#include "SolverTestModels.h"
#include "TestSupport.h"
#include "ZEB_Exception.h"

namespace SolverTest {

/*! Whether rec holds a message that reads "location type level text". */
inline bool logged(const TestSupport::MessageRecorder & rec, const std::string & entry) {
	for (const TestSupport::MessageRecorder::Message & m : rec.m_messages)
		if (m.m_location + " " + std::to_string(m.m_type) + " " + std::to_string(m.m_level) + " " + m.m_text == entry)
			return true;
	return false;
}

/*! The tridiagonal pattern of a heat chain of n cells. */
struct ChainPattern {
	explicit ChainPattern(unsigned int n) : ia(1, 0) {
		for (unsigned int i = 0; i < n; ++i) {
			for (unsigned int j = (i > 0 ? i - 1 : 0); j <= i + 1 && j < n; ++j)
				ja.push_back(j);
			ia.push_back(static_cast<unsigned int>(ja.size()));
		}
	}
	unsigned int nnz() const { return static_cast<unsigned int>(ja.size()); }
	std::vector<unsigned int>	ia;
	std::vector<unsigned int>	ja;
};

/*! Steps past tEnd; the n values of the state at tEnd, none when a step fails or the steps run out. */
inline std::vector<double> stateAt(KADRIX::IntegratorSundialsCVODE & integrator, double tEnd, unsigned int n) {
	if (!stepTo(integrator, tEnd))
		return std::vector<double>();
	const double * y = integrator.yOut(tEnd);
	return std::vector<double>(y, y + n);
}

/*! A heat chain of n cells at t = 2 s by CVODE (relTol 1e-6) with GMRES. */
inline std::vector<double> gmresReference(unsigned int n) {
	HeatChain model(n);
	KADRIX::LESGMRES gmres;
	KADRIX::IntegratorSundialsCVODE cvode;
	cvode.m_relTol = 1e-6;
	cvode.init(&model, 0, model.y0(), &gmres, nullptr, nullptr);
	return stateAt(cvode, 2.0, n);
}

/*! Max |x_i - reference_i|; infinite when the sizes differ. */
inline double maxDifference(const std::vector<double> & x, const std::vector<double> & reference) {
	if (x.size() != reference.size())
		return std::numeric_limits<double>::infinity();
	double d = 0;
	for (std::size_t i = 0; i < x.size(); ++i)
		d = std::max(d, std::fabs(x[i] - reference[i]));
	return d;
}

/*! Max |(I - gamma J) x - b| for the exact Jacobian J of a heat chain. */
inline double chainResidual(HeatChain & model, const std::vector<double> & x, const std::vector<double> & b, double gamma) {
	return maxDifference(iterationMatrixTimes(model, x, gamma), b);
}

/*! z = P^-1 r by the solve for the right side; expects it to succeed. */
inline std::vector<double> precondSolve(KADRIX::PrecondInterface & precond, const std::vector<double> & r) {
	std::vector<double> z(r.size(), 0.0);
	EXPECT_EQ(precond.solve(0, nullptr, nullptr, nullptr, r.data(), z.data(), 0, 0, 2), 0);
	return z;
}

/*! Every shorter buffer (exactly as long as it claims) and blob with a value that is not finite
	at valueOffset are refused by restored.deserialize, which reads nothing beyond the end and
	leaves the cursor where it was. */
template <typename Restorable>
void expectTruncatedAndNonFiniteRefused(Restorable & restored, const std::vector<char> & blob, std::size_t valueOffset) {
	for (std::size_t length = 0; length < blob.size(); ++length) {
		std::vector<char> buffer(blob.begin(), blob.begin() + static_cast<long>(length));
		void * p = buffer.data();
		EXPECT_THROW(restored.deserialize(p, buffer.data() + buffer.size()), ZEB::Exception) << length;
		EXPECT_EQ(p, static_cast<void *>(buffer.data()));
	}
	std::vector<char> notFinite(blob);
	const double nan = std::nan("");
	std::memcpy(notFinite.data() + valueOffset, &nan, sizeof(nan));
	void * p = notFinite.data();
	EXPECT_THROW(restored.deserialize(p, notFinite.data() + notFinite.size()), ZEB::Exception);
	EXPECT_EQ(p, static_cast<void *>(notFinite.data()));
}

} // namespace SolverTest

#endif // DirectSolverTestSupportH
