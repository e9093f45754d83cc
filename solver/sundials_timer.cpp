#include "sundials_timer.h"

#include <cstdio>

namespace {

bool validSlot(const TimerTable * timers, int slot) {
	return timers != nullptr && slot >= 0 && slot < TIMER_SLOT_COUNT;
}

} // namespace


extern "C" {

void TimerStart(TimerTable * timers, int slot) {
	if (!validSlot(timers, slot))
		return;
	// also while switched off: a sum derived from the last duration must not add an old one
	timers->value[slot] = 0;
	if (timers->enabled == 0)
		return;
	gettimeofday(&timers->start[slot], nullptr);
}


void TimerStop(TimerTable * timers, int slot) {
	if (!validSlot(timers, slot) || timers->enabled == 0)
		return;
	gettimeofday(&timers->stop[slot], nullptr);
	timers->value[slot] = (static_cast<double>(timers->stop[slot].tv_sec - timers->start[slot].tv_sec) * 1000000.0 +
						   static_cast<double>(timers->stop[slot].tv_usec - timers->start[slot].tv_usec)) / 1e6;
	timers->sum[slot] += timers->value[slot];
}


double TimerValue(const TimerTable * timers, int slot) {
	return validSlot(timers, slot) ? timers->value[slot] : 0;
}


double TimerSum(const TimerTable * timers, int slot) {
	return validSlot(timers, slot) ? timers->sum[slot] : 0;
}


void TimerSumReset(TimerTable * timers, int slot) {
	if (validSlot(timers, slot))
		timers->sum[slot] = 0;
}


void TimerSumResetAll(TimerTable * timers) {
	for (int slot = 0; slot < TIMER_SLOT_COUNT; ++slot)
		TimerSumReset(timers, slot);
}


void TimerSumAdd(TimerTable * timers, int slot, double seconds) {
	if (validSlot(timers, slot))
		timers->sum[slot] += seconds;
}


void PrintTimings(const TimerTable * timers) {
	std::printf("Integrator timings\n");
	std::printf("  Function evaluations called from integrator  : FEVAL                     = %g s\n", TimerSum(timers, FEVAL));
	std::printf("  Linear system setup                          : LS_SETUP                  = %g s\n", TimerSum(timers, LS_SETUP));
	std::printf("  Linear system solve                          : LS_SOLVE                  = %g s\n", TimerSum(timers, LS_SOLVE));
	std::printf("\n");
	std::printf("Direct LES solver timings\n");
	std::printf("  Composition of Jacobian matrix df/dy (DQ)    : JACOBIAN_GENERATION       = %g s\n", TimerSum(timers, JACOBIAN_GENERATION));
	std::printf("  Factorization of system Jacobian M           : JACOBIAN_FACTORIZATION    = %g s\n", TimerSum(timers, JACOBIAN_FACTORIZATION));
	std::printf("  Function evaluations for Jacobian generation : FEVAL_JACOBIAN_GENERATION = %g s\n", TimerSum(timers, FEVAL_JACOBIAN_GENERATION));
	std::printf("\n");
	std::printf("Iterative LES solver timings\n");
	std::printf("  Matrix-vector multiplications                : ATIMES                    = %g s\n", TimerSum(timers, ATIMES));
	std::printf("  Function evaluations during iterative solve  : FEVAL_LS_SOLVE            = %g s\n", TimerSum(timers, FEVAL_LS_SOLVE));
	std::printf("\n");
	std::printf("Preconditioner timings\n");
	std::printf("  Preconditioner setup/generation              : PRE_SETUP                 = %g s\n", TimerSum(timers, PRE_SETUP));
	std::printf("  Function evaluations during setup            : FEVAL_PRE_SETUP           = %g s\n", TimerSum(timers, FEVAL_PRE_SETUP));
	std::printf("  Preconditioner solves                        : PRE_SOLVE                 = %g s\n", TimerSum(timers, PRE_SOLVE));
	std::fflush(stdout);
}

} // extern "C"
