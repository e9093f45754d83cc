// A year of a 300-cell wall with hourly outputs on CVODE: GMRES with the sparse
// difference-quotient Jacobian (the FMU's solver road) with the ILU preconditioner or without,
// and the band direct solver. Prints per run wall time, steps, right-hand-side evaluations,
// linear iterations and checksums of the surface temperature outputs and of the final state
// (every bit of every cell), so that two builds, e.g. against the optimised and against Debian's
// SUNDIALS, can be compared for bit-identical results.
// A measurement, run by hand:
//   build/bench/calovinda_wall_year [ilu] [band] [gmres]
// without arguments all three; gmres (no preconditioner) takes about two minutes.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "KADRIX_LESBand.h"
#include "KADRIX_LESGMRES.h"
#include "KADRIX_PrecondILU.h"
#include "WallModel.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace {

enum Variant { GMRES, ILU, BAND };

// FNV-1a over the bit patterns of the values: equal only when every bit is.
std::uint64_t fingerprint(const double * values, std::size_t n, std::uint64_t hash = 14695981039346656037ull) {
	for (std::size_t i = 0; i < n; ++i) {
		std::uint64_t bits;
		std::memcpy(&bits, &values[i], sizeof bits);
		hash = (hash ^ bits) * 1099511628211ull;
	}
	return hash;
}

// One year of the wall. Returns 0, or 1 when the integration fails.
int runYear(Variant variant) {
	const char * const titles[] = {
		"CVODE + GMRES + sparse Jacobian",
		"CVODE + GMRES + sparse Jacobian + ILU preconditioner",
		"CVODE + band direct solver"
	};
	const char * const title = titles[variant];
	Bench::Wall wall(300);
	std::vector<unsigned int> ia, ja;
	wall.pattern(ia, ja);
	KADRIX::JacobianSparseCSR jacobian(wall.n(), static_cast<unsigned int>(ja.size()), ia.data(), ja.data());
	KADRIX::PrecondILU ilu(KADRIX::PrecondInterface::RIGHT);
	KADRIX::LESGMRES gmres;
	gmres.m_maxKrylovDim = 10;
	gmres.m_linIterConvCoeff = 0.05;
	KADRIX::LESBand band(1, 1);
	KADRIX::IntegratorSundialsCVODE cvode;
	cvode.m_relTol = 1e-6;
	cvode.m_absTol = 1e-6;
	cvode.m_dtMin = 1e-8;
	cvode.m_nonlinConvCoef = 0.01;

	const auto start = std::chrono::steady_clock::now();
	if (variant == BAND)
		cvode.init(&wall, wall.t0(), wall.y0(), &band, nullptr, nullptr);
	else
		cvode.init(&wall, wall.t0(), wall.y0(), &gmres, variant == ILU ? &ilu : nullptr, &jacobian);
	double nextOutput = 3600;
	double outputSum = 0;
	std::uint64_t outputHash = fingerprint(nullptr, 0);
	while (cvode.t() < wall.tEnd()) {
		if (cvode.step() != 1) {
			std::printf("%s: integration failed at t = %g s\n", title, cvode.t());
			return 1;
		}
		while (nextOutput <= cvode.t()) {
			const double * y = cvode.yOut(nextOutput);
			outputSum += y[0];
			outputHash = fingerprint(y, 1, outputHash);
			nextOutput += 3600;
		}
	}
	const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
	const double tLast = cvode.t();
	const std::uint64_t stateHash = fingerprint(cvode.yOut(tLast), wall.n());
	using Integrator = KADRIX::IntegratorSundialsCVODE;
	std::printf("%s, 300-cell wall, one year, hourly outputs\n", title);
	std::printf("  wall time           %.3f s\n", seconds);
	std::printf("  steps               %u\n", cvode.stats(Integrator::ST_STEPS));
	if (variant == BAND)
		std::printf("  rhs evaluations     %u (integrator) + %u (Jacobian)\n", cvode.stats(Integrator::ST_RHS_EVALS),
					cvode.stats(Integrator::ST_DIRECT_RHS_EVALS));
	else
		std::printf("  rhs evaluations     %u (integrator) + %u (Jacobian) + %u (J*v)\n",
					cvode.stats(Integrator::ST_RHS_EVALS), jacobian.nRHSEvals(),
					cvode.stats(Integrator::ST_KRYLOV_RHS_EVALS));
	if (variant == BAND)
		std::printf("  Jacobian evaluations %u\n", cvode.stats(Integrator::ST_DIRECT_JAC_EVALS));
	else
		std::printf("  linear iterations   %u\n", cvode.stats(Integrator::ST_LIN_ITERS));
	std::printf("  mean surface temperature %.3f K\n", outputSum / (nextOutput / 3600 - 1));
	std::printf("  surface temperature outputs checksum %016llx\n", static_cast<unsigned long long>(outputHash));
	std::printf("  final state         t = %.17g s, checksum %016llx\n", tLast,
				static_cast<unsigned long long>(stateHash));
	return 0;
}

} // namespace

int main(int argc, char * argv[]) {
	std::vector<Variant> variants;
	for (int i = 1; i < argc; ++i) {
		if (std::strcmp(argv[i], "ilu") == 0)
			variants.push_back(ILU);
		else if (std::strcmp(argv[i], "band") == 0)
			variants.push_back(BAND);
		else if (std::strcmp(argv[i], "gmres") == 0)
			variants.push_back(GMRES);
		else {
			std::fprintf(stderr, "usage: %s [ilu] [band] [gmres]\n", argv[0]);
			return 2;
		}
	}
	if (variants.empty())
		variants = {ILU, BAND, GMRES};
	ZEB::MessageHandlerRegistry::instance().currentHandler()->setConsoleVerbosityLevel(0);
	int failed = 0;
	for (Variant v : variants)
		failed |= runYear(v);
	return failed;
}
