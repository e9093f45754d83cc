#include "fmi2Functions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "InstanceData.h"
#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Path.h"

// Every entry point that gets an instance runs through framed(): the instance's message handler
// made current for the call (the previous one restored on every way out), the state the call needs
// checked, every exception turned into a logged fmi2Error, so that none crosses into the host, and
// the messages for the host delivered after all that. No lock is held: instances share nothing that
// needs one, so they run in parallel on different threads, and the host's logger may call back
// into any instance.

namespace {

/*! The instance's message handler for the life of one entry point. */
class CallScope {
public:
	explicit CallScope(const InstanceDataCommon & instance) :
		m_registry(ZEB::MessageHandlerRegistry::instance()),
		m_previous(m_registry.exchangeMessageHandler(instance.m_messageHandler.get()))
	{}
	~CallScope() {
		m_registry.exchangeMessageHandler(m_previous);
	}
	CallScope(const CallScope &) = delete;
	CallScope & operator=(const CallScope &) = delete;

private:
	ZEB::MessageHandlerRegistry &	m_registry;
	/*! The thread's handler before the call, null for the default. */
	ZEB::MessageHandler *			m_previous;
};

/*! The messages of one call for the host, taken from the instance while it is alive and
	delivered when the call's work is over. */
class Outbox {
public:
	/*! Takes the instance's messages; copies of its callbacks and name only when there are some.
		The one message of most calls is taken alone, so that the instance keeps its list's
		memory for the next call. */
	void collect(InstanceDataCommon & d) noexcept {
		try {
			if (d.m_hostMessages.size() == 1) {
				m_single = std::move(d.m_hostMessages.front());
				m_hasSingle = true;
				d.m_hostMessages.clear();
			}
			else
				m_messages = d.takeHostMessages();
			if (m_hasSingle || !m_messages.empty()) {
				m_callbacks = d.m_callbacks;
				m_instanceName = d.m_instanceName;
			}
		}
		catch (...) {
			// no memory for the copy: the call's status still tells the host
			m_hasSingle = false;
			m_messages.clear();
		}
	}
	void deliver() noexcept {
		if (m_hasSingle) {
			try {
				InstanceDataCommon::sendToHost(m_callbacks, m_instanceName, m_single.m_status, m_single.m_category,
											   m_single.m_text);
			}
			catch (...) {
				// out of memory while preparing the text: the call's status still tells the host
			}
		}
		InstanceDataCommon::deliverToHost(m_callbacks, m_instanceName, m_messages);
	}

private:
	InstanceDataCommon::HostMessage					m_single{fmi2OK, "", std::string()};
	bool											m_hasSingle = false;
	std::vector<InstanceDataCommon::HostMessage>	m_messages;
	InstanceDataCommon::Callbacks					m_callbacks;
	std::string										m_instanceName;
};

/*! The index of the first value of v[0 .. n-1] that is not finite, or n; with copy, the values
	are copied there in the same pass. A host hands in and reads every state at every evaluation:
	the pass over all values has no branch, so that it vectorises (an exponent of all ones carries
	into the sign bit when its lowest bit is added). */
std::size_t firstNonFinite(const double * v, std::size_t n, double * copy = nullptr) {
	constexpr std::uint64_t EXPONENT = 0x7ff0000000000000ull;
	constexpr std::uint64_t EXPONENT_LOWEST = 0x0010000000000000ull;
	std::uint64_t carries = 0;
	if (copy != nullptr) {
		for (std::size_t i = 0; i < n; ++i) {
			std::uint64_t bits;
			std::memcpy(&bits, v + i, sizeof(bits));
			carries |= (bits & EXPONENT) + EXPONENT_LOWEST;
			copy[i] = v[i];
		}
	}
	else {
		for (std::size_t i = 0; i < n; ++i) {
			std::uint64_t bits;
			std::memcpy(&bits, v + i, sizeof(bits));
			carries |= (bits & EXPONENT) + EXPONENT_LOWEST;
		}
	}
	if ((carries >> 63) == 0)
		return n;
	std::size_t i = 0;
	while (std::isfinite(v[i]))
		++i;
	return i;
}

/*! Reports text as an error and gives fmi2Error. */
fmi2Status refuse(const InstanceDataCommon & d, const ZEB::FormatString & text) {
	d.logger(fmi2Error, "error", text);
	return fmi2Error;
}

/*! The error text of an entry point: "<function>: <what>". */
ZEB::FormatString plainError(const char * function, const std::string & what) {
	return ZEB::FormatString("%1: %2").arg(function).arg(what);
}

/*! Reports the failure of call to the host: text, and before it why (reason, whose first
	message is cause), unless text or an error the call has told the host already (after the first
	kept messages) names the cause. The host may have no log to look into: there is none before
	the initialisation has made the results root. */
void reportFailure(const InstanceDataCommon & d, InstanceDataCommon::FMICall call, std::size_t kept,
				   const std::string & cause, const std::string & reason, const ZEB::FormatString & text)
{
	if (text.str().find(cause) == std::string::npos && !d.errorKeptAfter(kept, cause))
		d.logger(fmi2Error, "error", plainError(InstanceDataCommon::callName(call), reason));
	d.logger(fmi2Error, "error", text);
}

/*! Runs work(instance) for the entry point call, when the instance's FMI state admits it, and
	returns its status; the FMI state then moves as the call's row says. A ZEB::Exception has its
	message stack written to the instance's log; it and any other exception are reported to the
	host with errorText(what) and its reason (reportFailure()) and give fmi2Error. */
template <typename Work, typename ErrorText>
fmi2Status framed(fmi2Component c, InstanceDataCommon::FMICall call, Work && work, ErrorText && errorText) noexcept {
	if (c == nullptr)
		return fmi2Error;
	InstanceData & d = *static_cast<InstanceData *>(c);
	fmi2Status status = fmi2Error;
	try {
		CallScope scope(d);
		bool threw = true;
		const std::size_t kept = d.m_hostMessages.size();
		try {
			std::string refusal;
			if (!d.admits(call, refusal))
				status = refuse(d, ZEB::FormatString("%1").arg(refusal));
			else
				status = work(d);
			threw = false;
		}
		catch (const ZEB::Exception & ex) {
			ex.writeMsgStackToError();
			const std::string reason = ex.msgStack();
			reportFailure(d, call, kept, reason.substr(0, reason.find(" \n")), reason,
						  errorText(std::string(ex.what())));
		}
		catch (const std::bad_alloc &) {
			const std::string what = "Out of memory.";
			reportFailure(d, call, kept, what, what, errorText(what));
		}
		catch (const std::exception & ex) {
			ZEB::ZEB_Message(ZEB::FormatString("Exception caught: %1").arg(ex.what()), ZEB::MSG_ERROR, nullptr, 1);
			reportFailure(d, call, kept, ex.what(), ex.what(), errorText(std::string(ex.what())));
		}
		catch (...) {
			const std::string what = "Unknown exception.";
			reportFailure(d, call, kept, what, what, errorText(what));
		}
		d.afterCall(call, status, threw);
	}
	catch (...) {
		// the report itself failed (no memory left): the status still tells the host
	}
	Outbox outbox;
	outbox.collect(d);
	outbox.deliver();
	return status;
}

/*! framed() with the error text "<function>: <what>". */
template <typename Work>
fmi2Status framed(fmi2Component c, InstanceDataCommon::FMICall call, Work && work) noexcept {
	const char * function = InstanceDataCommon::callName(call);
	return framed(c, call, std::forward<Work>(work),
				  [function](const std::string & what) { return plainError(function, what); });
}

/*! The loop of the value getters and setters: access(d, i) for i = 0 .. nvr-1, stopping at the
	first failing reference, whose text "Error in <function>() for vr=.. and value=.." shows the
	slot through show(text, i). */
template <typename Value, typename Access, typename Show>
fmi2Status valueLoop(fmi2Component c, InstanceDataCommon::FMICall call, const fmi2ValueReference vr[],
					 std::size_t nvr, Value * value, Access && access, Show && show) noexcept
{
	const char * function = InstanceDataCommon::callName(call);
	std::size_t i = 0;
	return framed(c, call,
		[&](InstanceData & d) {
			if (nvr > 0 && (vr == nullptr || value == nullptr))
				return refuse(d, plainError(function, "Missing value reference or value array."));
			for (; i < nvr; ++i)
				access(d, i);
			return fmi2OK;
		},
		[&](const std::string &) {
			ZEB::FormatString text(std::string("Error in ") + function + "() for vr=%1 and value=%2.");
			text.arg(vr[i]);
			show(text, i);
			return text;
		});
}

/*! Refuses an array of nx values when it is null or nx is not the model's number of states. */
bool checkStateArray(const InstanceDataCommon & d, const char * function, const void * array, std::size_t nx) {
	if (nx != d.numberOfStates()) {
		refuse(d, ZEB::FormatString("%1: %2 values given, the model has %3 states.").arg(function)
				  .arg(static_cast<unsigned long>(nx)).arg(static_cast<unsigned long>(d.numberOfStates())));
		return false;
	}
	if (nx > 0 && array == nullptr) {
		refuse(d, plainError(function, "Missing value array."));
		return false;
	}
	return true;
}

/*! Model exchange, after the update to the host's time and states: fmi2Discard, with a warning
	naming function, the value and the time, when the model's evaluation there holds a derivative
	that is not finite or a value no run reaches, so that the host's solver retries with a smaller
	step from states the model can evaluate; else fmi2OK. The one verdict of every call that
	evaluates the model for the host's solver; with derivatives, the derivatives are copied there
	on the way. */
fmi2Status evaluationVerdict(const InstanceData & d, const char * function, double * derivatives = nullptr) {
	const double * ydot = d.derivatives();
	const std::size_t n = ydot != nullptr ? d.numberOfStates() : 0;
	const std::size_t i = firstNonFinite(ydot, n, derivatives);
	if (i < n) {
		d.logger(fmi2Discard, "warning", ZEB::FormatString("%1: the derivative of x[%2] is not finite (%3) at time "
			"%4 s.").arg(function).arg(static_cast<unsigned long>(i)).arg(InstanceDataCommon::numberText(ydot[i]))
			.arg(InstanceDataCommon::numberText(d.m_tInput)));
		return fmi2Discard;
	}
	const std::string impossible = d.impossibleValue();
	if (!impossible.empty()) {
		d.logger(fmi2Discard, "warning", ZEB::FormatString("%1: %2").arg(function).arg(impossible));
		return fmi2Discard;
	}
	return fmi2OK;
}


/*! The text of cache, made by make() unless it was made of the same values first and second. */
template <typename Make>
const std::string & recurringText(InstanceDataCommon::RecurringText & cache, std::uint64_t first, std::uint64_t second,
								  Make && make)
{
	if (!cache.m_made || cache.m_first != first || cache.m_second != second) {
		cache.m_text = make();
		cache.m_first = first;
		cache.m_second = second;
		cache.m_made = true;
	}
	return cache.m_text;
}

std::uint64_t bitsOf(double value) {
	std::uint64_t bits;
	std::memcpy(&bits, &value, sizeof(bits));
	return bits;
}


/*! Logs a call of function that only reports itself. */
fmi2Status logged(fmi2Component c, InstanceDataCommon::FMICall call, const char * text) noexcept {
	return framed(c, call, [&](InstanceData & d) {
		d.logger(fmi2OK, "progress", text);
		return fmi2OK;
	});
}

/*! Refuses a call of function that this FMU does not provide. */
fmi2Status unsupported(fmi2Component c, InstanceDataCommon::FMICall call, const ZEB::FormatString & text) noexcept {
	return framed(c, call, [&](InstanceData & d) {
		return refuse(d, text);
	});
}

/*! Answers a status query for kind s, reporting itself as function: fmi2Discard for any kind
	but served (when answer() writes the value). */
template <typename Answer>
fmi2Status statusQuery(fmi2Component c, InstanceDataCommon::FMICall call, const char * text, const void * value,
					   Answer && answer) noexcept
{
	const char * function = InstanceDataCommon::callName(call);
	return framed(c, call, [&](InstanceData & d) {
		d.logger(fmi2OK, "progress", text);
		if (value == nullptr)
			return refuse(d, plainError(function, "Missing value pointer."));
		return answer(d) ? fmi2OK : fmi2Discard;
	});
}

/*! "<function> is called with invalid FMUstate (unknown or already released pointer)." */
fmi2Status invalidState(const InstanceDataCommon & d, const char * function) {
	return refuse(d, ZEB::FormatString("%1 is called with invalid FMUstate (unknown or already released pointer).")
					 .arg(function));
}

bool isLive(const InstanceDataCommon & d, const void * state) {
	return state != nullptr && d.m_fmuStates.count(const_cast<void *>(state)) != 0;
}

/*! The size of a live buffer, from its size word: also a buffer of a run before fmi2Reset, while
	the instance has no states of its own until its next initialisation. */
std::size_t stateSize(const void * state) {
	return static_cast<std::size_t>(InstanceDataCommon::stateSizeWord(state));
}


/*! A new live buffer with its size word written. */
void * newState(InstanceDataCommon & d) {
	void * state = std::malloc(d.m_fmuStateSize);
	if (state == nullptr)
		throw std::bad_alloc();
	try {
		d.m_fmuStates.insert(state);
	}
	catch (...) {
		std::free(state);
		throw;
	}
	InstanceDataCommon::setStateSizeWord(state, d.m_fmuStateSize);
	return state;
}

} // namespace


