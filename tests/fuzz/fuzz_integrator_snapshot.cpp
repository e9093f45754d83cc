// Fuzz target of the integrator snapshot restore: a configuration byte picks the solver set-up
// (IntegratorSnapshotRig), the rest is a snapshot restored into a freshly initialised integrator;
// after a successful restore the integrator takes a bounded number of steps. A refused snapshot
// must throw ZEB::Exception; a crash, a sanitizer report or a hang is a finding.

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
	if (size < 1)
		return 0;
	IntegratorSnapshotRig rig(data[0]);
	// The readers cannot yet be told where the buffer ends: they get exactly the snapshot's size,
	// so that a read beyond it is one beyond the heap block.
	if (size - 1 < rig.size())
		return 0;
	std::vector<std::uint8_t> snapshot(data + 1, data + 1 + rig.size());
	void * p = snapshot.data();
	try {
		rig.restore(p);
	}
	catch (ZEB::Exception &) {
		return 0;
	}
	for (int i = 0; i < STEPS_AFTER_RESTORE; ++i) {
		try {
			if (rig.integrator().step() != 1)
				break;
		}
		catch (ZEB::Exception &) {
			break;
		}
	}
	return 0;
}
