#ifndef WallModelH
#define WallModelH

#include <cmath>
#include <vector>

#include "KADRIX_ModelInterface.h"

namespace Bench {

/*! A wall of n cells between a daily sinusoidal outdoor temperature and a room at 20 C,
	conducting heat in one dimension: a stiff system like a room model's constructions. */
class Wall : public KADRIX::ModelInterface {
public:
	explicit Wall(unsigned int n) : m_y0(n, 293.15), m_y(n, 293.15) {
		const double thickness = 0.3;				// [m]
		m_dx = thickness / n;
		const double lambda = 1.8;					// [W/mK]
		const double rhoC = 2.2e6;					// [J/m3K]
		m_conductance = lambda / (m_dx * rhoC * m_dx);	// [1/s]
		m_surface = 1.0 / (0.04 + 0.5 * m_dx / lambda) / (rhoC * m_dx);
		m_inside = 1.0 / (0.13 + 0.5 * m_dx / lambda) / (rhoC * m_dx);
	}

	unsigned int n() const override { return static_cast<unsigned int>(m_y.size()); }
	const double * y0() const override { return m_y0.data(); }
	double t0() const override { return 0; }
	double dt0() const override { return 1; }
	double tEnd() const override { return 365 * 86400.0; }
	CalculationResult setTime(double t) override {
		m_outside = 273.15 + 10 + 10 * std::sin(2 * 3.141592653589793 * t / 86400);
		return CalculationSuccess;
	}
	CalculationResult setY(const double * y) override {
		m_y.assign(y, y + m_y.size());
		return CalculationSuccess;
	}
	CalculationResult ydot(double * ydot) override {
		const std::size_t n = m_y.size();
		for (std::size_t i = 0; i < n; ++i) {
			double flux = 0;
			flux += (i == 0) ? m_surface * (m_outside - m_y[0]) : m_conductance * (m_y[i - 1] - m_y[i]);
			flux += (i + 1 == n) ? m_inside * (293.15 - m_y[i]) : m_conductance * (m_y[i + 1] - m_y[i]);
			ydot[i] = flux;
		}
		return CalculationSuccess;
	}

	/*! The tridiagonal pattern of the Jacobian: row offsets and column indices. */
	void pattern(std::vector<unsigned int> & ia, std::vector<unsigned int> & ja) const {
		const unsigned int n = this->n();
		ia.assign(1, 0);
		ja.clear();
		for (unsigned int i = 0; i < n; ++i) {
			for (unsigned int j = (i > 0 ? i - 1 : 0); j <= i + 1 && j < n; ++j)
				ja.push_back(j);
			ia.push_back(static_cast<unsigned int>(ja.size()));
		}
	}

private:
	std::vector<double>	m_y0;
	std::vector<double>	m_y;
	double				m_dx;
	double				m_conductance;
	double				m_surface;
	double				m_inside;
	double				m_outside = 283.15;
};

} // namespace Bench

#endif // WallModelH
