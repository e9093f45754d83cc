// The example room (examples/room) integrated as the FMU's co-simulation does (stop at every hour,
// stepCompleted after every step) with the controller slopes held at given values, so that runs
// at different tolerances and on different solver roads integrate the same equations. Writes the
// room air temperature at every hour [C], one line each, for comparison with a tight-tolerance
// run of the same stretch.
// A measurement, run by hand:
//   build/bench/calovinda_switch_accuracy LES PRECOND RTOL FIRST_HOUR HOURS OUT_FILE [adapt]
//   e.g. build/bench/calovinda_switch_accuracy KLU "" 1e-10 0 8760 reference.txt
// LES and PRECOND are the adaptor's solver names ("GMRES", "ILU", "KLU", ...); RTOL is also the
// absolute tolerance. The slopes are those the example's adaptation reaches in a year; with
// "adapt" they start from the model's own and adapt as in the FMU.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "RX_CalovindaModelFMU.h"
#include "ZEB_Exception.h"

int main(int argc, char * argv[]) {
	const bool adapt = argc == 8 && std::string(argv[7]) == "adapt";
	if (argc != 7 && !adapt) {
		std::fprintf(stderr, "usage: %s LES PRECOND RTOL FIRST_HOUR HOURS OUT_FILE [adapt]\n", argv[0]);
		return 2;
	}
	const double heatingSlope = 21499.1;
	const double coolingSlope = 44580.5;
	try {
		RX::CalovindaModelFMU model;
		model.m_lesSolverName = argv[1];
		model.m_preconditionerName = argv[2];
		const double tolerance = std::atof(argv[3]);
		const unsigned int firstHour = static_cast<unsigned int>(std::atoi(argv[4]));
		const unsigned int hours = static_cast<unsigned int>(std::atoi(argv[5]));
		const ZEB::Path resources(CALOVINDA_EXAMPLE_DIR);
		model.init(resources / "calovinda_project.rmxml", resources);
		if (!adapt) {
			model.m_room.m_heatingModel.m_slope = heatingSlope;
			model.m_room.m_coolingModel.m_slope = coolingSlope;
		}

		KADRIX::IntegratorSundialsCVODE & cvode = model.m_integratorCVODE;
		cvode.m_relTol = tolerance;
		cvode.m_absTol = tolerance;
		const double t0 = firstHour*3600.0;
		cvode.init(&model, t0, model.y0(), model.lesInterface(), model.preconditionerInterface(),
				   model.jacobianInterface());
		std::FILE * out = std::fopen(argv[6], "w");
		if (out == nullptr)
			return 1;
		unsigned int slopeResets = 0;
		unsigned int requests = 0;
		const auto start = std::chrono::steady_clock::now();
		for (unsigned int h = 1; h <= hours; ++h) {
			const double tEnd = t0 + h*3600.0;
			cvode.m_stopTime = tEnd;
			while (cvode.t() < tEnd) {
				if (cvode.step() != KADRIX::IntegratorInterface::StepSuccess) {
					std::fprintf(stderr, "step failed at %g s\n", cvode.t());
					return 1;
				}
				model.stepCompleted(cvode.t(), cvode.yOut(cvode.t()));
				if (model.m_jacobianUpdateRequested)
					++requests;
				if (adapt)
					continue;
				if (model.m_room.m_heatingModel.m_slope != heatingSlope ||
					model.m_room.m_coolingModel.m_slope != coolingSlope)
				{
					++slopeResets;
					model.m_room.m_heatingModel.m_slope = heatingSlope;
					model.m_room.m_coolingModel.m_slope = coolingSlope;
				}
			}
			std::fprintf(out, "%.9f\n", model.m_TRoom - 273.15);
		}
		std::fclose(out);
		using Integrator = KADRIX::IntegratorSundialsCVODE;
		std::printf("%u hours from hour %u: %.3f s, %u steps, %u Jacobian evaluations, %u preconditioner set-ups, "
					"%u error-test failures, %u fresh Jacobians asked for, %u slope resets, slopes %g / %g W/K\n",
					hours, firstHour,
					std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
					cvode.stats(Integrator::ST_STEPS), cvode.stats(Integrator::ST_DIRECT_JAC_EVALS),
					cvode.stats(Integrator::ST_PREC_EVALS), cvode.stats(Integrator::ST_ERR_TEST_FAILS), requests, slopeResets,
					model.m_room.m_heatingModel.m_slope, model.m_room.m_coolingModel.m_slope);
	}
	catch (const ZEB::Exception & ex) {
		std::fprintf(stderr, "%s\n", ex.what());
		return 1;
	}
	return 0;
}
