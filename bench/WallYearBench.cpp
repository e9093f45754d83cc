// A year of a 300-cell wall on the FMU's solver road: CVODE, GMRES and the sparse
// difference-quotient Jacobian, with hourly outputs, once without and once with the ILU
// preconditioner. Prints wall time, steps, right-hand-side evaluations and linear iterations of
// each run. A measurement, run by hand (the run without preconditioner takes about two minutes):
// build/bench/calovinda_wall_year

#include <chrono>
#include <cstdio>
#include <vector>

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "KADRIX_LESGMRES.h"
#include "KADRIX_PrecondILU.h"
#include "WallModel.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace {

// One year of the wall; precond may be null. Returns 0, or 1 when the integration fails.
int runYear(KADRIX::PrecondInterface * precond, const char * title) {
	Bench::Wall wall(300);
	std::vector<unsigned int> ia, ja;
	wall.pattern(ia, ja);
	KADRIX::JacobianSparseCSR jacobian(wall.n(), static_cast<unsigned int>(ja.size()), ia.data(), ja.data());
	KADRIX::LESGMRES gmres;
	gmres.m_maxKrylovDim = 10;
	gmres.m_linIterConvCoeff = 0.05;
	KADRIX::IntegratorSundialsCVODE cvode;
	cvode.m_relTol = 1e-6;
	cvode.m_absTol = 1e-6;
	cvode.m_dtMin = 1e-8;
	cvode.m_nonlinConvCoef = 0.01;

	const auto start = std::chrono::steady_clock::now();
	cvode.init(&wall, wall.t0(), wall.y0(), &gmres, precond, &jacobian);
	double nextOutput = 3600;
	double checksum = 0;
	while (cvode.t() < wall.tEnd()) {
		if (cvode.step() != 1) {
			std::printf("%s: integration failed at t = %g s\n", title, cvode.t());
			return 1;
		}
		while (nextOutput <= cvode.t()) {
			checksum += cvode.yOut(nextOutput)[0];
			nextOutput += 3600;
		}
	}
	const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
	std::printf("%s, 300-cell wall, one year, hourly outputs\n", title);
	std::printf("  wall time           %.3f s\n", seconds);
	std::printf("  steps               %u\n", cvode.stats(KADRIX::IntegratorSundialsCVODE::ST_STEPS));
	std::printf("  rhs evaluations     %u (integrator) + %u (Jacobian) + %u (J*v)\n",
				cvode.stats(KADRIX::IntegratorSundialsCVODE::ST_RHS_EVALS), jacobian.nRHSEvals(),
				cvode.stats(KADRIX::IntegratorSundialsCVODE::ST_KRYLOV_RHS_EVALS));
	std::printf("  linear iterations   %u\n", cvode.stats(KADRIX::IntegratorSundialsCVODE::ST_LIN_ITERS));
	std::printf("  mean surface temperature %.3f K\n", checksum / (nextOutput / 3600 - 1));
	return 0;
}

} // namespace

int main() {
	ZEB::MessageHandlerRegistry::instance().currentHandler()->setConsoleVerbosityLevel(0);
	KADRIX::PrecondILU ilu(KADRIX::PrecondInterface::RIGHT);
	const int plain = runYear(nullptr, "CVODE + GMRES + sparse Jacobian");
	const int preconditioned = runYear(&ilu, "CVODE + GMRES + sparse Jacobian + ILU preconditioner");
	return plain != 0 || preconditioned != 0;
}
