#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <QFile>
#include <QXmlStreamReader>

#include "Case600Box.h"
#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "RX_CalovindaModelInterface.h"
#include "RX_Database.h"
#include "RX_FMU2ModelDescription.h"
#include "TestSupport.h"

namespace {

/*! An initialised adaptor of a bare room with one outside wall of three cells: n = 4. */
struct FourUnknowns {
	FourUnknowns() {
		RX::Room & room = m_model.m_room;
		room.m_constructions.clear();
		room.m_shadingControlModel.m_structuralShadings.clear();
		room.m_heatingModel.m_modelType = RX::HeatingModel::NONE;
		room.m_area = 20;
		room.m_height = 2.5;
		room.m_projectFilePath = QString::fromStdString(m_dir.file("project.rmxml"));
		Case600::addMaterial(m_db, 1, 0.5, 1000, 1000);
		Case600::addConstructionType(m_db, 1, {0.005}, {1});
		RX::RoomConstruction rc;
		rc.m_constructionId = 1;
		rc.m_type = RX::RoomConstruction::Outside;
		rc.m_AW = 10;
		Case600::addConstruction(room, rc);

		const std::string dir = m_dir.file("climate");
		std::filesystem::create_directory(dir);
		Case600::constantClimate(10, 50).writeClimateDataZEB(dir + "/test.c6b");
		room.m_climateLocation = "test.c6b";
		m_model.initClimate(QString::fromStdString(dir), QString());
		m_model.init(m_db);
	}

	TestSupport::MessageRecorder	m_messages;
	TestSupport::TempDirectory		m_dir{"modeldesc"};
	RX::Database					m_db;
	RX::CalovindaModelInterface		m_model;
};

struct Variable {
	unsigned int	m_commentIndex = 0;
	std::string		m_name, m_causality, m_declaredType, m_start, m_derivative;
};

/*! What a host reads from a description; m_error holds the parser's complaint. */
struct Parsed {
	explicit Parsed(const std::string & text) {
		QXmlStreamReader r(QString::fromStdString(text));
		std::string list;
		while (!r.atEnd()) {
			r.readNext();
			const auto attr = [&](const char * name) { return r.attributes().value(name).toString().toStdString(); };
			if (r.isComment()) {
				std::smatch m;
				const std::string c = r.text().toString().toStdString();
				if (std::regex_match(c, m, std::regex(" Variable index=([0-9]+) ")))
					m_commentIndices.push_back(std::stoul(m[1]));
			}
			if (!r.isStartElement())
				continue;
			const std::string tag = r.name().toString().toStdString();
			if (tag == "fmiModelDescription")
				m_root = {attr("description"), attr("guid"), attr("generationDateAndTime")};
			else if (tag == "Unit")
				m_units.insert(attr("name"));
			else if (tag == "SimpleType")
				m_typeName = attr("name");
			else if (tag == "Real" && !m_typeName.empty() && m_variables.empty())
				m_typeUnits[m_typeName] = attr("unit");
			else if (tag == "ScalarVariable") {
				m_variables.push_back(Variable{0, attr("name"), attr("causality"), "", "", ""});
				m_variables.back().m_commentIndex = m_commentIndices.empty() ? 0 : m_commentIndices.back();
			}
			else if ((tag == "Real" || tag == "String") && !m_variables.empty()) {
				m_variables.back().m_declaredType = attr("declaredType");
				m_variables.back().m_start = attr("start");
				m_variables.back().m_derivative = attr("derivative");
			}
			else if (tag == "Outputs" || tag == "Derivatives" || tag == "InitialUnknowns")
				list = tag;
			else if (tag == "Unknown") {
				m_structure[list].push_back(std::stoul(attr("index")));
				if (list == "Derivatives")
					m_dependencies.push_back(attr("dependencies"));
			}
		}
		if (r.hasError())
			m_error = r.errorString().toStdString();
	}

	/*! 1-based indices of the variables with this causality. */
	std::vector<unsigned int> indicesOf(const std::string & causality) const {
		std::vector<unsigned int> result;
		for (std::size_t i = 0; i < m_variables.size(); ++i)
			if (m_variables[i].m_causality == causality)
				result.push_back(static_cast<unsigned int>(i + 1));
		return result;
	}