extern "C" {

// *** common functions ***

const char * fmi2GetTypesPlatform(void) {
	return "default";
}


const char * fmi2GetVersion(void) {
	return "2.0";
}


fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean loggingOn, size_t nCategories,
							   const fmi2String categories[])
{
	(void)nCategories;
	(void)categories;
	return framed(c, InstanceDataCommon::CallSetDebugLogging, [&](InstanceData & d) {
		d.logger(fmi2OK, "progress", ZEB::FormatString("fmi2SetDebugLogging: logging switched %1.")
									 .arg(loggingOn != 0 ? "true" : "false"));
		d.m_loggingOn = loggingOn == fmi2True;
		return fmi2OK;
	});
}


fmi2Component fmi2Instantiate(fmi2String instanceName, fmi2Type fmuType, fmi2String fmuGUID,
							  fmi2String fmuResourceLocation, const fmi2CallbackFunctions * functions,
							  fmi2Boolean visible, fmi2Boolean loggingOn)
{
	(void)visible;
	if (functions == nullptr || functions->logger == nullptr)
		return nullptr;
	InstanceDataCommon::Callbacks callbacks;
	callbacks.logger = functions->logger;
	callbacks.componentEnvironment = functions->componentEnvironment;
	const std::string name = instanceName != nullptr ? instanceName : "";
	try {
		if (name.empty()) {
			InstanceDataCommon::sendToHost(callbacks, name, fmi2Error, "error", "fmi2Instantiate: Missing instance name.");
			return nullptr;
		}
		if (fmuGUID == nullptr || std::strcmp(fmuGUID, InstanceDataCommon::GUID) != 0) {
			InstanceDataCommon::sendToHost(callbacks, name, fmi2Error, "error", "fmi2Instantiate: Invalid/mismatching guid.");
			return nullptr;
		}
		if (fmuResourceLocation == nullptr) {
			InstanceDataCommon::sendToHost(callbacks, name, fmi2Error, "error", "fmi2Instantiate: Missing resource location.");
			return nullptr;
		}
		try {
			// refused here rather than at initialisation, so that a host learns it where it gave it
			ZEB::Path::fromFileURI(fmuResourceLocation);
		}
		catch (const ZEB::Exception & ex) {
			InstanceDataCommon::sendToHost(callbacks, name, fmi2Error, "error",
										   std::string("fmi2Instantiate: Invalid resource location: ") + ex.what());
			return nullptr;
		}
		std::unique_ptr<InstanceData> d = std::make_unique<InstanceData>();
		d->setCallbacks(*functions);
		d->m_instanceName = name;
		d->m_modelExchange = fmuType == fmi2ModelExchange;
		d->m_resourceLocation = fmuResourceLocation;
		d->m_loggingOn = loggingOn == fmi2True;
		return d.release();
	}
	catch (const std::exception & ex) {
		try {
			InstanceDataCommon::sendToHost(callbacks, name, fmi2Error, "error",
										   std::string("fmi2Instantiate: Cannot create the instance: ") + ex.what());
		}
		catch (...) {}
	}
	catch (...) {}
	return nullptr;
}


