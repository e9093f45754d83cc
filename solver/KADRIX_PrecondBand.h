#ifndef KADRIX_PrecondBandH
#define KADRIX_PrecondBandH

#include "KADRIX_PrecondInterface.h"
#include "ZEBMK_BandMatrix.h"

namespace KADRIX {

/*! Band preconditioner of the Krylov solvers: approximates M = I - gamma J by its band (lower
	bandwidth ml, upper mu) and solves with band LU. With a dense or sparse Jacobian generator it
	takes the band from the generator (own-band mode); without one, and with the CVODE integrator,
	CVODE's band preconditioner module generates, factorises and applies it by itself and this
	object holds no matrices (library mode).

	Owns its two band matrices, sized by init(); setup() and solve() allocate nothing. Model,
	integrator and Jacobian generator are not owned.
*/
class PrecondBand : public PrecondInterface {
public:
	/*! Note the order: lower bandwidth first. */
	PrecondBand(unsigned int ml, unsigned int mu, PreconditionerType type) : m_ml(ml), m_mu(mu), m_type(type) {}

	PreconditionerType preconditionerType() const override { return m_type; }
	/*! Chooses the mode. Throws ZEB::Exception without Jacobian generator and CVODE integrator,
		when the library module cannot be initialised, and for a Jacobian generator that is neither
		a JacobianDense nor a JacobianSparse. */
	void init(ModelInterface * model, IntegratorInterface * integrator, const JacobianInterface * jacobian) override;
	/*! Own-band mode: M from the band of the generator's Jacobian (fetched anew unless jacOk, else
		the band saved at the last fetch) and factorised; jacUpdated tells whether it was fetched.
		Returns lu()'s result: 0, or the first column with a zero pivot. Library mode: -1. */
	int setup(double t, const double * y, const double * ydot, const double * residuals,
			  bool jacOk, bool & jacUpdated, double gamma) override;
	/*! z = M^-1 r with the factors of the last setup(); returns 0 (library mode: -1). */
	int solve(double t, const double * y, const double * ydot, const double * residuals,
			  const double * r, double * z, double gamma, double delta, int lr) override;
	/*! The preconditioner never evaluates the model. */
	unsigned int nRHSEvals() const override { return 0; }

	/*! Own-band mode: the blobs of working and saved matrix; library mode and before init(): 0,
		such an object cannot be saved [Byte]. */
	std::size_t serializationSize() const override;
	void serialize(void *& dataPtr) const override;
	/*! Throws ZEB::Exception when the blobs do not have this preconditioner's shapes, hold values
		that are not finite or reach past dataEnd; then nothing has changed. */
	void deserialize(void *& dataPtr, const void * dataEnd) override;

	/*! True after an init() that handed the work to CVODE's band preconditioner module. */
	bool libraryMode() const { return m_initialized && !m_ownBand; }

private:
	/*! Not owned. */
	ModelInterface *			m_model = nullptr;
	/*! Not owned. */
	IntegratorInterface *		m_integrator = nullptr;
	/*! Not owned; may be null. */
	const JacobianInterface *	m_jacobian = nullptr;
	unsigned int				m_n = 0;
	/*! Lower bandwidth. */
	unsigned int				m_ml;
	/*! Upper bandwidth. */
	unsigned int				m_mu;
	PreconditionerType			m_type;
	bool						m_initialized = false;
	/*! Own-band mode: the two matrices below are sized and used. */
	bool						m_ownBand = false;
	/*! M and then its LU factors. */
	ZEBMK::BandMatrix			m_working;
	/*! The band of J from the last fetch from the generator. */
	ZEBMK::BandMatrix			m_saved;
};

} // namespace KADRIX

#endif // KADRIX_PrecondBandH
