#ifndef KADRIX_LESInterfaceH
#define KADRIX_LESInterfaceH

#include <cstddef>
#include <fstream>
#include <iosfwd>
#include <memory>

#include "ZEB_Exception.h"
#include "ZEB_Path.h"

namespace KADRIX {

class IntegratorInterface;
class JacobianInterface;
class ModelInterface;
class PrecondInterface;

/*! Thrown by LESInterface::setup() when the iteration matrix, or the Jacobian or preconditioner
	behind it, could not be set up; the solver must then not be used for solves. result() is the
	failing set-up's result: positive when a smaller step may succeed (a singular factorisation, a
	recoverable model failure), negative when not. */
class LESSetupError : public ZEB::Exception {
public:
	LESSetupError(int result, const ZEB::FormatString & what, const std::string & location) :
		ZEB::Exception(what, location), m_result(result) {}
	int result() const { return m_result; }
	bool recoverable() const { return m_result > 0; }
private:
	int m_result;
};

/*! A solver of the linear systems M x = b with the iteration matrix M = I - gamma J that
	implicit integrators need. Keeps non-owning pointers to model, integrator and helpers. */
class LESInterface {
public:
	virtual ~LESInterface() = default;

	virtual void init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
					  JacobianInterface * jacobian) = 0;
	/*! Prepares M = I - gamma J for state y; residuals may be null. A solver that cannot set up M
		throws LESSetupError. */
	virtual void setup(const double * y, const double * ydot, const double * residuals, double gamma) = 0;
	/*! Solves M x = rhs in place. */
	virtual void solve(double * rhs) = 0;
	virtual void writeStatisticsHeader(const ZEB::Path & logfilePath, bool doRestart) { (void)logfilePath; (void)doRestart; }
	virtual void writeStatistics(double t) { (void)t; }
	virtual void writeMetrics(double elapsedSeconds, std::ostream * metricsFile) { (void)elapsedSeconds; (void)metricsFile; }
	/*! Copies the counters of the attached CVODE linear-solver module into the object. */
	virtual void updateSUNDIALSStatistics() = 0;
	virtual std::size_t serializationSize() const { return 0; }
	virtual void serialize(void *& dataPtr) const { (void)dataPtr; }
	/*! Restores a snapshot written by serialize(), advancing dataPtr; dataEnd is the end of the
		buffer, beyond which nothing is read. Throws ZEB::Exception when the data does not fit or
		holds invalid values; the object is then unchanged. */
	virtual void deserialize(void *& dataPtr, const void * dataEnd) { (void)dataPtr; (void)dataEnd; }

protected:
	/*! Not owned; set by init(). */
	IntegratorInterface *			m_integrator = nullptr;
	/*! Not owned; set by init(). */
	ModelInterface *				m_model = nullptr;
	/*! The statistics file, opened by writeStatisticsHeader(). */
	std::unique_ptr<std::ofstream>	m_statsFileStream;
	/*! Right-hand-side evaluations spent by the solver. */
	unsigned int					m_nRHSEvals = 0;
	/*! Increments of difference quotients: delta_j = |y_j| * relative + absolute. */
	double							m_relToleranceDQ = 1e-7;
	double							m_absToleranceDQ = 1e-8;
};

} // namespace KADRIX

#endif // KADRIX_LESInterfaceH
