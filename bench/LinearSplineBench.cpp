#include <benchmark/benchmark.h>

#include <vector>

#include "ZEB_LinearSpline.h"

namespace {

// An hourly climate series of one year, as the room model interpolates it on every evaluation.
ZEB::LinearSpline hourlySeries(bool equidistant) {
	std::vector<double> x(8760), y(8760);
	for (std::size_t i = 0; i < x.size(); ++i) {
		x[i] = 3600.0 * static_cast<double>(i);
		y[i] = static_cast<double>(i % 24);
	}
	ZEB::LinearSpline s;
	s.setValues(x, y);
	if (equidistant) {
		s.m_xOffset = 0;
		s.m_xStep = 3600;
	}
	return s;
}

void splineValue(benchmark::State & state) {
	const ZEB::LinearSpline s = hourlySeries(state.range(0) != 0);
	double t = 0;
	for (auto _ : state) {
		benchmark::DoNotOptimize(s.value(t));
		t += 917.3;
		if (t > 3.1536e7)
			t -= 3.1536e7;
	}
}

} // namespace

BENCHMARK(splineValue)->Arg(0)->Arg(1);
