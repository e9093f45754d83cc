#ifndef sundials_timerH
#define sundials_timerH

/* Process-wide wall-clock timer slots 0 to 24 that accumulate the time spent in the expensive
   parts of a solver step. Unsynchronised: the solver runs in one thread. Slots outside 0..24
   are ignored (TimerValue and TimerSum give 0 for them). */

#ifdef __cplusplus
extern "C" {
#endif

/* Slot numbers and what feeds them. */
enum TimerSlot {
	FEVAL						= 0,	/* right-hand-side evaluations of the integrator */
	LS_SETUP					= 1,	/* linear-solver setup */
	LS_SOLVE					= 2,	/* linear-solver solve */
	JACOBIAN_GENERATION			= 3,	/* Jacobian generation */
	JACOBIAN_FACTORIZATION		= 4,	/* factorisation of the iteration matrix */
	FEVAL_JACOBIAN_GENERATION	= 5,	/* model evaluations of difference-quotient Jacobians */
	ATIMES						= 6,	/* matrix-vector products of the Krylov iterations */
	FEVAL_LS_SOLVE				= 7,	/* model evaluations of difference-quotient J*v products */
	PRE_SETUP					= 8,	/* preconditioner setup */
	FEVAL_PRE_SETUP				= 9,	/* model evaluations during preconditioner setup */
	PRE_SOLVE					= 10,	/* preconditioner solves */
	TIMER_SLOT_COUNT			= 25
};

/* Starts the slot: stores the current time, last duration 0. */
void TimerStart(int slot);
/* Stops the slot: last duration = now - start [s], added to the sum. */
void TimerStop(int slot);
/* Last measured duration [s]. */
double TimerValue(int slot);
/* Accumulated duration [s]. */
double TimerSum(int slot);
void TimerSumReset(int slot);
/* Adds a duration measured elsewhere to the sum [s]. */
void TimerSumAdd(int slot, double seconds);
/* Prints the sums of slots 0 to 10 to standard output. */
void PrintTimings(void);

#ifdef __cplusplus
}
#endif

#endif /* sundials_timerH */
