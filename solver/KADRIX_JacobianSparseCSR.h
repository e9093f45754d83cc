#ifndef KADRIX_JacobianSparseCSRH
#define KADRIX_JacobianSparseCSRH

#include <cstddef>
#include <vector>

#include "KADRIX_JacobianSparse.h"
#include "ZEBMK_SparseMatrixCSR.h"

namespace KADRIX {

class ModelInterface;

/*! Sparse difference-quotient Jacobian J = d ydot / dy on a fixed CSR pattern. Columns that share
	no row are grouped by a colouring at init(), so that setup() needs one model evaluation per
	group: J(i,j) = (ydot_i(y + delta_j e_j) - ydot_i(y)) / delta_j with delta_j = |y_j| 1e-7 + 1e-8.

	Owns its matrix, colour groups and work arrays, all sized by the constructor and init();
	setup() and jacTimesVec() allocate nothing. The model is not owned. Only stored positions of
	the pattern are ever written: a pattern that is not structurally symmetric and comes without a
	transposed index gets one derived by the constructor.
*/
class JacobianSparseCSR : public JacobianSparse {
public:
	/*! Takes the pattern: n+1 row offsets ia and nnz column indices ja, and optionally the
		transposed index iaT, jaT (n+1 column offsets, nnz row indices). Throws for n = 0,
		nnz = 0, an invalid pattern or a transposed index that is not the transpose of ia, ja. */
	JacobianSparseCSR(unsigned int n, unsigned int nnz, const unsigned int * ia, const unsigned int * ja,
					  const unsigned int * iaT = nullptr, const unsigned int * jaT = nullptr);
	~JacobianSparseCSR() override;

	/*! Binds the model (not owned) and builds the colour groups. Throws when model->n() differs
		from the pattern's n; then nothing is changed. */
	void init(ModelInterface * model) override;
	/*! Recomputes all stored values at state y, where ydot holds the model's derivatives at y;
		t, residuals and gamma are not used. The model is left evaluated at the perturbed state of
		the last group. Returns 0; 1 when a model evaluation reported a recoverable error, -1 for
		any other model failure or when init() has not been called since construction or recreate(). */
	int setup(double t, const double * y, const double * ydot, const double * residuals, double gamma) override;
	/*! Jv = J v (n values each, not overlapping); returns 0. */
	int jacTimesVec(const double * v, double * Jv) const override;
	/*! Model evaluations spent by setup() since construction (or as restored from a blob). */
	unsigned int nRHSEvals() const override { return m_nRHSEvals; }

	/*! The matrix's blob (type 5) + 4 bytes for the evaluation counter [Byte]. */
	std::size_t serializationSize() const override;
	/*! Writes the matrix's blob and then the counter (u32) at dataPtr, advancing it. */
	void serialize(void *& dataPtr) const override;
	/*! Reads a blob written by a Jacobian of the same pattern, nothing beyond dataEnd (the end of
		the buffer); throws on anything else, also on values that are not finite, and leaves the
		Jacobian and dataPtr unchanged. */
	void deserialize(void *& dataPtr, const void * dataEnd) override;

	/*! A new CSR matrix of the same pattern (with the transposed index when the Jacobian has one)
		and all values 0; the caller owns it. */
	ZEBMK::SparseMatrix * createAndReleaseJacobianCopy() const override;
	/*! The Jacobian's matrix; valid as long as this object. */
	const ZEBMK::SparseMatrixCSR * jacobian() const override { return &m_matrix; }

	/*! Rebuilds matrix and counter from a blob of any pattern, nothing beyond dataEnd. The colour
		groups no longer fit, so init() must be called again before the next setup(). On failure
		nothing is changed. */
	virtual void recreate(void *& dataPtr, const void * dataEnd);

	/*! Group k holds, ascending, the columns of colour k+1; empty before init(). */
	const std::vector<std::vector<unsigned int> > & colorGroups() const { return m_colorGroups; }

private:
	/*! The Jacobian's values on its pattern. */
	ZEBMK::SparseMatrixCSR					m_matrix;
	/*! Relative part of the increment. */
	double									m_relToleranceDQ = 1e-7;
	/*! Absolute part of the increment, in the unit of the state. */
	double									m_absToleranceDQ = 1e-8;
	/*! Not owned; set by init(). */
	ModelInterface *						m_model = nullptr;
	/*! Group k holds, ascending, the columns of colour k+1. */
	std::vector<std::vector<unsigned int> >	m_colorGroups;
	/*! State with the current group's columns perturbed, n values. */
	std::vector<double>						m_yMod;
	/*! Derivatives at the perturbed state, n values. */
	std::vector<double>						m_ydotMod;
	/*! delta_j of the columns being perturbed, 0 otherwise. */
	std::vector<double>						m_increments;
	/*! Model evaluations spent by setup(). */
	unsigned int							m_nRHSEvals = 0;
	/*! Storage position of every element in column order (the order of the column structure),
		so that setup() writes without searching; built by init(). */
	std::vector<unsigned int>				m_columnPositions;
};

} // namespace KADRIX

#endif // KADRIX_JacobianSparseCSRH
