#include <benchmark/benchmark.h>

#include <vector>

#include "RX_Schedule.h"

namespace {

const unsigned int HOURS = 8760;

// A schedule of the kind given by the benchmark argument, with data that varies over the day
// and the year so that no branch is always taken.
RX::Schedule schedule(RX::Schedule::ScheduleType type) {
	RX::Schedule s;
	s.m_type = type;
	s.m_constantValue = 21;
	for (unsigned int k = 0; k < 24; ++k) {
		s.m_summerSchedule[k] = k;
		s.m_winterSchedule[k] = 2.0 * k;
		s.m_weekDaySchedule[k] = k >= 7 && k < 18 ? 1 : 0;
		s.m_weekEndSchedule[k] = 0.5;
	}
	s.m_annualSchedule.resize(HOURS);
	std::vector<double> x(HOURS + 1), y(HOURS + 1);
	for (unsigned int h = 0; h <= HOURS; ++h) {
		if (h < HOURS)
			s.m_annualSchedule[h] = h % 37;
		x[h] = 3600.0 * h;
		y[h] = h % 24;
	}
	// a measured hourly series: the spline searches, it has no fixed step
	s.m_datLinear.setValues(x, y);
	return s;
}

// One iteration is a year of hours at the middle of each hour, as the room model asks.
void scheduleValue(benchmark::State & state) {
	const RX::Schedule s = schedule(static_cast<RX::Schedule::ScheduleType>(state.range(0)));
	for (auto _ : state) {
		double sum = 0;
		for (unsigned int h = 0; h < HOURS; ++h)
			sum += s.value(h, 3600.0 * h + 1800.0);
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * HOURS);
	state.SetLabel(RX::Schedule::typeName(s.m_type).toStdString());
}

} // namespace

BENCHMARK(scheduleValue)->DenseRange(RX::Schedule::CONSTANT, RX::Schedule::DATLINEAR);
