#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "Case600Box.h"
#include "OVM_Constants.h"
#include "RX_CalovindaModel.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"

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
		room.m_constructions.clear();
		room.m_shadingControlModel.m_structuralShadings.clear();
		Case600::addBox(room, m_db);
		Case600::addWindow(room, m_db);
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
		if (t >= OVM::SECONDS_PER_YEAR)
			t -= OVM::SECONDS_PER_YEAR;
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
	RX::CalovindaModel & model = box.m_model;
	model.m_t = 172*86400 + 12*3600;
	model.m_hourOfYear = 172*24 + 12;
	model.updateClimate();
	for (auto _ : state) {
		model.updateStates();
		model.updateLoads();
		model.updateDerivatives();
		benchmark::DoNotOptimize(model.m_ydot.data());
	}
}
BENCHMARK(BM_CalovindaModelStatesLoadsDerivatives)->Arg(0)->Arg(1);

} // namespace
