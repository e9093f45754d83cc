// A year of the example room (examples/room/calovinda_project.rmxml, Denver) co-simulated through
// the FMI 2.0 functions of the FMU library in hourly communication steps, as a master drives it.
// Prints wall time, integrator steps, right-hand-side evaluations (integrator, Jacobian, J*v, and
// the one stepCompleted makes after every step), the linear solver's work (iterations, Jacobian
// rebuilds, set-ups), Newton and error-test failures, and the ratio of the whole run to the cost
// of those evaluations alone, measured afterwards on the same model: one evaluation at a new time
// (climate, sun, states, loads, derivatives) for the first of each step attempt, one at the same
// time for the others (Newton iterations, Jacobian, stepCompleted).
// A measurement, run by hand:
//   build/bench/calovinda_fmu_year

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <cvode/cvode.h>

#include "InstanceData.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_JacobianInterface.h"
#include "RX_FMU2ModelDescription.h"
#include "fmi2Functions.h"

namespace {

void logger(fmi2ComponentEnvironment, fmi2String, fmi2Status status, fmi2String category, fmi2String message, ...) {
	if (status < fmi2Warning)
		return;
	char text[4096];
	va_list args;
	va_start(args, message);
	std::vsnprintf(text, sizeof(text), message, args);
	va_end(args);
	std::fprintf(stderr, "[%s] %s\n", category, text);
}

double seconds(std::chrono::steady_clock::time_point start) {
	return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
	std::string results = (std::filesystem::temp_directory_path() / "calovinda_fmu_yearXXXXXX").string();
	if (mkdtemp(&results[0]) == nullptr) {
		std::fprintf(stderr, "cannot create a results directory\n");
		return 1;
	}
	// the example's directory holds exactly what a resource directory must: project and climate
	const std::string resources = "file://" CALOVINDA_EXAMPLE_DIR "/";
	fmi2CallbackFunctions functions{&logger, nullptr, nullptr, nullptr, nullptr};
	fmi2Component c = fmi2Instantiate("bench", fmi2CoSimulation, RX::FMU2_GUID, resources.c_str(), &functions,
									  fmi2False, fmi2False);
	if (c == nullptr)
		return 1;
	const fmi2ValueReference resultsRef = 42;
	const fmi2String resultsValue = results.c_str();
	const double year = 31536000;
	const fmi2ValueReference TRoomRef = 1010;
	double TSum = 0;
	int failed = 0;

	const auto start = std::chrono::steady_clock::now();
	if (fmi2SetString(c, &resultsRef, 1, &resultsValue) != fmi2OK ||
		fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2True, year) != fmi2OK ||
		fmi2EnterInitializationMode(c) != fmi2OK || fmi2ExitInitializationMode(c) != fmi2OK)
		failed = 1;
	const double initSeconds = seconds(start);
	const auto stepStart = std::chrono::steady_clock::now();
	unsigned int hours = 0;
	for (; !failed && hours < 8760; ++hours) {
		if (fmi2DoStep(c, hours*3600.0, 3600, fmi2True) != fmi2OK) {
			failed = 1;
			break;
		}
		double T = 0;
		fmi2GetReal(c, &TRoomRef, 1, &T);
		TSum += T;
	}
	const double stepSeconds = seconds(stepStart);

	if (!failed) {
		RX::CalovindaModelFMU & model = static_cast<InstanceData *>(c)->m_modelFMU;
		using Integrator = KADRIX::IntegratorSundialsCVODE;
		const Integrator & cvode = model.m_integratorCVODE;
		const unsigned int rhsIntegrator = cvode.stats(Integrator::ST_RHS_EVALS);
		const unsigned int rhsJacobian = model.jacobianInterface()->nRHSEvals();
		const unsigned int rhsKrylov = cvode.stats(Integrator::ST_KRYLOV_RHS_EVALS);
		const unsigned int steps = cvode.stats(Integrator::ST_STEPS);
		// Jacobians built by a matrix-based solver, or by the preconditioner set-up of a Krylov one
		const unsigned int jacobians = cvode.stats(Integrator::ST_DIRECT_JAC_EVALS) + cvode.stats(Integrator::ST_PREC_EVALS);
		long linearSetups = 0;
		CVodeGetNumLinSolvSetups(cvode.cvodeMem(), &linearSetups);

		// the cost of one evaluation, on the final state at the hours of the year
		std::vector<double> y(model.y0(), model.y0() + model.n()), ydot(model.n());
		const unsigned int repeats = 3;
		auto rhsStart = std::chrono::steady_clock::now();
		for (unsigned int r = 0; r < repeats; ++r)
			for (unsigned int h = 0; h < 8760; ++h) {
				model.setTime(h*3600.0 + 1800);
				model.setY(y.data());
				model.ydot(ydot.data());
			}
		const double newTimeCost = seconds(rhsStart)/(repeats*8760);
		rhsStart = std::chrono::steady_clock::now();
		for (unsigned int r = 0; r < repeats*8760; ++r) {
			model.setY(y.data());
			model.ydot(ydot.data());
		}
		const double sameTimeCost = seconds(rhsStart)/(repeats*8760);
		// Each step attempt evaluates first at its new time; its Newton iterations, the Jacobian and
		// stepCompleted evaluate again at that time, where the climate stays in place.
		const unsigned int convFails = cvode.stats(Integrator::ST_NONLIN_CONV_FAILS);
		const unsigned int errTestFails = cvode.stats(Integrator::ST_ERR_TEST_FAILS);
		const unsigned int newTimeEvals = std::min(rhsIntegrator, steps + convFails + errTestFails);
		const double rhsSeconds = newTimeEvals*newTimeCost
								  + (rhsIntegrator - newTimeEvals + steps + rhsJacobian + rhsKrylov)*sameTimeCost;

		std::printf("Example room through the FMU library (%u unknowns), one year in hourly communication steps\n",
					model.n());
		std::printf("  wall time           %.3f s (initialisation %.3f s, stepping %.3f s)\n",
					initSeconds + stepSeconds, initSeconds, stepSeconds);
		std::printf("  steps               %u\n", steps);
		std::printf("  rhs evaluations     %u (integrator) + %u (Jacobian) + %u (J*v) + %u (stepCompleted)\n",
					rhsIntegrator, rhsJacobian, rhsKrylov, steps);
		std::printf("  linear solver       %u iterations, %u Jacobian rebuilds, %ld set-ups\n",
					cvode.stats(Integrator::ST_LIN_ITERS), jacobians, linearSetups);
		std::printf("  failures            %u Newton, %u error test\n", convFails, errTestFails);
		std::printf("  rhs cost            %.0f ns at a new time, %.0f ns at the same time\n",
					newTimeCost*1e9, sameTimeCost*1e9);
		std::printf("  run / rhs alone     %.3f s / %.3f s = %.2f\n", stepSeconds, rhsSeconds, stepSeconds/rhsSeconds);
		std::printf("  mean room air temperature %.3f C\n", TSum/hours - 273.15);
	}
	fmi2Terminate(c);
	fmi2FreeInstance(c);
	std::filesystem::remove_all(results);
	return failed;
}
