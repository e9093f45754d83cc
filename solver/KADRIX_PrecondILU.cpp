#include "KADRIX_PrecondILU.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "KADRIX_JacobianSparse.h"
#include "ZEBMK_SparseMatrix.h"
#include "ZEBMKC_vector_operations.h"
#include "sundials_serialization.h"
#include "ZEB_Exception.h"

namespace KADRIX {

PrecondILU::PrecondILU(PreconditionerType type) : m_type(type) {}


PrecondILU::~PrecondILU() = default;


void PrecondILU::init(ModelInterface * model, IntegratorInterface * integrator, const JacobianInterface * jacobian) {
	const char * const location = "[PrecondILU::init]";
	m_model = model;
	m_integrator = integrator;
	m_jacobian = dynamic_cast<const JacobianSparse *>(jacobian);
	m_ilu.reset();
	m_diagonal.clear();
	if (m_jacobian == nullptr)
		throw ZEB::Exception("Error initializing ILU preconditioner: a sparse Jacobian generator is required.", location);
	std::unique_ptr<ZEBMK::SparseMatrix> ilu(m_jacobian->createAndReleaseJacobianCopy());
	// the factorisation divides by every diagonal element
	std::vector<unsigned int> diagonal(ilu->n());
	for (unsigned int i = 0; i < ilu->n(); ++i) {
		diagonal[i] = ilu->storageIndex(i, i);
		if (diagonal[i] == ilu->dataSize())
			throw ZEB::Exception(ZEB::FormatString("Error initializing ILU preconditioner: the Jacobian's sparsity pattern "
												   "lacks the diagonal element of row %1.").arg(i), location);
	}
	m_ilu.swap(ilu);
	m_diagonal.swap(diagonal);
}


int PrecondILU::setup(double /*t*/, const double * /*y*/, const double * /*ydot*/, const double * /*residuals*/,
					  bool /*jacOk*/, bool & /*jacUpdated*/, double gamma)
{
	if (m_ilu == nullptr)
		return -1;
	const unsigned int size = static_cast<unsigned int>(m_ilu->dataSize());
	ZEBMK::vector_copy(size, m_jacobian->jacobian()->data(), m_ilu->data());
	ZEBMK::vector_scale_by(static_cast<int>(size), m_ilu->data(), -gamma);
	m_ilu->addIdentityMatrix();
	m_ilu->ilu();
	// a vanished or non-finite pivot would turn every solve into garbage: a smaller step may help
	const double * values = m_ilu->data();
	for (std::size_t i = 0; i < m_diagonal.size(); ++i)
		if (!std::isfinite(values[m_diagonal[i]]) || values[m_diagonal[i]] == 0)
			return static_cast<int>(i) + 1;
	return 0;
}


int PrecondILU::solve(double /*t*/, const double * /*y*/, const double * /*ydot*/, const double * /*residuals*/,
					  const double * r, double * z, double /*gamma*/, double /*delta*/, int /*lr*/)
{
	if (m_ilu == nullptr)
		return -1;
	ZEBMK::vector_copy(m_ilu->n(), r, z);
	m_ilu->backsolveILU(z);
	return 0;
}


std::size_t PrecondILU::serializationSize() const {
	return m_ilu != nullptr ? sizeof(double) * m_ilu->dataSize() : 0;
}


void PrecondILU::serialize(void *& dataPtr) const {
	const std::size_t bytes = serializationSize();
	if (bytes == 0)
		return;
	std::memcpy(dataPtr, m_ilu->data(), bytes);
	dataPtr = static_cast<char *>(dataPtr) + bytes;
}


void PrecondILU::deserialize(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[PrecondILU::deserialize]";
	const std::size_t bytes = serializationSize();
	if (bytes == 0)
		return;
	checkSnapshotRoom(dataPtr, bytes, dataEnd, location);
	// the buffer need not be aligned for doubles
	std::vector<double> values(m_ilu->dataSize());
	std::memcpy(values.data(), dataPtr, bytes);
	if (!allFinite(values.data(), values.size()))
		throw ZEB::Exception("Invalid ILU preconditioner state data: values that are not finite.", location);
	std::memcpy(m_ilu->data(), values.data(), bytes);
	m_ilu->adoptILUFactors();
	dataPtr = static_cast<char *>(dataPtr) + bytes;
}

} // namespace KADRIX