	std::string							m_error;
	std::vector<std::string>			m_root;
	std::set<std::string>				m_units;
	std::string							m_typeName;
	std::map<std::string, std::string>	m_typeUnits;
	std::vector<unsigned int>			m_commentIndices;
	std::vector<Variable>				m_variables;
	std::map<std::string, std::vector<unsigned int>> m_structure;
	std::vector<std::string>			m_dependencies;
};

std::vector<unsigned int> range(unsigned int first, unsigned int last) {
	std::vector<unsigned int> r;
	for (unsigned int i = first; i <= last; ++i)
		r.push_back(i);
	return r;
}

std::vector<unsigned int> join(std::vector<unsigned int> a, const std::vector<unsigned int> & b) {
	a.insert(a.end(), b.begin(), b.end());
	return a;
}

TEST(RXFMU2ModelDescription, NumbersVariablesAndModelStructureByInterfaceFlags) {
	FourUnknowns s;
	ASSERT_EQ(s.m_model.n(), 4u);
	const RX::FMU2ModelDescription md(&s.m_model);
	struct Case { int flags; std::vector<unsigned int> outputs, inputs; unsigned int resultsRootDir; };
	for (const Case & c : {Case{0, range(1, 13), {14, 15}, 16}, Case{0x10, join(range(1, 13), range(16, 18)), {14, 15}, 19},
						   Case{0x20, join(range(1, 13), range(16, 18)), {14, 15, 19}, 20},
						   Case{0x30, join(range(1, 13), range(16, 18)), {14, 15, 19}, 20}}) {
		SCOPED_TRACE(c.flags);
		const Parsed p(md.text(c.flags));
		ASSERT_EQ(p.m_error, "");
		const std::vector<unsigned int> & outputs = c.outputs;
		EXPECT_EQ(p.indicesOf("output"), outputs);
		EXPECT_EQ(p.indicesOf("input"), c.inputs);
		for (const unsigned int i : c.inputs)
			EXPECT_EQ(p.m_variables[i - 1].m_start, "0");
		EXPECT_EQ(p.indicesOf("parameter"), std::vector<unsigned int>{c.resultsRootDir});
		const unsigned int first = c.resultsRootDir + 1;
		ASSERT_EQ(p.m_variables.size(), first + 7);
		EXPECT_EQ(p.m_variables[first - 1].m_name, "x[0]");
		EXPECT_EQ(p.m_variables[first + 6].m_name, "der(x[3])");
		EXPECT_EQ(p.m_commentIndices, range(1, first + 7));
		EXPECT_EQ(p.m_structure.at("Outputs"), outputs);
		EXPECT_EQ(p.m_structure.at("Derivatives"), range(first + 4, first + 7));
		EXPECT_EQ(p.m_structure.at("InitialUnknowns"), join(outputs, range(first, first + 7)));
	}
	// the moisture inputs that share the outputs' names are never described
	const Parsed all(md.text(0x30));
	EXPECT_EQ(all.m_variables[18].m_name, "LiquidWaterMassFlowRate");
}


TEST(RXFMU2ModelDescription, DefinesEveryTypeAndUnitAndDeclaresTheTrueDependencies) {
	FourUnknowns s;
	s.m_model.generateIndexVector();
	RX::FMU2ModelDescription md(&s.m_model);
	md.m_jacobianRowStarts = &s.m_model.m_ia;
	md.m_jacobianColumns = &s.m_model.m_ja;
	const std::string text = md.text(0x30);
	const Parsed p(text);
	ASSERT_EQ(p.m_error, "");
	EXPECT_EQ(p.m_root.at(1), RX::FMU2_GUID);
	// the room air passes saturation as it passes any temperature: no type promises hosts a bound
	EXPECT_EQ(text.substr(0, text.find("</TypeDefinitions>")).find("max="), std::string::npos);
	EXPECT_TRUE(std::regex_match(p.m_root.at(2), std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z")));
	for (const auto & [type, unit] : p.m_typeUnits)
		EXPECT_EQ(p.m_units.count(unit), 1u) << type;
	for (const Variable & v : p.m_variables) {
		if (!v.m_declaredType.empty()) {
			EXPECT_EQ(p.m_typeUnits.count(v.m_declaredType), 1u) << v.m_name;
		}
		// der(x[i]) points at x[i]
		if (!v.m_derivative.empty()) {
			EXPECT_EQ("der(" + p.m_variables.at(std::stoul(v.m_derivative) - 1).m_name + ")", v.m_name);
		}
	}
	EXPECT_EQ(p.m_structure.at("Outputs").size(), p.indicesOf("output").size());

	// the wall cells couple to their neighbours, the room to the two inner cells and the loads
	const Parsed q(md.text(0));
	EXPECT_EQ(q.m_dependencies, (std::vector<std::string>{"17 18", "17 18 19 20", "18 19 20", "14 15 18 19 20"}));
	// without the solver's pattern a derivative depends on everything
	RX::CalovindaModel plain;
	plain.m_n = 2;
	plain.m_m = 1;
	EXPECT_EQ(Parsed(RX::FMU2ModelDescription(&plain).text(0)).m_dependencies, std::vector<std::string>(2));
	EXPECT_TRUE(Parsed(RX::FMU2ModelDescription(nullptr).text(0)).m_structure.count("Derivatives") == 0);
}


TEST(RXFMU2ModelDescription, DefaultExperimentIsTheProjectsInterval) {
	FourUnknowns s;
	RX::Room & room = s.m_model.m_room;
	room.m_simulationStartTime = 86400;
	room.m_simulationEndTime = 172800.5;
	const RX::FMU2ModelDescription md(&s.m_model);
	EXPECT_NE(md.text(0).find("<DefaultExperiment startTime=\"86400\" stopTime=\"172800.5\""), std::string::npos);
	room.m_cyclicTwoYearSimulation = true;
	EXPECT_NE(md.text(0).find("<DefaultExperiment startTime=\"86400\" stopTime=\"63072000\""), std::string::npos);
}


TEST(RXFMU2ModelDescription, EscapesTextsAndDropsTheResultsRootExtension) {
	RX::FMU2ModelDescription md(nullptr);
	md.m_description = "Room <A> & \"B\"";
	md.m_resultsRootDir = "/data/R&D \"x\"/run.d";
	const Parsed p(md.text(0));
	ASSERT_EQ(p.m_error, "");
	EXPECT_EQ(p.m_root.at(0), md.m_description);
	EXPECT_EQ(p.m_variables.at(15).m_name, "ResultsRootDir");
	EXPECT_EQ(p.m_variables.at(15).m_start, "/data/R&D \"x\"/run");
	md.m_resultsRootDir.clear();
	EXPECT_EQ(Parsed(md.text(0)).m_variables.at(15).m_start, "");
}


TEST(RXFMU2ModelDescription, WritesOnlyWellFormedDocumentsWhateverItsTexts) {
	TestSupport::TempDirectory dir("modeldesc");
	const std::string file = dir.file("modelDescription.xml");
	// what a host reads back as the description and the results root, or its parser's complaint
	const auto hostReads = [&](const std::string & description, const std::string & root) {
		RX::FMU2ModelDescription md(nullptr);
		md.m_description = description;
		md.m_resultsRootDir = root;
		std::filesystem::remove(file);
		try {
			md.write(file, 0);
		}
		catch (ZEB::Exception & ex) {
			return std::string("refused: ") + ex.what();
		}
		QFile f(QString::fromStdString(file));
		if (!f.open(QIODevice::ReadOnly))
			return std::string("no file");
		QXmlStreamReader r(f.readAll());
		std::string read;
		while (!r.atEnd()) {
			r.readNext();
			if (r.isStartElement() && r.name() == QLatin1String("fmiModelDescription"))
				read += r.attributes().value("description").toString().toStdString();
			if (r.isStartElement() && r.name() == QLatin1String("String"))
				read += "|" + r.attributes().value("start").toString().toStdString();
		}
		return r.hasError() ? "not well-formed: " + r.errorString().toStdString() : read;
	};
	// texts XML can carry come back as they were
	const std::string fine = "tab\t lf\n cr\r <&>\" \xC2\x80 \xEF\xBF\xBD \xF0\x9F\x8C\xA1";
	EXPECT_EQ(hostReads(fine, "/r\xC3\xA4ume"), fine + "|/r\xC3\xA4ume");
	EXPECT_EQ(hostReads("a\x01", "/r"), "refused: The description of the model description holds the character "
										 "U+0001 at byte 1, which an XML document cannot hold.");
	EXPECT_EQ(hostReads("a", "/r\x1F"), "refused: The results root directory of the model description holds the "
										 "character U+001F at byte 2, which an XML document cannot hold.");
	EXPECT_EQ(hostReads("\xEF\xBF\xBF", "/r"), "refused: The description of the model description holds the "
												 "character U+FFFF at byte 0, which an XML document cannot hold.");
	// a stray continuation byte, a cut sequence, an overlong '/', a surrogate, a code point beyond U+10FFFF
	for (const char * invalid : {"ab\x80", "ab\xC3", "ab\xC0\xAF", "ab\xED\xA0\x80", "ab\xF4\x90\x80\x80"}) {
		EXPECT_EQ(hostReads(invalid, "/r"), "refused: The description of the model description is not valid UTF-8 at "
											"byte 2.");
		EXPECT_EQ(hostReads("a", std::string("/") + invalid), "refused: The results root directory of the model "
															  "description is not valid UTF-8 at byte 3.");
	}
}


TEST(RXFMU2ModelDescription, WritesTheTemplatesLayoutAndReportsAFailedWrite) {
	TestSupport::TempDirectory dir("modeldesc");
	FourUnknowns s;
	const RX::FMU2ModelDescription md(&s.m_model);
	md.write(dir.file("modelDescription.xml"), 0);
	std::ifstream in(dir.file("modelDescription.xml"), std::ios::binary);
	std::stringstream buf;
	buf << in.rdbuf();
	const std::string doc = buf.str();
	EXPECT_EQ(doc.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<fmiModelDescription\n\tfmiVersion=\"2.0\"\n"
						"\tmodelName=\"CalovindaFMI2\"\n", 0), 0u);
	EXPECT_NE(doc.find("\tnumberOfEventIndicators=\"0\">\n\n\t<ModelExchange\n\t\tmodelIdentifier=\"CalovindaFMI2\"\n"
					   "\t\tcompletedIntegratorStepNotNeeded=\"false\"\n"), std::string::npos);
	EXPECT_NE(doc.find("\tgenerationTool=\"Calovinda 3.4.1 FMU Generator\"\n"), std::string::npos);
	EXPECT_NE(doc.find("\t<ModelVariables>\n\t\t<!-- Variable index=1 -->\n\t\t<ScalarVariable name=\"AmbientTemperature\" "
					   "valueReference=\"1001\" description=\"Ambient temperature\" variability=\"continuous\" "
					   "causality=\"output\">\n\t\t\t<Real declaredType=\"Modelica.SIunits.Temperature\"/>\n"
					   "\t\t</ScalarVariable>\n"), std::string::npos);
	EXPECT_NE(doc.find("\t\t</ScalarVariable>\n\t</ModelVariables>\n\n\t<ModelStructure>\n\t\t<Outputs>\n"
					   "\t\t\t<Unknown index=\"1\"/>\n"), std::string::npos);
	EXPECT_EQ(doc.find("${"), std::string::npos);
	const std::string end = "\n\n</fmiModelDescription>\n";
	EXPECT_EQ(doc.substr(doc.size() - end.size()), end);

	EXPECT_EQ(TestSupport::thrownAt([&] { md.write(dir.file("missing/modelDescription.xml"), 0); },
									"[FMU2ModelDescription::write]"),
			  "Cannot write the model description file '" + dir.file("missing/modelDescription.xml") + "'.");
}

} // namespace
