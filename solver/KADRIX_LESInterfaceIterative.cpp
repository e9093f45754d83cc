#include "KADRIX_LESInterfaceIterative.h"

#include <iomanip>
#include <locale>
#include <ostream>

#include <cvode/cvode.h>
#include <nvector/nvector_serial.h>
#include <sunlinsol/sunlinsol_spbcgs.h>
#include <sunlinsol/sunlinsol_spgmr.h>

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_JacobianInterface.h"
#include "KADRIX_ModelInterface.h"
#include "KADRIX_PrecondInterface.h"
#include "cvode_serialization.h"
#include "sundials_serialization.h"
#include "sundials_timer.h"
#include "ZEB_Exception.h"
#include "ZEB_FileUtils.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Time.h"

namespace KADRIX {

void LESInterfaceIterative::attachToCVODE(IntegratorSundialsCVODE * integrator, ModelInterface * model,
										  PrecondInterface * precond, JacobianInterface * jacobian,
										  KrylovModule module, const char * className)
{
	const std::string location = std::string("[") + className + "::init]";
	const char * const moduleName = (module == KM_GMRES) ? "CVSpgmr" : "CVSpbcg";
	m_integrator = integrator;
	m_model = model;
	m_precond = precond;
	m_jacobian = jacobian;
	if (precond == nullptr)
		ZEB::ZEB_Message(ZEB::FormatString("No Preconditioner is set for %1 linear equation solver.").arg(className),
						 ZEB::MSG_WARNING, location.c_str(), -1);

	// a Jacobian generator alone means left preconditioning: the preconditioner callbacks then
	// refresh the Jacobian and pass the vector through
	int side = (jacobian != nullptr) ? SUN_PREC_LEFT : SUN_PREC_NONE;
	if (precond != nullptr) {
		switch (precond->preconditionerType()) {
			case PrecondInterface::NONE :
				throw ZEB::Exception(ZEB::FormatString("Error initialising preconditioner for %1 linear equation solver: "
													   "Preconditioner attribute 'Left', 'Right' or 'Both is enforced.").arg(className),
									 location);
			case PrecondInterface::LEFT		: side = SUN_PREC_LEFT; break;
			case PrecondInterface::RIGHT	: side = SUN_PREC_RIGHT; break;
			case PrecondInterface::BOTH		: side = SUN_PREC_BOTH; break;
			default							: break;
		}
	}

	SUNContext ctx = integrator->sunContext();
	N_Vector tmpl = N_VNew_Serial(static_cast<sunindextype>(model->n()), ctx);
	SUNLinearSolver ls = nullptr;
	if (tmpl != nullptr) {
		const int maxl = static_cast<int>(m_maxKrylovDim);
		ls = (module == KM_GMRES) ? SUNLinSol_SPGMR(tmpl, side, maxl, ctx) : SUNLinSol_SPBCGS(tmpl, side, maxl, ctx);
		N_VDestroy_Serial(tmpl);
	}
	const int result = integrator->attachLinearSolver(ls, nullptr);
	if (result != 0) {
		std::string text = std::string(moduleName) + " init error";
		if (result == -4)
			text = std::string(moduleName) + " memory initialization error (problem too large?)";
		else if (result == -3)
			text = std::string(moduleName) + " init error (wrong input?)";
		ZEB::ZEB_Message(ZEB::FormatString(text), ZEB::MSG_ERROR, location.c_str(), -1);
		throw ZEB::Exception("Error initializing linear equation solver.", location);
	}
	if (m_linIterConvCoeff != 0) {
		ZEB::ZEB_Message(ZEB::FormatString("Setting EpsLin (eplifac,linIterConvCoeff) to %1.\n").arg(m_linIterConvCoeff),
						 ZEB::MSG_PROGRESS, location.c_str(), 1);
		CVodeSetEpsLin(integrator->cvodeMem(), m_linIterConvCoeff);
	}
}


void LESInterfaceIterative::writeStatisticsHeader(const ZEB::Path & logfilePath, bool doRestart) {
	// its metrics report the integrator's timings: a run that keeps statistics measures them
	if (TimerTable * timers = timersOf(m_integrator))
		timers->enabled = 1;
	const ZEB::Path file = logfilePath / "LES_iterative_stats.tsv";
	m_statsFileStream.reset(ZEB::create_ofstream(file, doRestart ? std::ios_base::app : std::ios_base::trunc));
	if (!*m_statsFileStream)
		throw ZEB::Exception(ZEB::FormatString("Cannot open statistics file '%1'.").arg(file),
							 "[LESInterfaceIterative::writeStatisticsHeader]");
	m_statsFileStream->imbue(std::locale::classic());
	if (doRestart)
		return;
	std::ostream & out = *m_statsFileStream;
	out << std::right << std::setw(25) << "Time\t"
		<< std::setw(10) << "NLIters\t" << std::setw(10) << "NLCFails\t"
		<< std::setw(10) << "NPEvals\t" << std::setw(10) << "NPSolve\t"
		<< std::setw(13) << "NJvEvals\t" << std::setw(13) << "NRhsEvals" << std::endl;
}


void LESInterfaceIterative::writeStatistics(double t) {
	if (m_statsFileStream == nullptr)
		return;
	updateSUNDIALSStatistics();
	std::ostream & out = *m_statsFileStream;
	out << std::right << std::fixed << std::setprecision(10) << std::setw(25) << t
		<< '\t' << std::setw(10) << m_nLinIters
		<< '\t' << std::setw(10) << m_nLinConvFails
		<< '\t' << std::setw(10) << m_nPrecSetups
		<< '\t' << std::setw(10) << m_nPrecSolves
		<< '\t' << std::setw(13) << m_nJacTimesVec
		<< '\t' << std::setw(13) << m_nRHSEvals << std::endl;
}


void LESInterfaceIterative::writeMetrics(double simTime, std::ostream * metricsFile) {
	updateSUNDIALSStatistics();
	const char * const location = "[LESInterfaceIterative::writeMetrics]";
	const std::string unit = ZEB::Time::suitableTimeUnit(simTime);
	const unsigned int jacRHSEvals = (m_jacobian != nullptr) ? m_jacobian->nRHSEvals() : 0;
	const unsigned int preRHSEvals = (m_precond != nullptr) ? m_precond->nRHSEvals() : 0;
	const TimerTable * timers = timersOf(m_integrator);
	auto message = [location](const ZEB::FormatString & text) {
		ZEB::ZEB_Message(text, ZEB::MSG_PROGRESS, location, 1);
	};
	auto timed = [&](const char * text, int slot) {
		return ZEB::FormatString(text)
			.arg(ZEB::Time::format_time_difference(TimerSum(timers, slot), unit, true), 13)
			.arg(simTime > 0 ? TimerSum(timers, slot) / simTime * 100 : 0.0, 5, 'f', 2);
	};
	message(ZEB::FormatString("LES: Linear iterations                     =                          %1\n").arg(m_nLinIters, 8));
	message(ZEB::FormatString("LES: Linear convergence failures           =                          %1\n").arg(m_nLinConvFails, 8));
	message(timed("LES: Function evaluations (LS solve)       = %1 (%2 %%)  %3\n", FEVAL_LS_SOLVE).arg(m_nRHSEvals, 8));
	message(timed("LES: Function evaluations (Jacobian gen.)  = %1 (%2 %%)  %3\n", FEVAL_JACOBIAN_GENERATION).arg(jacRHSEvals, 8));
	message(timed("LES: Jacobian matrix assembly time         = %1 (%2 %%)\n", JACOBIAN_GENERATION));
	message(timed("LES: Matrix-vector multiplications         = %1 (%2 %%)  %3\n", ATIMES).arg(m_nJacTimesVec, 8));
	message(timed("LES: Function evaluations (precond. setup) = %1 (%2 %%)  %3\n", FEVAL_PRE_SETUP).arg(preRHSEvals, 8));
	message(timed("LES: Preconditioner setup                  = %1 (%2 %%)  %3\n", PRE_SETUP).arg(m_nPrecSetups, 8));
	message(timed("LES: Preconditioner solves                 = %1 (%2 %%)  %3\n", PRE_SOLVE).arg(m_nPrecSolves, 8));
	if (metricsFile == nullptr)
		return;
	std::ostream & out = *metricsFile;
	out << "LESLinearIters=" << m_nLinIters << std::endl;
	out << "LESLinearConvFails=" << m_nLinConvFails << std::endl;
	out << "LESRHSEvals=" << m_nRHSEvals << std::endl;
	out << "LESTimeRHSEvals=" << TimerSum(timers, FEVAL_LS_SOLVE) << std::endl;
	out << "LESRHSEvalsJacGeneration=" << jacRHSEvals << std::endl;
	out << "LESTimeRHSEvalsJacGeneration=" << TimerSum(timers, FEVAL_JACOBIAN_GENERATION) << std::endl;
	out << "LESTimeJacAssembly=" << TimerSum(timers, JACOBIAN_GENERATION) << std::endl;
	out << "LESMatrixVectorMult=" << m_nJacTimesVec << std::endl;
	out << "LESTimeMatrixVectorMult=" << TimerSum(timers, ATIMES) << std::endl;
	out << "LESRHSEvalsPreSetup=" << preRHSEvals << std::endl;
	out << "LESTimeRHSEvalsPreSetup=" << TimerSum(timers, FEVAL_PRE_SETUP) << std::endl;
	out << "LESPreSetup=" << m_nPrecSetups << std::endl;
	out << "LESTimePreSetup=" << TimerSum(timers, PRE_SETUP) << std::endl;
	out << "LESPreSolves=" << m_nPrecSolves << std::endl;
	out << "LESTimePreSolves=" << TimerSum(timers, PRE_SOLVE) << std::endl;
}


void LESInterfaceIterative::updateSUNDIALSStatistics() {
	IntegratorSundialsCVODE * cvode = dynamic_cast<IntegratorSundialsCVODE *>(m_integrator);
	if (cvode == nullptr)
		return;
	m_nLinIters = cvode->stats(IntegratorSundialsCVODE::ST_LIN_ITERS);
	m_nLinConvFails = cvode->stats(IntegratorSundialsCVODE::ST_LIN_CONV_FAILS);
	m_nPrecSetups = cvode->stats(IntegratorSundialsCVODE::ST_PREC_EVALS);
	m_nPrecSolves = cvode->stats(IntegratorSundialsCVODE::ST_PREC_SOLVES);
	m_nJacTimesVec = cvode->stats(IntegratorSundialsCVODE::ST_JTIMES_EVALS);
	m_nRHSEvals = cvode->stats(IntegratorSundialsCVODE::ST_KRYLOV_RHS_EVALS);
}



std::size_t LESInterfaceIterative::serializationSize() const {
	const IntegratorSundialsCVODE * cvode = dynamic_cast<const IntegratorSundialsCVODE *>(m_integrator);
	if (cvode == nullptr)
		return 0;
	const long size = CVSpilsSerializationSize(cvode->cvodeMem());
	return size > 0 ? static_cast<std::size_t>(size) : 0;
}


void LESInterfaceIterative::serialize(void *& dataPtr) const {
	if (serializationSize() != 0)
		CVSpilsSerialize(static_cast<const IntegratorSundialsCVODE *>(m_integrator)->cvodeMem(), &dataPtr);
}


void LESInterfaceIterative::deserialize(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[LESInterfaceIterative::deserialize]";
	const std::size_t size = serializationSize();
	if (size == 0)
		return;
	checkSnapshotRoom(dataPtr, size, dataEnd, location);
	const long result = CVSpilsDeserialize(static_cast<IntegratorSundialsCVODE *>(m_integrator)->cvodeMem(), &dataPtr);
	if (result == -6)
		throw ZEB::Exception("Invalid linear equation solver state data: its norm factor or linear tolerance factor "
							 "differs from this solver's settings.", location);
	if (result < 0)
		throw ZEB::Exception("Invalid linear equation solver state data.", location);
}

} // namespace KADRIX
