#include "KADRIX_JacobianSparseCSR.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "KADRIX_ModelInterface.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEBMK_BinaryBlob.h"
#include "sundials_serialization.h"
#include "sundials_timer.h"

namespace KADRIX {

namespace {

// Rows of column j: positions offsets[j] to offsets[j+1]-1 of rows. From the transposed index
// when there is one, else from the rows themselves (the pattern is then structurally symmetric).
struct ColumnStructure {
	const unsigned int * offsets;
	const unsigned int * rows;
};

ColumnStructure columnStructure(const ZEBMK::SparseMatrixCSR & m) {
	if (!m.iaT().empty())
		return ColumnStructure{m.iaT().data(), m.jaT().data()};
	return ColumnStructure{m.ia().data(), m.ja().data()};
}

// Makes the column structure describe exactly the stored pattern: a given transposed index must
// be the transpose of ia, ja; without one, a pattern that is not structurally symmetric gets its
// transposed index, since the rows cannot then serve as columns.
void completePattern(ZEBMK::SparseMatrixCSR & m, const char * location) {
	if (m.n() == 0)
		throw ZEB::Exception("Invalid input in n or nnz.", location);
	std::vector<unsigned int> iaT, jaT;
	ZEBMK::SparseMatrixCSR::generateTransposedIndex(m.ia(), m.ja(), iaT, jaT);
	if (!m.iaT().empty()) {
		if (iaT != m.iaT() || jaT != m.jaT())
			throw ZEB::Exception("Transposed index does not match the sparsity pattern.", location);
		return;
	}
	if (iaT == m.ia() && jaT == m.ja())
		return;
	// resize() must not copy from the arrays it replaces
	const std::vector<unsigned int> ia(m.ia()), ja(m.ja());
	m.resize(m.n(), m.elementCount(), ia.data(), ja.data(), iaT.data(), jaT.data());
}

bool samePattern(const ZEBMK::SparseMatrixCSR & a, const ZEBMK::SparseMatrixCSR & b) {
	return a.ia() == b.ia() && a.ja() == b.ja() && a.iaT() == b.iaT() && a.jaT() == b.jaT();
}

int failureReaction(ModelInterface::CalculationResult result) {
	return result == ModelInterface::CalculationRecoverableError ? 1 : -1;
}

} // namespace


JacobianSparseCSR::JacobianSparseCSR(unsigned int n, unsigned int nnz, const unsigned int * ia, const unsigned int * ja,
									 const unsigned int * iaT, const unsigned int * jaT)
{
	m_matrix.resize(n, nnz, ia, ja, iaT, jaT);
	completePattern(m_matrix, "[JacobianSparseCSR::JacobianSparseCSR]");
}


JacobianSparseCSR::~JacobianSparseCSR() = default;


void JacobianSparseCSR::init(ModelInterface * model) {
	const char * const location = "[JacobianSparseCSR::init]";
	const unsigned int n = m_matrix.n();
	if (model == nullptr)
		throw ZEB::Exception("Missing model.", location);
	if (model->n() != n)
		throw ZEB::Exception("Mismatching dimensions in JacobianSparseCSR and model.", location);

	ZEB::ZEB_Message(ZEB::FormatString("SparseMatrix: generating color arrays\n"), ZEB::MSG_PROGRESS, location, 1);
	const ColumnStructure cols = columnStructure(m_matrix);
	const std::vector<unsigned int> & ia = m_matrix.ia();
	const std::vector<unsigned int> & ja = m_matrix.ja();

	// Column j gets the smallest colour not used by any earlier column that shares a row with it.
	// A colour counts as marked for column j when its stamp equals j, so no clearing is needed.
	std::vector<unsigned int> color(n, 0);
	std::vector<unsigned int> stamp(static_cast<std::size_t>(n) + 1, n);
	std::vector<std::vector<unsigned int> > groups;
	for (unsigned int j = 0; j < n; ++j) {
		for (unsigned int k = cols.offsets[j]; k < cols.offsets[j + 1]; ++k) {
			const unsigned int r = cols.rows[k];
			for (unsigned int p = ia[r]; p < ia[r + 1] && ja[p] < j; ++p)
				stamp[color[ja[p]]] = j;
		}
		unsigned int c = 1;
		while (c < n && stamp[c] == j)
			++c;
		color[j] = c;
		if (groups.size() < c)
			groups.resize(c);
		groups[c - 1].push_back(j);
	}

	std::vector<unsigned int> positions(m_matrix.elementCount());
	for (unsigned int j = 0; j < n; ++j) {
		for (unsigned int k = cols.offsets[j]; k < cols.offsets[j + 1]; ++k) {
			positions[k] = m_matrix.storageIndex(cols.rows[k], j);
			if (positions[k] == m_matrix.elementCount())	// cannot happen after completePattern()
				throw ZEB::Exception(ZEB::FormatString("Column index lists element (%1,%2), which the sparsity pattern "
													   "does not store.").arg(cols.rows[k]).arg(j), location);
		}
	}

	m_model = model;
	m_yMod.assign(n, 0.0);
	m_ydotMod.assign(n, 0.0);
	m_increments.assign(n, 0.0);
	m_colorGroups.swap(groups);
	m_columnPositions.swap(positions);
	ZEB::ZEB_Message(ZEB::FormatString("  %1 colors\n").arg(static_cast<unsigned int>(m_colorGroups.size())),
					 ZEB::MSG_PROGRESS, location, 1);
}


int JacobianSparseCSR::setup(double /*t*/, const double * y, const double * ydot, const double * /*residuals*/,
							 double /*gamma*/)
{
	const unsigned int n = m_matrix.n();
	if (m_model == nullptr || m_yMod.size() != n || m_columnPositions.size() != m_matrix.elementCount())
		return -1;
	std::copy(y, y + n, m_yMod.begin());
	double * values = m_matrix.data();
	const ColumnStructure cols = columnStructure(m_matrix);

	for (const std::vector<unsigned int> & group : m_colorGroups) {
		for (unsigned int j : group) {
			m_increments[j] = std::fabs(y[j]) * m_relToleranceDQ + m_absToleranceDQ;
			m_yMod[j] += m_increments[j];
		}
		TimerStart(m_timers, FEVAL_JACOBIAN_GENERATION);
		ModelInterface::CalculationResult result = m_model->setY(m_yMod.data());
		if (result == ModelInterface::CalculationSuccess)
			result = m_model->ydot(m_ydotMod.data());
		TimerStop(m_timers, FEVAL_JACOBIAN_GENERATION);
		++m_nRHSEvals;

		if (result == ModelInterface::CalculationSuccess) {
			for (unsigned int j : group) {
				for (unsigned int k = cols.offsets[j]; k < cols.offsets[j + 1]; ++k) {
					const unsigned int i = cols.rows[k];
					values[m_columnPositions[k]] = (m_ydotMod[i] - ydot[i]) / m_increments[j];
				}
			}
		}
		for (unsigned int j : group) {
			m_yMod[j] = y[j];
			m_increments[j] = 0;
		}
		if (result != ModelInterface::CalculationSuccess)
			return failureReaction(result);
	}
	return 0;
}


int JacobianSparseCSR::jacTimesVec(const double * v, double * Jv) const {
	m_matrix.multiply(v, Jv);
	return 0;
}


std::size_t JacobianSparseCSR::serializationSize() const {
	return m_matrix.serializationSize() + sizeof(std::uint32_t);
}


void JacobianSparseCSR::serialize(void *& dataPtr) const {
	m_matrix.serialize(dataPtr);
	ZEBMK::write_blob_value<std::uint32_t>(dataPtr, m_nRHSEvals);
}


void JacobianSparseCSR::deserialize(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[JacobianSparseCSR::deserialize]";
	try {
		void * p = dataPtr;
		checkSnapshotRoom(p, 0, dataEnd, location);
		ZEBMK::SparseMatrixCSR restored(m_matrix);
		restored.deserialize(p, dataEnd);
		if (!allFinite(restored.data(), restored.dataSize()))
			throw ZEB::Exception("Jacobian values in binary data are not finite.", location);
		// the colour groups and storage positions belong to this pattern
		if (!samePattern(restored, m_matrix))
			throw ZEB::Exception("Sparsity pattern in binary data differs from the Jacobian's pattern.", location);
		const std::uint32_t evaluations = ZEBMK::read_blob_value<std::uint32_t>(p, dataEnd, location);
		m_matrix = restored;
		m_nRHSEvals = evaluations;
		dataPtr = p;
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, "Error in Sparse Jacobian CSR deserialization.", location);
	}
}


