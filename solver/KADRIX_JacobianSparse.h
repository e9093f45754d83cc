#ifndef KADRIX_JacobianSparseH
#define KADRIX_JacobianSparseH

#include "KADRIX_JacobianInterface.h"

namespace ZEBMK {
	class SparseMatrix;
}

namespace KADRIX {

/*! A Jacobian generator that keeps J in a sparse matrix of a fixed pattern. Preconditioners and
	sparse direct solvers read its values through jacobian() and take the pattern for their own
	matrices from createAndReleaseJacobianCopy(). */
class JacobianSparse : public JacobianInterface {
public:
	/*! A new matrix with the Jacobian's pattern and all values 0; the caller owns and deletes it. */
	virtual ZEBMK::SparseMatrix * createAndReleaseJacobianCopy() const = 0;
	/*! The Jacobian's matrix, owned by the generator and valid as long as it lives. */
	virtual const ZEBMK::SparseMatrix * jacobian() const = 0;
};

} // namespace KADRIX

#endif // KADRIX_JacobianSparseH
