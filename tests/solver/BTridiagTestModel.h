#ifndef BTridiagTestModelH
#define BTridiagTestModelH

// A linear model whose Jacobian is block-tridiagonal with both corner blocks, for the tests of the
// block-tridiagonal solvers, and the error texts those tests look into.

#include <cmath>
#include <string>

#include "SolverTestModels.h"
#include "TestSupport.h"
#include "sundials_btridiag.h"

namespace SolverTest {

/*! y' = K y with a fixed block-tridiagonal K of N blocks of M x M values, corner blocks included,
	and a strongly negative diagonal. */
class BTridiagLinearModel : public HeatChain {
public:
	BTridiagLinearModel(long N, long M) : HeatChain(static_cast<unsigned int>(N * M)), m_K(NewBTridiagMat(N, M)) {
		for (long k = 0; k < 3 * N; ++k)
			for (long e = 0; e < M * M; ++e)
				m_K->cols[k][e] = 0.5 * std::sin(1.3 * static_cast<double>(k * M * M + e));
		for (long k = 0; k < N; ++k)
			for (long i = 0; i < M; ++i)
				m_K->cols[N + k][i * M + i] -= 5.0;
		for (std::size_t i = 0; i < m_y0.size(); ++i)
			m_y0[i] = 1.0 + 0.1 * static_cast<double>(i);
	}
	~BTridiagLinearModel() override { DestroyBTridiagMat(m_K); }
	BTridiagLinearModel(const BTridiagLinearModel &) = delete;
	BTridiagLinearModel & operator=(const BTridiagLinearModel &) = delete;

	CalculationResult ydot(double * ydot) override {
		BTridiagMult(m_K, m_y.data(), ydot);
		return m_ydotResult;
	}

	/*! Owned. */
	SUNDlsMat	m_K;
};


/*! The texts of the recorded error messages, each followed by a line end. */
inline std::string errorTexts(const TestSupport::MessageRecorder & rec) {
	std::string texts;
	for (const TestSupport::MessageRecorder::Message & m : rec.m_messages)
		if (m.m_type == ZEB::MSG_ERROR)
			texts += m.m_text + "\n";
	return texts;
}

} // namespace SolverTest

#endif // BTridiagTestModelH
