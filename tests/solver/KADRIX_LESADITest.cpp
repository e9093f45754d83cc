#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ImplicitEulerTestSolver.h"
#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_LESADI.h"
#include "KADRIX_ModelInterfaceADI.h"
#include "SolverTestModels.h"
#include "TestSupport.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"

using KADRIX::IntegratorImplicitEuler;
using KADRIX::LESADI;
using KADRIX::ModelInterfaceADI;

namespace {

/*! Heat conduction on an nx x ny grid of cells with M unknowns each, the left side held at 25
	degrees, all others adiabatic; with M = 2 the two unknowns of a cell also exchange heat
	(counted to direction X). Blocks (cells) are numbered row by row, so that direction X is the
	block order itself and direction Y goes column by column. */
class GridModel : public ModelInterfaceADI {
public:
	GridModel(unsigned int nx, unsigned int ny, unsigned int M, double k = 20.0) :
		m_nx(nx), m_ny(ny), m_M(M), m_k(k), m_y0(nx * ny * M, 20.0), m_y(m_y0)
	{
		for (unsigned int p = 0; p < nx * ny; ++p) {
			m_blocksX.push_back(p);
			m_blocksY.push_back(p / ny + nx * (p % ny));
		}
	}

	unsigned int n() const override { return static_cast<unsigned int>(m_y0.size()); }
	const double * y0() const override { return m_y0.data(); }
	double t0() const override { return 0; }
	double dt0() const override { return 1e-3; }
	double tEnd() const override { return 1e6; }
	CalculationResult setTime(double) override { return CalculationSuccess; }
	CalculationResult setY(const double * y) override {
		m_y.assign(y, y + m_y.size());
		return CalculationSuccess;
	}
	CalculationResult ydot(double * f) override {
		const unsigned int nx = m_nx, M = m_M;
		for (unsigned int b = 0; b < nx * m_ny; ++b) {
			const unsigned int ix = b % nx, iy = b / nx;
			for (unsigned int v = 0; v < M; ++v) {
				const unsigned int i = b * M + v;
				f[i] = 0;
				if (m_direction != DirectionY) {
					const double left = (ix == 0) ? 25.0 : m_y[i - M];
					const double right = (ix + 1 == nx) ? m_y[i] : m_y[i + M];
					f[i] += m_k * (left - 2 * m_y[i] + right);
					if (M == 2)
						f[i] += 3.0 * (m_y[b * M + 1 - v] - m_y[i]);
				}
				if (m_direction != DirectionX) {
					const double down = (iy == 0) ? m_y[i] : m_y[i - nx * M];
					const double up = (iy + 1 == m_ny) ? m_y[i] : m_y[i + nx * M];
					f[i] += 0.5 * m_k * (down - 2 * m_y[i] + up);
				}
			}
		}
		return CalculationSuccess;
	}
	void setADIDirection(int direction) override {
		m_direction = direction;
		m_directions.push_back(direction);
	}
	int currentADIDirection() const override { return m_direction; }
	const unsigned int * blockIndicesX() const override { return m_blocksX.data(); }
	const unsigned int * blockIndicesY() const override { return m_blocksY.data(); }

	unsigned int				m_nx, m_ny, m_M;
	double						m_k;
	std::vector<double>			m_y0;
	std::vector<double>			m_y;
	std::vector<unsigned int>	m_blocksX;
	std::vector<unsigned int>	m_blocksY;
	int							m_direction = AllDirections;
	std::vector<int>			m_directions;
};


std::string initFailure(LESADI & les, KADRIX::ModelInterface * model, KADRIX::IntegratorInterface * integrator) {
	return TestSupport::thrownAt([&] { les.init(model, integrator, nullptr, nullptr); }, "[LESADI::init]");
}


std::vector<double> integrateTo(IntegratorImplicitEuler & integrator, unsigned int n, double tEnd) {
	integrator.m_stopTime = tEnd;
	EXPECT_TRUE(SolverTest::stepTo(integrator, tEnd));
	const double * y = integrator.yOut(integrator.t());
	return std::vector<double>(y, y + n);
}

} // namespace


TEST(LESADI, InitRefusesWhatItCannotSolve) {
	IntegratorImplicitEuler euler;
	SolverTest::HeatChain chain(6);
	LESADI les(6, 1);
	EXPECT_NE(initFailure(les, &chain, &euler).find("only defined for model types derivated from ModelInterfaceADI"),
			  std::string::npos);

	GridModel grid(3, 2, 1);
	KADRIX::IntegratorSundialsCVODE cvode;
	EXPECT_NE(initFailure(les, &grid, &cvode).find("only defined for implicit Euler integrator"), std::string::npos);
	EXPECT_EQ(initFailure(les, &grid, &euler), "no exception");

	LESADI mismatched(4, 2);		// 8 unknowns for a grid of 6
	EXPECT_NE(initFailure(mismatched, &grid, &euler).find("do not match the model's 6 unknowns"), std::string::npos);
	GridModel small(3, 1, 1);
	LESADI tooFew(3, 1);
	EXPECT_NE(initFailure(tooFew, &small, &euler).find("at least 4 blocks"), std::string::npos);
}