void fmi2FreeInstance(fmi2Component c) {
	if (c == nullptr)
		return;
	InstanceData * d = static_cast<InstanceData *>(c);
	Outbox outbox;
	try {
		// what the model says while it goes goes to its own log
		CallScope scope(*d);
		d->logger(fmi2OK, "progress", "fmi2FreeInstance: Model instance deleted.");
		outbox.collect(*d);
		delete d;
		d = nullptr;
	}
	catch (...) {
		// no memory for the report: the instance goes all the same
	}
	delete d;
	outbox.deliver();
}


fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean toleranceDefined, fmi2Real tolerance,
							   fmi2Real startTime, fmi2Boolean stopTimeDefined, fmi2Real stopTime)
{
	// A host's tolerance is not taken. In co-simulation the FMU's own CVODE integrates with the
	// tolerances the room model's solver adaptor fixes for every project (relative and absolute
	// 1e-6, or the model's own error weights while the DIN 4108-2 assessment is active; see
	// CalovindaModelInterface::init and calculateErrorWeights); in model exchange the host's solver
	// applies its own tolerance.
	(void)toleranceDefined;
	(void)tolerance;
	return framed(c, InstanceDataCommon::CallSetupExperiment, [&](InstanceData & d) {
		d.logger(fmi2OK, "progress", "fmi2SetupExperiment: Call of setup experiment.");
		const std::string refusal = d.setupExperiment(startTime, stopTimeDefined == fmi2True, stopTime);
		if (!refusal.empty())
			return refuse(d, plainError("fmi2SetupExperiment", refusal));
		return fmi2OK;
	});
}


