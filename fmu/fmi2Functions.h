#ifndef fmi2FunctionsH
#define fmi2FunctionsH

/* The FMI 2.0 binary interface of the library, written from the standard's documented contract:
   C linkage, the standard's plain function names and argument lists, the standard's types and
   enumeration values ("default" types platform). A host loads the library and calls these
   functions; the static_asserts guard the layouts every host relies on. */

#include <stddef.h>

#if defined(__GNUC__)
#define FMI2_Export __attribute__((visibility("default")))
#else
#define FMI2_Export
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void *				fmi2Component;				/* the instance, handed out by fmi2Instantiate */
typedef void *				fmi2ComponentEnvironment;	/* the host's pointer, handed back in each logger call */
typedef void *				fmi2FMUstate;
typedef unsigned int		fmi2ValueReference;
typedef double				fmi2Real;
typedef int					fmi2Integer;
typedef int					fmi2Boolean;
typedef char				fmi2Char;
typedef const fmi2Char *	fmi2String;
typedef char				fmi2Byte;

#define fmi2True	1
#define fmi2False	0

typedef enum {
	fmi2OK,
	fmi2Warning,
	fmi2Discard,
	fmi2Error,
	fmi2Fatal,
	fmi2Pending
} fmi2Status;

typedef enum {
	fmi2ModelExchange,
	fmi2CoSimulation
} fmi2Type;

typedef enum {
	fmi2DoStepStatus,
	fmi2PendingStatus,
	fmi2LastSuccessfulTime,
	fmi2Terminated
} fmi2StatusKind;

/* The message is a printf format, followed by its arguments. */
typedef void (*fmi2CallbackLogger)(fmi2ComponentEnvironment componentEnvironment, fmi2String instanceName,
								   fmi2Status status, fmi2String category, fmi2String message, ...);
typedef void * (*fmi2CallbackAllocateMemory)(size_t nobj, size_t size);
typedef void (*fmi2CallbackFreeMemory)(void * obj);
typedef void (*fmi2StepFinished)(fmi2ComponentEnvironment componentEnvironment, fmi2Status status);

typedef struct {
	const fmi2CallbackLogger			logger;
	const fmi2CallbackAllocateMemory	allocateMemory;
	const fmi2CallbackFreeMemory		freeMemory;
	const fmi2StepFinished				stepFinished;
	const fmi2ComponentEnvironment		componentEnvironment;
} fmi2CallbackFunctions;

typedef struct {
	fmi2Boolean	newDiscreteStatesNeeded;
	fmi2Boolean	terminateSimulation;
	fmi2Boolean	nominalsOfContinuousStatesChanged;
	fmi2Boolean	valuesOfContinuousStatesChanged;
	fmi2Boolean	nextEventTimeDefined;
	fmi2Real	nextEventTime;
} fmi2EventInfo;

/* common functions */
FMI2_Export const char * fmi2GetTypesPlatform(void);
FMI2_Export const char * fmi2GetVersion(void);
FMI2_Export fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean loggingOn, size_t nCategories,
										   const fmi2String categories[]);
FMI2_Export fmi2Component fmi2Instantiate(fmi2String instanceName, fmi2Type fmuType, fmi2String fmuGUID,
										  fmi2String fmuResourceLocation, const fmi2CallbackFunctions * functions,
										  fmi2Boolean visible, fmi2Boolean loggingOn);
FMI2_Export void fmi2FreeInstance(fmi2Component c);
FMI2_Export fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean toleranceDefined, fmi2Real tolerance,
										   fmi2Real startTime, fmi2Boolean stopTimeDefined, fmi2Real stopTime);
FMI2_Export fmi2Status fmi2EnterInitializationMode(fmi2Component c);
FMI2_Export fmi2Status fmi2ExitInitializationMode(fmi2Component c);
FMI2_Export fmi2Status fmi2Terminate(fmi2Component c);
FMI2_Export fmi2Status fmi2Reset(fmi2Component c);

FMI2_Export fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Real value[]);
FMI2_Export fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Integer value[]);
FMI2_Export fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Boolean value[]);
FMI2_Export fmi2Status fmi2GetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2String value[]);
FMI2_Export fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2Real value[]);
FMI2_Export fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
									  const fmi2Integer value[]);
FMI2_Export fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
									  const fmi2Boolean value[]);
FMI2_Export fmi2Status fmi2SetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
									 const fmi2String value[]);

FMI2_Export fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate * FMUstate);
FMI2_Export fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate FMUstate);
FMI2_Export fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate * FMUstate);
FMI2_Export fmi2Status fmi2SerializedFMUstateSize(fmi2Component c, fmi2FMUstate FMUstate, size_t * size);
FMI2_Export fmi2Status fmi2SerializeFMUstate(fmi2Component c, fmi2FMUstate FMUstate, fmi2Byte serializedState[],
											 size_t size);
