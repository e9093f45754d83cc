#include "KADRIX_IntegratorSundialsCVODE.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fstream>
#include <iomanip>
#include <locale>
#include <ostream>
#include <vector>

#include <cvode/cvode.h>
#include <nvector/nvector_serial.h>
#include <sunnonlinsol/sunnonlinsol_newton.h>
#include <sundials/sundials_context.h>

#include "cvode_impl.h"
#include "cvode_ls_impl.h"

#include "KADRIX_JacobianInterface.h"
#include "KADRIX_LESInterfaceIterative.h"
#include "KADRIX_ModelInterface.h"
#include "KADRIX_PrecondInterface.h"
#include "cvode_serialization.h"
#include "sundials_serialization.h"
#include "sundials_timer.h"
#include "ZEB_Exception.h"
#include "ZEB_FileUtils.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Time.h"

namespace KADRIX {

/*! Everything the integrator holds for CVODE; CVODE's user data in every callback. Owns the
	context, the CVODE memory, the vectors, the attached linear solver and matrix and the
	statistics stream; model and solver objects are not owned. */
class IntegratorSundialsCVODEImpl {
public:
	/*! Which part of a step is running, so that right-hand-side evaluations are timed in the
		slot of their purpose. */
	enum Phase {
		PHASE_STEP,
		PHASE_JACOBIAN,
		PHASE_JAC_TIMES_VEC
	};

	IntegratorSundialsCVODEImpl() = default;
	~IntegratorSundialsCVODEImpl();

	SUNContext						m_ctx = nullptr;
	ModelInterface *				m_model = nullptr;
	PrecondInterface *				m_precond = nullptr;
	JacobianInterface *				m_jacobian = nullptr;
	void *							m_cvodeMem = nullptr;
	N_Vector						m_y = nullptr;
	N_Vector						m_yOut = nullptr;
	/*! The state at which a Newton iteration converged, and the right-hand sides there and at a
		state one equation moved, for the check of a convergence off the matrix's pieces. */
	N_Vector						m_yNewton = nullptr;
	N_Vector						m_fNewton = nullptr;
	N_Vector						m_fMoved = nullptr;
	/*! The equations the model names for that check. */
	std::vector<unsigned int>		m_offPieceRows;
	/*! Convergences the check has refused in the step under way. */
	unsigned int					m_newtonRefusals = 0;
	N_Vector						m_absTolVector = nullptr;
	SUNLinearSolver					m_linearSolver = nullptr;
	SUNMatrix						m_matrix = nullptr;
	/*! Time reached by the last step [s]. */
	double							m_t = 0;
	/*! Size of the last step [s]. */
	double							m_dt = 0;
	std::unique_ptr<std::ofstream>	m_statsStream;
	long							m_nSteps = 0;
	long							m_nRhsEvals = 0;
	long							m_nLinSetups = 0;
	long							m_nNewtonIters = 0;
	long							m_nNewtonConvFails = 0;
	long							m_nErrTestFails = 0;
	int								m_lastOrder = 0;
	double							m_lastStep = 0;
	/*! False when CVODE's internal records do not look as the snapshot code expects. */
	bool							m_layoutVerified = false;
	/*! The integrator's timer slots (not owned), fed by the callbacks and the timed routines. */
	TimerTable *					m_timers = nullptr;
	/*! CVODE sets up its linear solver in its first step, replacing the timed routines: the first
		right-hand-side evaluation, which follows that set-up, puts them back. */
	bool							m_timersPending = true;
	/*! True once init() has completed; stepping and reading results need it. */
	bool							m_ready = false;
	/*! A fresh Jacobian the model asked for that no step has set up with yet. */
	bool							m_freshJacobianPending = false;
	/*! CVODE's steps of the last set-up and of the last Jacobian before the request moved them. */
	long							m_nstlpBeforeRequest = 0;
	long							m_nstljBeforeRequest = 0;
	/*! The first exception a callback caught during the running CVODE call. C++ exceptions must
		not unwind through CVODE's C code: the callback stops CVODE with its unrecoverable code,
		and step() rethrows the exception once CVODE has returned. */
	std::exception_ptr				m_callbackException;
	/*! Text of CVODE's last error message, for the exceptions of init(). */
	std::string						m_lastError;
	/*! True while a failure of CVODE's error test or corrector would be met by a restart: the
		error message of such a failure is then held back until the restart has failed too. */
	bool							m_restartPossible = false;
	/*! The error message held back (empty when there is none) and CVODE's own text in it. */
	std::string						m_heldFailure;
	std::string						m_heldReason;

