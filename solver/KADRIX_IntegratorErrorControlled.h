#ifndef KADRIX_IntegratorErrorControlledH
#define KADRIX_IntegratorErrorControlledH

#include <vector>

#include "KADRIX_IntegratorInterface.h"
#include "sundials_timer.h"

namespace KADRIX {

/*! The error-control settings both integrators share; the owner fills them in before init().
	The error weight of unknown i is 1 / (relTol |y_i| + absTol_i) unless the model supplies its own. */
class IntegratorErrorControlled : public IntegratorInterface {
public:
	double				m_relTol = 1e-5;
	double				m_absTol = 1e-6;
	/*! Per-unknown absolute tolerances; when not empty they replace m_absTol. */
	std::vector<double>	m_absTolVec;
	/*! Time not to step past [s]; 0 means none. */
	double				m_stopTime = 0;
	/*! Kept for compatibility of settings; not used by the integrators. */
	int					m_reserved = 1;

	/*! The integrator's own timer slots, zeroed by init(); the solver objects it works with feed
		them too, while they are enabled. */
	TimerTable & timers() { return m_timers; }
	const TimerTable & timers() const { return m_timers; }
	/*! Timings cost clock reads in every step: they are off until a driver that reports them
		(writeMetrics(), PrintTimings()) switches them on before the run, or asks the integrator or
		its linear equation solver for statistics (writeStatisticsHeader()). */
	void enableTimers(bool on) { m_timers.enabled = on ? 1 : 0; }

protected:
	TimerTable			m_timers = {};
};

/*! The timer slots of integrator when it is one of the framework's integrators, else null. */
inline TimerTable * timersOf(IntegratorInterface * integrator) {
	IntegratorErrorControlled * controlled = dynamic_cast<IntegratorErrorControlled *>(integrator);
	return controlled != nullptr ? &controlled->timers() : nullptr;
}

} // namespace KADRIX

#endif // KADRIX_IntegratorErrorControlledH