fmi2Status fmi2EnterInitializationMode(fmi2Component c) {
	return framed(c, InstanceDataCommon::CallEnterInitializationMode,
		[&](InstanceData & d) {
			d.logger(fmi2OK, "progress", "fmi2EnterInitializationMode: Go into initialization mode.");
			// a model started for a restored state keeps it
			if (!d.m_modelReady)
				d.startModel();
			return fmi2OK;
		},
		[](const std::string &) { return ZEB::FormatString("Model initialization failed."); });
}


fmi2Status fmi2ExitInitializationMode(fmi2Component c) {
	return framed(c, InstanceDataCommon::CallExitInitializationMode, [&](InstanceData & d) {
		d.logger(fmi2OK, "progress", "fmi2ExitInitializationMode: Go out from initialization mode.");
		return fmi2OK;
	});
}


fmi2Status fmi2Terminate(fmi2Component c) {
	return framed(c, InstanceDataCommon::CallTerminate, [&](InstanceData & d) {
		d.clearBuffers();
		d.logger(fmi2OK, "progress", "fmi2Terminate: Terminate model.");
		return fmi2OK;
	});
}


fmi2Status fmi2Reset(fmi2Component c) {
	return framed(c, InstanceDataCommon::CallReset, [&](InstanceData & d) {
		d.logger(fmi2OK, "progress", "fmi2Reset: Reset the instance to the state after its instantiation.");
		d.reset();
		return fmi2OK;
	});
}


// *** values ***

fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Real value[]) {
	return valueLoop(c, InstanceDataCommon::CallGetReal, vr, nvr, value,
		[&](InstanceData & d, std::size_t i) { d.getReal(static_cast<int>(vr[i]), value[i]); },
		[&](ZEB::FormatString & text, std::size_t i) { text.arg(value[i]); });
}


fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Integer value[]) {
	return valueLoop(c, InstanceDataCommon::CallGetInteger, vr, nvr, value,
		[&](InstanceData & d, std::size_t i) { d.getInteger(static_cast<int>(vr[i]), value[i]); },
		[&](ZEB::FormatString & text, std::size_t i) { text.arg(value[i]); });
}


fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Boolean value[]) {
	// the model provides no booleans: an unknown reference reads false
	bool current = false;
	return valueLoop(c, InstanceDataCommon::CallGetBoolean, vr, nvr, value,
		[&](InstanceData & d, std::size_t i) {
			current = false;
			d.getBoolean(static_cast<int>(vr[i]), current);
			value[i] = current ? fmi2True : fmi2False;
		},
		[&](ZEB::FormatString & text, std::size_t) { text.arg(current ? fmi2True : fmi2False); });
}


fmi2Status fmi2GetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2String value[]) {
	// the slot of a failing reference may hold anything: it is shown empty
	return valueLoop(c, InstanceDataCommon::CallGetString, vr, nvr, value,
		[&](InstanceData & d, std::size_t i) {
			const char * text = "";
			d.getString(static_cast<int>(vr[i]), text);
			value[i] = text;
		},
		[&](ZEB::FormatString & text, std::size_t) { text.arg(""); });
}


fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2Real value[]) {
	return valueLoop(c, InstanceDataCommon::CallSetReal, vr, nvr, value,
		[&](InstanceData & d, std::size_t i) { d.setReal(static_cast<int>(vr[i]), value[i]); },
		[&](ZEB::FormatString & text, std::size_t i) { text.arg(value[i]); });
}


fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2Integer value[]) {
	return valueLoop(c, InstanceDataCommon::CallSetInteger, vr, nvr, value,
		[&](InstanceData & d, std::size_t i) { d.setInteger(static_cast<int>(vr[i]), value[i]); },
		[&](ZEB::FormatString & text, std::size_t i) { text.arg(value[i]); });
}


fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2Boolean value[]) {
	return valueLoop(c, InstanceDataCommon::CallSetBoolean, vr, nvr, value,
		[&](InstanceData & d, std::size_t i) { d.setBoolean(static_cast<int>(vr[i]), value[i] == fmi2True); },
		[&](ZEB::FormatString & text, std::size_t i) { text.arg(value[i]); });
}


fmi2Status fmi2SetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2String value[]) {
	return valueLoop(c, InstanceDataCommon::CallSetString, vr, nvr, value,
		[&](InstanceData & d, std::size_t i) {
			if (value[i] == nullptr)
				throw ZEB::Exception("Missing string value.", "[fmi2SetString]");
			d.setString(static_cast<int>(vr[i]), value[i]);
		},
		[&](ZEB::FormatString & text, std::size_t i) { text.arg(value[i] != nullptr ? value[i] : ""); });
}


// *** FMU states: buffers of m_fmuStateSize bytes, live while in m_fmuStates ***

fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate * FMUstate) {
	return framed(c, InstanceDataCommon::CallGetFMUstate, [&](InstanceData & d) {
		if (d.m_fmuStateSize == 0)
			return refuse(d, plainError("fmi2GetFMUstate", d.noFMUStatesReason()));
		if (FMUstate == nullptr)
			return refuse(d, plainError("fmi2GetFMUstate", "Missing state pointer."));
		if (*FMUstate != nullptr && !isLive(d, *FMUstate))
			return invalidState(d, "fmi2GetFMUstate");
		if (*FMUstate == nullptr)
			*FMUstate = newState(d);
		d.serializeFMUstate(*FMUstate);
		return fmi2OK;
	});
}


fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate FMUstate) {
	return framed(c, InstanceDataCommon::CallSetFMUstate, [&](InstanceData & d) {
		if (!isLive(d, FMUstate))
			return invalidState(d, "fmi2SetFMUstate");
		// a state saved before fmi2Reset, set before the next initialisation
		if (!d.m_modelReady && !d.m_modelExchange && d.m_fmiState == InstanceDataCommon::FMIInstantiated) {
			d.logger(fmi2OK, "progress", "Initializing the instance to restore an FMU state.");
			d.startModel();
			if (!isLive(d, FMUstate))
				return invalidState(d, "fmi2SetFMUstate");
		}
		d.deserializeFMUstate(FMUstate);
		return fmi2OK;
	});
}


fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate * FMUstate) {
	return framed(c, InstanceDataCommon::CallFreeFMUstate, [&](InstanceData & d) {
		// nothing to free, as for free(NULL)
		if (FMUstate == nullptr || *FMUstate == nullptr)
			return fmi2OK;
		if (!isLive(d, *FMUstate))
			return invalidState(d, "fmi2FreeFMUstate");
		d.m_fmuStates.erase(*FMUstate);
		std::free(*FMUstate);
		*FMUstate = nullptr;
		return fmi2OK;
	});
}


fmi2Status fmi2SerializedFMUstateSize(fmi2Component c, fmi2FMUstate FMUstate, size_t * size) {
	return framed(c, InstanceDataCommon::CallSerializedFMUstateSize, [&](InstanceData & d) {
		if (!isLive(d, FMUstate))
			return invalidState(d, "fmi2SerializedFMUstateSize");
		if (size == nullptr)
			return refuse(d, plainError("fmi2SerializedFMUstateSize", "Missing size pointer."));
		*size = stateSize(FMUstate);
		return fmi2OK;
	});
}


fmi2Status fmi2SerializeFMUstate(fmi2Component c, fmi2FMUstate FMUstate, fmi2Byte serializedState[], size_t size) {
	return framed(c, InstanceDataCommon::CallSerializeFMUstate, [&](InstanceData & d) {
		if (!isLive(d, FMUstate))
			return invalidState(d, "fmi2SerializeFMUstate");
		const std::size_t bytes = stateSize(FMUstate);
		if (serializedState == nullptr || size < bytes)
			return refuse(d, ZEB::FormatString("fmi2SerializeFMUstate: the buffer of %1 bytes cannot hold the state "
											   "of %2 bytes.").arg(static_cast<unsigned long>(serializedState == nullptr ? 0 : size))
							 .arg(static_cast<unsigned long>(bytes)));
		std::memcpy(serializedState, FMUstate, bytes);
		return fmi2OK;
	});
}


