#ifndef KADRIX_IntegratorInterfaceH
#define KADRIX_IntegratorInterfaceH

#include <cstddef>
#include <iosfwd>

#include "ZEB_Path.h"

namespace KADRIX {

class JacobianInterface;
class LESInterface;
class ModelInterface;
class PrecondInterface;

/*! A time integrator. The owner sets its options, calls init() once with the model and the
	solver objects (none of which it owns), then step() repeatedly. */
class IntegratorInterface {
public:
	/*! Result of step(); any other value than StepSuccess is a failure. */
	enum StepResult {
		StepFailure	= -1,
		StepSuccess	= 1
	};

	virtual ~IntegratorInterface() = default;

	virtual const char * identifier() const = 0;
	/*! Prepares the integration from t0, y0; lesSolver must not be null, precond and jacobian may
		be. Throws ZEB::Exception on failure. */
	virtual void init(ModelInterface * model, double t0, const double * y0, LESInterface * lesSolver,
					  PrecondInterface * precond, JacobianInterface * jacobian) = 0;
	/*! One internal step of adaptive size; StepSuccess when completed. */
	virtual int step() = 0;
	/*! Time reached by the last step [s]. */
	virtual double t() const = 0;
	/*! Size of the last step [s]. */
	virtual double dt() const = 0;
	/*! State at t, interpolated within the last step; valid until the next call. */
	virtual const double * yOut(double t) const = 0;
	/*! Opens the statistics file in directory logfilePath; appends without header on a restart. */
	virtual void writeStatisticsHeader(const ZEB::Path & logfilePath, bool doRestart) { (void)logfilePath; (void)doRestart; }
	/*! Appends one line for the current step. */
	virtual void writeStatistics() {}
	/*! Reports run metrics; elapsedSeconds is the wall-clock duration of the run [s]. */
	virtual void writeMetrics(double elapsedSeconds, std::ostream * metricsFile) { (void)elapsedSeconds; (void)metricsFile; }
	/*! Bytes of a snapshot; 0 when the integrator keeps none. */
	virtual std::size_t serializationSize() const { return 0; }
	virtual void serialize(void *& dataPtr) const { (void)dataPtr; }
	/*! Restores a snapshot written by serialize(), advancing dataPtr; dataEnd is the end of the
		buffer, beyond which nothing is read. Throws ZEB::Exception when the data does not fit or
		holds invalid values; the object is then unchanged. */
	virtual void deserialize(void *& dataPtr, const void * dataEnd) { (void)dataPtr; (void)dataEnd; }
};

} // namespace KADRIX

#endif // KADRIX_IntegratorInterfaceH
