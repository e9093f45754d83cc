#include "KADRIX_JacobianDense.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "KADRIX_ModelInterface.h"
#include "ZEB_Exception.h"
#include "ZEBMK_BinaryBlob.h"
#include "sundials_serialization.h"

namespace KADRIX {

JacobianDense::~JacobianDense() = default;


void JacobianDense::init(ModelInterface * model) {
	if (model == nullptr)
		throw ZEB::Exception("Missing model.", "[JacobianDense::init]");
	const unsigned int n = model->n();
	m_model = model;
	resize(n);
	m_yMod.assign(n, 0.0);
	m_ydotMod.assign(n, 0.0);
	m_increments.assign(n, 0.0);
}


int JacobianDense::setup(double /*t*/, const double * y, const double * ydot, const double * /*residuals*/,
						 double /*gamma*/)
{
	const unsigned int n = ZEBMK::DenseMatrix::n();
	// the matrix is a public base: a resize() or recreate() since init() would leave the arrays short
	if (m_model == nullptr || m_yMod.size() != n)
		return -1;
	double * values = data();
	std::fill(values, values + static_cast<std::size_t>(n) * n, 0.0);
	std::copy(y, y + n, m_yMod.begin());

	for (unsigned int j = 0; j < n; ++j) {
		m_increments[j] = std::fabs(y[j]) * m_relToleranceDQ + m_absToleranceDQ;
		m_yMod[j] += m_increments[j];
		ModelInterface::CalculationResult result = m_model->setY(m_yMod.data());
		if (result == ModelInterface::CalculationSuccess)
			result = m_model->ydot(m_ydotMod.data());
		++m_nRHSEvals;
		if (result == ModelInterface::CalculationSuccess) {
			double * column = values + static_cast<std::size_t>(j) * n;
			for (unsigned int i = 0; i < n; ++i)
				column[i] = (m_ydotMod[i] - ydot[i]) / m_increments[j];
		}
		m_yMod[j] = y[j];
		m_increments[j] = 0;
		if (result != ModelInterface::CalculationSuccess)
			return result == ModelInterface::CalculationRecoverableError ? 1 : -1;
	}
	return 0;
}


int JacobianDense::jacTimesVec(const double * v, double * Jv) const {
	multiply(v, Jv);
	return 0;
}


std::size_t JacobianDense::serializationSize() const {
	return ZEBMK::DenseMatrix::serializationSize() + sizeof(std::uint32_t);
}


void JacobianDense::serialize(void *& dataPtr) const {
	ZEBMK::DenseMatrix::serialize(dataPtr);
	ZEBMK::write_blob_value<std::uint32_t>(dataPtr, m_nRHSEvals);
}


void JacobianDense::deserialize(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[JacobianDense::deserialize]";
	try {
		void * p = dataPtr;
		// read beside the matrix, which must not be half overwritten when the blob fails
		checkSnapshotRoom(p, 0, dataEnd, location);
		ZEBMK::DenseMatrix restored(static_cast<const ZEBMK::DenseMatrix &>(*this));
		restored.deserialize(p, dataEnd);
		if (!allFinite(restored.data(), static_cast<std::size_t>(restored.n()) * restored.n()))
			throw ZEB::Exception("Jacobian values in binary data are not finite.", location);
		const std::uint32_t evaluations = ZEBMK::read_blob_value<std::uint32_t>(p, dataEnd, location);
		ZEBMK::DenseMatrix::swap(restored);
		m_nRHSEvals = evaluations;
		dataPtr = p;
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, "Error in Dense Jacobian deserialization.", location);
	}
}


void JacobianDense::recreate(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[JacobianDense::recreate]";
	try {
		void * p = dataPtr;
		checkSnapshotRoom(p, 0, dataEnd, location);
		ZEBMK::DenseMatrix restored;
		restored.recreate(p, dataEnd);
		if (!allFinite(restored.data(), static_cast<std::size_t>(restored.n()) * restored.n()))
			throw ZEB::Exception("Jacobian values in binary data are not finite.", location);
		const std::uint32_t evaluations = ZEBMK::read_blob_value<std::uint32_t>(p, dataEnd, location);
		ZEBMK::DenseMatrix::swap(restored);
		m_nRHSEvals = evaluations;
		dataPtr = p;
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, "Error in Dense Jacobian recreation.", location);
	}
}

} // namespace KADRIX