fmi2Status fmi2DeSerializeFMUstate(fmi2Component c, const fmi2Byte serializedState[], size_t size,
								   fmi2FMUstate * FMUstate)
{
	return framed(c, InstanceDataCommon::CallDeSerializeFMUstate, [&](InstanceData & d) {
		if (FMUstate == nullptr || (*FMUstate != nullptr && !isLive(d, *FMUstate)))
			return invalidState(d, "fmi2DeSerializeFMUstate");
		// a host restoring a saved run goes straight from fmi2Instantiate to here
		if (!d.m_modelReady && !d.m_modelExchange && d.m_fmiState == InstanceDataCommon::FMIInstantiated) {
			d.logger(fmi2OK, "progress", "Initializing the instance to restore an FMU state.");
			d.startModel();
			// a buffer of the run before fmi2Reset that cannot hold this run's state is gone
			if (*FMUstate != nullptr && !isLive(d, *FMUstate))
				return invalidState(d, "fmi2DeSerializeFMUstate");
		}
		const std::string refusal = d.fmuStateRefusal(serializedState, size);
		if (!refusal.empty())
			return refuse(d, ZEB::FormatString("fmi2DeSerializeFMUstate: the serialized state is not a state of this "
											   "FMU instance: %1").arg(refusal));
		if (*FMUstate == nullptr)
			*FMUstate = newState(d);
		std::memcpy(*FMUstate, serializedState, d.m_fmuStateSize);
		return fmi2OK;
	});
}


fmi2Status fmi2GetDirectionalDerivative(fmi2Component c, const fmi2ValueReference vUnknown_ref[], size_t nUnknown,
										const fmi2ValueReference vKnown_ref[], size_t nKnown, const fmi2Real dvKnown[],
										fmi2Real dvUnknown[])
{
	(void)vUnknown_ref;
	(void)nUnknown;
	(void)vKnown_ref;
	(void)nKnown;
	(void)dvKnown;
	(void)dvUnknown;
	return unsupported(c, InstanceDataCommon::CallGetDirectionalDerivative,
					   ZEB::FormatString("fmi2GetDirectionalDerivative is called but not implemented"));
}


// *** model exchange ***

fmi2Status fmi2EnterEventMode(fmi2Component c) {
	return framed(c, InstanceDataCommon::CallEnterEventMode, [&](InstanceData & d) {
		d.logger(fmi2OK, "progress", "fmi2EnterEventMode: Enter into event mode.");
		return fmi2OK;
	});
}


fmi2Status fmi2NewDiscreteStates(fmi2Component c, fmi2EventInfo * eventInfo) {
	return framed(c, InstanceDataCommon::CallNewDiscreteStates, [&](InstanceData & d) {
		if (eventInfo == nullptr)
			return refuse(d, plainError("fmi2NewDiscreteStates", "Missing event info."));
		// what switches is held where the room air (and the radiation) lies; the gains change in
		// completed steps; the nominals never change. The states do not change either, but a host that
		// restarts its solver only when they do must restart wherever the right-hand side changed:
		// FMI 2.0 gives the FMU no other way to tell it.
		double nextEventTime = 0;
		const bool changed = d.m_modelExchange && d.newDiscreteStates(nextEventTime);
		eventInfo->newDiscreteStatesNeeded = fmi2False;
		eventInfo->terminateSimulation = fmi2False;
		eventInfo->nominalsOfContinuousStatesChanged = fmi2False;
		eventInfo->valuesOfContinuousStatesChanged = changed ? fmi2True : fmi2False;
		// schedules and time rules change the right-hand side at times known in advance; a room
		// tipping across a falling natural ventilation's step is followed in steps of its pace
		const bool timeEvent = d.m_modelExchange && std::isfinite(nextEventTime);
		eventInfo->nextEventTimeDefined = timeEvent ? fmi2True : fmi2False;
		eventInfo->nextEventTime = timeEvent ? nextEventTime : 0;
		if (d.m_loggingOn)
			d.logger(fmi2OK, "progress", ZEB::FormatString("fmi2NewDiscreteStates: at current time: %1").arg(d.m_tInput));
		return fmi2OK;
	});
}


fmi2Status fmi2EnterContinuousTimeMode(fmi2Component c) {
	return framed(c, InstanceDataCommon::CallEnterContinuousTimeMode, [&](InstanceData & d) {
		d.logger(fmi2OK, "progress", "fmi2EnterContinuousTimeMode: Enter into continuous mode.");
		return fmi2OK;
	});
}


fmi2Status fmi2CompletedIntegratorStep(fmi2Component c, fmi2Boolean noSetFMUStatePriorToCurrentPoint,
									   fmi2Boolean * enterEventMode, fmi2Boolean * terminateSimulation)
{
	(void)noSetFMUStatePriorToCurrentPoint;
	return framed(c, InstanceDataCommon::CallCompletedIntegratorStep,
		[&](InstanceData & d) {
			if (enterEventMode == nullptr || terminateSimulation == nullptr)
				return refuse(d, plainError("fmi2CompletedIntegratorStep", "Missing result pointer."));
			*enterEventMode = fmi2False;
			*terminateSimulation = fmi2True;
			d.logger(fmi2OK, "progress", "Integrator step completed.");
			// a changed controller gain or piece is a step event: the host's solver must start afresh
			if (d.completedIntegratorStep())
				*enterEventMode = fmi2True;
			*terminateSimulation = fmi2False;
			return fmi2OK;
		},
		[](const std::string &) { return ZEB::FormatString("Error in fmi2CompletedIntegratorStep()."); });
}


