// calovinda_restart_on_flags: the command-line tool whose run-fmu CVODE host restarts its solver
// after an event only when fmi2NewDiscreteStates reports that the values or nominals of the
// continuous states changed, and otherwise carries on from the solver's own time, as some hosts
// do. Test tooling for the model-exchange runs; e.g.
//   calovinda_restart_on_flags run-fmu room.fmu --interface me --solver cvode --tolerance 1e-5 --step 600

#include "Calovinda.h"

int main(int argc, char * argv[]) {
	return calovindaMain(argc, argv, ModelExchangeCVODE::Restart::OnChangedStates);
}
