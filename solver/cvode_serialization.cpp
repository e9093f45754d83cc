#include "cvode_serialization.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <sundials/sundials_config.h>
#include <sunlinsol/sunlinsol_band.h>
#include <sunlinsol/sunlinsol_dense.h>
#include <sunmatrix/sunmatrix_band.h>
#include <sunmatrix/sunmatrix_dense.h>
#include <sunnonlinsol/sunnonlinsol_newton.h>

#include "cvode_impl.h"
#include "cvode_ls_impl.h"

#include "sundials_serialization.h"

// The blocks are read and written through CVODE's private records, whose layout belongs to one
// release: a different version must be checked field by field before it is allowed here.
#if SUNDIALS_VERSION_MAJOR != 6 || SUNDIALS_VERSION_MINOR != 4
#error "The integrator snapshots read the internal records of SUNDIALS 6.4; review them for this version."
#endif

using KADRIX::SerializationWalker;
using KADRIX::allFinite;

namespace {

// Iteration method of the stored layout: Newton, the only one CVODE has now.
const std::int32_t CV_NEWTON_ITERATION = 2;

// Result of a block that fits the target but holds a value out of its range.
const long CV_SERIALIZATION_BAD_VALUE = -5;

// Largest ratio between the size of a past or planned step and the current one that a snapshot
// may hold: CVODE's reductions within a failing step and a stop time reach far less.
const double STEP_HISTORY_RATIO = 1e30;
// Workspace counts are only added and subtracted; far below any overflow.
const long WORKSPACE_LIMIT = 1L << 48;

// Runs a walk over one block and moves the caller's pointer by its size, except for a check
// walk or a failure.
template <typename F>
long runWalk(void ** dataPtr, int mode, F && fields) {
	if (mode != SerializationWalker::Size && (dataPtr == nullptr || *dataPtr == nullptr))
		return -4;
	SerializationWalker w(mode, (dataPtr != nullptr) ? *dataPtr : nullptr);
	fields(w);
	if (w.error() != 0)
		return w.error();
	if (dataPtr != nullptr && (mode == SerializationWalker::Write || mode == SerializationWalker::Read))
		*dataPtr = static_cast<char *>(*dataPtr) + w.bytes();
	return w.bytes();
}

// Magic and version of a stored integrator block; -1/-2 with the pointer moved past them.
long checkHeader(void ** dataPtr) {
	std::uint32_t header[2];
	std::memcpy(header, *dataPtr, sizeof(header));
	if (header[0] != CV_SERIALIZATION_MAGIC || header[1] != CV_SERIALIZATION_VERSION) {
		*dataPtr = static_cast<char *>(*dataPtr) + sizeof(header);
		return header[0] != CV_SERIALIZATION_MAGIC ? -1 : -2;
	}
	return 0;
}

SUNNonlinearSolverContent_Newton newtonContent(CVodeMem cv) {
	return static_cast<SUNNonlinearSolverContent_Newton>(cv->NLS->content);
}

int newtonMaxIters(CVodeMem cv) {
	return newtonContent(cv)->maxiters;
}

int newtonCurIter(CVodeMem cv) {
	int iter = 0;
	SUNNonlinSolGetCurIter(cv->NLS, &iter);
	return iter;
}

// The root-finding data; both stored blocks hold it, the second with the directions and mxgnull.
void rootBlock(SerializationWalker & w, CVodeMem cv, bool second) {
	const std::size_t R = static_cast<std::size_t>(cv->cv_nrtfn);
	w.array<std::int32_t>(cv->cv_iroots, R);
	if (second)
		w.array<std::int32_t>(cv->cv_rootdir, R);
	w.field<double>(cv->cv_tlo);
	w.field<double>(cv->cv_thi);
	w.field<double>(cv->cv_trout);
	w.array<double>(cv->cv_glo, R);
	w.array<double>(cv->cv_ghi, R);
	w.array<double>(cv->cv_grout, R);
	w.field<double>(cv->cv_toutc);
	w.field<double>(cv->cv_ttol);
	w.field<std::int32_t>(cv->cv_taskc);
	w.field<std::int32_t>(cv->cv_irfnd);
	w.field<std::int64_t>(cv->cv_nge);
	if (second)
		w.field<std::int32_t>(cv->cv_mxgnull);
}

// Largest magnitude a check finds in each stored Nordsieck vector.
struct NordsieckMagnitudes {
	double zn[L_MAX] = {};
};

// maxcor is walked through the caller's variable: the Newton solver holds it. A check walk gives
// the magnitudes of zn in magnitudes (when given).
void integratorFields(SerializationWalker & w, CVodeMem cv, int & maxcor, NordsieckMagnitudes * magnitudes = nullptr) {
	w.identity<std::uint32_t>(CV_SERIALIZATION_MAGIC);
	w.identity<std::uint32_t>(CV_SERIALIZATION_VERSION);
	// the unit roundoff of another platform does not belong here
	w.identity<double>(cv->cv_uround);
	w.identity<std::int32_t>(cv->cv_lmm);
	w.constant<std::int32_t>(CV_NEWTON_ITERATION);
	w.identity<std::int32_t>(cv->cv_itol);
	// the settings the integrator was initialised with (tolerances, step bounds, limits) are no
	// state: a snapshot that changes one could make every later step crawl
	w.setting<double>(cv->cv_reltol);
	if (cv->cv_itol == CV_ITOL_SS)
		w.setting<double>(cv->cv_Sabstol);
	if (cv->cv_itol == CV_ITOL_SV)
		w.settingVector(cv->cv_Vabstol);
	const int K = (cv->cv_lmm == CV_ADAMS) ? 13 : 6;
	for (int j = 0; j < K; ++j)
		w.nvector(cv->cv_zn[j], false, magnitudes != nullptr ? &magnitudes->zn[j] : nullptr);
	w.nvector(cv->cv_ewt);
	w.nvector(cv->cv_acor);
	w.nvector(cv->cv_tempv);
	w.nvector(cv->cv_ftemp);
	w.field<std::int32_t>(cv->cv_tstopset);
	w.field<double>(cv->cv_tstop);
	w.field<std::int32_t>(cv->cv_q);
	w.field<std::int32_t>(cv->cv_qprime);
	w.field<std::int32_t>(cv->cv_next_q);
	w.field<std::int32_t>(cv->cv_qwait);
	w.field<std::int32_t>(cv->cv_L);
	w.setting<double>(cv->cv_hin);
	w.field<double>(cv->cv_h);
	w.field<double>(cv->cv_hprime);
	w.field<double>(cv->cv_next_h);
	w.field<double>(cv->cv_eta);
	w.field<double>(cv->cv_hscale);
	w.field<double>(cv->cv_tn);
	w.field<double>(cv->cv_tretlast);
	w.array<double>(cv->cv_tau, static_cast<std::size_t>(K + 1));
	w.array<double>(cv->cv_tq, 6);
	w.array<double>(cv->cv_l, static_cast<std::size_t>(K));
	w.field<double>(cv->cv_rl1);
	w.field<double>(cv->cv_gamma);
	w.field<double>(cv->cv_gammap);
	w.field<double>(cv->cv_gamrat);
	w.field<double>(cv->cv_crate);
	w.field<double>(cv->cv_acnrm);
	w.setting<double>(cv->cv_nlscoef);
	// mnewt: the Newton solver's current iteration, which a restore does not need
	w.constant<std::int32_t>(newtonCurIter(cv));
	w.setting<std::int32_t>(cv->cv_qmax);
	w.setting<std::int64_t>(cv->cv_mxstep);
	w.setting<std::int32_t>(maxcor);
	w.setting<std::int32_t>(cv->cv_mxhnil);
	w.setting<std::int32_t>(cv->cv_maxnef);
	w.setting<std::int32_t>(cv->cv_maxncf);
	w.setting<double>(cv->cv_hmin);
	w.setting<double>(cv->cv_hmax_inv);
	w.field<double>(cv->cv_etamax);
	w.field<std::int64_t>(cv->cv_nst);
	w.field<std::int64_t>(cv->cv_nfe);
	w.field<std::int64_t>(cv->cv_ncfn);
	w.field<std::int64_t>(cv->cv_netf);
	w.field<std::int64_t>(cv->cv_nni);
	w.field<std::int64_t>(cv->cv_nsetups);
	w.field<std::int32_t>(cv->cv_nhnil);
	w.field<double>(cv->cv_etaqm1);
	w.field<double>(cv->cv_etaq);
	w.field<double>(cv->cv_etaqp1);
	// the sizes of one vector: fixed by the problem
	w.identity<std::int64_t>(cv->cv_lrw1);
	w.identity<std::int64_t>(cv->cv_liw1);
	w.field<std::int64_t>(cv->cv_lrw);
	w.field<std::int64_t>(cv->cv_liw);
	w.field<std::int32_t>(cv->cv_qu);
	w.field<std::int64_t>(cv->cv_nstlp);
	w.field<double>(cv->cv_h0u);
	w.field<double>(cv->cv_hu);
	w.field<double>(cv->cv_saved_tq5);
	w.field<std::int32_t>(cv->cv_jcur);
	w.field<double>(cv->cv_tolsf);
	w.identity<std::int32_t>(cv->cv_qmax_alloc);
	w.field<std::int32_t>(cv->cv_indx_acor);
	// setupNonNull: a property of the attached linear solver
	w.constant<std::int32_t>(cv->cv_lsetup != nullptr ? 1 : 0);
	w.identity<std::int32_t>(cv->cv_sldeton);
	for (int i = 0; i < 4; ++i)
		w.field<double>(cv->cv_ssdat[i][0]);
	// with stability-limit detection on, its whole data is needed to go on exactly
	if (cv->cv_sldeton) {
		for (int i = 0; i < 6; ++i)
			for (int k = 0; k < 4; ++k)
				if (k != 0 || i >= 4)
					w.field<double>(cv->cv_ssdat[i][k]);
	}
	w.field<std::int32_t>(cv->cv_nscon);
	w.field<std::int64_t>(cv->cv_nor);
	w.identity<std::int32_t>(cv->cv_nrtfn);
	rootBlock(w, cv, false);
	rootBlock(w, cv, true);
}

bool finite(double x) {
	return std::isfinite(x);
}

// The step sizes of a checked integrator block. CVODE keeps them consistent with each other and
// trusts that: the next step starts with h = hscale * eta and scales zn[j] by eta^j, and a step
// size of 0 or infinity (gamma = h * rl1 too) makes its Newton retry loop wait forever for a
// fresh preconditioner. A stored state must leave room for the growth CVODE allows itself.
bool validStepSizes(const CVodeMemRec & s, const NordsieckMagnitudes & zn) {
	// CVODE's largest growth of a step (the first one's)
	const double growth = ETA_MAX_FS_DEFAULT;
	const double uround = s.cv_uround;
	// a size that may still grow by hscale/h and eta (growth each) with tn + h a number, and
	// that the reductions of one step do not lose below the smallest normal number
	auto sane = [&s, growth, uround](double size, bool tiny) {
		const double a = std::fabs(size);
		return std::isfinite(std::fabs(s.cv_tn) + growth * growth * a) && (tiny || a == 0 || a * uround >= DBL_MIN);
	};
	if (!sane(s.cv_hin, false) || !sane(s.cv_hmin, true) || !sane(s.cv_h, false) || !sane(s.cv_hscale, false) ||
		!sane(s.cv_hprime, false) || !sane(s.cv_next_h, false) || !sane(s.cv_hu, false) || !sane(s.cv_h0u, false))
	{
		return false;
	}
	// etamax is one of CVODE's growth limits, or 1 after a failure
	if (s.cv_etamax < 1 || s.cv_etamax > growth)
		return false;
	if (s.cv_nst == 0)
		return true;

	// After the first step: a size and a direction, which every step size shares. zn is scaled
	// for hscale, which CVODE sets to h whenever it rescales; next_h is h. The next step is
	// hscale * eta: eta grows by etamax at most, and a stop time may shorten it by any factor
	// (down to the unit roundoff here). hprime (the planned step) and hu (the last one) may lie
	// further from h after a step that failed with many reductions.
	if (s.cv_h == 0 || s.cv_hu == 0)
		return false;
	auto ratioWithin = [&s](double size, double smallest, double largest) {
		const double ratio = size / s.cv_h;
		return ratio >= smallest && ratio <= largest;
	};
	if (!ratioWithin(s.cv_hscale, 1 / growth, growth) || !ratioWithin(s.cv_next_h, 1 / growth, growth) ||
		!ratioWithin(s.cv_hprime, 1 / STEP_HISTORY_RATIO, STEP_HISTORY_RATIO) ||
		!ratioWithin(s.cv_hu, 1 / STEP_HISTORY_RATIO, STEP_HISTORY_RATIO) || !(s.cv_eta >= uround && s.cv_eta <= growth))
	{
		return false;
	}
	// the sizes of the q last steps, from which the method's coefficients are made as products
	// of up to q ratios of them
	for (int j = 1; j <= s.cv_q; ++j)
		if (!ratioWithin(s.cv_tau[j], 1 / STEP_HISTORY_RATIO, STEP_HISTORY_RATIO))
			return false;
	// zn[j] holds hscale^j y^(j) / j!: rescaled by eta^j at the next step and then grown by up to
	// etamax^j per step, it must stay a number
	const double rescale = std::max(1.0, s.cv_eta) * s.cv_etamax;
	for (int j = 1; j <= s.cv_q; ++j)
		if (zn.zn[j] > 0 && std::log(zn.zn[j]) + j * std::log(rescale) >= std::log(DBL_MAX))
			return false;
	return true;
}

// The scalars of a checked integrator block (s, a copy of the target's record own with the
// stored values read into it). CVODE indexes its Nordsieck array with the orders and bounds its
// retry loops with the limits, and trusts both; every real it steps with must be finite.
bool validIntegratorValues(const CVodeMemRec & s, const CVodeMemRec & own, const NordsieckMagnitudes & zn) {
	const int K = (own.cv_lmm == CV_ADAMS) ? 13 : 6;
	const int methodMaxOrder = (own.cv_lmm == CV_ADAMS) ? ADAMS_Q_MAX : BDF_Q_MAX;
	const bool stepped = s.cv_nst > 0;

	// orders: zn holds qmax_alloc + 1 vectors
	if (s.cv_qmax < 1 || s.cv_qmax > own.cv_qmax_alloc || s.cv_qmax > methodMaxOrder)
		return false;
	if (s.cv_q < 1 || s.cv_q > s.cv_qmax || s.cv_L != s.cv_q + 1)
		return false;
	// the next order is set by the first step
	if (s.cv_qprime < (stepped ? 1 : 0) || s.cv_qprime > s.cv_qmax)
		return false;
	if (s.cv_next_q < 0 || s.cv_next_q > s.cv_qmax || s.cv_qu < 0 || s.cv_qu > s.cv_qmax)
		return false;
	if (s.cv_qwait < 0 || s.cv_qwait > std::max(s.cv_L, LONG_WAIT))
		return false;
	if (s.cv_indx_acor < 0 || s.cv_indx_acor > own.cv_qmax_alloc)
		return false;

	// counters; the order only rises after steps
	if (s.cv_nst < 0 || s.cv_nfe < s.cv_nst || s.cv_ncfn < 0 || s.cv_netf < 0 || s.cv_nni < 0 ||
		s.cv_nsetups < 0 || s.cv_nhnil < 0 || s.cv_nstlp < 0 || s.cv_nstlp > s.cv_nst ||
		s.cv_nscon < 0 || s.cv_nor < 0 || s.cv_nge < 0)
	{
		return false;
	}
	if (!stepped && s.cv_q != 1)
		return false;
	if (s.cv_lrw < 0 || s.cv_lrw > WORKSPACE_LIMIT || s.cv_liw < 0 || s.cv_liw > WORKSPACE_LIMIT)
		return false;

	// flags
	if ((s.cv_tstopset != 0 && s.cv_tstopset != 1) || (s.cv_jcur != 0 && s.cv_jcur != 1) ||
		(s.cv_irfnd != 0 && s.cv_irfnd != 1) ||
		(s.cv_taskc != 0 && s.cv_taskc != CV_NORMAL && s.cv_taskc != CV_ONE_STEP) || s.cv_mxgnull < 0)
	{
		return false;
	}

	// the settings (tolerances, step bounds, limits) equal the target's own: only state here
	if (!finite(s.cv_etamax) || s.cv_etamax <= 0)
		return false;

	// the step: after the first one it has a size and a direction, which every step size shares
	const double reals[] = {
		s.cv_tstop, s.cv_hin, s.cv_h, s.cv_hprime, s.cv_next_h, s.cv_eta, s.cv_hscale, s.cv_tn,
		s.cv_tretlast, s.cv_rl1, s.cv_gamma, s.cv_gammap, s.cv_gamrat, s.cv_crate, s.cv_acnrm,
		s.cv_etaqm1, s.cv_etaq, s.cv_etaqp1, s.cv_h0u, s.cv_hu, s.cv_saved_tq5, s.cv_tolsf,
		s.cv_tlo, s.cv_thi, s.cv_trout, s.cv_toutc, s.cv_ttol
	};
	if (!allFinite(reals, sizeof(reals) / sizeof(reals[0])))
		return false;
	if (!allFinite(s.cv_tau, static_cast<std::size_t>(K + 1)) || !allFinite(s.cv_tq, 6) ||
		!allFinite(s.cv_l, static_cast<std::size_t>(K)) ||
		!allFinite(&s.cv_ssdat[0][0], 6 * 4))
	{
		return false;
	}
	if (s.cv_crate < 0 || s.cv_acnrm < 0 || s.cv_tolsf < 0)
		return false;
	if (!validStepSizes(s, zn))
		return false;
	return true;
}


// The set-up CVODE runs at its first step; a state restored into a fresh integrator needs it.
int runDeferredSetup(CVodeMem cv) {
	cv->cv_e_data = cv->cv_user_efun ? cv->cv_user_data : static_cast<void *>(cv);
	if (cv->cv_linit != nullptr && cv->cv_linit(cv) != 0)
		return -4;
	return cvNlsInit(cv) == 0 ? 0 : -4;
}

CVLsMem lsMem(void * cvode_mem) {
	CVodeMem cv = static_cast<CVodeMem>(cvode_mem);
	return cv != nullptr ? static_cast<CVLsMem>(cv->cv_lmem) : nullptr;
}

sunindextype * directPivots(SUNLinearSolver LS) {
	switch (SUNLinSolGetID(LS)) {
		case SUNLINEARSOLVER_DENSE	: return static_cast<SUNLinearSolverContent_Dense>(LS->content)->pivots;
		case SUNLINEARSOLVER_BAND	: return static_cast<SUNLinearSolverContent_Band>(LS->content)->pivots;
		default						: return nullptr;
	}
}

// Size and bandwidths of the module's matrix (0 for a dense one); false without a dense or
// band module.
struct DirectShape {
	sunindextype n = 0, ml = 0, mu = 0, smu = 0;
	bool band = false;
};

bool directShape(CVLsMem ls, DirectShape & shape) {
	if (ls->A == nullptr || ls->savedJ == nullptr || directPivots(ls->LS) == nullptr)
		return false;
	if (SUNMatGetID(ls->A) == SUNMATRIX_BAND) {
		shape.band = true;
		shape.n = SUNBandMatrix_Columns(ls->A);
		shape.ml = SUNBandMatrix_LowerBandwidth(ls->A);
		shape.mu = SUNBandMatrix_UpperBandwidth(ls->A);
		shape.smu = SUNBandMatrix_StoredUpperBandwidth(ls->A);
	}
	else
		shape.n = SUNDenseMatrix_Columns(ls->A);
	return true;
}

// pivots: the module's own, or the copy a check reads into.
void directFields(SerializationWalker & w, CVLsMem ls, const DirectShape & shape, sunindextype * pivots) {
	w.identity<std::int64_t>(shape.n);
	w.identity<std::int64_t>(shape.ml);
	w.identity<std::int64_t>(shape.mu);
	w.identity<std::int64_t>(shape.smu);
	w.identity<std::int32_t>(ls->jacDQ);
	w.matrix(ls->A);
	w.matrix(ls->savedJ);
	// the 32-bit pivots of the stored layout are no longer kept: written truncated, skipped
	for (sunindextype i = 0; i < shape.n; ++i)
		w.constant<std::int32_t>(w.mode() == SerializationWalker::Write ? pivots[i] : 0);
	w.array<std::int64_t>(pivots, static_cast<std::size_t>(shape.n));
	w.field<std::int64_t>(ls->nstlj);
	w.field<std::int64_t>(ls->nje);
	w.field<std::int64_t>(ls->nfeDQ);
	w.field<std::int64_t>(ls->last_flag);
}

// The back-substitutions swap b[k] with b[p[k]] without looking: row k's pivot lies in [k, n),
// and for a band matrix within the ml rows below the diagonal.
bool validDirectValues(const CVLsMemRec & s, const DirectShape & shape, const std::vector<sunindextype> & pivots, long nst) {
	for (sunindextype k = 0; k < shape.n; ++k) {
		const sunindextype last = shape.band ? std::min(shape.n - 1, k + shape.ml) : shape.n - 1;
		if (pivots[static_cast<std::size_t>(k)] < k || pivots[static_cast<std::size_t>(k)] > last)
			return false;
	}
	return s.nstlj >= 0 && s.nstlj <= nst && s.nje >= 0 && s.nfeDQ >= 0;
}

void krylovFields(SerializationWalker & w, CVLsMem ls) {
	w.setting<double>(ls->nrmfac);		// sqrtN
	w.setting<double>(ls->eplifac);
	w.constant<double>(0.0);			// deltar and delta are no longer kept between solves
	w.constant<double>(0.0);
	w.field<std::int64_t>(ls->nstlj);	// nstlpre
	w.field<std::int64_t>(ls->npe);
	w.field<std::int64_t>(ls->nli);
	w.field<std::int64_t>(ls->nps);
	w.field<std::int64_t>(ls->ncfl);
	w.field<std::int64_t>(ls->njtimes);
	w.field<std::int64_t>(ls->nfeDQ);	// nfes
	w.field<std::int64_t>(ls->last_flag);
}

bool validKrylovValues(const CVLsMemRec & s, long nst) {
	return s.nstlj >= 0 && s.nstlj <= nst && s.npe >= 0 && s.nli >= 0 && s.nps >= 0 && s.ncfl >= 0 &&
		   s.njtimes >= 0 && s.nfeDQ >= 0;
}

} // namespace


