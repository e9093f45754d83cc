// Fuzz target of the FMU state a host hands back: the input is a serialised state, given to
// fmi2DeSerializeFMUstate and fmi2SetFMUstate of an initialised instance of the example room, as a
// host restores a saved run. A refused state must leave the instance as it was: from its start
// state it must step to the very outputs it gave before. An accepted state must step as a sound
// state does: the instance hands it out again at once, a second instance takes that back, and both
// step on alike for a few communication steps, to the same finite outputs bit for bit, or fail
// alike. A crash, a sanitizer report, a hang, a refused state that changed the instance or an
// accepted one that steps otherwise is a finding.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzFMU.h"
#include "FuzzFiles.h"
#include "FuzzSupport.h"

namespace {

/*! Steps after an accepted state. */
const int STEPS_AFTER_RESTORE = 3;
/*! Inputs run by one instance: every step adds output rows that the instance keeps. */
const int INPUTS_PER_INSTANCE = 500;

/*! The instance, its start state and the outputs of one step from there, and a second instance
	that takes back the states the first hands out. */
struct Fixture {
	Fixture() { renew(); }
	void renew() {
		if (m_room != nullptr && m_start != nullptr)
			fmi2FreeFMUstate(m_room->m_c, &m_start);
		m_room.reset();
		m_twin.reset();
		m_room.reset(new FuzzFMU::ExampleRoom(FuzzFiles::directory() + "/results"));
		m_twin.reset(new FuzzFMU::ExampleRoom(FuzzFiles::directory() + "/results-twin"));
		FuzzFMU::require(fmi2GetFMUstate(m_room->m_c, &m_start) == fmi2OK, "The start state cannot be saved.");
		m_t0 = m_room->time();
		FuzzFMU::require(m_room->step() == fmi2OK, "The example room does not step.");
		m_reference = m_room->outputs();
		m_inputs = 0;
	}

	std::unique_ptr<FuzzFMU::ExampleRoom>	m_room;
	std::unique_ptr<FuzzFMU::ExampleRoom>	m_twin;
	fmi2FMUstate							m_start = nullptr;
	double									m_t0 = 0;
	std::vector<double>						m_reference;
	int										m_inputs = 0;
};

} // namespace


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size) {
	FuzzSupport::silence();
	static Fixture fixture;
	if (++fixture.m_inputs > INPUTS_PER_INSTANCE)
		fixture.renew();
	fmi2Component c = fixture.m_room->m_c;
	// an earlier input may have left the instance failed: a fresh one then
	if (fmi2SetFMUstate(c, fixture.m_start) != fmi2OK) {
		fixture.renew();
		c = fixture.m_room->m_c;
		FuzzFMU::require(fmi2SetFMUstate(c, fixture.m_start) == fmi2OK, "The start state cannot be restored.");
	}

	// exactly the input's bytes on the heap, so that a read beyond them is one beyond the block
	const std::vector<char> bytes(data, data + size);
	fmi2FMUstate state = nullptr;
	const bool accepted = fmi2DeSerializeFMUstate(c, bytes.data(), bytes.size(), &state) == fmi2OK &&
						  fmi2SetFMUstate(c, state) == fmi2OK;
	if (state != nullptr)
		FuzzFMU::require(fmi2FreeFMUstate(c, &state) == fmi2OK, "A deserialised state cannot be freed.");

	if (!accepted) {
		FuzzFMU::require(fixture.m_room->time() == fixture.m_t0, "A refused state moved the instance's time.");
		FuzzFMU::require(fixture.m_room->step() == fmi2OK, "After a refused state the instance does not step.");
		const std::vector<double> outputs = fixture.m_room->outputs();
		FuzzFMU::require(std::memcmp(outputs.data(), fixture.m_reference.data(), outputs.size() * sizeof(double)) == 0,
						 "A refused state changed the instance's outputs.");
		return 0;
	}
	// what the instance holds now is a state it hands out, which an instance of the room takes back
	const std::vector<char> held = fixture.m_room->serializedState();
	fmi2Component twin = fixture.m_twin->m_c;
	fmi2FMUstate twinState = nullptr;
	FuzzFMU::require(fmi2DeSerializeFMUstate(twin, held.data(), held.size(), &twinState) == fmi2OK &&
					 fmi2SetFMUstate(twin, twinState) == fmi2OK && fmi2FreeFMUstate(twin, &twinState) == fmi2OK,
					 "A state the instance handed out after an accepted one is refused.");
	std::vector<double> outputs, twinOutputs;
	for (int i = 0; i < STEPS_AFTER_RESTORE; ++i) {
		const fmi2Status status = fixture.m_room->step();
		FuzzFMU::require(fixture.m_twin->step() == status, "An accepted state steps otherwise in another instance.");
		if (status != fmi2OK)
			break;
		const fmi2Status read = fixture.m_room->outputs(outputs);
		FuzzFMU::require(fixture.m_twin->outputs(twinOutputs) == read,
						 "An accepted state's outputs read otherwise in another instance.");
		if (read != fmi2OK)
			break;
		for (std::size_t k = 0; k < outputs.size(); ++k) {
			FuzzFMU::require(std::isfinite(outputs[k]), "An accepted state steps to an output that is not finite.");
			// bit for bit: nothing of either instance's earlier runs may steer the solver
			FuzzFMU::require(outputs[k] == twinOutputs[k], "An accepted state steps to other outputs in another instance.");
		}
	}
	return 0;
}
