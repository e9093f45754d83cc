#ifndef IntegratorSnapshotRigH
#define IntegratorSnapshotRigH

// The solver set-ups whose snapshots the integrator fuzz target restores and its seeds come from:
// CVODE on a 2-cell heat chain with one of the linear solvers. A snapshot is the integrator's
// block followed by those of the linear solver, the Jacobian generator and the preconditioner
// (those present), as a host saves them.

#include <cstddef>
#include <memory>

#include "FuzzHeatChain.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_JacobianDense.h"
#include "KADRIX_LESBand.h"
#include "KADRIX_LESDense.h"
#include "KADRIX_LESGMRES.h"
#include "KADRIX_PrecondBand.h"

class IntegratorSnapshotRig {
public:
	/*! Linear solvers, chosen by the low two bits of the configuration byte. */
	enum Variant {
		V_DENSE				= 0,
		V_BAND				= 1,
		V_GMRES				= 2,
		/*! GMRES with a band preconditioner taken from a dense Jacobian generator. */
		V_GMRES_PRECOND		= 3
	};
	/*! Bit of the configuration byte that switches on stability-limit detection. */
	static const unsigned char STAB_LIM_DET = 4;

	/*! Initialises the integrator; the other bits of config are ignored. */
	explicit IntegratorSnapshotRig(unsigned char config) : m_model(2) {
		switch (config & 3) {
			case V_DENSE:	m_les.reset(new KADRIX::LESDense); break;
			case V_BAND:	m_les.reset(new KADRIX::LESBand(1, 1)); break;
			case V_GMRES:	m_les.reset(new KADRIX::LESGMRES); break;
			default:
				m_les.reset(new KADRIX::LESGMRES);
				m_jacobian.reset(new KADRIX::JacobianDense);
				m_precond.reset(new KADRIX::PrecondBand(1, 1, KADRIX::PrecondInterface::LEFT));
		}
		m_integrator.m_stabLimDet = (config & STAB_LIM_DET) != 0;
		m_integrator.init(&m_model, m_model.t0(), m_model.y0(), m_les.get(), m_precond.get(), m_jacobian.get());
	}

	/*! Snapshot size [Byte]. */
	std::size_t size() const {
		std::size_t bytes = m_integrator.serializationSize() + m_les->serializationSize();
		if (m_jacobian)
			bytes += m_jacobian->serializationSize();
		if (m_precond)
			bytes += m_precond->serializationSize();
		return bytes;
	}
	void save(void *& dataPtr) const {
		m_integrator.serialize(dataPtr);
		m_les->serialize(dataPtr);
		if (m_jacobian)
			m_jacobian->serialize(dataPtr);
		if (m_precond)
			m_precond->serialize(dataPtr);
	}
	/*! Reads up to dataEnd; throws ZEB::Exception for a refused block. */
	void restore(void *& dataPtr, const void * dataEnd) {
		m_integrator.deserialize(dataPtr, dataEnd);
		m_les->deserialize(dataPtr, dataEnd);
		if (m_jacobian)
			m_jacobian->deserialize(dataPtr, dataEnd);
		if (m_precond)
			m_precond->deserialize(dataPtr, dataEnd);
	}

	KADRIX::IntegratorSundialsCVODE & integrator() { return m_integrator; }

private:
	FuzzSupport::HeatChain						m_model;
	std::unique_ptr<KADRIX::LESInterface>		m_les;
	std::unique_ptr<KADRIX::JacobianDense>		m_jacobian;
	std::unique_ptr<KADRIX::PrecondBand>		m_precond;
	/*! Declared last: destroyed first, while the objects attached to it still exist. */
	KADRIX::IntegratorSundialsCVODE				m_integrator;
};

#endif // IntegratorSnapshotRigH
