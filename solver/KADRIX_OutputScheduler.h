#ifndef KADRIX_OutputSchedulerH
#define KADRIX_OutputSchedulerH

namespace KADRIX {

/*! Gives the output times of a run. */
class OutputScheduler {
public:
	virtual ~OutputScheduler();
	/*! The next output time after t [s]: by default the next full hour on a 3600 s grid. */
	virtual double nextOutputTime(double t);
};

} // namespace KADRIX

#endif // KADRIX_OutputSchedulerH