FMI2_Export fmi2Status fmi2DeSerializeFMUstate(fmi2Component c, const fmi2Byte serializedState[], size_t size,
											   fmi2FMUstate * FMUstate);

FMI2_Export fmi2Status fmi2GetDirectionalDerivative(fmi2Component c, const fmi2ValueReference vUnknown_ref[],
													size_t nUnknown, const fmi2ValueReference vKnown_ref[],
													size_t nKnown, const fmi2Real dvKnown[], fmi2Real dvUnknown[]);

/* model exchange */
FMI2_Export fmi2Status fmi2EnterEventMode(fmi2Component c);
FMI2_Export fmi2Status fmi2NewDiscreteStates(fmi2Component c, fmi2EventInfo * eventInfo);
FMI2_Export fmi2Status fmi2EnterContinuousTimeMode(fmi2Component c);
FMI2_Export fmi2Status fmi2CompletedIntegratorStep(fmi2Component c, fmi2Boolean noSetFMUStatePriorToCurrentPoint,
												   fmi2Boolean * enterEventMode, fmi2Boolean * terminateSimulation);
FMI2_Export fmi2Status fmi2SetTime(fmi2Component c, fmi2Real time);
FMI2_Export fmi2Status fmi2SetContinuousStates(fmi2Component c, const fmi2Real x[], size_t nx);
FMI2_Export fmi2Status fmi2GetDerivatives(fmi2Component c, fmi2Real derivatives[], size_t nx);
FMI2_Export fmi2Status fmi2GetEventIndicators(fmi2Component c, fmi2Real eventIndicators[], size_t ni);
FMI2_Export fmi2Status fmi2GetContinuousStates(fmi2Component c, fmi2Real x[], size_t nx);
FMI2_Export fmi2Status fmi2GetNominalsOfContinuousStates(fmi2Component c, fmi2Real x_nominal[], size_t nx);

/* co-simulation */
FMI2_Export fmi2Status fmi2SetRealInputDerivatives(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
												   const fmi2Integer order[], const fmi2Real value[]);
FMI2_Export fmi2Status fmi2GetRealOutputDerivatives(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
													const fmi2Integer order[], fmi2Real value[]);
FMI2_Export fmi2Status fmi2DoStep(fmi2Component c, fmi2Real currentCommunicationPoint,
								  fmi2Real communicationStepSize, fmi2Boolean noSetFMUStatePriorToCurrentPoint);
FMI2_Export fmi2Status fmi2CancelStep(fmi2Component c);
FMI2_Export fmi2Status fmi2GetStatus(fmi2Component c, const fmi2StatusKind s, fmi2Status * value);
FMI2_Export fmi2Status fmi2GetRealStatus(fmi2Component c, const fmi2StatusKind s, fmi2Real * value);
FMI2_Export fmi2Status fmi2GetIntegerStatus(fmi2Component c, const fmi2StatusKind s, fmi2Integer * value);
FMI2_Export fmi2Status fmi2GetBooleanStatus(fmi2Component c, const fmi2StatusKind s, fmi2Boolean * value);
FMI2_Export fmi2Status fmi2GetStringStatus(fmi2Component c, const fmi2StatusKind s, fmi2String * value);

#ifdef __cplusplus
} /* extern "C" */

/* The layouts every host compiles against (LP64). */
static_assert(sizeof(fmi2Boolean) == 4, "fmi2Boolean is a 4-byte int");
static_assert(sizeof(fmi2ValueReference) == 4, "fmi2ValueReference is a 4-byte unsigned int");
static_assert(sizeof(fmi2Status) == sizeof(int) && fmi2Error == 3 && fmi2Pending == 5, "fmi2Status values");
static_assert(fmi2ModelExchange == 0 && fmi2CoSimulation == 1, "fmi2Type values");
static_assert(fmi2LastSuccessfulTime == 2 && fmi2Terminated == 3, "fmi2StatusKind values");
static_assert(sizeof(fmi2CallbackFunctions) == 5 * sizeof(void *) && sizeof(void *) == 8,
			  "fmi2CallbackFunctions is five pointers (40 bytes)");
static_assert(offsetof(fmi2CallbackFunctions, componentEnvironment) == 32, "componentEnvironment is the fifth pointer");
static_assert(sizeof(fmi2EventInfo) == 32 && offsetof(fmi2EventInfo, nextEventTime) == 24,
			  "fmi2EventInfo is five fmi2Booleans and a double (32 bytes)");
#endif

#endif /* fmi2FunctionsH */
