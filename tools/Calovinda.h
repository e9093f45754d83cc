#ifndef CalovindaH
#define CalovindaH

#include "ModelExchangeCVODE.h"

/*! The command-line tool: runs the command that argv names (argv[0] is the program) and gives
	the exit code. run-fmu's CVODE host restarts its solver after events as restart says: the
	tool's own main after every event, the test tooling also as hosts that restart only when the
	FMU says its states changed. */
int calovindaMain(int argc, char * argv[], ModelExchangeCVODE::Restart restart);

#endif // CalovindaH
