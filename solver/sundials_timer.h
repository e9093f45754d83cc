#ifndef sundials_timerH
#define sundials_timerH

/* Wall-clock timer slots 0 to 24 that accumulate the time spent in the expensive parts of a
   solver step. Every integrator owns one table (two integrators in one process keep separate
   sums) and hands it to the objects that work for it; a table is used by one thread at a time.
   A null table and slots outside 0..24 are ignored (TimerValue and TimerSum give 0 for them).
   A table reads the clock only while it is enabled: a run that asks for no timings pays for
   none (the reads cost about 3 % of a year of the room model). */

#include <sys/time.h>

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

/* One table of slots; all zero when value-initialised. */
typedef struct TimerTable {
	struct timeval	start[TIMER_SLOT_COUNT];
	struct timeval	stop[TIMER_SLOT_COUNT];
	/* last measured duration [s] */
	double			value[TIMER_SLOT_COUNT];
	/* accumulated duration [s] */
	double			sum[TIMER_SLOT_COUNT];
	/* TimerStart and TimerStop measure only while this is not 0 */
	int				enabled;
} TimerTable;

/* Last duration 0; in an enabled table also stores the current time as the slot's start. */
void TimerStart(TimerTable * timers, int slot);
/* Stops the slot of an enabled table: last duration = now - start [s], added to the sum. */
void TimerStop(TimerTable * timers, int slot);
/* Last measured duration [s]. */
double TimerValue(const TimerTable * timers, int slot);
/* Accumulated duration [s]. */
double TimerSum(const TimerTable * timers, int slot);
void TimerSumReset(TimerTable * timers, int slot);
/* Sets the sums of all slots to 0. */
void TimerSumResetAll(TimerTable * timers);
/* Adds a duration measured elsewhere to the sum [s]. */
void TimerSumAdd(TimerTable * timers, int slot, double seconds);
/* Prints the sums of slots 0 to 10 to standard output. */
void PrintTimings(const TimerTable * timers);

#ifdef __cplusplus
}
#endif

#endif /* sundials_timerH */