extern "C" {

long CVodeSerializationPrivate(void * cvode_mem, void ** dataPtr, int mode) {
	CVodeMem cv = static_cast<CVodeMem>(cvode_mem);
	if (cv == nullptr || cv->NLS == nullptr)
		return -4;
	if (mode != SerializationWalker::Size && (dataPtr == nullptr || *dataPtr == nullptr))
		return -4;
	if (mode == SerializationWalker::Read || mode == SerializationWalker::Check) {
		const long header = checkHeader(dataPtr);
		if (header != 0)
			return header;
		// the stored values go into a copy of the record first; the vectors are only checked
		CVodeMemRec shadow;
		std::memcpy(&shadow, cv, sizeof(shadow));
		int maxcor = newtonMaxIters(cv);
		NordsieckMagnitudes zn;
		void * p = *dataPtr;
		const long size = runWalk(&p, SerializationWalker::Check, [&shadow, &maxcor, &zn](SerializationWalker & w) {
			integratorFields(w, &shadow, maxcor, &zn);
		});
		if (size < 0)
			return size;
		if (!validIntegratorValues(shadow, *cv, zn))
			return CV_SERIALIZATION_BAD_VALUE;
		if (mode == SerializationWalker::Check)
			return size;
		const long read = runWalk(dataPtr, mode, [cv, &maxcor](SerializationWalker & w) { integratorFields(w, cv, maxcor); });
		if (read >= 0) {
			SUNNonlinSolSetMaxIters(cv->NLS, maxcor);
			// the Newton solver's copy of the Jacobian's status, which a failed step may have
			// left set: on a failure before the next set-up it decides whether a fresh Jacobian
			// is tried, so it must be the saved step's
			newtonContent(cv)->jcur = cv->cv_jcur;
		}
		return read;
	}
	int maxcor = newtonMaxIters(cv);
	return runWalk(dataPtr, mode, [cv, &maxcor](SerializationWalker & w) { integratorFields(w, cv, maxcor); });
}


long CVodeSerializationSize(void * cvode_mem) {
	return CVodeSerializationPrivate(cvode_mem, nullptr, SerializationWalker::Size);
}


long CVodeSerialize(void * cvode_mem, void ** dataPtr) {
	return CVodeSerializationPrivate(cvode_mem, dataPtr, SerializationWalker::Write);
}


long CVodeDeserialize(void * cvode_mem, void ** dataPtr) {
	// validated first, so that a block that does not fit changes nothing
	const long check = CVodeSerializationPrivate(cvode_mem, dataPtr, SerializationWalker::Check);
	if (check < 0)
		return check;
	CVodeMem cv = static_cast<CVodeMem>(cvode_mem);
	if (cv->cv_nst == 0 && runDeferredSetup(cv) != 0)
		return -4;
	return CVodeSerializationPrivate(cvode_mem, dataPtr, SerializationWalker::Read);
}


long CVDlsSerializationPrivate(void * cvode_mem, void ** dataPtr, int mode) {
	CVLsMem ls = lsMem(cvode_mem);
	DirectShape shape;
	if (ls == nullptr || !ls->matrixbased || ls->LS == nullptr || !directShape(ls, shape))
		return -4;
	if (mode != SerializationWalker::Size && (dataPtr == nullptr || *dataPtr == nullptr))
		return -4;
	sunindextype * pivots = directPivots(ls->LS);
	if (mode == SerializationWalker::Read || mode == SerializationWalker::Check) {
		CVLsMemRec shadow;
		std::memcpy(&shadow, ls, sizeof(shadow));
		std::vector<sunindextype> storedPivots(static_cast<std::size_t>(shape.n));
		void * p = *dataPtr;
		const long size = runWalk(&p, SerializationWalker::Check, [&](SerializationWalker & w) {
			directFields(w, &shadow, shape, storedPivots.data());
		});
		if (size < 0)
			return size;
		if (!validDirectValues(shadow, shape, storedPivots, static_cast<CVodeMem>(cvode_mem)->cv_nst))
			return CV_SERIALIZATION_BAD_VALUE;
		if (mode == SerializationWalker::Check)
			return size;
	}
	return runWalk(dataPtr, mode, [&](SerializationWalker & w) { directFields(w, ls, shape, pivots); });
}


long CVDlsSerializationSize(void * cvode_mem) {
	return CVDlsSerializationPrivate(cvode_mem, nullptr, SerializationWalker::Size);
}


long CVDlsSerialize(void * cvode_mem, void ** dataPtr) {
	return CVDlsSerializationPrivate(cvode_mem, dataPtr, SerializationWalker::Write);
}


long CVDlsDeserialize(void * cvode_mem, void ** dataPtr) {
	return CVDlsSerializationPrivate(cvode_mem, dataPtr, SerializationWalker::Read);
}


long CVSpilsSerializationPrivate(void * cvode_mem, void ** dataPtr, int mode) {
	CVLsMem ls = lsMem(cvode_mem);
	if (ls == nullptr || !ls->iterative)
		return -4;
	if (mode != SerializationWalker::Size && (dataPtr == nullptr || *dataPtr == nullptr))
		return -4;
	if (mode == SerializationWalker::Read || mode == SerializationWalker::Check) {
		CVLsMemRec shadow;
		std::memcpy(&shadow, ls, sizeof(shadow));
		void * p = *dataPtr;
		const long size = runWalk(&p, SerializationWalker::Check, [&shadow](SerializationWalker & w) { krylovFields(w, &shadow); });
		if (size < 0)
			return size;
		if (!validKrylovValues(shadow, static_cast<CVodeMem>(cvode_mem)->cv_nst))
			return CV_SERIALIZATION_BAD_VALUE;
		if (mode == SerializationWalker::Check)
			return size;
	}
	return runWalk(dataPtr, mode, [ls](SerializationWalker & w) { krylovFields(w, ls); });
}


long CVSpilsSerializationSize(void * cvode_mem) {
	return CVSpilsSerializationPrivate(cvode_mem, nullptr, SerializationWalker::Size);
}


long CVSpilsSerialize(void * cvode_mem, void ** dataPtr) {
	return CVSpilsSerializationPrivate(cvode_mem, dataPtr, SerializationWalker::Write);
}


long CVSpilsDeserialize(void * cvode_mem, void ** dataPtr) {
	return CVSpilsSerializationPrivate(cvode_mem, dataPtr, SerializationWalker::Read);
}


int CVodeSerializationPrepare(void * cvode_mem) {
	CVodeMem cv = static_cast<CVodeMem>(cvode_mem);
	if (cv == nullptr)
		return -4;
	// CVODE fills these at its first step (and sets them again if that step fails)
	if (cv->cv_nst != 0)
		return 0;
	for (int j = 1; j <= cv->cv_qmax_alloc; ++j)
		if (cv->cv_zn[j] != nullptr)
			N_VConst(0.0, cv->cv_zn[j]);
	for (N_Vector v : {cv->cv_ewt, cv->cv_acor, cv->cv_tempv, cv->cv_ftemp})
		if (v != nullptr)
			N_VConst(0.0, v);
	// the pivots of a factorisation that has not happened yet: no row exchanges
	CVLsMem ls = lsMem(cvode_mem);
	DirectShape shape;
	if (ls != nullptr && ls->matrixbased && ls->LS != nullptr && directShape(ls, shape)) {
		sunindextype * pivots = directPivots(ls->LS);
		for (sunindextype k = 0; k < shape.n; ++k)
			pivots[k] = k;
	}
	return 0;
}

} // extern "C"
