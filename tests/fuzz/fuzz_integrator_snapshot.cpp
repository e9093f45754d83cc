// Fuzz target of the integrator snapshot restore: a configuration byte picks the solver set-up
// (IntegratorSnapshotRig), the rest is a snapshot restored into a freshly initialised integrator;
// after a successful restore the integrator takes a bounded number of steps, each followed by a
// dense output. A refused snapshot must throw ZEB::Exception; a crash, a sanitizer report or a
// hang is a finding.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "IntegratorSnapshotRig.h"
#include "ZEB_Exception.h"

namespace {

/*! Steps after a restore: enough to use every restored order, step size and history array. */
const int STEPS_AFTER_RESTORE = 20;

} // namespace


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size) {
	FuzzSupport::silence();
	if (size < 2)
		return 0;
	IntegratorSnapshotRig rig(data[0]);
	// exactly the snapshot's bytes on the heap, so that a read beyond its end is one beyond the block
	std::vector<std::uint8_t> snapshot(data + 1, data + size);
	void * p = snapshot.data();
	const void * end = snapshot.data() + snapshot.size();
	try {
		rig.restore(p, end);
	}
	catch (ZEB::Exception &) {
		return 0;
	}
	for (int i = 0; i < STEPS_AFTER_RESTORE; ++i) {
		try {
			KADRIX::IntegratorSundialsCVODE & integrator = rig.integrator();
			if (integrator.step() != 1)
				break;
			// dense output within the last step, which reads the restored history
			integrator.yOut(integrator.t() - 0.5 * integrator.dt());
		}
		catch (ZEB::Exception &) {
			break;
		}
	}
	return 0;
}
