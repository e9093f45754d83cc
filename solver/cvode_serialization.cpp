#include "cvode_serialization.h"

#include <cstdint>
#include <cstring>

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

namespace {

// Iteration method of the stored layout: Newton, the only one CVODE has now.
const std::int32_t CV_NEWTON_ITERATION = 2;

// Runs a walk over one block and moves the caller's pointer by its size, except for a check
// walk or a failure.
template <typename F>
long runWalk(void ** dataPtr, int mode, F && fields) {
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

int newtonMaxIters(CVodeMem cv) {
	return static_cast<SUNNonlinearSolverContent_Newton>(cv->NLS->content)->maxiters;
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

void integratorFields(SerializationWalker & w, CVodeMem cv) {
	w.identity<std::uint32_t>(CV_SERIALIZATION_MAGIC);
	w.identity<std::uint32_t>(CV_SERIALIZATION_VERSION);
	w.field<double>(cv->cv_uround);
	w.identity<std::int32_t>(cv->cv_lmm);
	w.constant<std::int32_t>(CV_NEWTON_ITERATION);
	w.identity<std::int32_t>(cv->cv_itol);
	w.field<double>(cv->cv_reltol);
	if (cv->cv_itol == CV_ITOL_SS)
		w.field<double>(cv->cv_Sabstol);
	if (cv->cv_itol == CV_ITOL_SV)
		w.nvector(cv->cv_Vabstol);
	const int K = (cv->cv_lmm == CV_ADAMS) ? 13 : 6;
	for (int j = 0; j < K; ++j)
		w.nvector(cv->cv_zn[j]);
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
	w.field<double>(cv->cv_hin);
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
	w.field<double>(cv->cv_nlscoef);
	// mnewt: the Newton solver's current iteration, which a restore does not need
	w.constant<std::int32_t>(newtonCurIter(cv));
	w.field<std::int32_t>(cv->cv_qmax);
	w.field<std::int64_t>(cv->cv_mxstep);
	// maxcor lives in the Newton solver now
	int maxcor = newtonMaxIters(cv);
	w.field<std::int32_t>(maxcor);
	if (w.mode() == SerializationWalker::Read && w.error() == 0)
		SUNNonlinSolSetMaxIters(cv->NLS, maxcor);
	w.field<std::int32_t>(cv->cv_mxhnil);
	w.field<std::int32_t>(cv->cv_maxnef);
	w.field<std::int32_t>(cv->cv_maxncf);
	w.field<double>(cv->cv_hmin);
	w.field<double>(cv->cv_hmax_inv);
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
	w.field<std::int64_t>(cv->cv_lrw1);
	w.field<std::int64_t>(cv->cv_liw1);
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

long directFields(SerializationWalker & w, CVLsMem ls) {
	sunindextype * pivots = directPivots(ls->LS);
	if (ls->A == nullptr || ls->savedJ == nullptr || pivots == nullptr)
		return -4;
	sunindextype n, ml = 0, mu = 0, smu = 0;
	if (SUNMatGetID(ls->A) == SUNMATRIX_BAND) {
		n = SUNBandMatrix_Columns(ls->A);
		ml = SUNBandMatrix_LowerBandwidth(ls->A);
		mu = SUNBandMatrix_UpperBandwidth(ls->A);
		smu = SUNBandMatrix_StoredUpperBandwidth(ls->A);
	}
	else
		n = SUNDenseMatrix_Columns(ls->A);
	w.identity<std::int64_t>(n);
	w.identity<std::int64_t>(ml);
	w.identity<std::int64_t>(mu);
	w.identity<std::int64_t>(smu);
	w.identity<std::int32_t>(ls->jacDQ);
	w.matrix(ls->A);
	w.matrix(ls->savedJ);
	// the 32-bit pivots of the stored layout are no longer kept: written truncated, skipped
	for (sunindextype i = 0; i < n; ++i)
		w.constant<std::int32_t>(pivots[i]);
	w.array<std::int64_t>(pivots, static_cast<std::size_t>(n));
	w.field<std::int64_t>(ls->nstlj);
	w.field<std::int64_t>(ls->nje);
	w.field<std::int64_t>(ls->nfeDQ);
	w.field<std::int64_t>(ls->last_flag);
	return 0;
}

void krylovFields(SerializationWalker & w, CVLsMem ls) {
	w.field<double>(ls->nrmfac);		// sqrtN
	w.field<double>(ls->eplifac);
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

} // namespace


extern "C" {

long CVodeSerializationPrivate(void * cvode_mem, void ** dataPtr, int mode) {
	CVodeMem cv = static_cast<CVodeMem>(cvode_mem);
	if (cv == nullptr || cv->NLS == nullptr)
		return -4;
	if (mode == SerializationWalker::Read || mode == SerializationWalker::Check) {
		const long header = checkHeader(dataPtr);
		if (header != 0)
			return header;
	}
	return runWalk(dataPtr, mode, [cv](SerializationWalker & w) { integratorFields(w, cv); });
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
	if (ls == nullptr || !ls->matrixbased || ls->LS == nullptr)
		return -4;
	long status = 0;
	const long size = runWalk(dataPtr, mode, [ls, &status](SerializationWalker & w) { status = directFields(w, ls); });
	return status != 0 ? status : size;
}


long CVDlsSerializationSize(void * cvode_mem) {
	return CVDlsSerializationPrivate(cvode_mem, nullptr, SerializationWalker::Size);
}


long CVDlsSerialize(void * cvode_mem, void ** dataPtr) {
	return CVDlsSerializationPrivate(cvode_mem, dataPtr, SerializationWalker::Write);
}


long CVDlsDeserialize(void * cvode_mem, void ** dataPtr) {
	const long check = CVDlsSerializationPrivate(cvode_mem, dataPtr, SerializationWalker::Check);
	if (check < 0)
		return check;
	return CVDlsSerializationPrivate(cvode_mem, dataPtr, SerializationWalker::Read);
}


long CVSpilsSerializationPrivate(void * cvode_mem, void ** dataPtr, int mode) {
	CVLsMem ls = lsMem(cvode_mem);
	if (ls == nullptr || !ls->iterative)
		return -4;
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

} // extern "C"
