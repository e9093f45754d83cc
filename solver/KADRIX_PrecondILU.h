#ifndef KADRIX_PrecondILUH
#define KADRIX_PrecondILUH

#include <memory>
#include <vector>

#include "KADRIX_PrecondInterface.h"

namespace ZEBMK {
	class SparseMatrix;
}

namespace KADRIX {

class JacobianSparse;

/*! Incomplete-LU preconditioner of the Krylov solvers: factorises M = I - gamma J without fill-in
	(ILU(0)) on the pattern of a sparse Jacobian generator, whose values it takes at every setup.

	Owns its ILU matrix (a copy of the generator's pattern, made by init()); setup() and solve()
	allocate nothing. Model, integrator and Jacobian generator are not owned.
*/
class PrecondILU : public PrecondInterface {
public:
	explicit PrecondILU(PreconditionerType type);
	~PrecondILU() override;

	PreconditionerType preconditionerType() const override { return m_type; }
	/*! Takes the pattern of the sparse Jacobian generator. Throws ZEB::Exception without a
		generator derived from JacobianSparse and for a pattern that lacks a diagonal element. */
	void init(ModelInterface * model, IntegratorInterface * integrator, const JacobianInterface * jacobian) override;
	/*! Factorises I - gamma J with the generator's current values; returns 0, the 1-based row of
		the first pivot that is 0 or not finite, or -1 before init(). jacOk and jacUpdated are not
		used: the generator's values are always taken. */
	int setup(double t, const double * y, const double * ydot, const double * residuals,
			  bool jacOk, bool & jacUpdated, double gamma) override;
	/*! z = (LU)^-1 r with the factors of the last setup(); returns 0 (-1 before init()). */
	int solve(double t, const double * y, const double * ydot, const double * residuals,
			  const double * r, double * z, double gamma, double delta, int lr) override;
	/*! The preconditioner never evaluates the model. */
	unsigned int nRHSEvals() const override { return 0; }

	/*! 8 bytes per stored value of the factors, 0 before init() [Byte]. */
	std::size_t serializationSize() const override;
	/*! The factors' values as raw doubles; no type tag, count or pattern. */
	void serialize(void *& dataPtr) const override;
	/*! Reads the values written by serialize() of a preconditioner of the same pattern; throws
		ZEB::Exception when they reach past dataEnd or are not finite, then nothing has changed. */
	void deserialize(void *& dataPtr, const void * dataEnd) override;

private:
	/*! Not owned. */
	ModelInterface *					m_model = nullptr;
	/*! Not owned. */
	IntegratorInterface *				m_integrator = nullptr;
	/*! Not owned. */
	const JacobianSparse *				m_jacobian = nullptr;
	PreconditionerType					m_type;
	/*! M and then its incomplete LU factors, on the Jacobian's pattern. */
	std::unique_ptr<ZEBMK::SparseMatrix>	m_ilu;
	/*! Storage index of every diagonal element (the pivots after the factorisation). */
	std::vector<unsigned int>				m_diagonal;
};

} // namespace KADRIX

#endif // KADRIX_PrecondILUH
