#ifndef KADRIX_PrecondInterfaceH
#define KADRIX_PrecondInterfaceH

#include <cstddef>

#include "ZEB_Path.h"

namespace KADRIX {

class IntegratorInterface;
class JacobianInterface;
class ModelInterface;

/*! A preconditioner of the Krylov linear equation solvers. */
class PrecondInterface {
public:
	/*! The side on which the preconditioner acts (codes of the CVODE Krylov modules). */
	enum PreconditionerType {
		NONE	= 0,
		LEFT	= 1,
		RIGHT	= 2,
		BOTH	= 3
	};

	virtual ~PrecondInterface() = default;

	virtual PreconditionerType preconditionerType() const = 0;
	virtual void init(ModelInterface * model, IntegratorInterface * integrator, const JacobianInterface * jacobian) = 0;
	/*! 0 on success; jacUpdated tells whether Jacobian data was recomputed. */
	virtual int setup(double t, const double * y, const double * ydot, const double * residuals,
					  bool jacOk, bool & jacUpdated, double gamma) = 0;
	/*! Solves P z = r; 0 on success. */
	virtual int solve(double t, const double * y, const double * ydot, const double * residuals,
					  const double * r, double * z, double gamma, double delta, int lr) = 0;
	virtual void writeStatisticsHeader(const ZEB::Path & logfilePath, bool doRestart) { (void)logfilePath; (void)doRestart; }
	virtual void writeStatistics(double t) { (void)t; }
	/*! Right-hand-side evaluations spent. */
	virtual unsigned int nRHSEvals() const = 0;
	virtual std::size_t serializationSize() const { return 0; }
	virtual void serialize(void *& dataPtr) const { (void)dataPtr; }
	/*! Restores a snapshot written by serialize(), advancing dataPtr; dataEnd is the end of the
		buffer, beyond which nothing is read. Throws ZEB::Exception when the data does not fit or
		holds invalid values; the object is then unchanged. */
	virtual void deserialize(void *& dataPtr, const void * dataEnd) { (void)dataPtr; (void)dataEnd; }
};

} // namespace KADRIX

#endif // KADRIX_PrecondInterfaceH
