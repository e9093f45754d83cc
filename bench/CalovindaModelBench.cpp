#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>

#include "Case600Box.h"
#include "OVM_Constants.h"
#include "RX_CalovindaModel.h"
#include "RX_OutputManager.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Time.h"

namespace {

/*! Swallows the model's start-up messages, which would clutter the benchmark's table. */
class Silent : public ZEB::MessageHandler {
public:
	void msg(const std::string &, ZEB::msg_type_t, const char *, int) override {}
};

/*! The Case-600-like box with its south window in Denver: heating, cooling, natural ventilation
	and persons, thermal only or with the moisture balance (moisture production included). */
struct Box {
	explicit Box(bool moisture) {
		ZEB::MessageHandlerRegistry::instance().setMessageHandler(&m_silent);
		RX::Room & room = m_model.m_room;
		Case600::addBox(room, m_db);
		room.m_climateLocation = "725650TYCST.epw";
		room.m_moistureBalanceEnabled = moisture;
		room.m_heatingModel.m_modelType = RX::HeatingModel::SIMPLE;
		room.m_coolingModel.m_modelType = RX::CoolingModel::SIMPLE;
		room.m_naturalVentilationModel.m_modelType = RX::NaturalVentilationModel::SIMPLE;
		room.m_userLoads.m_scheduleOccupancy.m_constantValue = 2;
		room.m_gammaRad = 0.6;
		room.m_gammaHC = 0.5;
		m_model.initClimate(CALOVINDA_CLIMATE_TEST_DATA, QString());
		m_model.init(m_db);
		ZEB::MessageHandlerRegistry::instance().setDefaultMsgHandler();
	}

	/*! The model at noon of 21 June, its climate read there: where the benchmarks that keep their
		time evaluate. */
	RX::CalovindaModel & atMidsummerNoon() {
		m_model.m_t = 172*86400 + 12*3600;
		m_model.m_hourOfYear = 172*24 + 12;
		m_model.updateClimate();
		return m_model;
	}

	Silent				m_silent;
	RX::Database		m_db;
	RX::CalovindaModel	m_model;
};

/*! One right-hand-side evaluation as the solver adaptor runs it: a new time (climate, sun and
	radiation on every surface), then states, loads and derivatives. Times walk through the
	year in steps of 17 minutes so that every evaluation interpolates afresh. */
void BM_CalovindaModelRHS(benchmark::State & state) {
	Box box(state.range(0) != 0);
	RX::CalovindaModel & model = box.m_model;
	double t = 0;
	for (auto _ : state) {
		t += 1020;
		if (t >= ZEB::SECONDS_PER_YEAR)
			t -= ZEB::SECONDS_PER_YEAR;
		model.m_t = t;
		model.m_hourOfYear = std::floor(t/3600);
		model.updateClimate();
		model.updateStates();
		model.updateLoads();
		model.updateDerivatives();
		benchmark::DoNotOptimize(model.m_ydot.data());
	}
	state.counters["n"] = model.m_n;
}
BENCHMARK(BM_CalovindaModelRHS)->Arg(0)->Arg(1);

/*! The same without the new time: what a Jacobian's difference quotient costs per column. */
void BM_CalovindaModelStatesLoadsDerivatives(benchmark::State & state) {
	Box box(state.range(0) != 0);
	RX::CalovindaModel & model = box.atMidsummerNoon();
	for (auto _ : state) {
		model.updateStates();
		model.updateLoads();
		model.updateDerivatives();
		benchmark::DoNotOptimize(model.m_ydot.data());
	}
}
BENCHMARK(BM_CalovindaModelStatesLoadsDerivatives)->Arg(0)->Arg(1);

/*! A column of a host's difference-quotient Jacobian as model exchange evaluates it: one state
	moved, state by state through the vector, the walls it leaves keeping their cells and
	derivatives. */
void BM_CalovindaModelJacobianColumn(benchmark::State & state) {
	Box box(state.range(0) != 0);
	RX::CalovindaModel & model = box.atMidsummerNoon();
	model.updateStates(true);
	model.updateLoads();
	model.updateDerivatives(true);
	unsigned int j = 0;
	for (auto _ : state) {
		const double y = model.m_y[j];
		model.m_y[j] = y*(1 + 1e-8);
		model.updateStates(true);
		model.updateLoads();
		model.updateDerivatives(true);
		benchmark::DoNotOptimize(model.m_ydot.data());
		model.m_y[j] = y;
		j = (j + 1) % model.m_n;
	}
	state.counters["n"] = model.m_n;
}
BENCHMARK(BM_CalovindaModelJacobianColumn)->Arg(0)->Arg(1);

/*! The box evaluated at every hour of the year, t = 0 to 8760 h, with the steps and outputs the
	solver adaptor takes on an hourly output grid. */
void runHourlyYear(Box & box, RX::OutputManager & outputs) {
	RX::CalovindaModel & model = box.m_model;
	outputs.m_model = &model;
	outputs.initOutputs();
	for (unsigned int h = 0; h <= 8760; ++h) {
		model.m_t = h*3600.0;
		model.m_hourOfYear = h % 8760;
		model.updateClimate();
		model.updateStates();
		model.updateLoads();
		model.updateDerivatives();
		if (h > 0)
			outputs.integrateOutputs(model.m_t);
		outputs.appendOutputs();
	}
}

/*! All result files of a year of hourly outputs (8761 rows, six constructions), thermal only or
	with the moisture balance. */
void BM_OutputManagerWriteYear(benchmark::State & state) {
	Box box(state.range(0) != 0);
	RX::OutputManager outputs;
	runHourlyYear(box, outputs);
	QTemporaryDir dir;
	for (auto _ : state)
		outputs.writeOutputFiles(dir.path());
	qint64 bytes = 0;
	for (QDirIterator it(dir.path(), QDir::Files); it.hasNext(); )
		bytes += QFileInfo(it.next()).size();
	state.counters["MB"] = bytes/1e6;
}
BENCHMARK(BM_OutputManagerWriteYear)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

/*! The output work after one completed integrator step. */
void BM_OutputManagerIntegrateStep(benchmark::State & state) {
	Box box(false);
	RX::OutputManager outputs;
	runHourlyYear(box, outputs);
	double t = box.m_model.m_t;
	for (auto _ : state) {
		t += 60;
		outputs.integrateOutputs(t);
	}
	benchmark::DoNotOptimize(outputs.m_fluxIntegrals.data());
}
BENCHMARK(BM_OutputManagerIntegrateStep);

} // namespace
