#include "KADRIX_OutputScheduler.h"

namespace KADRIX {

OutputScheduler::~OutputScheduler() = default;


double OutputScheduler::nextOutputTime(double t) {
	// truncation towards zero: the second branch only matters for negative t
	const double T = 3600.0 * static_cast<double>(static_cast<long long>(t / 3600.0));
	return (t + 3.6e-5 > T) ? T + 3600.0 : T;
}

} // namespace KADRIX
