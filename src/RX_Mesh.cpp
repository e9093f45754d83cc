#include "RX_Mesh.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace RX {

void Mesh::generate(int n, std::vector<double> & w) const {
	if (n < 1)
		throw std::runtime_error("Invalid number of cells");
	w.resize(static_cast<std::size_t>(n));
	if (n < 2) {
		w.back() = 1.0;
		return;
	}
	const double r2 = m_ratio*m_ratio;
	double xPrev = 0;
	for (int i = 0; i < n - 1; ++i) {
		const double xi = static_cast<double>(i + 1)/n;
		double x;
		switch (m_type) {
			case UNIFORM:
				x = xi;
				break;
			case ONE_SIDED:
				x = 1 + std::tanh((xi - 1)*m_stretch)/std::tanh(m_stretch);
				break;
			case TWO_SIDED: {
				const double u = 0.5*(1 + std::tanh((xi - 0.5)*m_stretch)/std::tanh(0.5*m_stretch));
				x = u/((1 - r2)*u + r2);
				break;
			}
			default:
				throw std::runtime_error("Invalid mesh type");
		}
		w[static_cast<std::size_t>(i)] = x - xPrev;
		xPrev = x;
	}
	// the last cell takes the remainder, so that the widths sum to 1 exactly
	w.back() = 1 - xPrev;
}


void Mesh::generate(int n, double x0, double x1, std::vector<double> & widths, std::vector<double> & centres) const {
	generate(n, widths);
	centres.resize(widths.size());
	const double L = x1 - x0;
	double x = x0;
	for (std::size_t i = 0; i < widths.size(); ++i) {
		const double xOld = x;
		x += widths[i]*L;
		centres[i] = 0.5*(xOld + x);
		widths[i] *= std::fabs(L);
	}
	if (L < 0) {
		std::reverse(centres.begin(), centres.end());
		std::reverse(widths.begin(), widths.end());
	}
}


double Mesh::stretch(int n, double d1, double d2) {
	const double B = 1.0/(n*std::sqrt(d1*d2));
	double a = 1e-6;
	double b = 10.0;
	double c = a;
	for (int budget = 4999; budget > 0; --budget) {
		const double fa = f(a, B);
		const double fb = f(b, B);
		if (fa == fb)
			throw std::runtime_error("f(a)==f(b)!");
		c = b - (b - a)*fb/(fb - fa);
		const double fc = f(c, B);
		if (std::fabs(fc) < 1e-4)
			return c;
		if ((fc < 0 && fa > 0) || (fc > 0 && fa < 0))
			b = c;
		else
			a = c;
	}
	return c;
}


double f(double x, double B) {
	return std::sinh(x)/x - B;
}

} // namespace RX