ZEBMK::SparseMatrix * JacobianSparseCSR::createAndReleaseJacobianCopy() const {
	const bool transposed = !m_matrix.iaT().empty();
	return new ZEBMK::SparseMatrixCSR(m_matrix.n(), m_matrix.elementCount(), m_matrix.ia().data(), m_matrix.ja().data(),
									  transposed ? m_matrix.iaT().data() : nullptr,
									  transposed ? m_matrix.jaT().data() : nullptr);
}


void JacobianSparseCSR::recreate(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[JacobianSparseCSR::recreate]";
	try {
		void * p = dataPtr;
		checkSnapshotRoom(p, 0, dataEnd, location);
		ZEBMK::SparseMatrixCSR restored;
		restored.recreate(p, dataEnd);
		if (!allFinite(restored.data(), restored.dataSize()))
			throw ZEB::Exception("Jacobian values in binary data are not finite.", location);
		completePattern(restored, location);
		const std::uint32_t evaluations = ZEBMK::read_blob_value<std::uint32_t>(p, dataEnd, location);
		m_matrix = restored;
		m_nRHSEvals = evaluations;
		m_colorGroups.clear();
		m_columnPositions.clear();
		dataPtr = p;
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, "Error in Sparse Jacobian CSR recreation.", location);
	}
}

} // namespace KADRIX
