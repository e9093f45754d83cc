#ifndef KADRIX_LESGMRESH
#define KADRIX_LESGMRESH

#include <vector>

#include "KADRIX_LESInterfaceIterative.h"
#include "ZEBMK_BandMatrix.h"

namespace KADRIX {

/*! GMRES linear equation solver. With the CVODE integrator it attaches CVODE's GMRES module (and
	saves its Krylov block in snapshots); with the implicit Euler integrator it runs its own
	weighted GMRES without restarts on M = I - gamma J, with a difference-quotient or the Jacobian
	generator's product. All work arrays are sized by init(). */
class LESGMRES : public LESInterfaceIterative {
public:
	void init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
			  JacobianInterface * jacobian) override;
	/*! Implicit Euler only: takes state, derivatives and gamma, error weights, and sets up the
		Jacobian generator and preconditioner; throws LESSetupError with the result of the first
		of them that fails. */
	void setup(const double * y, const double * ydot, const double * residuals, double gamma) override;
	/*! Implicit Euler only: replaces b by the (best) solution of M x = b. After a breakdown (M
		singular on the Krylov subspace) the solution comes from the subspace before it and counts
		as a linear convergence failure. */
	void solve(double * b) override;

	/*! Av = (I - gamma J) v at the state and derivatives of the last setup. */
	void ATimesVec(const double * v, double * Av, double gamma, const double * y, const double * f, double * tmp);
	/*! Orthogonalises w against V_0..V_k into V_{k+1} and column k of H; returns 0. */
	int ModifiedGramSchmidt(const double * w, unsigned int k);
	int ClassicalGramSchmidt(const double * w, unsigned int k);
	/*! Applies the earlier Givens rotations to column k of H and computes rotation k; returns 0. */
	int QRfactorisation(unsigned int k);
	/*! Solves the k x k least-squares problem in g; 1 at a zero diagonal element, else 0. */
	int QRsolve(unsigned int k, double * g);
	static double dotProduct(const double * a, const double * b, unsigned int n);
	/*! The Euclidean norm. */
	static double norm2(const double * a, unsigned int n);

private:
	/*! Applies the preconditioner: z = P^-1 r, lr 1 left, 2 right. */
	void precondSolve(const double * r, double * z, int lr);

	/*! Hessenberg matrix: only its storage is used, element (i, k) of column k. */
	ZEBMK::BandMatrix					m_H;
	/*! Krylov basis, m+1 vectors of n values. */
	std::vector<std::vector<double> >	m_V;
	/*! Cosine of rotation k at 2k, sine at 2k+1. */
	std::vector<double>					m_givens;
	std::vector<double>					m_z;
	std::vector<double>					m_y;
	std::vector<double>					m_x;
	std::vector<double>					m_d;
	std::vector<double>					m_f;
	std::vector<double>					m_w;
	std::vector<double>					m_yPerturbed;
	std::vector<double>					m_ydotPerturbed;
	std::vector<double>					m_rhs;
	/*! Scratch of max(n, m+1) values; also the coefficients of the least-squares problem. */
	std::vector<double>					m_t;
	/*! Scratch of m+1 values for the classical Gram-Schmidt variant. */
	std::vector<double>					m_s;
	double								m_gamma = 0.1;
	/*! Tolerance of the weighted residual norm. */
	double								m_delta = 0.1;
};

} // namespace KADRIX

#endif // KADRIX_LESGMRESH
