#include "RX_FMU2ModelDescription.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <locale>
#include <sstream>
#include <vector>

#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_OutputFile.h"
#include "ZEB_StringUtils.h"

#include "RX_CalovindaModel.h"
#include "RX_Constants.h"

namespace RX {

namespace {

const char * const MODEL_DESCRIPTION_TEMPLATE =
	"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
	"<fmiModelDescription\n"
	"\tfmiVersion=\"2.0\"\n"
	"\tmodelName=\"CalovindaFMI2\"\n"
	"\tguid=\"${GUID}\"\n"
	"\tdescription=\"${CALOVINDA_PROJECT_DESCRIPTION}\"\n"
	"\tgenerationTool=\"Calovinda ${CALOVINDA_VERSION} FMU Generator\"\n"
	"\tgenerationDateAndTime=\"${GENERATED_TIME}\"\n"
	"\tvariableNamingConvention=\"structured\"\n"
	"\tnumberOfEventIndicators=\"${NUMBER_OF_EVENT_INDICATORS}\">\n"
	"\n"
	"\t<ModelExchange\n"
	"\t\tmodelIdentifier=\"CalovindaFMI2\"\n"
	// the controllers adapt their slopes and the outputs are integrated in completed steps
	"\t\tcompletedIntegratorStepNotNeeded=\"false\"\n"
	"\t\tcanBeInstantiatedOnlyOncePerProcess=\"false\"\n"
	"\t\tcanNotUseMemoryManagementFunctions=\"true\"\n"
	"\t\tcanGetAndSetFMUstate=\"false\"\n"
	"\t\tcanSerializeFMUstate=\"false\"\n"
	"\t\tprovidesDirectionalDerivative=\"false\"/>\n"
	"\n"
	"\t<CoSimulation\n"
	"\t\tmodelIdentifier=\"CalovindaFMI2\"\n"
	"\t\tcanHandleVariableCommunicationStepSize=\"true\"\n"
	"\t\tcanInterpolateInputs=\"false\"\n"
	"\t\tmaxOutputDerivativeOrder=\"0\"\n"
	"\t\tcanRunAsynchronuously=\"false\"\n"
	"\t\tcanBeInstantiatedOnlyOncePerProcess=\"false\"\n"
	"\t\tcanNotUseMemoryManagementFunctions=\"true\"\n"
	"\t\tcanGetAndSetFMUstate=\"true\"\n"
	"\t\tcanSerializeFMUstate=\"true\"\n"
	"\t\tprovidesDirectionalDerivative=\"false\"/>\n"
	"\n"
	"\t<UnitDefinitions>\n"
	"\t\t<Unit name=\"K\">\n"
	"\t\t\t<BaseUnit K=\"1\"/>\n"
	"\t\t</Unit>\n"
	"\t\t<Unit name=\"1\">\n"
	"\t\t\t<BaseUnit/>\n"
	"\t\t</Unit>\n"
	"\t\t<Unit name=\"rad\">\n"
	"\t\t\t<BaseUnit rad=\"1\"/>\n"
	"\t\t</Unit>\n"
	"\t\t<Unit name=\"W/m2\">\n"
	"\t\t\t<BaseUnit kg=\"1\" s=\"-3\"/>\n"
	"\t\t</Unit>\n"
	"\t\t<Unit name=\"m/s\">\n"
	"\t\t\t<BaseUnit m=\"1\" s=\"-1\"/>\n"
	"\t\t</Unit>\n"
	"\t\t<Unit name=\"Pa\">\n"
	"\t\t\t<BaseUnit kg=\"1\" m=\"-1\" s=\"-2\"/>\n"
	"\t\t</Unit>\n"
	"\t\t<Unit name=\"W\">\n"
	"\t\t\t<BaseUnit kg=\"1\" m=\"2\" s=\"-3\"/>\n"
	"\t\t</Unit>\n"
	"\t\t<Unit name=\"kg/s\">\n"
	"\t\t\t<BaseUnit kg=\"1\" s=\"-1\"/>\n"
	"\t\t</Unit>\n"
	"\t\t<Unit name=\"J/m3\">\n"
	"\t\t\t<BaseUnit kg=\"1\" m=\"-1\" s=\"-2\"/>\n"
	"\t\t</Unit>\n"
	"\t</UnitDefinitions>\n"
	"\n"
	"\t<TypeDefinitions>\n"
	"\t\t<SimpleType name=\"Modelica.SIunits.Temperature\">\n"
	"\t\t\t<Real quantity=\"Temperature\" unit=\"K\" min=\"0\" nominal=\"293.15\"/>\n"
	"\t\t</SimpleType>\n"
	"\t\t<SimpleType name=\"Modelica.SIunits.RadiantEnergyFluenceRate\">\n"
	"\t\t\t<Real quantity=\"RadiantEnergyFluenceRate\" unit=\"W/m2\"/>\n"
	"\t\t</SimpleType>\n"
	"\t\t<SimpleType name=\"Modelica.SIunits.Velocity\">\n"
	"\t\t\t<Real quantity=\"Velocity\" unit=\"m/s\"/>\n"
	"\t\t</SimpleType>\n"
	"\t\t<SimpleType name=\"Modelica.SIunits.Angle\">\n"
	"\t\t\t<Real quantity=\"Angle\" unit=\"rad\"/>\n"
	"\t\t</SimpleType>\n"
	"\t\t<SimpleType name=\"Modelica.SIunits.Pressure\">\n"
	"\t\t\t<Real quantity=\"Pressure\" unit=\"Pa\"/>\n"
	"\t\t</SimpleType>\n"
	"\t\t<SimpleType name=\"Modelica.SIunits.HeatFlowRate\">\n"
	"\t\t\t<Real quantity=\"HeatFlowRate\" unit=\"W\"/>\n"
	"\t\t</SimpleType>\n"
	"\t\t<SimpleType name=\"Modelica.SIunits.MassFlowRate\">\n"
	"\t\t\t<Real quantity=\"MassFlowRate\" unit=\"kg/s\"/>\n"
	"\t\t</SimpleType>\n"
	"\t\t<SimpleType name=\"Modelica.SIunits.ActivePower\">\n"
	"\t\t\t<Real quantity=\"ActivePower\" unit=\"W\"/>\n"
	"\t\t</SimpleType>\n"
	"\t\t<SimpleType name=\"Modelica.SIunits.EnergyDensity\">\n"
	"\t\t\t<Real quantity=\"EnergyDensity\" unit=\"J/m3\"/>\n"
	"\t\t</SimpleType>\n"
	"\t\t<SimpleType name=\"RelativeHumidity\">\n"
	"\t\t\t<Real quantity=\"RelativeHumidity\" unit=\"1\" min=\"0\"/>\n"
	"\t\t</SimpleType>\n"
	"\t</TypeDefinitions>\n"
	"\n"
	"\t<LogCategories>\n"
	"\t\t<Category name=\"progress\"/>\n"
	"\t\t<Category name=\"warning\"/>\n"
	"\t\t<Category name=\"error\"/>\n"
	"\t</LogCategories>\n"
	"\n"
	"\t<DefaultExperiment startTime=\"0.0\" stopTime=\"31536000\" tolerance=\"1e-07\" stepSize=\"10\"/>\n"
	"\n"
	"\t<ModelVariables>\n"
	"${VARIABLES_INTERFACE}\n"
	"${VARIABLES_STATES}\n"
	"\t</ModelVariables>\n"
	"\n"
	"\t<ModelStructure>\n"
	"\t\t<Outputs>\n"
	"${MODEL_STRUCTURE_OUTPUTS}\n"
	"\t\t</Outputs>\n"
	"\t\t<Derivatives>\n"
	"${MODEL_STRUCTURE_DERIVATIVES}\n"
	"\t\t</Derivatives>\n"
	"\t\t<InitialUnknowns>\n"
	"${MODEL_STRUCTURE_INITIAL_UNKNOWNS}\n"
	"\t\t</InitialUnknowns>\n"
	"\t</ModelStructure>\n"
	"\n"
	"</fmiModelDescription>\n";

/*! text escaped for an attribute value in double quotes; line breaks and tabs kept as
	character references, which attribute normalisation would otherwise turn into blanks. */
std::string xmlEscaped(const std::string & text) {
	std::string result;
	result.reserve(text.size());
	for (const char c : text) {
		switch (c) {
			case '&'  : result += "&amp;"; break;
			case '<'  : result += "&lt;"; break;
			case '>'  : result += "&gt;"; break;
			case '"'  : result += "&quot;"; break;
			case '\n' : result += "&#10;"; break;
			case '\r' : result += "&#13;"; break;
			case '\t' : result += "&#9;"; break;
			default   : result += c;
		}
	}
	return result;
}

/*! Throws ZEB::Exception when text is no valid UTF-8 or holds a character that XML 1.0 cannot
	carry, even as a reference (controls other than tab, line feed and carriage return, U+FFFE,
	U+FFFF): every host refuses a description that is not well-formed. what names the text. */
void checkXmlText(const std::string & text, const char * what) {
	const char * const FUNC_ID = "[FMU2ModelDescription::text]";
	std::size_t i = 0;
	while (i < text.size()) {
		unsigned long cp = 0;
		const std::size_t length = ZEB::utf8_character(text, i, cp);
		if (length == 0)
			throw ZEB::Exception(ZEB::FormatString("The %1 of the model description is not valid UTF-8 at byte %2.")
								 .arg(what).arg(static_cast<unsigned int>(i)), FUNC_ID);
		if ((cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') || cp == 0xFFFE || cp == 0xFFFF) {
			char code[8];
			std::snprintf(code, sizeof(code), "%04lX", cp);
			throw ZEB::Exception(ZEB::FormatString("The %1 of the model description holds the character U+%2 at "
												   "byte %3, which an XML document cannot hold.")
								 .arg(what).arg(code).arg(static_cast<unsigned int>(i)), FUNC_ID);
		}
		i += length;
	}
}

/*! A time [s] of the default experiment, exact to the last bit. */
std::string experimentTime(double t) {
	char text[32];
	std::snprintf(text, sizeof(text), "%.17g", t);
	return text;
}

/*! The first occurrence of placeholder in text replaced by value. */
void replaceFirst(std::string & text, const std::string & placeholder, const std::string & value) {
	text = ZEB::replace_string(text, placeholder, value, ZEB::REPLACE_FIRST);
}

std::string scalarVariableStart(const std::string & name, unsigned int valueReference,
								const std::string & description, const char * variability,
								const char * causality)
{
	std::string s = "\t\t<ScalarVariable name=\"" + xmlEscaped(name) + "\" valueReference=\""
			+ std::to_string(valueReference) + "\"";
	if (!description.empty())
		s += " description=\"" + xmlEscaped(description) + "\"";
	return s + " variability=\"" + variability + "\" causality=\"" + causality + "\"";
}

const char * const SCALAR_VARIABLE_END = "\t\t</ScalarVariable>\n";

/*! generationDateAndTime of FMI 2.0: "2026-12-07T12:15:17Z". */
std::string utcNow() {
	const std::time_t now = std::time(nullptr);
	std::tm utc{};
	gmtime_r(&now, &utc);
	char buf[32];
	std::strftime(buf, sizeof(buf), "%Y-%m-%dT%H:%M:%SZ", &utc);
	return buf;
}

} // namespace


std::string modelOutputVariablesSection(FMU2Outputs vr) {
	return scalarVariableStart(FMU2VarName(vr), vr, FMU2VarDescription(vr), "continuous", "output") + ">\n"
			"\t\t\t<Real declaredType=\"" + xmlEscaped(FMU2VarType(vr)) + "\"/>\n" + SCALAR_VARIABLE_END;
}


std::string modelInputVariablesSection(FMU2Inputs vr, double start) {
	// a host's locale must not turn the decimal point into a comma
	std::ostringstream startText;
	startText.imbue(std::locale::classic());
	startText << start;
	return scalarVariableStart(FMU2VarName(vr), vr, FMU2VarDescription(vr), "continuous", "input") + ">\n"
			"\t\t\t<Real declaredType=\"" + xmlEscaped(FMU2VarType(vr)) + "\" start=\"" + startText.str()
			+ "\"/>\n" + SCALAR_VARIABLE_END;
}


std::string variableIndexComment(unsigned int index) {
	return "\t\t<!-- Variable index=" + std::to_string(index) + " -->\n";
}


std::string modelStructureOutput(unsigned int index) {
	return "\t\t\t<Unknown index=\"" + std::to_string(index) + "\"/>\n";
}


FMU2ModelDescription::FMU2ModelDescription(CalovindaModel * model) :
	m_description("thermal and hygric room model"),
	m_model(model),
	m_jacobianRowStarts(nullptr),
	m_jacobianColumns(nullptr)
{
}


std::string FMU2ModelDescription::text(int flags) const {
	checkXmlText(m_description, "description");
	checkXmlText(m_resultsRootDir.str(), "results root directory");

	// interface variables
	unsigned int index = 1;
	std::vector<unsigned int> outputIndices;
	std::vector<unsigned int> inputIndices;
	std::string interfaceText;
	for (const FMU2Variable & variable : FMU2Variables) {
		if (!FMU2IsDeclared(variable, flags))
			continue;
		interfaceText += variableIndexComment(index);
		if (variable.m_causality == FMU2_Output) {
			interfaceText += modelOutputVariablesSection(static_cast<FMU2Outputs>(variable.m_valueReference));
			outputIndices.push_back(index);
		}
		else if (variable.m_causality == FMU2_Input) {
			interfaceText += modelInputVariablesSection(static_cast<FMU2Inputs>(variable.m_valueReference),
														variable.m_start);
			inputIndices.push_back(index);
		}
		else
			interfaceText += scalarVariableStart(variable.m_name, variable.m_valueReference, variable.m_description,
												 "fixed", "parameter") + ">\n"
					"\t\t\t<String start=\"" + xmlEscaped(m_resultsRootDir.withoutExtension().str()) + "\"/>\n"
					+ SCALAR_VARIABLE_END;
		++index;
	}

	// states and derivatives
	const unsigned int n = m_model != nullptr ? m_model->m_n : 0;
	const unsigned int first = index;
	std::string statesText;
	for (unsigned int i = 0; i < n; ++i)
		statesText += variableIndexComment(first + i)
				+ scalarVariableStart("x[" + std::to_string(i) + "]", FMU2_StateOffset + i, "",
									  "continuous", "local") + " initial=\"calculated\">\n"
				"\t\t\t<Real/>\n" + SCALAR_VARIABLE_END;
	for (unsigned int i = 0; i < n; ++i)
		statesText += variableIndexComment(first + n + i)
				+ scalarVariableStart("der(x[" + std::to_string(i) + "])", FMU2_DerivativeOffset + i, "",
									  "continuous", "local") + " initial=\"calculated\">\n"
				"\t\t\t<Real derivative=\"" + std::to_string(first + i) + "\"/>\n" + SCALAR_VARIABLE_END;

	// model structure
	std::string outputsText;
	for (const unsigned int o : outputIndices)
		outputsText += modelStructureOutput(o);

	// The solver's Jacobian pattern holds the true dependencies between the states; the inputs
	// enter the room balance only, whose element comes last.
	const bool withPattern = m_jacobianRowStarts != nullptr && m_jacobianColumns != nullptr
			&& m_jacobianRowStarts->size() == n + 1;
	std::string derivativesText;
	for (unsigned int i = 0; i < n; ++i) {
		derivativesText += "\t\t\t<Unknown index=\"" + std::to_string(first + n + i) + "\"";
		if (withPattern) {
			const std::vector<std::uint32_t> & ia = *m_jacobianRowStarts;
			std::vector<unsigned int> dependencies;
			if (i + m_model->m_m >= n)
				dependencies = inputIndices;
			for (std::uint32_t k = ia[i]; k < ia[i + 1]; ++k)
				dependencies.push_back(first + (*m_jacobianColumns)[k]);
			std::sort(dependencies.begin(), dependencies.end());
			std::string list;
			for (const unsigned int d : dependencies)
				list += (list.empty() ? "" : " ") + std::to_string(d);
			derivativesText += " dependencies=\"" + list + "\"";
		}
		derivativesText += "/>\n";
	}

	std::string initialUnknownsText = outputsText;
	for (unsigned int i = 0; i < 2*n; ++i)
		initialUnknownsText += modelStructureOutput(first + i);

	// Replaced from the document's end towards its start: every text inserted lies behind the
	// placeholders still to come, so a placeholder inside an inserted text is never taken.
	std::string doc = MODEL_DESCRIPTION_TEMPLATE;
	replaceFirst(doc, "${MODEL_STRUCTURE_INITIAL_UNKNOWNS}\n", initialUnknownsText);
	replaceFirst(doc, "${MODEL_STRUCTURE_DERIVATIVES}\n", derivativesText);
	replaceFirst(doc, "${MODEL_STRUCTURE_OUTPUTS}\n", outputsText);
	replaceFirst(doc, "${VARIABLES_STATES}\n", statesText);
	replaceFirst(doc, "${VARIABLES_INTERFACE}\n", interfaceText);
	replaceFirst(doc, "${GENERATED_TIME}", utcNow());
	replaceFirst(doc, "${CALOVINDA_VERSION}", LONG_VERSION);
	replaceFirst(doc, "${CALOVINDA_PROJECT_DESCRIPTION}", xmlEscaped(m_description));
	replaceFirst(doc, "${GUID}", FMU2_GUID);
	// the controllers' switching functions
	replaceFirst(doc, "${NUMBER_OF_EVENT_INDICATORS}",
				 std::to_string(m_model != nullptr ? m_model->numberOfSwitchingFunctions() : 0));
	if (m_model != nullptr) {
		// a host run with its defaults simulates the project's own interval
		const Room & room = m_model->m_room;
		const double stop = room.runEndTime();
		replaceFirst(doc, "startTime=\"0.0\" stopTime=\"31536000\"",
					 "startTime=\"" + experimentTime(room.m_simulationStartTime) + "\" stopTime=\"" +
					 experimentTime(stop) + "\"");
	}
	return doc;
}


void FMU2ModelDescription::write(const ZEB::Path & fileName, int flags) const {
	const char * const FUNC_ID = "[FMU2ModelDescription::write]";
	const ZEB::Path target = fileName.isValid() ? fileName.absolutePath() : ZEB::Path();
	if (!target.isValid())
		throw ZEB::Exception(ZEB::FormatString("Invalid file name '%1' for the model description.")
							 .arg(fileName.str()), FUNC_ID);
	const std::string doc = text(flags);
	try {
		ZEB::OutputFile out(target.str(), FUNC_ID);
		out.open();
		out.write(doc.data(), doc.size());
		out.commit();
	}
	catch (const ZEB::Exception & ex) {
		throw ZEB::Exception(ex, ZEB::FormatString("Cannot write the model description file '%1'.").arg(target.str()),
							 FUNC_ID);
	}
}

} // namespace RX
