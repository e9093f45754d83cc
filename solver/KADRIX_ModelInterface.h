#ifndef KADRIX_ModelInterfaceH
#define KADRIX_ModelInterfaceH

#include <cstddef>
#include <iosfwd>
#include <string>

namespace KADRIX {

class IntegratorInterface;
class JacobianInterface;
class LESInterface;
class OutputScheduler;
class PrecondInterface;

/*! What a model offers the integrators: an ordinary differential equation system y' = f(t, y)
	with n unknowns, evaluated through setTime(), setY() and ydot() in this order.

	The model owns the solver objects it hands out through the factory operations (created on
	first call, the same object on later calls); integrators and solvers keep non-owning pointers.
*/
class ModelInterface {
public:
	/*! Result of every model evaluation. Integrators treat any other value like CalculationAbort. */
	enum CalculationResult {
		CalculationSuccess				= 0,
		CalculationRecoverableError		= 1,	///< A smaller step may succeed.
		CalculationAbort				= 2
	};

	virtual ~ModelInterface();

	/*! Number of unknowns. */
	virtual unsigned int n() const = 0;
	/*! Initial state, n values. */
	virtual const double * y0() const = 0;
	/*! Start time [s]. */
	virtual double t0() const = 0;
	/*! Proposed first step size [s]. */
	virtual double dt0() const = 0;
	/*! End time [s]. */
	virtual double tEnd() const = 0;
	virtual CalculationResult setTime(double t) = 0;
	virtual CalculationResult setY(const double * y) = 0;
	/*! Writes f(t, y) for the time and state last set. */
	virtual CalculationResult ydot(double * ydot) = 0;
	virtual void writeOutputs(double t, const double * y);
	virtual void writeFinalOutputs();
	/*! t seconds after the start of year 0 as a short date text. */
	virtual std::string simTime2DateTimeString(double t) const;
	/*! Called after each accepted integrator step. */
	virtual void stepCompleted(double t, const double * y);
	virtual LESInterface * lesInterface();
	virtual IntegratorInterface * integratorInterface();
	virtual PrecondInterface * preconditionerInterface();
	virtual JacobianInterface * jacobianInterface();
	virtual OutputScheduler * outputScheduler();
	/*! Fills n error weights for state y; by default returns CalculationAbort and fills nothing. */
	virtual CalculationResult calculateErrorWeights(const double * y, double * weights);
	/*! True when calculateErrorWeights() is implemented and shall be used. */
	virtual bool hasErrorWeightsFunction();
	/*! Bytes of the model's own state [Byte]. */
	virtual std::size_t serializationSize() const;
	virtual void serialize(void *& dataPtr) const;
	/*! Restores the model's own state, advancing dataPtr; nothing beyond dataEnd is read. */
	virtual void deserialize(void *& dataPtr, const void * dataEnd);
	/*! Reports run metrics; elapsedSeconds is the wall-clock duration of the run [s]. */
	virtual void writeMetrics(double elapsedSeconds, std::ostream * metricsFile);
	/*! True once after the model's equations moved onto another linear piece at a completed step
		(a controller switched on, off or into its limit): an iteration matrix built before still
		carries the old piece's gains, and a Newton iteration on it can converge to a wrong step
		that the error test does not catch. The integrators ask before each step and then build a
		fresh Jacobian and set up their linear solver. Asking clears the request; by default there
		is none. */
	virtual bool takeJacobianUpdateRequest();
	/*! Called by an integrator once it has built a fresh Jacobian at time t [s] and state y, the
		predicted state of the step under way, for equationsOffMatrixPiece(); by default nothing. */
	virtual void jacobianBuilt(double t, const double * y);
	/*! The equations whose gain in the integrator's iteration matrix is gone at state y of time
		t [s], where a Newton iteration has converged by the integrator's own test: a model whose
		equations change their gains between linear pieces names those whose piece at y differs
		from the piece of the matrix (at most n indices into rows) and returns how many. The
		matrix damps the corrections of such an equation as much as the gain stiffened it, and
		the test, which sees only the corrections, may stop the iteration far from its solution:
		the integrator checks these equations with their own gains. By default none. */
	virtual unsigned int equationsOffMatrixPiece(double t, const double * y, unsigned int * rows);
};

} // namespace KADRIX

#endif // KADRIX_ModelInterfaceH
