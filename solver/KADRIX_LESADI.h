#ifndef KADRIX_LESADIH
#define KADRIX_LESADIH

#include <vector>

#include "KADRIX_LESInterfaceDirect.h"
#include "ZEBMK_BlockTridiagMatrix.h"

namespace KADRIX {

class ModelInterfaceADI;

/*! ADI (alternating-direction) linear equation solver of the implicit Euler integrator, for
	models derived from ModelInterfaceADI with N blocks of M unknowns.

	The iteration matrix I - gamma J is approximated by the product of two block-tridiagonal
	matrices (I - gamma J_X)(I - gamma J_Y), where J_X holds only the couplings along direction 1
	(blocks in the order of blockIndicesX()) and J_Y those along direction 2; both are formed by
	difference quotients, 3*M model evaluations per direction, and factorised by block LU. A solve
	applies the two factors one after the other.

	The model is not owned. Owns both matrices and its work vectors, sized by init(); setup() and
	solve() allocate nothing. Writes the statistics and metrics of LESInterfaceDirect; no snapshot.
*/
class LESADI : public LESInterfaceDirect {
public:
	/*! N blocks of M unknowns. */
	LESADI(unsigned int N, unsigned int M) : m_N(N), m_M(M) {}

	/*! Binds model and integrator and sizes matrices and vectors. Throws ZEB::Exception when the
		model is not a ModelInterfaceADI, the integrator is not the implicit Euler integrator, there
		are fewer than 4 blocks or N*M differs from the model's number of unknowns. A preconditioner
		is ignored with a warning, a Jacobian generator silently. */
	void init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
			  JacobianInterface * jacobian) override;
	/*! Forms and factorises both direction matrices at state y (ydot and residuals are not read).
		Leaves the model with all directions switched on, at the last perturbed state. Throws
		ZEB::Exception when a block index of the model is not below N. */
	void setup(const double * y, const double * ydot, const double * residuals, double gamma) override;
	/*! Replaces b (N*M values) by the approximate solution, with the model's current block orders.
		Throws ZEB::Exception when a block index is not below N. */
	void solve(double * b) override;

private:
	/*! Difference quotients along one direction into matrix, block rows and columns in the order
		of blocks; reference holds the derivatives of the direction at y. */
	void formDirection(const unsigned int * blocks, const double * y, const std::vector<double> & reference,
					   ZEBMK::BlockTridiagMatrix & matrix);
	/*! matrix := I - gamma matrix, then its LU factors. */
	void factorise(ZEBMK::BlockTridiagMatrix & matrix, double gamma);
	/*! b := matrix^-1 b, with b's blocks gathered in the order of blocks into work. */
	void solveDirection(const unsigned int * blocks, const ZEBMK::BlockTridiagMatrix & matrix,
						std::vector<double> & work, double * b) const;
	/*! Throws unless blocks holds N entries below N. */
	void checkBlockIndices(const unsigned int * blocks, const char * location) const;

	/*! The model as ADI model; not owned. */
	ModelInterfaceADI *			m_modelADI = nullptr;
	/*! Number of blocks. */
	unsigned int				m_N;
	/*! Unknowns per block. */
	unsigned int				m_M;
	/*! Derivatives at the state of setup() with the couplings of direction 1 and of direction 2. */
	std::vector<double>			m_ydotX;
	std::vector<double>			m_ydotY;
	/*! State of setup(), perturbed by the difference quotients. */
	std::vector<double>			m_yPerturbed;
	std::vector<double>			m_ydotPerturbed;
	std::vector<double>			m_increments;
	/*! Right-hand sides gathered in the order of direction 1 and of direction 2. */
	std::vector<double>			m_gatherX;
	std::vector<double>			m_gatherY;
	/*! I - gamma J_X and I - gamma J_Y, after setup() their LU factors. */
	ZEBMK::BlockTridiagMatrix	m_X;
	ZEBMK::BlockTridiagMatrix	m_Y;
};

} // namespace KADRIX

#endif // KADRIX_LESADIH
