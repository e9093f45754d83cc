#ifndef FuzzHeatChainH
#define FuzzHeatChainH

#include <cstddef>
#include <vector>

#include "KADRIX_ModelInterface.h"

namespace FuzzSupport {

/*! A chain of n heat-conducting cells, the first held against a boundary that warms from 20 to
	25 within the first second: stiff, smooth, and stateless apart from the state it was given. */
class HeatChain : public KADRIX::ModelInterface {
public:
	explicit HeatChain(unsigned int n) : m_y0(n, 0.0), m_y(n, 0.0) {}

	unsigned int n() const override { return static_cast<unsigned int>(m_y0.size()); }
	const double * y0() const override { return m_y0.data(); }
	double t0() const override { return 0; }
	double dt0() const override { return 1e-4; }
	double tEnd() const override { return 1e6; }
	CalculationResult setTime(double t) override { m_t = t; return CalculationSuccess; }
	CalculationResult setY(const double * y) override {
		m_y.assign(y, y + m_y.size());
		return CalculationSuccess;
	}
	CalculationResult ydot(double * ydot) override {
		const std::size_t n = m_y.size();
		const double boundary = 20.0 + 5.0 * (m_t > 1.0 ? 1.0 : m_t);
		for (std::size_t i = 0; i < n; ++i) {
			const double left = (i == 0) ? boundary : m_y[i - 1];
			const double right = (i + 1 == n) ? m_y[i] : m_y[i + 1];
			ydot[i] = 2000.0 * (left - 2 * m_y[i] + right);
		}
		return CalculationSuccess;
	}

private:
	std::vector<double>	m_y0;
	std::vector<double>	m_y;
	double				m_t = 0;
};

} // namespace FuzzSupport

#endif // FuzzHeatChainH
