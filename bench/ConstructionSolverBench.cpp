#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <vector>

#include "RX_ConstructionSolver.h"
#include "RX_ConstructionType.h"
#include "RX_Material.h"
#include "RX_RoomConstruction.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace {

/*! Swallows the solver's mesh messages, which would clutter the benchmark's table. */
class Silent : public ZEB::MessageHandler {
public:
	void msg(const std::string &, ZEB::msg_type_t, const char *, int) override {}
};

/*! An outside wall of concrete, insulation and plaster: 52 + 30 + 18 = 100 cells, at a state
	with a temperature and humidity gradient (the moisture variant with both states per cell). */
struct Wall {
	explicit Wall(bool moisture) {
		ZEB::MessageHandlerRegistry::instance().setMessageHandler(&m_silent);
		m_materials[1] = material(2.0, 2300, 1000, 80);
		m_materials[2] = material(0.04, 50, 1500, 2);
		m_materials[3] = material(0.7, 1400, 1000, 10);
		m_ct.m_d = {0.2, 0.1118, 0.066};
		m_ct.m_materialIds = {1, 2, 3};
		m_rc.m_constructionType = &m_ct;
		m_solver.init(moisture, m_rc, m_materials);
		ZEB::MessageHandlerRegistry::instance().setDefaultMsgHandler();

		const unsigned int m = moisture ? 2 : 1;
		m_y.resize(m*m_solver.m_n);
		m_ydot.resize(m_y.size());
		// computeIC gives uniform states only: take cell i from the uniform state of its own values
		std::vector<double> uniform(m_y.size());
		for (unsigned int i = 0; i < m_solver.m_n; ++i) {
			const double s = static_cast<double>(i)/m_solver.m_n;
			m_solver.computeIC(273.15 + 20*s, 0.4 + 0.3*s, uniform.data());
			for (unsigned int k = 0; k < m; ++k)
				m_y[m*i + k] = uniform[m*i + k];
		}
		m_solver.decompose(m_y.data());
	}

	static RX::Material material(double lambda, double rho, double cT, double mu) {
		RX::Material mat("en:Bench", lambda, rho, cT);
		mat.m_mu = mu;
		mat.init({0.0, 0.5, 0.8, 1.0}, {0.0, 5.0, 9.0, 30.0});
		return mat;
	}

	Silent									m_silent;
	std::map<unsigned int, RX::Material>	m_materials;
	RX::ConstructionType					m_ct;
	RX::RoomConstruction					m_rc;
	RX::ConstructionSolver					m_solver;
	std::vector<double>						m_y;
	std::vector<double>						m_ydot;
};

// One right-hand-side evaluation's share of the wall: the fluxes and derivatives of all cells.
void computeDivergences(benchmark::State & state) {
	Wall wall(state.range(0) != 0);
	for (auto _ : state) {
		wall.m_solver.computeDivergences(2.0, 5.0, 1e-8, 0.03, 80.0, 268.15, 293.15, 400.0, 1200.0, wall.m_ydot.data());
		benchmark::DoNotOptimize(wall.m_ydot.data());
		benchmark::ClobberMemory();
	}
	state.SetItemsProcessed(state.iterations()*wall.m_solver.m_n);
	state.SetLabel(state.range(0) != 0 ? "100 cells, with moisture" : "100 cells, thermal");
}

// The states turned into temperatures (and humidities and vapour pressures), which precedes
// every computeDivergences().
void decompose(benchmark::State & state) {
	Wall wall(state.range(0) != 0);
	for (auto _ : state) {
		wall.m_solver.decompose(wall.m_y.data());
		benchmark::DoNotOptimize(wall.m_solver.m_T.data());
		benchmark::ClobberMemory();
	}
	state.SetItemsProcessed(state.iterations()*wall.m_solver.m_n);
	state.SetLabel(state.range(0) != 0 ? "100 cells, with moisture" : "100 cells, thermal");
}

} // namespace

BENCHMARK(computeDivergences)->Arg(0)->Arg(1);
BENCHMARK(decompose)->Arg(0)->Arg(1);
