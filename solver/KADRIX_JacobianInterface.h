#ifndef KADRIX_JacobianInterfaceH
#define KADRIX_JacobianInterfaceH

#include <cstddef>

#include "sundials_timer.h"

namespace KADRIX {

class ModelInterface;

/*! A generator of the Jacobian J = df/dy of a model. */
class JacobianInterface {
public:
	virtual ~JacobianInterface() = default;

	virtual void init(ModelInterface * model) = 0;
	/*! Recomputes J at t, y; 0 on success. */
	virtual int setup(double t, const double * y, const double * ydot, const double * residuals, double gamma) = 0;
	/*! Jv = J v; 0 on success. */
	virtual int jacTimesVec(const double * v, double * Jv) const = 0;
	/*! Right-hand-side evaluations spent. */
	virtual unsigned int nRHSEvals() const = 0;
	virtual std::size_t serializationSize() const { return 0; }
	virtual void serialize(void *& dataPtr) const { (void)dataPtr; }
	/*! Restores a snapshot written by serialize(), advancing dataPtr; dataEnd is the end of the
		buffer, beyond which nothing is read. Throws ZEB::Exception when the data does not fit or
		holds invalid values; the object is then unchanged. */
	virtual void deserialize(void *& dataPtr, const void * dataEnd) { (void)dataPtr; (void)dataEnd; }

	/*! The timer slots of the integrator the generator works for (not owned, may be null); set
		by the integrator's init(). */
	void setTimers(TimerTable * timers) { m_timers = timers; }

protected:
	TimerTable *	m_timers = nullptr;
};

} // namespace KADRIX

#endif // KADRIX_JacobianInterfaceH