fmi2Status fmi2SetTime(fmi2Component c, fmi2Real time) {
	return framed(c, InstanceDataCommon::CallSetTime, [&](InstanceData & d) {
		if (!std::isfinite(time) || time < 0)
			return refuse(d, ZEB::FormatString("fmi2SetTime: Invalid time point %1.").arg(time));
		// a host calls this and the next two for every evaluation of the derivatives, and the
		// event indicators' as often: their texts are made only for a host that listens, without
		// a format, and once for all the evaluations that share their values
		if (d.m_loggingOn)
			d.loggerText(fmi2OK, "progress", recurringText(d.m_setTimeText, bitsOf(time), 0, [time]() {
				return "fmi2SetTime: Set time point: " + ZEB::val2string(time);
			}));
		d.m_tInput = time;
		return fmi2OK;
	});
}


fmi2Status fmi2SetContinuousStates(fmi2Component c, const fmi2Real x[], size_t nx) {
	return framed(c, InstanceDataCommon::CallSetContinuousStates, [&](InstanceData & d) {
		if (d.m_loggingOn) {
			const std::size_t n = d.m_yInput.size();
			d.loggerText(fmi2OK, "progress", recurringText(d.m_setStatesText, nx, n, [nx, n]() {
				return "fmi2SetContinuousStates: Set continuous states with size " + ZEB::val2string(nx) +
					   " with model size " + ZEB::val2string(n);
			}));
		}
		if (!checkStateArray(d, "fmi2SetContinuousStates", x, nx))
			return fmi2Error;
		const std::size_t i = firstNonFinite(x, nx);
		if (i < nx)
			return refuse(d, ZEB::FormatString("fmi2SetContinuousStates: the state x[%1] is not finite (%2).")
							 .arg(static_cast<unsigned long>(i)).arg(InstanceDataCommon::numberText(x[i])));
		std::copy(x, x + nx, d.m_yInput.begin());
		// the host's room air counts from another origin (CalovindaModelFMU::m_airStateShift)
		if (nx > 0)
			d.m_yInput[d.m_modelFMU.m_airState] += d.m_modelFMU.m_airStateShift;
		return fmi2OK;
	});
}


fmi2Status fmi2GetDerivatives(fmi2Component c, fmi2Real derivatives[], size_t nx) {
	return framed(c, InstanceDataCommon::CallGetDerivatives,
		[&](InstanceData & d) {
			if (d.m_loggingOn) {
				const std::size_t n = d.numberOfStates();
				d.loggerText(fmi2OK, "progress", recurringText(d.m_derivativesText, nx, n, [nx, n]() {
					return "fmi2GetDerivatives: Getting derivatives with size " + ZEB::val2string(nx) +
						   " with model size " + ZEB::val2string(n);
				}));
			}
			if (!checkStateArray(d, "fmi2GetDerivatives", derivatives, nx))
				return fmi2Error;
			d.updateIfModified();
			return evaluationVerdict(d, "fmi2GetDerivatives", derivatives);
		},
		[](const std::string & what) {
			return ZEB::FormatString("fmi2GetDerivatives: Exception while updating model: %1").arg(what);
		});
}


fmi2Status fmi2GetEventIndicators(fmi2Component c, fmi2Real eventIndicators[], size_t ni) {
	return framed(c, InstanceDataCommon::CallGetEventIndicators, [&](InstanceData & d) {
		if (d.m_loggingOn)
			d.loggerText(fmi2OK, "progress", recurringText(d.m_indicatorsText, ni, 0, [ni]() {
				return "fmi2GetEventIndicators: size " + ZEB::val2string(ni);
			}));
		// a host that watches no indicators asks for none; it gets the switches as step events
		if (ni != 0 && ni != d.numberOfEventIndicators())
			return refuse(d, ZEB::FormatString("fmi2GetEventIndicators: %1 values asked for, the model has %2 event "
				"indicators.").arg(static_cast<unsigned long>(ni)).arg(static_cast<unsigned long>(d.numberOfEventIndicators())));
		if (ni > 0 && eventIndicators == nullptr)
			return refuse(d, plainError("fmi2GetEventIndicators", "Missing value array."));
		if (ni > 0)
			d.eventIndicators(eventIndicators);
		else
			d.updateIfModified();
		return evaluationVerdict(d, "fmi2GetEventIndicators");
	});
}


fmi2Status fmi2GetContinuousStates(fmi2Component c, fmi2Real x[], size_t nx) {
	return framed(c, InstanceDataCommon::CallGetContinuousStates, [&](InstanceData & d) {
		d.logger(fmi2OK, "progress", ZEB::FormatString("fmi2GetContinuousStates: Getting continuous states with size %1 "
			"with model size %2").arg(static_cast<unsigned long>(nx)).arg(static_cast<unsigned long>(d.m_yInput.size())));
		if (!checkStateArray(d, "fmi2GetContinuousStates", x, nx))
			return fmi2Error;
		std::copy(d.m_yInput.begin(), d.m_yInput.begin() + nx, x);
		if (nx > 0)
			x[d.m_modelFMU.m_airState] -= d.m_modelFMU.m_airStateShift;
		return fmi2OK;
	});
}


