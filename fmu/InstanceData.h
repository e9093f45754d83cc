#ifndef InstanceDataH
#define InstanceDataH

#include <string>

#include "InstanceDataCommon.h"
#include "RX_CalovindaModelFMU.h"

namespace ZEB {
class Path;
}

/*! The FMI instance behind each fmi2Component: the instance record plus its FMU model, held by
	value. Initialised once by fmi2EnterInitializationMode, then stepped (co-simulation) or
	evaluated through the model-exchange buffers. The model is destroyed before the record's
	base, so the instance's message handler outlives it.
*/
class InstanceData : public InstanceDataCommon {
public:
	InstanceData();
	~InstanceData() override;

	/*! Model exchange: applies m_tInput, m_yInput and new inputs to the model and copies its
		derivatives into m_ydot; nothing before a successful initialisation. */
	void updateIfModified() override;
	/*! Co-simulation: lets the integrator step up to tCommunicationIntervalEnd [s] exactly and
		writes every output time on the way. Throws ZEB::Exception for a time before the
		integrator's and for any failure on the way. */
	void integrateTo(double tCommunicationIntervalEnd) override;
	bool getStateReal(int vr, double & value) override;
	std::size_t numberOfStates() const override;
	double integratorTime() override;

	/*! Results and log directories, message handler, solver choice, model start-up and, in
		co-simulation, the integrator's start-up. Throws ZEB::Exception. */
	void init();

	/*! The directory a resource location names, as hosts send it: "file:///path", "file:/path",
		"file://localhost/path" or a plain absolute path, percent escapes decoded, a trailing
		slash dropped. Throws ZEB::Exception for an empty location or another host. */
	static ZEB::Path resourceDirectory(const std::string & location);

	RX::CalovindaModelFMU	m_modelFMU;

private:
	/*! The output row of the start time is written once, by the first step from there. */
	bool					m_initialOutputWritten;
};

#endif // InstanceDataH
