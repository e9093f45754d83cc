#ifndef KADRIX_JacobianInterfaceH
#define KADRIX_JacobianInterfaceH

#include <cstddef>

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
	virtual void deserialize(void *& dataPtr) { (void)dataPtr; }
};

} // namespace KADRIX

#endif // KADRIX_JacobianInterfaceH