fmi2Status fmi2GetNominalsOfContinuousStates(fmi2Component c, fmi2Real x_nominal[], size_t nx) {
	return framed(c, InstanceDataCommon::CallGetNominalsOfContinuousStates, [&](InstanceData & d) {
		d.logger(fmi2OK, "progress", ZEB::FormatString("fmi2GetNominalsOfContinuousStates: size: %1")
									 .arg(static_cast<unsigned long>(nx)));
		if (d.m_modelReady) {
			if (!checkStateArray(d, "fmi2GetNominalsOfContinuousStates", x_nominal, nx))
				return fmi2Error;
			d.stateNominals(x_nominal);
			return fmi2OK;
		}
		// the model description declares the states from the start
		const std::vector<double> & nominals = d.nominalsBeforeStart();
		if (nx != nominals.size())
			return refuse(d, ZEB::FormatString("fmi2GetNominalsOfContinuousStates: %1 values given, the model has %2 "
				"states.").arg(static_cast<unsigned long>(nx)).arg(static_cast<unsigned long>(nominals.size())));
		if (nx > 0 && x_nominal == nullptr)
			return refuse(d, plainError("fmi2GetNominalsOfContinuousStates", "Missing value array."));
		std::copy(nominals.begin(), nominals.end(), x_nominal);
		return fmi2OK;
	});
}


// *** co-simulation ***

fmi2Status fmi2SetRealInputDerivatives(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
									   const fmi2Integer order[], const fmi2Real value[])
{
	(void)vr;
	(void)order;
	(void)value;
	// a host that took them would believe its inputs interpolated within the step
	return unsupported(c, InstanceDataCommon::CallSetRealInputDerivatives, ZEB::FormatString("fmi2SetRealInputDerivatives: "
		"The FMU does not interpolate its inputs (canInterpolateInputs is false); the derivatives are not taken "
		"(size: %1).").arg(static_cast<unsigned long>(nvr)));
}


fmi2Status fmi2GetRealOutputDerivatives(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
										const fmi2Integer order[], fmi2Real value[])
{
	(void)vr;
	(void)order;
	(void)value;
	return unsupported(c, InstanceDataCommon::CallGetRealOutputDerivatives, ZEB::FormatString("fmi2GetRealOutputDerivatives: "
		"Output derivatives are not provided (size: %1).").arg(static_cast<unsigned long>(nvr)));
}


fmi2Status fmi2DoStep(fmi2Component c, fmi2Real currentCommunicationPoint, fmi2Real communicationStepSize,
					  fmi2Boolean noSetFMUStatePriorToCurrentPoint)
{
	return framed(c, InstanceDataCommon::CallDoStep,
		[&](InstanceData & d) {
			const std::string refusal = d.stepRefusal(currentCommunicationPoint, communicationStepSize);
			if (!refusal.empty())
				return refuse(d, plainError("fmi2DoStep", refusal));
			if (noSetFMUStatePriorToCurrentPoint == fmi2True)
				d.clearBuffers();
			d.integrateTo(std::max(currentCommunicationPoint + communicationStepSize, d.integratorTime()));
			return fmi2OK;
		},
		[](const std::string & what) {
			return ZEB::FormatString("fmi2DoStep: Exception while integrating model: %1").arg(what);
		});
}


fmi2Status fmi2CancelStep(fmi2Component c) {
	return logged(c, InstanceDataCommon::CallCancelStep, "fmi2CancelStep: cancel current step.");
}


fmi2Status fmi2GetStatus(fmi2Component c, const fmi2StatusKind s, fmi2Status * value) {
	// every step completes before fmi2DoStep returns
	return statusQuery(c, InstanceDataCommon::CallGetStatus, "fmi2GetStatus: get current status.", value, [&](InstanceData &) {
		if (s != fmi2DoStepStatus)
			return false;
		*value = fmi2OK;
		return true;
	});
}


fmi2Status fmi2GetRealStatus(fmi2Component c, const fmi2StatusKind s, fmi2Real * value) {
	return statusQuery(c, InstanceDataCommon::CallGetRealStatus, "fmi2GetRealStatus: get real status.", value, [&](InstanceData & d) {
		if (s != fmi2LastSuccessfulTime || d.m_modelExchange || !d.m_modelReady)
			return false;
		*value = d.integratorTime();
		return true;
	});
}


fmi2Status fmi2GetIntegerStatus(fmi2Component c, const fmi2StatusKind s, fmi2Integer * value) {
	(void)s;
	return statusQuery(c, InstanceDataCommon::CallGetIntegerStatus, "fmi2GetIntegerStatus: get integer status.", value,
					   [](InstanceData &) { return false; });
}


fmi2Status fmi2GetBooleanStatus(fmi2Component c, const fmi2StatusKind s, fmi2Boolean * value) {
	return statusQuery(c, InstanceDataCommon::CallGetBooleanStatus, "fmi2GetBooleanStatus: get boolean status.", value,
		[&](InstanceData &) {
			if (s != fmi2Terminated)
				return false;
			*value = fmi2False;
			return true;
		});
}


fmi2Status fmi2GetStringStatus(fmi2Component c, const fmi2StatusKind s, fmi2String * value) {
	(void)s;
	return statusQuery(c, InstanceDataCommon::CallGetStringStatus, "fmi2GetStringStatus: get string status.", value,
					   [](InstanceData &) { return false; });
}

} // extern "C"