TEST(LESADI, SetupEvaluatesThreeMTimesPerDirectionAndRestoresAllDirections) {
	IntegratorImplicitEuler euler;
	for (unsigned int M : {1u, 2u}) {
		GridModel grid(3, 2, M);
		LESADI les(6, M);
		les.init(&grid, &euler, nullptr, nullptr);
		les.setup(grid.y0(), nullptr, nullptr, 0.1);
		EXPECT_EQ(les.nRHSEvals(), 6 * M);
		EXPECT_EQ(les.nJacEvals(), 2u);
		les.setup(grid.y0(), nullptr, nullptr, 0.1);
		EXPECT_EQ(les.nRHSEvals(), 12 * M);
		EXPECT_EQ(grid.m_directions, (std::vector<int>{0, 1, 3, 0, 1, 3}));
		EXPECT_EQ(grid.currentADIDirection(), ModelInterfaceADI::AllDirections);
	}

	GridModel grid(3, 2, 1);
	grid.m_blocksY[4] = 6;
	LESADI les(6, 1);
	les.init(&grid, &euler, nullptr, nullptr);
	EXPECT_THROW(les.setup(grid.y0(), nullptr, nullptr, 0.1), ZEB::Exception);
}


TEST(LESADI, SolveAppliesBothDirectionFactorsInTheirBlockOrders) {
	IntegratorImplicitEuler euler;
	GridModel grid(4, 3, 2);
	LESADI les(12, 2);
	les.init(&grid, &euler, nullptr, nullptr);
	std::vector<double> y(grid.n());
	for (std::size_t i = 0; i < y.size(); ++i)
		y[i] = 20.0 + std::sin(0.8 * static_cast<double>(i));
	const double gamma = 0.05;
	les.setup(y.data(), nullptr, nullptr, gamma);

	std::vector<double> b(grid.n());
	for (std::size_t i = 0; i < b.size(); ++i)
		b[i] = std::cos(1.1 * static_cast<double>(i));
	// the exact factors of both directions, by a dense solver on the model switched to each
	std::vector<double> expected = b, f(grid.n());
	for (int direction : {ModelInterfaceADI::DirectionX, ModelInterfaceADI::DirectionY}) {
		SolverTest::DenseDQSolver dense;
		dense.init(&grid, &euler, nullptr, nullptr);
		grid.setADIDirection(direction);
		grid.setY(y.data());
		grid.ydot(f.data());
		dense.setup(y.data(), f.data(), nullptr, gamma);
		dense.solve(expected.data());
	}
	grid.setADIDirection(ModelInterfaceADI::AllDirections);
	les.solve(b.data());
	for (std::size_t i = 0; i < b.size(); ++i)
		EXPECT_NEAR(b[i], expected[i], 1e-6) << "unknown " << i;
}


TEST(LESADI, DrivesImplicitEulerToTheSolutionOfTheFullModel) {
	ZEB::MessageHandler quiet;
	quiet.setConsoleVerbosityLevel(0);
	ZEB::MessageHandlerRegistry::instance().setMessageHandler(&quiet);

	GridModel referenceGrid(5, 4, 1);
	SolverTest::DenseDQSolver dense;
	IntegratorImplicitEuler reference;
	reference.m_relTol = 1e-7;
	reference.m_absTol = 1e-7;
	reference.init(&referenceGrid, 0, referenceGrid.y0(), &dense, nullptr, nullptr);
	const std::vector<double> expected = integrateTo(reference, 20, 0.5);

	GridModel grid(5, 4, 1);
	LESADI les(20, 1);
	IntegratorImplicitEuler euler;
	euler.init(&grid, 0, grid.y0(), &les, nullptr, nullptr);
	const std::vector<double> y = integrateTo(euler, 20, 0.5);
	ASSERT_GT(expected[3], 20.5);	// the heat has crossed the grid
	for (std::size_t i = 0; i < y.size(); ++i)
		EXPECT_NEAR(y[i], expected[i], 0.05) << "cell " << i;
	// one set-up and one solve per step attempt
	EXPECT_EQ(euler.counters().m_nLinSetups, les.nJacEvals() / 2);
	EXPECT_EQ(euler.counters().m_nNewtonIters, euler.counters().m_nLinSetups);

	for (double value : integrateTo(euler, 20, 1000.0))
		EXPECT_NEAR(value, 25.0, 1e-3);
}
