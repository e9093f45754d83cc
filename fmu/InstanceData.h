#ifndef InstanceDataH
#define InstanceDataH

#include <cstddef>
#include <cstdint>
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
	/*! Releases the results root. */
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

	/*! Sets m_fmuStateSize: the size word, the solver objects' blocks, the instance's fingerprint
		and the model's own variables. Throws ZEB::Exception when a solver object present cannot
		be serialised. */
	void computeFMUStateSize() override;
	/*! Writes the solver blocks, the fingerprint and the model variables behind the size word. */
	void serializeFMUstate(void * state) override;
	/*! Restores the solver objects and the model from a buffer that validFMUstate() accepts and
		evaluates the model at the restored time. When a block is refused (ZEB::Exception), the
		instance is put back as it was before the call. */
	void deserializeFMUstate(void * state) override;
	/*! Whether size bytes at data can be a state of this instance: size, size word and the
		instance's fingerprint match. Touches nothing. */
	bool validFMUstate(const void * data, std::size_t size) const;
	/*! For a co-simulation instance that was never initialised: the initialisation of
		fmi2EnterInitializationMode, so that a state from elsewhere can be restored into it. */
	void initializeForFMUstate();

	/*! Results and log directories, message handler, solver choice, model start-up and, in
		co-simulation, the integrator's start-up. Throws ZEB::Exception. */
	void init();

	/*! A results root of this instance alone, "ResultsRootDir" or else the user's data directory
		(a temporary one without a usable home) joined with the instance name made fit for a file
		name; the first of root, root-2, root-3, ... that no instance of any process holds. Held
		until the instance is destroyed; a second call gives the same root. Throws ZEB::Exception
		when no root can be created. */
	ZEB::Path claimResultsRoot();
	/*! The instance name as one directory name: '/', '\\' and control characters become '_', a
		name of dots only becomes underscores, and a long name is cut at a character boundary. */
	static std::string resultsDirectoryName(const std::string & instanceName);

	RX::CalovindaModelFMU	m_modelFMU;

private:
	/*! Identifies the build and the project of the instance in its FMU states, so that a state
		of another room is refused before its blocks are read. Set by init(). */
	std::uint64_t			m_stateFingerprint;
	/*! Offset of the fingerprint in a state buffer, behind the solver blocks. */
	std::size_t				m_fingerprintOffset;
	/*! The open, locked lock file of the results root; -1 before claimResultsRoot(). */
	int						m_resultsRootLock;
};

#endif // InstanceDataH
