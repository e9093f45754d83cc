#ifndef ZEB_StopWatchH
#define ZEB_StopWatchH

#include <memory>
#include <string>

namespace ZEB {

/*! Measures wall-clock time [ms] from a start to a stop or to the present moment, formats such
	durations for people and signals periodic progress intervals.

	It reads the system wall clock (not a monotonic clock), so changing the system time changes
	the measured durations. The watch owns its time record; it is not copyable.
*/
class StopWatch {
public:
	/*! Starts the watch; interval length 15 s. */
	StopWatch();
	~StopWatch();

	StopWatch(const StopWatch &) = delete;
	StopWatch & operator=(const StopWatch &) = delete;

	/*! Restarts: new start stamp, not stopped, interval end back to 0. */
	void start();
	/*! Stops the watch and returns the duration since the start [ms]; difference() stays at
		that value until start(). */
	double stop();
	/*! Duration from the start to the stop, or to now while running [ms]. */
	double difference() const;

	/*! Length of one progress interval [s]. */
	void setIntervalLength(double seconds) { m_intervalLength = seconds; }
	/*! True when more than one interval beyond the last completed one has passed; each true
		advances the interval end by exactly one interval, so calls after a long pause catch up
		one interval per call. */
	bool intervalCompleted();

	/*! difference() as text: "999 ms", "1.500 s", "1.500000 min", "1.500000 h". */
	std::string diff_str() const;
	/*! As diff_str(), right-aligned to width characters including the unit, with 3 decimals
		also for minutes and hours. A width below the unit's length gives the bare number. */
	std::string diff_str(unsigned long width) const;

	/*! The text of diff_str() for a duration of ms [ms]. */
	static std::string durationText(double ms);
	/*! The text of diff_str(width) for a duration of ms [ms]. */
	static std::string durationText(double ms, unsigned long width);

private:
	struct TimeRecord;

	/*! Length of one progress interval [s]. */
	double						m_intervalLength;
	/*! End of the last completed interval, counted from the start [s]. */
	double						m_lastIntervalEnd;
	/*! Start and stop stamps; a stop stamp of 0 seconds means running. */
	std::unique_ptr<TimeRecord>	m_timeRecord;
};

} // namespace ZEB

#endif // ZEB_StopWatchH
