#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "OVM_Constants.h"
#include "OVM_SolarRadiationModel.h"
#include "ZEB_Time.h"

namespace {

const unsigned int SURFACE_COUNT = 5;

// A synthetic cyclic year at the default location with the room model's usual five surfaces:
// the horizontal and four walls. What the room model does at every right-hand-side evaluation.
OVM::SolarRadiationModel roomClimate(bool perez) {
	OVM::SolarRadiationModel model;
	OVM::ClimateDataLoader & climate = model.m_climateDataLoader;
	climate.m_timeZone = 1;
	for (unsigned int c = 0; c < OVM::ClimateDataLoader::NumClimateComponents; ++c)
		climate.m_data[c].resize(ZEB::HOURS_PER_YEAR);
	for (unsigned int k = 0; k < ZEB::HOURS_PER_YEAR; ++k) {
		const double day = 2*3.141592653589793*(k % 24)/24.0;
		const double sunUp = std::max(0.0, -std::cos(day));
		climate.m_data[OVM::ClimateDataLoader::Temperature][k] = 10 + 8*std::sin(k/1400.0) - 4*std::cos(day);
		climate.m_data[OVM::ClimateDataLoader::RelativeHumidity][k] = 70;
		climate.m_data[OVM::ClimateDataLoader::DirectRadiation][k] = 700*sunUp;
		climate.m_data[OVM::ClimateDataLoader::DiffuseRadiation][k] = 150*sunUp;
		climate.m_data[OVM::ClimateDataLoader::WindDirection][k] = k % 360;
		climate.m_data[OVM::ClimateDataLoader::WindVelocity][k] = 3;
		climate.m_data[OVM::ClimateDataLoader::LongWaveCounterRadiation][k] = 300;
		climate.m_data[OVM::ClimateDataLoader::AirPressure][k] = 101325;
		climate.m_data[OVM::ClimateDataLoader::Rain][k] = 0;
	}
	model.m_usePerezModel = perez;
	const double pi = 3.141592653589793;
	model.addSurface(0, 0);
	for (unsigned int i = 0; i < 4; ++i)
		model.addSurface(i*pi/2, pi/2);
	return model;
}

double evaluate(OVM::SolarRadiationModel & model, double t) {
	model.setTime(2007, t);
	double sum = 0;
	for (unsigned int s = 0; s < SURFACE_COUNT; ++s) {
		double direct, diffuse, incidence;
		model.radiationLoad(s, direct, diffuse, incidence);
		sum += direct + diffuse + incidence;
	}
	return sum;
}

// Arg: 0 isotropic sky, 1 Perez sky. One iteration is one time point with five surfaces.
void climateHourlyYear(benchmark::State & state) {
	OVM::SolarRadiationModel model = roomClimate(state.range(0) != 0);
	unsigned int hour = 0;
	for (auto _ : state) {
		benchmark::DoNotOptimize(evaluate(model, 3600.0*hour));
		if (++hour == ZEB::HOURS_PER_YEAR)
			hour = 0;
	}
	state.SetItemsProcessed(state.iterations());
}

// Times spread at random over two years, as an adaptive integrator asks for them.
void climateRandomTimes(benchmark::State & state) {
	OVM::SolarRadiationModel model = roomClimate(state.range(0) != 0);
	std::mt19937 generator(17);
	std::uniform_real_distribution<double> distribution(0, 2*ZEB::SECONDS_PER_YEAR);
	std::vector<double> times(ZEB::HOURS_PER_YEAR);
	for (double & t : times)
		t = distribution(generator);
	std::size_t i = 0;
	for (auto _ : state) {
		benchmark::DoNotOptimize(evaluate(model, times[i]));
		if (++i == times.size())
			i = 0;
	}
	state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(climateHourlyYear)->Arg(0)->Arg(1);
BENCHMARK(climateRandomTimes)->Arg(0)->Arg(1);
