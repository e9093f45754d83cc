#ifndef KADRIX_JacobianDenseH
#define KADRIX_JacobianDenseH

#include <cstddef>
#include <vector>

#include "KADRIX_JacobianInterface.h"
#include "ZEBMK_DenseMatrix.h"

namespace KADRIX {

class ModelInterface;

/*! Dense difference-quotient Jacobian J = d ydot / dy, one model evaluation per column:
	J(i,j) = (ydot_i(y + delta_j e_j) - ydot_i(y)) / delta_j with delta_j = |y_j| 1e-8 + 1e-8.
	The Jacobian is the DenseMatrix base (column-major, element (i,j) at j*n + i).

	Owns its matrix and work arrays, sized by init(); setup() and jacTimesVec() allocate nothing.
	The model is not owned.
*/
class JacobianDense : public JacobianInterface, public ZEBMK::DenseMatrix {
public:
	JacobianDense() = default;
	~JacobianDense() override;

	/*! Binds the model (not owned) and sizes matrix and work arrays to model->n(). */
	void init(ModelInterface * model) override;
	/*! Recomputes all n*n values at state y, where ydot holds the model's derivatives at y;
		t, residuals and gamma are not used. The model is left evaluated at the perturbed state of
		the last column. Returns 0; 1 when a model evaluation reported a recoverable error, -1 for
		any other model failure or when the matrix does not have the size init() gave it. */
	int setup(double t, const double * y, const double * ydot, const double * residuals, double gamma) override;
	/*! Jv = J v (n values each, not overlapping); returns 0. */
	int jacTimesVec(const double * v, double * Jv) const override;
	/*! Model evaluations spent by setup() since construction (or as restored from a blob). */
	unsigned int nRHSEvals() const override { return m_nRHSEvals; }

	/*! The matrix's blob (type 1) + 4 bytes for the evaluation counter [Byte]. */
	std::size_t serializationSize() const override;
	/*! Writes the matrix's blob and then the counter (u32) at dataPtr, advancing it. */
	void serialize(void *& dataPtr) const override;
	/*! Reads a blob of a Jacobian of the same n, nothing beyond dataEnd (the end of the buffer);
		throws on anything else, also on values that are not finite, and leaves the Jacobian and
		dataPtr unchanged. */
	void deserialize(void *& dataPtr, const void * dataEnd) override;
	/*! Rebuilds matrix and counter from a blob of any n, nothing beyond dataEnd; on failure
		nothing is changed. When n differs from the model's, setup() refuses until init() is called
		again. */
	void recreate(void *& dataPtr, const void * dataEnd);

private:
	/*! Relative part of the increment. */
	double				m_relToleranceDQ = 1e-8;
	/*! Absolute part of the increment, in the unit of the state. */
	double				m_absToleranceDQ = 1e-8;
	/*! Not owned; set by init(). */
	ModelInterface *	m_model = nullptr;
	/*! State with the current column perturbed, n values. */
	std::vector<double>	m_yMod;
	/*! Derivatives at the perturbed state, n values. */
	std::vector<double>	m_ydotMod;
	/*! delta_j of the column being perturbed, 0 otherwise. */
	std::vector<double>	m_increments;
	/*! Model evaluations spent by setup(). */
	unsigned int		m_nRHSEvals = 0;
};

} // namespace KADRIX

#endif // KADRIX_JacobianDenseH
