#ifndef RX_FMU2ModelDescriptionH
#define RX_FMU2ModelDescriptionH

#include <cstdint>
#include <string>
#include <vector>

#include "ZEB_Path.h"

#include "RX_FMU2InputOutputDefinitions.h"

namespace RX {

class CalovindaModel;

/*! The FMU's fixed GUID. The model description announces it and fmi2Instantiate compares the
	host's GUID with it, so both take it from here. */
inline constexpr char FMU2_GUID[] = "{05022e81-1090-4e41-b0ce-3284aa3d7c5a}";

/*! The ScalarVariable element of an output (whole lines, two tabs deep). */
std::string modelOutputVariablesSection(FMU2Outputs vr);
/*! The ScalarVariable element of an input with its start value in six significant digits
	("200", "0"). */
std::string modelInputVariablesSection(FMU2Inputs vr, double start);
/*! The comment line "<!-- Variable index=N -->" that precedes each variable. */
std::string variableIndexComment(unsigned int index);
/*! One Unknown element of the model structure's output list. */
std::string modelStructureOutput(unsigned int index);

/*! Writes the FMI 2.0 model description "modelDescription.xml" of the room model.

	Built by the exporter for one write(), after the room model has been initialised (its number
	of unknowns gives the states). The model and the Jacobian pattern are not owned. With the
	pattern the derivatives' dependencies are its columns plus the inputs for the room's own rows;
	without it the dependencies are left out, which declares every derivative to depend on
	everything. A null model has no states.
*/
class FMU2ModelDescription {
public:
	/*! Default description "thermal and hygric room model", empty results root. */
	explicit FMU2ModelDescription(CalovindaModel * model);

	/*! The whole document for the room's InterfaceDefinition value flags: moisture outputs with
		flags & 0x30, the liquid water input with flags & 0x20. Texts are XML-escaped; a
		description or results root that is no valid UTF-8 or holds a control character that XML
		cannot carry throws ZEB::Exception. */
	std::string text(int flags) const;

	/*! Writes text(flags) to the absolute form of fileName, whole or not at all (ZEB::OutputFile):
		an earlier file of that name stays until the new one is complete. Throws ZEB::Exception
		when the file cannot be written. */
	void write(const ZEB::Path & fileName, int flags) const;

	/*! Text of the document's description attribute. */
	std::string			m_description;
	/*! Results root proposed to the host; written without the extension of its last part. */
	ZEB::Path			m_resultsRootDir;
	/*! The initialised room model; not owned. */
	CalovindaModel *	m_model;
	/*! The CSR pattern of the model's Jacobian, row starts (n + 1) and column indices; not owned.
		Null, or of another size than the model, leaves the dependencies out. */
	const std::vector<std::uint32_t> *	m_jacobianRowStarts;
	const std::vector<std::uint32_t> *	m_jacobianColumns;
};

} // namespace RX

#endif // RX_FMU2ModelDescriptionH
