// A year of the Case-600-like box with its south window in Denver (heating to 20 C, cooling to
// 27 C, natural ventilation, two persons) through the room model's solver adaptor, driven as the
// co-simulation loop drives it: stepCompleted after every step, writeOutputs on the hourly grid.
// The adaptor chooses the solver objects: CVODE with GMRES and the sparse difference-quotient
// Jacobian, without preconditioner as the FMU sets it (gmres), or with ILU (ilu). Prints per run
// wall time, steps, right-hand-side evaluations, linear iterations, Jacobian rebuilds and the mean
// room air temperature of the hourly outputs, and the time spent in the adaptor's step and output
// hooks.
// A measurement, run by hand:
//   build/bench/calovinda_adaptor_year [gmres] [ilu]
// without arguments both.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Case600Box.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_JacobianInterface.h"
#include "RX_CalovindaModelInterface.h"
#include "RX_Database.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace {

// One year of the box. Returns 0, or 1 when the integration fails.
int runYear(const char * preconditioner) {
	RX::Database db;
	RX::CalovindaModelInterface model;
	RX::Room & room = model.m_room;
	Case600::addDenverBox(room, db);
	room.m_simulationStartTime = 0;
	room.m_simulationEndTime = 31536000;
	room.m_outputTimeSteps = 3600;
	model.m_lesSolverName = "GMRES";
	model.m_preconditionerName = preconditioner;

	double seconds = 0;
	double TSum = 0;
	// the adaptor's own share: the hooks of the stepping loop
	double hookSeconds[2] = {0, 0};
	unsigned int outputs = 0;
	try {
		model.initClimate(CALOVINDA_CLIMATE_TEST_DATA, QString());
		model.init(db);

		const auto start = std::chrono::steady_clock::now();
		KADRIX::IntegratorInterface * integrator = model.integratorInterface();
		KADRIX::LESInterface * les = model.lesInterface();
		KADRIX::PrecondInterface * precond = model.preconditionerInterface();
		KADRIX::JacobianInterface * jacobian = model.jacobianInterface();
		const double tEnd = model.tEnd();
		model.m_integratorCVODE.m_stopTime = tEnd;
		integrator->init(&model, model.t0(), model.y0(), les, precond, jacobian);
		model.writeOutputs(model.t0(), model.y0());
		TSum += model.m_TRoom;
		++outputs;
		double tOut = model.nextOutputTime(model.t0());
		while (integrator->t() < tEnd) {
			if (integrator->step() != 1) {
				std::fprintf(stderr, "step failed at t = %g s\n", integrator->t());
				return 1;
			}
			const double t = integrator->t();
			const auto hookStart = std::chrono::steady_clock::now();
			model.stepCompleted(t, integrator->yOut(t));
			const auto outputStart = std::chrono::steady_clock::now();
			for (; tOut <= t; tOut = model.nextOutputTime(tOut)) {
				model.writeOutputs(tOut, integrator->yOut(tOut));
				TSum += model.m_TRoom;
				++outputs;
			}
			const auto hookEnd = std::chrono::steady_clock::now();
			hookSeconds[0] += std::chrono::duration<double>(outputStart - hookStart).count();
			hookSeconds[1] += std::chrono::duration<double>(hookEnd - outputStart).count();
		}
		seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

		using Integrator = KADRIX::IntegratorSundialsCVODE;
		const Integrator & cvode = model.m_integratorCVODE;
		std::printf("CVODE + GMRES + sparse Jacobian%s, Case-600-like box (%u unknowns), one year, hourly outputs\n",
					*preconditioner != '\0' ? " + ILU preconditioner" : "", model.n());
		std::printf("  wall time           %.3f s\n", seconds);
		std::printf("  steps               %u\n", cvode.stats(Integrator::ST_STEPS));
		std::printf("  rhs evaluations     %u (integrator) + %u (Jacobian) + %u (J*v)\n",
					cvode.stats(Integrator::ST_RHS_EVALS), jacobian->nRHSEvals(),
					cvode.stats(Integrator::ST_KRYLOV_RHS_EVALS));
		std::printf("  linear iterations   %u\n", cvode.stats(Integrator::ST_LIN_ITERS));
		std::printf("  Newton iterations   %u, convergence failures %u, error test failures %u\n",
					cvode.stats(Integrator::ST_NONLIN_ITERS), cvode.stats(Integrator::ST_NONLIN_CONV_FAILS),
					cvode.stats(Integrator::ST_ERR_TEST_FAILS));
		// CVODE counts the set-ups that asked for a fresh Jacobian; the others reuse it
		std::printf("  Jacobian rebuilds   %u, linear convergence failures %u\n",
					cvode.stats(Integrator::ST_PREC_EVALS), cvode.stats(Integrator::ST_LIN_CONV_FAILS));
		std::printf("  in stepCompleted    %.3f s, in writeOutputs %.3f s\n", hookSeconds[0], hookSeconds[1]);
		std::printf("  outputs             %u, mean room air temperature %.3f C\n", outputs, TSum/outputs - 273.15);
	}
	catch (const ZEB::Exception & ex) {
		std::fprintf(stderr, "%s\n", ex.msgStack().c_str());
		return 1;
	}
	return 0;
}

} // namespace

int main(int argc, char * argv[]) {
	std::vector<const char *> preconditioners;
	for (int i = 1; i < argc; ++i) {
		if (std::strcmp(argv[i], "gmres") == 0)
			preconditioners.push_back("");
		else if (std::strcmp(argv[i], "ilu") == 0)
			preconditioners.push_back("ILU");
		else {
			std::fprintf(stderr, "usage: %s [gmres] [ilu]\n", argv[0]);
			return 2;
		}
	}
	if (preconditioners.empty())
		preconditioners = {"", "ILU"};
	ZEB::MessageHandlerRegistry::instance().currentHandler()->setConsoleVerbosityLevel(0);
	int failed = 0;
	for (const char * p : preconditioners)
		failed |= runYear(p);
	return failed;
}
