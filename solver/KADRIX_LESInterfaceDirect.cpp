#include "KADRIX_LESInterfaceDirect.h"

#include <iomanip>
#include <locale>
#include <ostream>
#include <string>

#include <cvode/cvode.h>
#include <nvector/nvector_serial.h>

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_ModelInterface.h"
#include "cvode_serialization.h"
#include "sundials_serialization.h"
#include "sundials_timer.h"
#include "ZEB_Exception.h"
#include "ZEB_FileUtils.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Time.h"

namespace KADRIX {

void LESInterfaceDirect::attachToCVODE(IntegratorSundialsCVODE * cvode, SUNMatrix A, SolverConstructor makeSolver,
									   const char * moduleName, const char * location)
{
	SUNLinearSolver ls = nullptr;
	N_Vector tmpl = N_VNew_Serial(static_cast<sunindextype>(m_model->n()), cvode->sunContext());
	if (tmpl != nullptr) {
		if (A != nullptr)
			ls = makeSolver(tmpl, A, cvode->sunContext());
		N_VDestroy_Serial(tmpl);
	}
	reportAttachFailure(cvode->attachLinearSolver(ls, A), moduleName, location);
}


void LESInterfaceDirect::reportAttachFailure(int result, const char * moduleName, const char * location) {
	if (result == 0)
		return;
	std::string text = std::string(moduleName) + " init error";
	if (result == -4)
		text = std::string(moduleName) + " memory initialization error (problem too large?)";
	else if (result == -3)
		text = std::string(moduleName) + " init error (wrong input?)";
	ZEB::ZEB_Message(ZEB::FormatString(text), ZEB::MSG_ERROR, location, -1);
	throw ZEB::Exception("Error initializing linear equation solver.", location);
}


std::size_t LESInterfaceDirect::directBlockSize() const {
	const IntegratorSundialsCVODE * cvode = dynamic_cast<const IntegratorSundialsCVODE *>(m_integrator);
	if (cvode == nullptr || cvode->cvodeMem() == nullptr)
		return 0;
	const long size = CVDlsSerializationSize(cvode->cvodeMem());
	return size > 0 ? static_cast<std::size_t>(size) : 0;
}


void LESInterfaceDirect::serializeDirectBlock(void *& dataPtr) const {
	if (directBlockSize() != 0)
		CVDlsSerialize(static_cast<const IntegratorSundialsCVODE *>(m_integrator)->cvodeMem(), &dataPtr);
}


void LESInterfaceDirect::deserializeDirectBlock(void *& dataPtr, const void * dataEnd, const char * location) {
	const std::size_t size = directBlockSize();
	if (size == 0)
		return;
	checkSnapshotRoom(dataPtr, size, dataEnd, location);
	void * p = dataPtr;
	if (CVDlsDeserialize(static_cast<IntegratorSundialsCVODE *>(m_integrator)->cvodeMem(), &p) < 0)
		throw ZEB::Exception("Invalid linear equation solver state data.", location);
	dataPtr = p;
}


void LESInterfaceDirect::writeStatisticsHeader(const ZEB::Path & logfilePath, bool doRestart) {
	// its metrics report the integrator's timings: a run that keeps statistics measures them
	if (TimerTable * timers = timersOf(m_integrator))
		timers->enabled = 1;
	const ZEB::Path file = logfilePath / "LES_direct_stats.tsv";
	m_statsFileStream.reset(ZEB::create_ofstream(file, doRestart ? std::ios_base::app : std::ios_base::trunc));
	if (!*m_statsFileStream) {
		m_statsFileStream.reset();
		throw ZEB::Exception(ZEB::FormatString("Cannot open statistics file '%1'.").arg(file),
							 "[LESInterfaceDirect::writeStatisticsHeader]");
	}
	m_statsFileStream->imbue(std::locale::classic());
	if (doRestart)
		return;
	*m_statsFileStream << std::right << std::setw(25) << "Time\t" << std::setw(13) << "NJacEvals\t"
					   << std::setw(13) << "NRhsEvals" << std::endl;
}


void LESInterfaceDirect::writeStatistics(double t) {
	if (m_statsFileStream == nullptr)
		return;
	updateSUNDIALSStatistics();
	*m_statsFileStream << std::right << std::fixed << std::setprecision(10) << std::setw(25) << t
					   << '\t' << std::setw(13) << m_nJacEvals
					   << '\t' << std::setw(13) << m_nRHSEvals << std::endl;
}


void LESInterfaceDirect::writeMetrics(double simTime, std::ostream * metricsFile) {
	updateSUNDIALSStatistics();
	const char * const location = "[LESInterfaceDirect::writeMetrics]";
	const std::string unit = ZEB::Time::suitableTimeUnit(simTime);
	long setups = 0;
	if (const IntegratorSundialsCVODE * cvode = dynamic_cast<const IntegratorSundialsCVODE *>(m_integrator))
		if (cvode->cvodeMem() != nullptr)
			CVodeGetNumLinSolvSetups(cvode->cvodeMem(), &setups);
	const TimerTable * timers = timersOf(m_integrator);
	const double factorization = TimerSum(timers, JACOBIAN_FACTORIZATION);
	const double evaluations = TimerSum(timers, FEVAL_JACOBIAN_GENERATION);
	auto timed = [&](const char * text, double seconds, unsigned long count) {
		ZEB::ZEB_Message(ZEB::FormatString(text)
						 .arg(ZEB::Time::format_time_difference(seconds, unit, true), 13)
						 .arg(simTime > 0 ? seconds / simTime * 100 : 0.0, 5, 'f', 2)
						 .arg(count, 8), ZEB::MSG_PROGRESS, location, 1);
	};
	ZEB::ZEB_Message(ZEB::FormatString("LES: Jacobian matrix evaluations           =                          %1\n")
					 .arg(m_nJacEvals, 8), ZEB::MSG_PROGRESS, location, 1);
	timed("LES: Matrix factorization                  = %1 (%2 %%)  %3\n", factorization,
		  static_cast<unsigned long>(setups));
	timed("LES: Function evaluation (Jacobian gen.)   = %1 (%2 %%)  %3\n", evaluations, m_nRHSEvals);
	if (metricsFile == nullptr)
		return;
	std::ostream & out = *metricsFile;
	out << "LESSetups=" << setups << std::endl;
	out << "LESJacEvals=" << m_nJacEvals << std::endl;
	out << "LESTimeJacEvals=" << factorization << std::endl;
	out << "LESRHSEvals=" << m_nRHSEvals << std::endl;
	out << "LESTimeRHSEvals=" << evaluations << std::endl;
}


void LESInterfaceDirect::updateSUNDIALSStatistics() {
	const IntegratorSundialsCVODE * cvode = dynamic_cast<const IntegratorSundialsCVODE *>(m_integrator);
	if (cvode == nullptr)
		return;
	m_nJacEvals = cvode->stats(IntegratorSundialsCVODE::ST_DIRECT_JAC_EVALS);
	m_nRHSEvals = cvode->stats(IntegratorSundialsCVODE::ST_DIRECT_RHS_EVALS);
}

} // namespace KADRIX