	Phase							m_phase = PHASE_STEP;
	// CVODE's own routines behind the timed ones
	int (*m_lsetup)(CVodeMem, int, N_Vector, N_Vector, booleantype *, N_Vector, N_Vector, N_Vector) = nullptr;
	int (*m_lsolve)(CVodeMem, N_Vector, N_Vector, N_Vector, N_Vector) = nullptr;
	// CVODE's convergence test of its Newton iteration behind the model's
	SUNNonlinSolConvTestFn			m_convergenceTest = nullptr;
	void *							m_convergenceTestData = nullptr;
	CVLsJacFn						m_jac = nullptr;
	void *							m_jacData = nullptr;
	CVLsJacTimesVecFn				m_jtimes = nullptr;
	void *							m_jtimesData = nullptr;
	// a linear solver's own Jacobian function and its data
	CVLsJacFn						m_solverJac = nullptr;
	void *							m_solverJacData = nullptr;
};


IntegratorSundialsCVODEImpl::~IntegratorSundialsCVODEImpl() {
	// CVODE frees its linear-solver interface, not the solver and matrix handed to it
	if (m_cvodeMem != nullptr)
		CVodeFree(&m_cvodeMem);
	if (m_linearSolver != nullptr)
		SUNLinSolFree(m_linearSolver);
	if (m_matrix != nullptr)
		SUNMatDestroy(m_matrix);
	for (N_Vector v : {m_y, m_yOut, m_yNewton, m_fNewton, m_fMoved, m_absTolVector})
		if (v != nullptr)
			N_VDestroy_Serial(v);
	if (m_ctx != nullptr)
		SUNContext_Free(&m_ctx);
}


namespace {

typedef IntegratorSundialsCVODEImpl Impl;

Impl * implOf(void * userData) {
	return static_cast<Impl *>(userData);
}

// Inside a catch block of a callback: keeps the exception for step() (the first one only, later
// ones are consequences) and stops CVODE.
int keepException(Impl * r) noexcept {
	if (r != nullptr && !r->m_callbackException)
		r->m_callbackException = std::current_exception();
	return -1;
}

// After a CVODE call that may have run callbacks: the exception one of them kept, if any.
void rethrowKeptException(Impl * r) {
	if (!r->m_callbackException)
		return;
	std::exception_ptr exception = r->m_callbackException;
	r->m_callbackException = nullptr;
	std::rethrow_exception(exception);
}

// The record of an integrator that can step and report results; throws before a completed init().
Impl * readyRecord(const std::unique_ptr<Impl> & impl, const char * location) {
	if (impl == nullptr || !impl->m_ready)
		throw ZEB::Exception("The integrator has not been initialized: a successful init() must come first.", location);
	return impl.get();
}

// Right-hand-side evaluations are timed in the slot of the work that asked for them.
int fevalSlot(const Impl * r) {
	switch (r->m_phase) {
		case Impl::PHASE_JACOBIAN		: return FEVAL_JACOBIAN_GENERATION;
		case Impl::PHASE_JAC_TIMES_VEC	: return FEVAL_LS_SOLVE;
		default							: return FEVAL;
	}
}

// Keeps a phase for the lifetime of the object, also when a callback returns early.
class PhaseGuard {
public:
	PhaseGuard(Impl * r, Impl::Phase phase) : m_r(r), m_previous(r->m_phase) { r->m_phase = phase; }
	~PhaseGuard() { m_r->m_phase = m_previous; }
	PhaseGuard(const PhaseGuard &) = delete;
	PhaseGuard & operator=(const PhaseGuard &) = delete;
private:
	Impl *		m_r;
	Impl::Phase	m_previous;
};

// 0 continues; a recoverable model failure is reported and lets CVODE retry with a smaller
// step; anything else stops the integration at once.
int modelReaction(ModelInterface::CalculationResult result, const char * function, double t) {
	if (result == ModelInterface::CalculationSuccess)
		return 0;
	if (result == ModelInterface::CalculationRecoverableError) {
		ZEB::ZEB_Message(ZEB::FormatString(std::string(function) + "() function (in physical model) returned with "
										   "'recoverable error' at time t=%1").arg(t),
						 ZEB::MSG_WARNING, "[IntegratorSundialsCVODE_f]", 2);
		return 1;
	}
	return -1;
}

int evaluateModel(Impl * r, realtype t, N_Vector y, N_Vector ydot) {
	int reaction = modelReaction(r->m_model->setTime(t), "setTime", t);
	if (reaction != 0)
		return reaction;
	reaction = modelReaction(r->m_model->setY(N_VGetArrayPointer_Serial(y)), "setY", t);
	if (reaction != 0)
		return reaction;
	return modelReaction(r->m_model->ydot(N_VGetArrayPointer_Serial(ydot)), "ydot", t);
}

int timedLSetup(CVodeMem cv, int convfail, N_Vector ypred, N_Vector fpred, booleantype * jcurPtr,
				N_Vector vtemp1, N_Vector vtemp2, N_Vector vtemp3)
{
	// CVODE's Newton solver retries a failed iteration with set-ups until one reports a fresh
	// Jacobian; it asks for one when gamma changed, which gamma/gammap cannot tell when gamma is 0
	// or not finite, and the step would then never end: such a step cannot be solved.
	if (!std::isfinite(cv->cv_gamma) || cv->cv_gamma == 0)
		return -1;
	Impl * r = implOf(cv->cv_user_data);
	const double jacobianBefore = TimerSum(r->m_timers, JACOBIAN_GENERATION);
	TimerStart(r->m_timers, LS_SETUP);
	const int result = r->m_lsetup(cv, convfail, ypred, fpred, jcurPtr, vtemp1, vtemp2, vtemp3);
	TimerStop(r->m_timers, LS_SETUP);
	// a matrix-based setup is Jacobian generation plus factorisation
	CVLsMem ls = static_cast<CVLsMem>(cv->cv_lmem);
	if (ls != nullptr && ls->matrixbased)
		TimerSumAdd(r->m_timers, JACOBIAN_FACTORIZATION,
					TimerValue(r->m_timers, LS_SETUP) - (TimerSum(r->m_timers, JACOBIAN_GENERATION) - jacobianBefore));
	if (result == 0 && *jcurPtr == SUNTRUE) {
		try {
			r->m_model->jacobianBuilt(cv->cv_tn, N_VGetArrayPointer_Serial(ypred));
		}
		catch (...) {
			return keepException(r);
		}
	}
	return result;
}

// The refusals a step may take: a room resting on a piece's end could otherwise see every
// shorter step refused until CVODE gave up. A fresh Jacobian, then a few shorter tries.
const unsigned int MAX_NEWTON_REFUSALS = 4;

// Whether the Newton iteration that converged to r->m_yNewton has converged also in the
// equations the model names, whose gain in the iteration matrix is gone at that state. The matrix
// damps their corrections as much as the lost gain stiffened them, so CVODE's test, which sees the
// corrections, may stop far from the solution. Each named equation's next correction is estimated
// with its own gain at the state, its residual over 1 - gamma x its diagonal (a difference
// quotient of the right-hand side), and judged by CVODE's test as the first correction of an
// iteration on a fresh matrix: weighted in the norm over all equations, and with no rate of
// convergence yet (CVODE's rate starts at 1 at every set-up). Returns 0 (converged), 1 (not
// converged) or CVODE's code of a failed right-hand side.
int convergedOffMatrixPieces(Impl * r, N_Vector ycor, realtype tol, N_Vector ewt, unsigned int rows) {
	CVodeMem cv = static_cast<CVodeMem>(r->m_cvodeMem);
	const auto rhs = [r, cv](N_Vector y, N_Vector f) {
		const int reaction = evaluateModel(r, cv->cv_tn, y, f);
		return reaction < 0 ? CV_RHSFUNC_FAIL : (reaction > 0 ? RHSFUNC_RECVR : 0);
	};
	int flag = rhs(r->m_yNewton, r->m_fNewton);
	if (flag != 0)
		return flag;
	double * y = N_VGetArrayPointer_Serial(r->m_yNewton);
	const double * f = N_VGetArrayPointer_Serial(r->m_fNewton);
	const double * fMoved = N_VGetArrayPointer_Serial(r->m_fMoved);
	const double * weight = N_VGetArrayPointer_Serial(ewt);
	const double * zn1 = N_VGetArrayPointer_Serial(cv->cv_zn[1]);
	const double * correction = N_VGetArrayPointer_Serial(ycor);
	const double sqrtN = std::sqrt(static_cast<double>(N_VGetLength_Serial(ycor)));
	for (unsigned int k = 0; k < rows; ++k) {
		const unsigned int i = r->m_offPieceRows[k];
		const double yi = y[i];
		const double increment = std::sqrt(cv->cv_uround)*std::max(std::fabs(yi), 1/weight[i]);
		y[i] = yi + increment;
		flag = rhs(r->m_yNewton, r->m_fMoved);
		y[i] = yi;
		if (flag != 0)
			return flag;
		const double diagonal = (fMoved[i] - f[i])/increment;
		// CVODE's residual of its nonlinear system, as its iteration forms it
		const double residual = cv->cv_rl1*zn1[i] + correction[i] - cv->cv_gamma*f[i];
		const double next = std::fabs(residual/(1 - cv->cv_gamma*diagonal))*weight[i]/sqrtN;
		if (next > tol)
			return 1;
	}
	return 0;
}

// CVODE's test, then, where the model names equations whose gain the iteration matrix holds but
// the converged state has left, the check above. A refusal is a recoverable failure: the Newton
// solver retries with a fresh Jacobian unless its Jacobian is fresh already, and CVODE then
// retries the step shorter.
int modelConvergenceTest(SUNNonlinearSolver nls, N_Vector ycor, N_Vector delta, realtype tol, N_Vector ewt, void * data) {
	Impl * r = implOf(data);
	const int result = r->m_convergenceTest(nls, ycor, delta, tol, ewt, r->m_convergenceTestData);
	if (result != SUN_NLS_SUCCESS || r->m_newtonRefusals >= MAX_NEWTON_REFUSALS)
		return result;
	CVodeMem cv = static_cast<CVodeMem>(r->m_cvodeMem);
	N_VLinearSum(1.0, cv->cv_zn[0], 1.0, ycor, r->m_yNewton);
	try {
		const unsigned int rows = r->m_model->equationsOffMatrixPiece(cv->cv_tn, N_VGetArrayPointer_Serial(r->m_yNewton),
																	  r->m_offPieceRows.data());
		if (rows == 0)
			return result;
		const int converged = convergedOffMatrixPieces(r, ycor, tol, ewt, rows);
		if (converged == 0)
			return result;
		if (converged != 1)
			return converged;
		++r->m_newtonRefusals;
		return SUN_NLS_CONV_RECVR;
	}
	catch (...) {
		return keepException(r);
	}
}

int timedLSolve(CVodeMem cv, N_Vector b, N_Vector weight, N_Vector ycur, N_Vector fcur) {
	Impl * r = implOf(cv->cv_user_data);
	TimerStart(r->m_timers, LS_SOLVE);
	const int result = r->m_lsolve(cv, b, weight, ycur, fcur);
	TimerStop(r->m_timers, LS_SOLVE);
	return result;
}

// The Jacobian routines behind these wrappers may be C++ code of a linear equation solver.
int timedJacobian(realtype t, N_Vector y, N_Vector fy, SUNMatrix J, void * data, N_Vector tmp1, N_Vector tmp2, N_Vector tmp3) {
	Impl * r = implOf(data);
	try {
		PhaseGuard phase(r, Impl::PHASE_JACOBIAN);
		TimerStart(r->m_timers, JACOBIAN_GENERATION);
		const int result = r->m_jac(t, y, fy, J, r->m_jacData, tmp1, tmp2, tmp3);
		TimerStop(r->m_timers, JACOBIAN_GENERATION);
		return result;
	}
	catch (...) {
		return keepException(r);
	}
}

int timedJacTimesVec(N_Vector v, N_Vector Jv, realtype t, N_Vector y, N_Vector fy, void * data, N_Vector tmp) {
	Impl * r = implOf(data);
	try {
		PhaseGuard phase(r, Impl::PHASE_JAC_TIMES_VEC);
		TimerStart(r->m_timers, ATIMES);
		const int result = r->m_jtimes(v, Jv, t, y, fy, r->m_jtimesData, tmp);
		TimerStop(r->m_timers, ATIMES);
		return result;
	}
	catch (...) {
		return keepException(r);
	}
}

// CVODE passes its user data (the record) to Jacobian functions: the solver's data goes along here.
int solverJacobian(realtype t, N_Vector y, N_Vector fy, SUNMatrix J, void * data, N_Vector tmp1, N_Vector tmp2, N_Vector tmp3) {
	Impl * r = implOf(data);
	try {
		return r->m_solverJac(t, y, fy, J, r->m_solverJacData, tmp1, tmp2, tmp3);
	}
	catch (...) {
		return keepException(r);
	}
}

// CVODE resets its Jacobian routines when it initialises the linear solver at its first step
// (and when a state is restored): the timed routines are put back in front before every step.
void installTimedRoutines(Impl * r) {
	CVodeMem cv = static_cast<CVodeMem>(r->m_cvodeMem);
	if (cv->cv_lsetup != nullptr && cv->cv_lsetup != timedLSetup) {
		r->m_lsetup = cv->cv_lsetup;
		cv->cv_lsetup = timedLSetup;
	}
	if (cv->cv_lsolve != nullptr && cv->cv_lsolve != timedLSolve) {
		r->m_lsolve = cv->cv_lsolve;
		cv->cv_lsolve = timedLSolve;
	}
	if (cv->NLS != nullptr && cv->NLS->ops->solve == SUNNonlinSolSolve_Newton) {
		SUNNonlinearSolverContent_Newton newton = static_cast<SUNNonlinearSolverContent_Newton>(cv->NLS->content);
		if (newton->CTest != nullptr && newton->CTest != modelConvergenceTest) {
			r->m_convergenceTest = newton->CTest;
			r->m_convergenceTestData = newton->ctest_data;
			newton->CTest = modelConvergenceTest;
			newton->ctest_data = r;
		}
	}
	CVLsMem ls = static_cast<CVLsMem>(cv->cv_lmem);
	if (ls == nullptr)
		return;
	if (ls->jac != nullptr && ls->jac != timedJacobian) {
		r->m_jac = ls->jac;
		r->m_jacData = ls->J_data;
		ls->jac = timedJacobian;
		ls->J_data = r;
	}
	if (ls->jtimes != nullptr && ls->jtimes != timedJacTimesVec) {
		r->m_jtimes = ls->jtimes;
		r->m_jtimesData = ls->jt_data;
		ls->jtimes = timedJacTimesVec;
		ls->jt_data = r;
	}
}

// CVODE sets up its linear solver at a step when the last set-up lies msbp steps back, and builds
// a fresh Jacobian (or has the preconditioner set-up do so) when the last one lies msbj steps
// back: both made to lie that far back, the next step sets up with a fresh Jacobian, whichever
// linear solver is attached, matrix-based or matrix-free.
void requestJacobianUpdate(Impl * r) {
	CVodeMem cv = static_cast<CVodeMem>(r->m_cvodeMem);
	CVLsMem ls = static_cast<CVLsMem>(cv->cv_lmem);
	if (cv->cv_lsetup == nullptr || ls == nullptr) {
		r->m_freshJacobianPending = false;
		return;
	}
	r->m_nstlpBeforeRequest = cv->cv_nstlp;
	r->m_nstljBeforeRequest = ls->nstlj;
	cv->cv_nstlp = cv->cv_nst - cv->cv_msbp;
	ls->nstlj = cv->cv_nst - ls->msbj;
}


// In the first steps the request puts the last set-up and Jacobian at negative step numbers. A
// step that fails before it reaches its set-up leaves them there, where a snapshot of the
// integrator would be refused as out of range: they go back, and the request waits for the next
// step. A set-up, also one of a failed step, fulfils it.
void settleJacobianUpdate(Impl * r, bool stepSucceeded) {
	CVodeMem cv = static_cast<CVodeMem>(r->m_cvodeMem);
	CVLsMem ls = static_cast<CVLsMem>(cv->cv_lmem);
	if (!stepSucceeded && ls != nullptr && cv->cv_nstlp == cv->cv_nst - cv->cv_msbp) {
		cv->cv_nstlp = r->m_nstlpBeforeRequest;
		ls->nstlj = r->m_nstljBeforeRequest;
		return;
	}
	r->m_freshJacobianPending = false;
}


// Failures of a step that a fresh start from the step's beginning may not meet: CVODE's error
// test or its corrector failed as often as it allows.
bool restartable(int flag) {
	return flag == CV_ERR_FAILURE || flag == CV_CONV_FAILURE;
}


// Restarts CVODE from the state of its last step, as init() starts it: order 1, the first
// derivatives taken afresh, the initial step size, a fresh Jacobian. CVODE predicts each step
// from the derivatives of the steps before: where the model switches (a heater comes on against
// a room it had left alone) that history belongs to the model before the switch, and the
// reductions CVODE allows itself may not get down to where the step can be taken with it; a
// fresh start knows only the model after the switch. The counters go on from where they stood,
// so statistics and snapshots see one run; once a step has been taken, the step numbers of the
// last set-up and Jacobian too. Returns the result of the step taken after the restart.
int restartFromLastStep(Impl * r, double tEnd) {
	CVodeMem cv = static_cast<CVodeMem>(r->m_cvodeMem);
	CVLsMem ls = static_cast<CVLsMem>(cv->cv_lmem);
	std::vector<long *> counters = {&cv->cv_nfe, &cv->cv_ncfn, &cv->cv_netf, &cv->cv_nni, &cv->cv_nnf,
									&cv->cv_nsetups, &cv->cv_nor, &cv->cv_nge};
	if (ls != nullptr)
		counters.insert(counters.end(), {&ls->nje, &ls->nfeDQ, &ls->npe, &ls->nli, &ls->nps, &ls->ncfl,
										 &ls->njtsetup, &ls->njtimes});
	std::vector<long> before;
	for (const long * counter : counters)
		before.push_back(*counter);
	const long steps = cv->cv_nst;
	const int tinySteps = cv->cv_nhnil;

	int flag = CVodeReInit(r->m_cvodeMem, r->m_t, r->m_y);
	if (flag == CV_SUCCESS) {
		// CVODE sets up its linear solver afresh in the first step, replacing the timed routines
		r->m_timersPending = true;
		flag = CVode(r->m_cvodeMem, tEnd, r->m_y, &r->m_t, CV_ONE_STEP);
	}
	for (std::size_t i = 0; i < counters.size(); ++i)
		*counters[i] += before[i];
	cv->cv_nhnil += tinySteps;
	// without a step the integrator stands at a fresh start, which a snapshot keeps as such
	if (flag == CV_SUCCESS || flag == CV_TSTOP_RETURN) {
		cv->cv_nst += steps;
		cv->cv_nstlp += steps;
		if (ls != nullptr)
			ls->nstlj += steps;
	}
	return flag;
}


// The snapshot code reads CVODE's private records: after init, fields read through them must
// agree with what the integrator set and with CVODE's public getters.
bool cvodeLayoutMatches(const Impl * r, double t0, double relTol) {
	CVodeMem cv = static_cast<CVodeMem>(r->m_cvodeMem);
	long nst = -1, nfe = -1;
	realtype tCur = 0, tolsf = -1;
	void * userData = nullptr;
	if (CVodeGetNumSteps(r->m_cvodeMem, &nst) != CV_SUCCESS || CVodeGetNumRhsEvals(r->m_cvodeMem, &nfe) != CV_SUCCESS ||
		CVodeGetCurrentTime(r->m_cvodeMem, &tCur) != CV_SUCCESS || CVodeGetTolScaleFactor(r->m_cvodeMem, &tolsf) != CV_SUCCESS ||
		CVodeGetUserData(r->m_cvodeMem, &userData) != CV_SUCCESS)
	{
		return false;
	}
	bool ok = cv->cv_sunctx == r->m_ctx && cv->cv_user_data == r && userData == r &&
			  cv->cv_lmm == CV_BDF && cv->cv_nst == nst && cv->cv_nfe == nfe &&
			  cv->cv_tn == tCur && cv->cv_tn == t0 && cv->cv_tolsf == tolsf &&
			  cv->cv_zn[0] != nullptr && N_VGetLength_Serial(cv->cv_zn[0]) == N_VGetLength_Serial(r->m_y) &&
			  cv->NLS != nullptr;
	if (cv->cv_itol == CV_ITOL_SS || cv->cv_itol == CV_ITOL_SV)
		ok = ok && cv->cv_reltol == relTol;
	if (r->m_linearSolver != nullptr) {
		CVLsMem ls = static_cast<CVLsMem>(cv->cv_lmem);
		ok = ok && ls != nullptr && ls->LS == r->m_linearSolver && ls->A == r->m_matrix;
	}
	return ok;
}

void throwInit(const std::string & message) {
	throw ZEB::Exception(message, "[IntegratorSundialsCVODE::init]");
}

// A refused setting names itself and quotes CVODE's reason.
void checkFlag(Impl * r, int flag, const ZEB::FormatString & what) {
	if (flag == CV_SUCCESS) {
		r->m_lastError.clear();
		return;
	}
	if (r->m_lastError.empty())
		throwInit(ZEB::FormatString("%1 (CVODE error code %2)").arg(what.str()).arg(flag).str());
	throwInit(ZEB::FormatString("%1 (CVODE: %2)").arg(what.str()).arg(r->m_lastError).str());
}

void checkFlag(Impl * r, int flag, const char * what) {
	checkFlag(r, flag, ZEB::FormatString(what));
}

void requireFinite(double value, const ZEB::FormatString & what) {
	if (!std::isfinite(value))
		throwInit(what.str());
}

void requireNumber(double value, const ZEB::FormatString & what) {
	if (std::isnan(value))
		throwInit(what.str());
}

void initMessage(const char * text) {
	ZEB::ZEB_Message(ZEB::FormatString(text), ZEB::MSG_PROGRESS, "[IntegratorSundialsCVODE::init]", 1);
}

} // namespace


// C callbacks registered with CVODE; the user data is the implementation record.

int IntegratorSundialsCVODE_f(realtype t, N_Vector y, N_Vector ydot, void * userData) {
	Impl * r = implOf(userData);
	try {
		if (r->m_timersPending) {
			installTimedRoutines(r);
			r->m_timersPending = false;
		}
		const int slot = fevalSlot(r);
		TimerStart(r->m_timers, slot);
		const int result = evaluateModel(r, t, y, ydot);
		TimerStop(r->m_timers, slot);
		return result;
	}
	catch (...) {
		return keepException(r);
	}
}


int CVEwtFn_f(N_Vector y, N_Vector ewt, void * userData) {
	Impl * r = implOf(userData);
	try {
		const ModelInterface::CalculationResult result =
				r->m_model->calculateErrorWeights(N_VGetArrayPointer_Serial(y), N_VGetArrayPointer_Serial(ewt));
		return (result == ModelInterface::CalculationSuccess) ? 0 : -1;
	}
	catch (...) {
		return keepException(r);
	}
}


void CVErrHandlerFn_f(int errorCode, const char * module, const char * function, char * msg, void * userData) {
	Impl * r = implOf(userData);
	if (errorCode == 0)
		return;
	try {
		if (errorCode < 0 && r != nullptr) {
			r->m_lastError = (msg != nullptr) ? msg : "";
			// the exception that stopped CVODE tells the story; CVODE's echo of it would only mislead
			if (r->m_callbackException)
				return;
		}
		if (errorCode > 0) {
			ZEB::ZEB_Message(ZEB::FormatString("CVODE Integrator module '%1', function '%2': %3\n").arg(module).arg(function).arg(msg),
							 ZEB::MSG_WARNING, "[CVErrHandlerFn_f]", -1);
			return;
		}
		const ZEB::FormatString error = ZEB::FormatString("Error in CVODE Integrator module '%1', function '%2':\n%3")
				.arg(module).arg(function).arg(msg);
		if (r != nullptr && r->m_restartPossible && restartable(errorCode)) {
			r->m_heldFailure = error.str();
			r->m_heldReason = (msg != nullptr) ? msg : "";
			return;
		}
		ZEB::ZEB_Message(error, ZEB::MSG_ERROR, "[CVErrHandlerFn_f]", -1);
	}
	catch (...) {
		keepException(r);
	}
}


int CVSpilsPrecSetupFn_f(realtype t, N_Vector y, N_Vector fy, booleantype jok, booleantype * jcurPtr,
						 realtype gamma, void * userData)
{
	Impl * r = implOf(userData);
	try {
		const double * yData = N_VGetArrayPointer_Serial(y);
		const double * fyData = N_VGetArrayPointer_Serial(fy);
		bool jacUpdated = false;
		if (r->m_jacobian != nullptr && !jok) {
			TimerStart(r->m_timers, JACOBIAN_GENERATION);
			int result = r->m_jacobian->setup(t, yData, fyData, nullptr, gamma);
			TimerStop(r->m_timers, JACOBIAN_GENERATION);
			// a failed Jacobian must not be hidden behind the preconditioner's result
			if (result == 0 && r->m_precond != nullptr) {
				TimerStart(r->m_timers, PRE_SETUP);
				result = r->m_precond->setup(t, yData, fyData, nullptr, false, jacUpdated, gamma);
				TimerStop(r->m_timers, PRE_SETUP);
			}
			*jcurPtr = SUNTRUE;
			return result;
		}
		if (r->m_precond == nullptr) {
			*jcurPtr = SUNFALSE;
			return 0;
		}
		TimerStart(r->m_timers, PRE_SETUP);
		const int result = r->m_precond->setup(t, yData, fyData, nullptr, jok == SUNTRUE, jacUpdated, gamma);
		TimerStop(r->m_timers, PRE_SETUP);
		*jcurPtr = jacUpdated ? SUNTRUE : SUNFALSE;
		return result;
	}
	catch (...) {
		return keepException(r);
	}
}


int CVSpilsPrecSolveFn_f(realtype t, N_Vector y, N_Vector fy, N_Vector r, N_Vector z, realtype gamma,
						 realtype delta, int lr, void * userData)
{
	Impl * impl = implOf(userData);
	if (impl->m_precond == nullptr) {
		// identity preconditioner
		N_VScale(1.0, r, z);
		return 0;
	}
	try {
		TimerStart(impl->m_timers, PRE_SOLVE);
		const int result = impl->m_precond->solve(t, N_VGetArrayPointer_Serial(y), N_VGetArrayPointer_Serial(fy), nullptr,
												  N_VGetArrayPointer_Serial(r), N_VGetArrayPointer_Serial(z), gamma, delta, lr);
		TimerStop(impl->m_timers, PRE_SOLVE);
		return result;
	}
	catch (...) {
		return keepException(impl);
	}
}


int CVSpilsJacTimesVecFn_f(N_Vector v, N_Vector Jv, realtype /*t*/, N_Vector /*y*/, N_Vector /*fy*/, void * userData,
						   N_Vector /*tmp*/)
{
	Impl * r = implOf(userData);
	try {
		return r->m_jacobian->jacTimesVec(N_VGetArrayPointer_Serial(v), N_VGetArrayPointer_Serial(Jv));
	}
	catch (...) {
		return keepException(r);
	}
}


int IntegratorSundialsCVODE_keepException(void * userData) noexcept {
	return keepException(implOf(userData));
}


IntegratorSundialsCVODE::IntegratorSundialsCVODE() = default;


IntegratorSundialsCVODE::~IntegratorSundialsCVODE() = default;


void IntegratorSundialsCVODE::init(ModelInterface * model, double t0, const double * y0, LESInterface * lesSolver,
								   PrecondInterface * precond, JacobianInterface * jacobian)
{
	m_impl.reset();
	m_impl.reset(new IntegratorSundialsCVODEImpl);
	Impl * r = m_impl.get();
	r->m_model = model;
	r->m_precond = precond;
	r->m_jacobian = jacobian;
	r->m_timers = &m_timers;
	if (model == nullptr)
		throwInit("Expected valid pointer to model object.");
	if (lesSolver == nullptr)
		throwInit("Expected valid pointer to LES-solver object.");

	if (SUNContext_Create(nullptr, &r->m_ctx) != 0)
		throwInit("Cannot create SUNDIALS context.");
	const sunindextype n = static_cast<sunindextype>(model->n());
	r->m_y = N_VNew_Serial(n, r->m_ctx);
	r->m_yOut = N_VNew_Serial(n, r->m_ctx);
	r->m_yNewton = N_VNew_Serial(n, r->m_ctx);
	r->m_fNewton = N_VNew_Serial(n, r->m_ctx);
	r->m_fMoved = N_VNew_Serial(n, r->m_ctx);
	r->m_offPieceRows.assign(static_cast<std::size_t>(n), 0);
	if (r->m_y == nullptr || r->m_yOut == nullptr || r->m_yNewton == nullptr || r->m_fNewton == nullptr ||
		r->m_fMoved == nullptr)
		throwInit("Cannot create CVODE vectors.");

	initMessage("Initializing CVODE integrator\n");
	ZEB::IndentationGuard indent;

	TimerSumResetAll(&m_timers);

	r->m_cvodeMem = CVodeCreate(CV_BDF, r->m_ctx);
	if (r->m_cvodeMem == nullptr)
		throwInit("CVodeCreate init error.");
	// from here on CVODE's complaints reach the message handler, and init's exceptions quote them
	checkFlag(r, CVodeSetErrHandlerFn(r->m_cvodeMem, CVErrHandlerFn_f, r), "Cannot install the error handler.");
	r->m_t = t0;
	r->m_dt = model->dt0();
	if (n > 0)
		std::memcpy(N_VGetArrayPointer_Serial(r->m_y), y0, static_cast<std::size_t>(n) * sizeof(double));

	if (CVodeInit(r->m_cvodeMem, IntegratorSundialsCVODE_f, t0, r->m_y) != CV_SUCCESS)
		throwInit("CVodeInit init error.");
	checkFlag(r, CVodeSetUserData(r->m_cvodeMem, r), "Cannot set the user data.");
	checkFlag(r, CVodeSetMaxOrd(r->m_cvodeMem, m_maxOrder), ZEB::FormatString("Invalid maximum order %1.").arg(m_maxOrder));
	checkFlag(r, CVodeSetMaxNumSteps(r->m_cvodeMem, m_maxSteps),
			  ZEB::FormatString("Invalid maximum number of steps %1.").arg(m_maxSteps));
	// CVODE takes NaN for a valid setting (an unlimited step size is fine)
	const ZEB::FormatString initStep = ZEB::FormatString("Invalid initial step size %1 s.").arg(r->m_dt);
	requireFinite(r->m_dt, initStep);
	checkFlag(r, CVodeSetInitStep(r->m_cvodeMem, r->m_dt), initStep);
	const ZEB::FormatString maxStep = ZEB::FormatString("Invalid maximum step size %1 s.").arg(m_dtMax);
	requireNumber(m_dtMax, maxStep);
	checkFlag(r, CVodeSetMaxStep(r->m_cvodeMem, m_dtMax), maxStep);
	const ZEB::FormatString minStep = ZEB::FormatString("Invalid minimum step size %1 s (maximum step size %2 s).")
			.arg(m_dtMin).arg(m_dtMax);
	requireNumber(m_dtMin, minStep);
	checkFlag(r, CVodeSetMinStep(r->m_cvodeMem, m_dtMin), minStep);

	if (model->hasErrorWeightsFunction())
		checkFlag(r, CVodeWFtolerances(r->m_cvodeMem, CVEwtFn_f), "Cannot install the model's error weights function.");
	else if (m_absTolVec.empty()) {
		const ZEB::FormatString tolerances = ZEB::FormatString("Invalid tolerances relTol = %1, absTol = %2.")
				.arg(m_relTol).arg(m_absTol);
		requireFinite(m_relTol + m_absTol, tolerances);
		checkFlag(r, CVodeSStolerances(r->m_cvodeMem, m_relTol, m_absTol), tolerances);
	}
	else {
		if (m_absTolVec.size() < static_cast<std::size_t>(n))
			throwInit("Invalid size of absTolVec.");
		const ZEB::FormatString tolerances = ZEB::FormatString("Invalid tolerances relTol = %1 or absTolVec.").arg(m_relTol);
		requireFinite(m_relTol, tolerances);
		for (sunindextype i = 0; i < n; ++i)
			requireFinite(m_absTolVec[static_cast<std::size_t>(i)], tolerances);
		r->m_absTolVector = N_VNew_Serial(n, r->m_ctx);
		if (r->m_absTolVector == nullptr)
			throwInit("Cannot create CVODE vectors.");
		if (n > 0)
			std::memcpy(N_VGetArrayPointer_Serial(r->m_absTolVector), m_absTolVec.data(),
						static_cast<std::size_t>(n) * sizeof(double));
		checkFlag(r, CVodeSVtolerances(r->m_cvodeMem, m_relTol, r->m_absTolVector), tolerances);
	}

	if (m_nonlinConvCoef != 0) {
		ZEB::ZEB_Message(ZEB::FormatString("Setting NonlinConvCoef to %1.\n").arg(m_nonlinConvCoef),
						 ZEB::MSG_PROGRESS, "[IntegratorSundialsCVODE::init]", 1);
		const ZEB::FormatString coefficient = ZEB::FormatString("Invalid nonlinear convergence coefficient %1.")
				.arg(m_nonlinConvCoef);
		requireFinite(m_nonlinConvCoef, coefficient);
		checkFlag(r, CVodeSetNonlinConvCoef(r->m_cvodeMem, m_nonlinConvCoef), coefficient);
	}
	if (m_maxNonLinIters != 0) {
		ZEB::ZEB_Message(ZEB::FormatString("Setting MaxNonLinIters (maxcor) to %1.\n").arg(m_maxNonLinIters),
						 ZEB::MSG_PROGRESS, "[IntegratorSundialsCVODE::init]", 1);
		checkFlag(r, CVodeSetMaxNonlinIters(r->m_cvodeMem, m_maxNonLinIters),
				  ZEB::FormatString("Invalid maximum number of nonlinear iterations %1.").arg(m_maxNonLinIters));
	}
	if (m_stabLimDet)
		checkFlag(r, CVodeSetStabLimDet(r->m_cvodeMem, SUNTRUE), "Cannot switch on the stability limit detection.");

	if (jacobian != nullptr) {
		initMessage("Initializing Jacobian implementation\n");
		jacobian->setTimers(&m_timers);
		jacobian->init(model);
	}
	initMessage("Initializing LES solver implementation\n");
	lesSolver->init(model, this, precond, jacobian);

	if (dynamic_cast<LESInterfaceIterative *>(lesSolver) != nullptr && (precond != nullptr || jacobian != nullptr)) {
		if (CVodeSetPreconditioner(r->m_cvodeMem, CVSpilsPrecSetupFn_f, CVSpilsPrecSolveFn_f) != CVLS_SUCCESS)
			throwInit("Error registering CVSpilsPrecSetupFn_f and/or CVSpilsPrecSolveFn_f.");
		if (jacobian != nullptr) {
			initMessage("Registering own Jacobian implementation with J*v function.\n");
			checkFlag(r, CVodeSetJacTimes(r->m_cvodeMem, nullptr, CVSpilsJacTimesVecFn_f),
					  "Error registering CVSpilsJacTimesVecFn_f.");
		}
		else
			initMessage("Using DQ-Approximation for J*v function.\n");
		if (precond != nullptr) {
			initMessage("Initializing Preconditioner implementation\n");
			precond->init(model, this, jacobian);
		}
	}

	installTimedRoutines(r);
	r->m_ready = true;
	r->m_layoutVerified = cvodeLayoutMatches(r, t0, m_relTol);
	if (!r->m_layoutVerified)
		ZEB::ZEB_Message(ZEB::FormatString("CVODE's internal data does not have the expected layout; "
										   "integrator states cannot be saved.\n"),
						 ZEB::MSG_WARNING, "[IntegratorSundialsCVODE::init]", -1);
}


int IntegratorSundialsCVODE::step() {
	Impl * r = readyRecord(m_impl, "[IntegratorSundialsCVODE::step]");
	// a stop time behind the time reached is refused by CVODE (with a message)
	if (m_stopTime != 0 && CVodeSetStopTime(r->m_cvodeMem, m_stopTime) != CV_SUCCESS)
		return StepFailure;
	installTimedRoutines(r);
	if (r->m_model->takeJacobianUpdateRequest())
		r->m_freshJacobianPending = true;
	if (r->m_freshJacobianPending)
		requestJacobianUpdate(r);
	const double tEnd = r->m_model->tEnd();
	r->m_callbackException = nullptr;
	// a failure in the first step after a start was a fresh start already
	const bool restartPossible = static_cast<CVodeMem>(r->m_cvodeMem)->cv_nst > 0;
	r->m_restartPossible = restartPossible;
	r->m_heldFailure.clear();
	r->m_newtonRefusals = 0;
	int flag = CVode(r->m_cvodeMem, tEnd, r->m_y, &r->m_t, CV_ONE_STEP);
	r->m_restartPossible = false;
	if (r->m_freshJacobianPending)
		settleJacobianUpdate(r, flag == CV_SUCCESS || flag == CV_TSTOP_RETURN);
	// CVODE has returned, with its state restored to the last step
	rethrowKeptException(r);
	if (restartPossible && restartable(flag)) {
		const std::string failure = r->m_heldFailure;
		const std::string reason = r->m_heldReason;
		const double tFailed = r->m_t;
		// a failure of the restarted step too is reported after the first one
		r->m_heldFailure.clear();
		r->m_restartPossible = true;
		flag = restartFromLastStep(r, tEnd);
		r->m_restartPossible = false;
		rethrowKeptException(r);
		if (flag != CV_SUCCESS && flag != CV_TSTOP_RETURN) {
			for (const std::string & text : {failure, r->m_heldFailure})
				if (!text.empty())
					ZEB::ZEB_Message(ZEB::FormatString("%1").arg(text), ZEB::MSG_ERROR, "[CVErrHandlerFn_f]", -1);
			return StepFailure;
		}
		// the fresh start has set up with a fresh Jacobian; the failure it met is reported as
		// quietly as a recoverable one of the model
		r->m_freshJacobianPending = false;
		ZEB::ZEB_Message(ZEB::FormatString("CVODE restarted at t=%1 s after: %2\n").arg(tFailed).arg(reason),
						 ZEB::MSG_WARNING, "[IntegratorSundialsCVODE::step]", 2);
	}
	if (flag != CV_SUCCESS && flag != CV_TSTOP_RETURN)
		return StepFailure;
	CVodeGetNumSteps(r->m_cvodeMem, &r->m_nSteps);
	CVodeGetNumRhsEvals(r->m_cvodeMem, &r->m_nRhsEvals);
	CVodeGetNumLinSolvSetups(r->m_cvodeMem, &r->m_nLinSetups);
	CVodeGetNumNonlinSolvIters(r->m_cvodeMem, &r->m_nNewtonIters);
	CVodeGetNumStepSolveFails(r->m_cvodeMem, &r->m_nNewtonConvFails);
	CVodeGetNumErrTestFails(r->m_cvodeMem, &r->m_nErrTestFails);
	CVodeGetLastOrder(r->m_cvodeMem, &r->m_lastOrder);
	CVodeGetLastStep(r->m_cvodeMem, &r->m_lastStep);
	r->m_dt = r->m_lastStep;
	return StepSuccess;
}


double IntegratorSundialsCVODE::t() const {
	return readyRecord(m_impl, "[IntegratorSundialsCVODE::t]")->m_t;
}


double IntegratorSundialsCVODE::dt() const {
	return readyRecord(m_impl, "[IntegratorSundialsCVODE::dt]")->m_dt;
}


const double * IntegratorSundialsCVODE::yOut(double t) const {
	Impl * r = readyRecord(m_impl, "[IntegratorSundialsCVODE::y_out]");
	if (t == r->m_t)
		return N_VGetArrayPointer_Serial(r->m_y);
	if (CVodeGetDky(r->m_cvodeMem, t, 0, r->m_yOut) != CV_SUCCESS)
		throw ZEB::Exception("Cannot interpolate values.", "[IntegratorSundialsCVODE::y_out]");
	return N_VGetArrayPointer_Serial(r->m_yOut);
}


void * IntegratorSundialsCVODE::cvodeMem() const {
	return m_impl ? m_impl->m_cvodeMem : nullptr;
}


SUNContext IntegratorSundialsCVODE::sunContext() const {
	return m_impl ? m_impl->m_ctx : nullptr;
}


unsigned int IntegratorSundialsCVODE::stats(StatisticsType type) const {
	void * mem = cvodeMem();
	if (mem == nullptr)
		return 0;
	long value = 0;		// the linear-solver getters leave it untouched without a linear solver
	switch (type) {
		case ST_STEPS				: CVodeGetNumSteps(mem, &value); break;
		case ST_NONLIN_ITERS		: CVodeGetNumNonlinSolvIters(mem, &value); break;
		case ST_NONLIN_CONV_FAILS	: CVodeGetNumStepSolveFails(mem, &value); break;
		case ST_ERR_TEST_FAILS		: CVodeGetNumErrTestFails(mem, &value); break;
		case ST_RHS_EVALS			: CVodeGetNumRhsEvals(mem, &value); break;
		case ST_DIRECT_JAC_EVALS	: CVodeGetNumJacEvals(mem, &value); break;
		case ST_DIRECT_RHS_EVALS	: CVodeGetNumLinRhsEvals(mem, &value); break;
		case ST_LIN_ITERS			: CVodeGetNumLinIters(mem, &value); break;
		case ST_LIN_CONV_FAILS		: CVodeGetNumLinConvFails(mem, &value); break;
		case ST_PREC_EVALS			: CVodeGetNumPrecEvals(mem, &value); break;
		case ST_PREC_SOLVES			: CVodeGetNumPrecSolves(mem, &value); break;
		case ST_KRYLOV_RHS_EVALS	: CVodeGetNumLinRhsEvals(mem, &value); break;
		case ST_JTIMES_EVALS		: CVodeGetNumJtimesEvals(mem, &value); break;
		default						: return 0;
	}
	return static_cast<unsigned int>(value);
}


int IntegratorSundialsCVODE::setJacobianFunction(CVLsJacFn jac, void * data) {
	if (m_impl == nullptr || m_impl->m_cvodeMem == nullptr)
		return CVLS_MEM_NULL;
	m_impl->m_solverJac = jac;
	m_impl->m_solverJacData = data;
	m_impl->m_timersPending = true;
	return CVodeSetJacFn(m_impl->m_cvodeMem, jac != nullptr ? solverJacobian : nullptr);
}


int IntegratorSundialsCVODE::attachLinearSolver(SUNLinearSolver linearSolver, SUNMatrix matrix) {
	if (m_impl == nullptr || m_impl->m_cvodeMem == nullptr) {
		if (linearSolver != nullptr)
			SUNLinSolFree(linearSolver);
		if (matrix != nullptr)
			SUNMatDestroy(matrix);
		return -1;
	}
	Impl * r = m_impl.get();
	if (linearSolver == nullptr) {
		if (matrix != nullptr)
			SUNMatDestroy(matrix);
		return -4;
	}
	if (linearSolver == r->m_linearSolver)
		return -3;
	const int flag = CVodeSetLinearSolver(r->m_cvodeMem, linearSolver, matrix);
	if (flag != CVLS_SUCCESS) {
		// the new pair was never attached; a refusal of the input leaves CVODE with the pair it had,
		// a later failure leaves it without linear solver (init is then to be run again)
		SUNLinSolFree(linearSolver);
		if (matrix != nullptr && matrix != r->m_matrix)
			SUNMatDestroy(matrix);
		switch (flag) {
			case CVLS_MEM_NULL		: return -1;
			case CVLS_MEM_FAIL		: return -4;
			default					: return -3;
		}
	}
	// CVODE has let go of the earlier pair; it is ours to free
	if (r->m_linearSolver != nullptr)
		SUNLinSolFree(r->m_linearSolver);
	if (r->m_matrix != nullptr && r->m_matrix != matrix)
		SUNMatDestroy(r->m_matrix);
	r->m_linearSolver = linearSolver;
	r->m_matrix = matrix;
	r->m_timersPending = true;
	// the saved Jacobian exists from the start, so that a state can be saved before the first step
	CVLsMem ls = static_cast<CVLsMem>(static_cast<CVodeMem>(r->m_cvodeMem)->cv_lmem);
	if (matrix != nullptr && ls != nullptr && ls->savedJ == nullptr) {
		ls->savedJ = SUNMatClone(matrix);
		if (ls->savedJ == nullptr)
			return -4;
	}
	// nor may it hold what the heap held before
	CVodeSerializationPrepare(r->m_cvodeMem);
	return 0;
}


std::size_t IntegratorSundialsCVODE::serializationSize() const {
	if (m_impl == nullptr || !m_impl->m_layoutVerified)
		return 0;
	const long size = CVodeSerializationSize(m_impl->m_cvodeMem);
	if (size < 0)
		return 0;
	return static_cast<std::size_t>(size) + 8 + 8 * static_cast<std::size_t>(N_VGetLength_Serial(m_impl->m_y)) + 16;
}


void IntegratorSundialsCVODE::serialize(void *& dataPtr) const {
	if (serializationSize() == 0)
		return;
	if (dataPtr == nullptr)
		throw ZEB::Exception("Missing buffer for the integrator state.", "[IntegratorSundialsCVODE::serialize]");
	const Impl * r = m_impl.get();
	CVodeSerialize(r->m_cvodeMem, &dataPtr);
	SerializeNVector(&dataPtr, r->m_y);
	std::memcpy(dataPtr, &r->m_t, sizeof(double));
	std::memcpy(static_cast<char *>(dataPtr) + sizeof(double), &r->m_dt, sizeof(double));
	dataPtr = static_cast<char *>(dataPtr) + 2 * sizeof(double);
}


void IntegratorSundialsCVODE::deserialize(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[IntegratorSundialsCVODE::deserialize]";
	const std::size_t size = serializationSize();
	if (size == 0)
		throw ZEB::Exception("Integrator has no state that could be restored.", location);
	checkSnapshotRoom(dataPtr, size, dataEnd, location);
	Impl * r = m_impl.get();
	// everything is checked before anything is restored: CVODE's block, then the own values
	void * p = dataPtr;
	long result = CVodeSerializationPrivate(r->m_cvodeMem, &p, SerializationWalker::Check);
	if (result >= 0) {
		SerializationWalker w(SerializationWalker::Check, static_cast<char *>(dataPtr) + result);
		w.nvector(r->m_y);
		double t = 0, dt = 0;
		w.field<double>(t);
		w.field<double>(dt);
		if (w.error() != 0)
			result = w.error();
		else if (!std::isfinite(t) || !std::isfinite(dt))
			result = -5;
	}
	if (result >= 0) {
		// a fresh integrator runs CVODE's deferred set-up here, which may call back into our code
		r->m_callbackException = nullptr;
		result = CVodeDeserialize(r->m_cvodeMem, &p);
		rethrowKeptException(r);
	}
	if (result == -6)
		throw ZEB::Exception("Invalid integrator state data: its tolerances, step bounds or iteration limits differ "
							 "from this integrator's settings.", location);
	if (result == -5)
		throw ZEB::Exception("Invalid integrator state data: a value is out of its range or disagrees with the others.", location);
	if (result < 0)
		throw ZEB::Exception(ZEB::FormatString("Invalid integrator state data (error code %1): the data does not "
											   "belong to this integrator.").arg(static_cast<int>(result)), location);
	DeSerializeNVector(&p, r->m_y);
	std::memcpy(&r->m_t, p, sizeof(double));
	std::memcpy(&r->m_dt, static_cast<char *>(p) + sizeof(double), sizeof(double));
	dataPtr = static_cast<char *>(p) + 2 * sizeof(double);
	// a request left by a failed step belongs to the abandoned run
	r->m_freshJacobianPending = false;
	installTimedRoutines(r);
}



namespace {

// Step sizes below 1e-5 s in scientific, others in fixed notation.
void writeStepSize(std::ostream & out, double dt) {
	if (dt < 1e-5)
		out << std::setw(14) << std::right << std::scientific << std::setprecision(8) << dt;
	else
		out << std::setw(14) << std::right << std::fixed << std::setprecision(6) << dt;
}

} // namespace


void IntegratorSundialsCVODE::writeStatisticsHeader(const ZEB::Path & logfilePath, bool doRestart) {
	Impl * r = m_impl.get();
	if (r == nullptr)
		return;
	// a run that keeps statistics reports its timings too
	enableTimers(true);
	const ZEB::Path file = logfilePath / "integrator_cvode_stats.tsv";
	r->m_statsStream.reset(ZEB::create_ofstream(file, doRestart ? std::ios_base::app : std::ios_base::trunc));
	if (!*r->m_statsStream)
		throw ZEB::Exception(ZEB::FormatString("Cannot open statistics file '%1'.").arg(file),
							 "[IntegratorSundialsCVODE::writeStatisticsHeader]");
	r->m_statsStream->imbue(std::locale::classic());
	if (doRestart)
		return;
	std::ostream & out = *r->m_statsStream;
	out << std::right
		<< std::setw(25) << "Time [s]" << '\t'
		<< std::setw(10) << "Steps" << '\t'
		<< std::setw(10) << "RhsEvals" << '\t'
		<< std::setw(10) << "LinSetups" << '\t'
		<< std::setw(8) << "NIters" << '\t'
		<< std::setw(11) << "NConvFails" << '\t'
		<< std::setw(11) << "NErrFails" << '\t'
		<< std::setw(6) << "Order" << '\t'
		<< std::setw(14) << "StepSize [s]" << std::endl;
}


void IntegratorSundialsCVODE::writeStatistics() {
	const Impl * r = m_impl.get();
	// nothing before the header was opened or before the first step
	if (r == nullptr || r->m_statsStream == nullptr || r->m_nSteps == 0)
		return;
	std::ostream & out = *r->m_statsStream;
	out << std::right << std::fixed << std::setprecision(10)
		<< std::setw(25) << r->m_t << '\t'
		<< std::setw(10) << r->m_nSteps << '\t'
		<< std::setw(10) << r->m_nRhsEvals << '\t'
		<< std::setw(10) << r->m_nLinSetups << '\t'
		<< std::setw(8) << r->m_nNewtonIters << '\t'
		<< std::setw(11) << r->m_nNewtonConvFails << '\t'
		<< std::setw(11) << r->m_nErrTestFails << '\t'
		<< std::setw(6) << r->m_lastOrder << '\t';
	writeStepSize(out, r->m_lastStep);
	out << std::endl;
}


void IntegratorSundialsCVODE::writeMetrics(double elapsedSeconds, std::ostream * metricsFile) {
	const Impl * r = m_impl.get();
	if (r == nullptr)
		return;
	const char * const location = "[IntegratorSundialsCVODE::writeMetrics]";
	const std::string unit = ZEB::Time::suitableTimeUnit(elapsedSeconds);
	const unsigned int rhsEvals = stats(ST_RHS_EVALS);
	auto count = [location](const char * text, unsigned long value) {
		ZEB::ZEB_Message(ZEB::FormatString(text).arg(value, 8), ZEB::MSG_PROGRESS, location, 1);
	};
	auto timed = [&](const char * text, int slot, unsigned long value) {
		ZEB::ZEB_Message(ZEB::FormatString(text)
						 .arg(ZEB::Time::format_time_difference(TimerSum(&m_timers, slot), unit, true), 13)
						 .arg(elapsedSeconds > 0 ? TimerSum(&m_timers, slot) / elapsedSeconds * 100 : 0.0, 5, 'f', 2)
						 .arg(value, 8), ZEB::MSG_PROGRESS, location, 1);
	};
	count("Integrator: Steps                          =                          %1\n", static_cast<unsigned long>(r->m_nSteps));
	count("Integrator: Newton iterations              =                          %1\n", static_cast<unsigned long>(r->m_nNewtonIters));
	count("Integrator: Newton convergence failures    =                          %1\n", static_cast<unsigned long>(r->m_nNewtonConvFails));
	count("Integrator: Error test failures            =                          %1\n", static_cast<unsigned long>(r->m_nErrTestFails));
	timed("Integrator: Function evaluation (Newton)   = %1 (%2 %%)  %3\n", FEVAL, rhsEvals);
	timed("Integrator: LES setup                      = %1 (%2 %%)  %3\n", LS_SETUP, static_cast<unsigned long>(r->m_nLinSetups));
	timed("Integrator: LES solve                      = %1 (%2 %%)  %3\n", LS_SOLVE, static_cast<unsigned long>(r->m_nNewtonIters));
	if (metricsFile == nullptr)
		return;
	std::ostream & out = *metricsFile;
	out << "IntegratorSteps=" << r->m_nSteps << std::endl;
	out << "IntegratorErrorTestFails=" << r->m_nErrTestFails << std::endl;
	out << "IntegratorNonLinearConvFails=" << r->m_nNewtonConvFails << std::endl;
	out << "IntegratorFunctionEvals=" << rhsEvals << std::endl;
	out << "IntegratorTimeFunctionEvals=" << TimerSum(&m_timers, FEVAL) << std::endl;
	out << "IntegratorLESSetup=" << r->m_nLinSetups << std::endl;
	out << "IntegratorTimeLESSetup=" << TimerSum(&m_timers, LS_SETUP) << std::endl;
	out << "IntegratorLESSolve=" << r->m_nNewtonIters << std::endl;
	out << "IntegratorTimeLESSolve=" << TimerSum(&m_timers, LS_SOLVE) << std::endl;
}

} // namespace KADRIX
