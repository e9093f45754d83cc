#include "KADRIX_PrecondBand.h"

#include <algorithm>

#include <cvode/cvode_bandpre.h>

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_JacobianDense.h"
#include "KADRIX_JacobianSparse.h"
#include "KADRIX_ModelInterface.h"
#include "ZEBMK_SparseMatrix.h"
#include "ZEBMKC_vector_operations.h"
#include "sundials_serialization.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace KADRIX {

void PrecondBand::init(ModelInterface * model, IntegratorInterface * integrator, const JacobianInterface * jacobian) {
	const char * const location = "[PrecondBand::init]";
	m_model = model;
	m_integrator = integrator;
	m_jacobian = jacobian;
	m_initialized = false;
	m_ownBand = false;
	m_working = ZEBMK::BandMatrix();
	m_saved = ZEBMK::BandMatrix();
	if (model == nullptr)
		throw ZEB::Exception("Missing model.", location);
	m_n = model->n();

	// With a Jacobian generator the band always comes from it, whatever the bandwidths: CVODE's
	// module would replace the callbacks that refresh the generator, whose stale Jacobian the
	// Krylov products would then go on using.
	if (jacobian != nullptr) {
		// checked here rather than in setup(), which runs inside CVODE's callbacks
		if (dynamic_cast<const JacobianDense *>(jacobian) == nullptr && dynamic_cast<const JacobianSparse *>(jacobian) == nullptr)
			throw ZEB::Exception("No transfer algorithm from selected Jacobian matrix implementation toBand preconditioner "
								 "implemented, currently supported are JacobianDense and JacobianSparse!", location);
		ZEB::ZEB_Message(ZEB::FormatString("PrecondBand uses provided JacobianInterface implementation to retrieve Jacobian data.\n"),
						 ZEB::MSG_PROGRESS, location, 2);
		const unsigned int smu = std::min(m_mu + m_ml + 1, m_n);
		m_working.resize(m_n, m_mu, m_ml, smu);
		m_saved.resize(m_n, m_mu, m_ml, smu);
		m_ownBand = true;
		m_initialized = true;
		return;
	}

	IntegratorSundialsCVODE * cvode = dynamic_cast<IntegratorSundialsCVODE *>(integrator);
	if (cvode == nullptr)
		throw ZEB::Exception("No band preconditioner implementation available for ml != mu or missig Jacobian interface.",
							 location);
	if (CVBandPrecInit(cvode->cvodeMem(), static_cast<sunindextype>(m_n), static_cast<sunindextype>(m_mu),
					   static_cast<sunindextype>(m_ml)) != 0)
	{
		throw ZEB::Exception("Error initializing band pre-conditioner.", location);
	}
	ZEB::ZEB_Message(ZEB::FormatString("Using Sundials::BandPrec implementation which generates Jacobian data itself.\n"),
					 ZEB::MSG_PROGRESS, location, 2);
	m_initialized = true;
}


int PrecondBand::setup(double /*t*/, const double * /*y*/, const double * /*ydot*/, const double * /*residuals*/,
					   bool jacOk, bool & jacUpdated, double gamma)
{
	if (!m_ownBand)
		return -1;
	double * working = m_working.data();
	const std::size_t size = m_working.dataSize();
	if (jacOk) {
		std::copy(m_saved.data(), m_saved.data() + size, working);
		jacUpdated = false;
	}
	else {
		std::fill(working, working + size, 0.0);
		const JacobianDense * dense = dynamic_cast<const JacobianDense *>(m_jacobian);
		const ZEBMK::SparseMatrix * sparse = (dense == nullptr)
				? static_cast<const JacobianSparse *>(m_jacobian)->jacobian() : nullptr;
		for (unsigned int j = 0; j < m_n; ++j) {
			const unsigned int iFirst = (j > m_mu) ? j - m_mu : 0;
			const unsigned int iLast = std::min(j + m_ml, m_n - 1);
			for (unsigned int i = iFirst; i <= iLast; ++i)
				m_working(i, j) = (dense != nullptr) ? dense->value(i, j) : sparse->value(i, j);
		}
		std::copy(working, working + size, m_saved.data());
		jacUpdated = true;
	}
	for (std::size_t k = 0; k < size; ++k)
		working[k] *= -gamma;
	for (unsigned int j = 0; j < m_n; ++j)
		m_working(j, j) += 1.0;
	return m_working.lu();
}


int PrecondBand::solve(double /*t*/, const double * /*y*/, const double * /*ydot*/, const double * /*residuals*/,
					   const double * r, double * z, double /*gamma*/, double /*delta*/, int /*lr*/)
{
	if (!m_ownBand)
		return -1;
	ZEBMK::vector_copy(m_n, r, z);
	m_working.backsolve(z);
	return 0;
}


std::size_t PrecondBand::serializationSize() const {
	return m_ownBand ? 2 * m_working.serializationSize() : 0;
}


void PrecondBand::serialize(void *& dataPtr) const {
	if (!m_ownBand)
		return;
	m_working.serialize(dataPtr);
	m_saved.serialize(dataPtr);
}


void PrecondBand::deserialize(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[PrecondBand::deserialize]";
	if (!m_ownBand)
		return;
	try {
		checkSnapshotRoom(dataPtr, serializationSize(), dataEnd, location);
		void * p = dataPtr;
		ZEBMK::BandMatrix working(m_working);
		ZEBMK::BandMatrix saved(m_saved);
		working.deserialize(p, dataEnd);
		saved.deserialize(p, dataEnd);
		if (!allFinite(working.data(), working.dataSize()) || !allFinite(saved.data(), saved.dataSize()))
			throw ZEB::Exception("Band matrix values in binary data are not finite.", location);
		m_working.swap(working);
		m_saved.swap(saved);
		dataPtr = p;
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, "Invalid band preconditioner state data.", location);
	}
}

} // namespace KADRIX
