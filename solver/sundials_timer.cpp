#include "sundials_timer.h"

#include <cstdio>

#include <sys/time.h>

namespace {

struct TimerSlots {
	struct timeval	start[TIMER_SLOT_COUNT];
	struct timeval	stop[TIMER_SLOT_COUNT];
	double			value[TIMER_SLOT_COUNT];
	double			sum[TIMER_SLOT_COUNT];
};

TimerSlots timers = {};

bool validSlot(int slot) {
	return slot >= 0 && slot < TIMER_SLOT_COUNT;
}

} // namespace


extern "C" {

void TimerStart(int slot) {
	if (!validSlot(slot))
		return;
	gettimeofday(&timers.start[slot], nullptr);
	timers.value[slot] = 0;
}


void TimerStop(int slot) {
	if (!validSlot(slot))
		return;
	gettimeofday(&timers.stop[slot], nullptr);
	timers.value[slot] = (static_cast<double>(timers.stop[slot].tv_sec - timers.start[slot].tv_sec) * 1000000.0 +
						  static_cast<double>(timers.stop[slot].tv_usec - timers.start[slot].tv_usec)) / 1e6;
	timers.sum[slot] += timers.value[slot];
}


double TimerValue(int slot) {
	return validSlot(slot) ? timers.value[slot] : 0;
}


double TimerSum(int slot) {
	return validSlot(slot) ? timers.sum[slot] : 0;
}


void TimerSumReset(int slot) {
	if (validSlot(slot))
		timers.sum[slot] = 0;
}


void TimerSumAdd(int slot, double seconds) {
	if (validSlot(slot))
		timers.sum[slot] += seconds;
}


void PrintTimings(void) {
	std::printf("Integrator timings\n");
	std::printf("  Function evaluations called from integrator  : FEVAL                     = %g s\n", TimerSum(FEVAL));
	std::printf("  Linear system setup                          : LS_SETUP                  = %g s\n", TimerSum(LS_SETUP));
	std::printf("  Linear system solve                          : LS_SOLVE                  = %g s\n", TimerSum(LS_SOLVE));
	std::printf("\n");
	std::printf("Direct LES solver timings\n");
	std::printf("  Composition of Jacobian matrix df/dy (DQ)    : JACOBIAN_GENERATION       = %g s\n", TimerSum(JACOBIAN_GENERATION));
	std::printf("  Factorization of system Jacobian M           : JACOBIAN_FACTORIZATION    = %g s\n", TimerSum(JACOBIAN_FACTORIZATION));
	std::printf("  Function evaluations for Jacobian generation : FEVAL_JACOBIAN_GENERATION = %g s\n", TimerSum(FEVAL_JACOBIAN_GENERATION));
	std::printf("\n");
	std::printf("Iterative LES solver timings\n");
	std::printf("  Matrix-vector multiplications                : ATIMES                    = %g s\n", TimerSum(ATIMES));
	std::printf("  Function evaluations during iterative solve  : FEVAL_LS_SOLVE            = %g s\n", TimerSum(FEVAL_LS_SOLVE));
	std::printf("\n");
	std::printf("Preconditioner timings\n");
	std::printf("  Preconditioner setup/generation              : PRE_SETUP                 = %g s\n", TimerSum(PRE_SETUP));
	std::printf("  Function evaluations during setup            : FEVAL_PRE_SETUP           = %g s\n", TimerSum(FEVAL_PRE_SETUP));
	std::printf("  Preconditioner solves                        : PRE_SOLVE                 = %g s\n", TimerSum(PRE_SOLVE));
	std::fflush(stdout);
}

} // extern "C"
