#include "KADRIX_LESADI.h"

#include <algorithm>
#include <cmath>

#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_ModelInterfaceADI.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace KADRIX {

void LESADI::init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
				  JacobianInterface * /*jacobian*/)
{
	const char * const location = "[LESADI::init]";
	m_integrator = integrator;
	m_model = model;
	m_modelADI = dynamic_cast<ModelInterfaceADI *>(model);
	if (m_modelADI == nullptr)
		throw ZEB::Exception("Error initializing ADI linear solver: solver is only defined for model types derivated "
							 "from ModelInterfaceADI", location);
	if (precond != nullptr)
		ZEB::ZEB_Message(ZEB::FormatString("LESADI linear solver is chosen: Preconditioner will be ignored."),
						 ZEB::MSG_WARNING, location, -1);
	if (dynamic_cast<IntegratorImplicitEuler *>(integrator) == nullptr)
		throw ZEB::Exception("Error initializing ADI linear solver: solver is only defined for implicit Euler integrator",
							 location);
	// the block factorisation needs four blocks
	if (m_N < 4)
		throw ZEB::Exception(ZEB::FormatString("Error initializing ADI linear solver: at least 4 blocks are needed, "
											   "got %1.").arg(m_N), location);
	const unsigned int n = model->n();
	if (m_M == 0 || n % m_M != 0 || n / m_M != m_N)
		throw ZEB::Exception(ZEB::FormatString("Error initializing ADI linear solver: %1 blocks of %2 unknowns do not "
											   "match the model's %3 unknowns.").arg(m_N).arg(m_M).arg(n), location);

	m_X = ZEBMK::BlockTridiagMatrix(m_N, m_M);
	m_Y = ZEBMK::BlockTridiagMatrix(m_N, m_M);
	for (std::vector<double> * v : {&m_ydotX, &m_ydotY, &m_yPerturbed, &m_ydotPerturbed, &m_increments,
									&m_gatherX, &m_gatherY})
		v->assign(n, 0.0);
}


void LESADI::checkBlockIndices(const unsigned int * blocks, const char * location) const {
	if (blocks == nullptr)
		throw ZEB::Exception("Missing block indices of the model.", location);
	for (unsigned int p = 0; p < m_N; ++p)
		if (blocks[p] >= m_N)
			throw ZEB::Exception(ZEB::FormatString("Invalid block index %1 at position %2, the model has %3 blocks.")
								 .arg(blocks[p]).arg(p).arg(m_N), location);
}


void LESADI::setup(const double * y, const double * /*ydot*/, const double * /*residuals*/, double gamma) {
	const char * const location = "[LESADI::setup]";
	const std::size_t n = m_yPerturbed.size();
	for (std::size_t i = 0; i < n; ++i)
		m_increments[i] = std::fabs(y[i]) * m_relToleranceDQ + m_absToleranceDQ;
	std::copy(y, y + n, m_yPerturbed.begin());

	m_model->setY(y);
	const unsigned int * blocksX = m_modelADI->blockIndicesX();
	const unsigned int * blocksY = m_modelADI->blockIndicesY();
	checkBlockIndices(blocksX, location);
	checkBlockIndices(blocksY, location);

	m_modelADI->setADIDirection(ModelInterfaceADI::DirectionX);
	m_model->ydot(m_ydotX.data());
	formDirection(blocksX, y, m_ydotX, m_X);
	++m_nJacEvals;

	m_model->setY(y);
	m_modelADI->setADIDirection(ModelInterfaceADI::DirectionY);
	m_model->ydot(m_ydotY.data());
	formDirection(blocksY, y, m_ydotY, m_Y);
	++m_nJacEvals;

	m_modelADI->setADIDirection(ModelInterfaceADI::AllDirections);
	factorise(m_X, gamma);
	factorise(m_Y, gamma);
}


void LESADI::formDirection(const unsigned int * blocks, const double * y, const std::vector<double> & reference,
						   ZEBMK::BlockTridiagMatrix & matrix)
{
	const unsigned int N = m_N;
	const unsigned int M = m_M;
	// the corner blocks stay 0: a direction has no one-sided closures
	matrix.setZero();
	// column k of the blocks that couple with the block at position p
	auto fillColumn = [&](double * block, unsigned int rowBlock, unsigned int k, double incInv) {
		const std::size_t first = static_cast<std::size_t>(rowBlock) * M;
		for (unsigned int r = 0; r < M; ++r)
			block[k * M + r] = (m_ydotPerturbed[first + r] - reference[first + r]) * incInv;
	};
	for (unsigned int k = 0; k < M; ++k) {
		// positions three apart have disjoint neighbours
		for (unsigned int g = 0; g < 3; ++g) {
			for (unsigned int p = g; p < N; p += 3) {
				const std::size_t j = static_cast<std::size_t>(blocks[p]) * M + k;
				m_yPerturbed[j] += m_increments[j];
			}
			m_model->setY(m_yPerturbed.data());
			m_model->ydot(m_ydotPerturbed.data());
			++m_nRHSEvals;
			for (unsigned int p = g; p < N; p += 3) {
				const std::size_t j = static_cast<std::size_t>(blocks[p]) * M + k;
				const double incInv = 1.0 / m_increments[j];
				if (p >= 1)
					fillColumn(matrix.upperBlock(p - 1), blocks[p - 1], k, incInv);
				fillColumn(matrix.diagonalBlock(p), blocks[p], k, incInv);
				if (p + 1 < N)
					fillColumn(matrix.lowerBlock(p + 1), blocks[p + 1], k, incInv);
				m_yPerturbed[j] = y[j];
			}
		}
	}
}


void LESADI::factorise(ZEBMK::BlockTridiagMatrix & matrix, double gamma) {
	double * values = matrix.data();
	const std::size_t size = matrix.dataSize();
	for (std::size_t i = 0; i < size; ++i)
		values[i] *= -gamma;
	for (unsigned int p = 0; p < m_N; ++p)
		for (unsigned int r = 0; r < m_M; ++r)
			matrix.diagonalBlock(p)[r * m_M + r] += 1.0;
	matrix.lu();
}


void LESADI::solveDirection(const unsigned int * blocks, const ZEBMK::BlockTridiagMatrix & matrix,
							std::vector<double> & work, double * b) const
{
	const unsigned int M = m_M;
	for (unsigned int p = 0; p < m_N; ++p)
		std::copy(b + static_cast<std::size_t>(blocks[p]) * M, b + static_cast<std::size_t>(blocks[p] + 1) * M,
				  work.begin() + static_cast<std::ptrdiff_t>(p) * M);
	matrix.backsolve(work.data());
	for (unsigned int p = 0; p < m_N; ++p)
		std::copy(work.begin() + static_cast<std::ptrdiff_t>(p) * M, work.begin() + static_cast<std::ptrdiff_t>(p + 1) * M,
				  b + static_cast<std::size_t>(blocks[p]) * M);
}


void LESADI::solve(double * b) {
	const char * const location = "[LESADI::solve]";
	const unsigned int * blocksX = m_modelADI->blockIndicesX();
	const unsigned int * blocksY = m_modelADI->blockIndicesY();
	checkBlockIndices(blocksX, location);
	checkBlockIndices(blocksY, location);
	solveDirection(blocksX, m_X, m_gatherX, b);
	solveDirection(blocksY, m_Y, m_gatherY, b);
}

} // namespace KADRIX
