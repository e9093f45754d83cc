#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <QByteArray>
#include <QXmlStreamReader>

#include "ZEB_Exception.h"

#include "RX_Database.h"
#include "RX_KnownNames.h"
#include "RX_Room.h"

#include "TestSupport.h"

namespace {

// Where each kind of element stands in a project: the tags around it, its own tag and the
// attributes it cannot do without.
struct Place {
	const char *				m_class;
	std::vector<const char *>	m_path;
	const char *				m_tag;
	const char *				m_required = "";
};

const std::vector<Place> & places() {
	static const std::vector<Place> PLACES = {
		{"RoomModelProject", {}, "RoomModelProject"},
		{"Room", {"RoomModelProject"}, "Room"},
		{"ProjectInformation", {"RoomModelProject", "Room"}, "ProjectInformation"},
		{"Geometry", {"RoomModelProject", "Room"}, "Geometry"},
		{"Constructions", {"RoomModelProject", "Room", "Geometry"}, "Constructions"},
		{"RoomConstruction", {"RoomModelProject", "Room", "Geometry", "Constructions"}, "RoomConstruction"},
		{"HeatingModel", {"RoomModelProject", "Room"}, "HeatingModel"},
		{"CoolingModel", {"RoomModelProject", "Room"}, "CoolingModel"},
		{"NaturalVentilationModel", {"RoomModelProject", "Room"}, "NaturalVentilationModel"},
		{"MechanicalVentilationModel", {"RoomModelProject", "Room"}, "MechanicalVentilationModel"},
		{"MoistureLoads", {"RoomModelProject", "Room"}, "MoistureLoads"},
		{"UserLoads", {"RoomModelProject", "Room"}, "UserLoads"},
		{"ShadingControlModel", {"RoomModelProject", "Room"}, "ShadingControlModel"},
		{"StructuralShadings", {"RoomModelProject", "Room", "ShadingControlModel"}, "StructuralShadings"},
		{"StructuralShading", {"RoomModelProject", "Room", "ShadingControlModel", "StructuralShadings"},
		 "StructuralShading"},
		{"SimulationParameters", {"RoomModelProject", "Room"}, "SimulationParameters"},
		// a schedule goes by its tag
		{"Schedule", {"RoomModelProject", "Room", "HeatingModel"}, "ScheduleSetPoints"},
		{"LinearSpline", {"RoomModelProject", "Room", "CoolingModel"}, "LinearSpline"},
		{"X", {"RoomModelProject", "Room", "CoolingModel", "LinearSpline"}, "X"},
		{"Y", {"RoomModelProject", "Room", "CoolingModel", "LinearSpline"}, "Y"},
		{"EmbeddedDataBase", {"RoomModelProject"}, "EmbeddedDataBase"},
		{"Materials", {"RoomModelProject", "EmbeddedDataBase"}, "Materials"},
		{"Material", {"RoomModelProject", "EmbeddedDataBase", "Materials"}, "Material", " lambda=\"1\" rho=\"1\" cT=\"1\""},
		{"ConstructionTypes", {"RoomModelProject", "EmbeddedDataBase"}, "ConstructionTypes"},
		{"ConstructionType", {"RoomModelProject", "EmbeddedDataBase", "ConstructionTypes"}, "ConstructionType"},
		{"Layers", {"RoomModelProject", "EmbeddedDataBase", "ConstructionTypes", "ConstructionType"}, "Layers"},
		{"Layer", {"RoomModelProject", "EmbeddedDataBase", "ConstructionTypes", "ConstructionType", "Layers"}, "Layer", " d=\"1\""},
		{"WindowTypes", {"RoomModelProject", "EmbeddedDataBase"}, "WindowTypes"},
		{"WindowType", {"RoomModelProject", "EmbeddedDataBase", "WindowTypes"}, "WindowType", " f=\"1\" g=\"1\" U=\"1\""},
		{"ShadingTypes", {"RoomModelProject", "EmbeddedDataBase"}, "ShadingTypes"},
		{"ShadingType", {"RoomModelProject", "EmbeddedDataBase", "ShadingTypes"}, "ShadingType", " z=\"1\""},
		{"DIN4108_2Assessment_section", {"RoomModelProject"}, "DIN4108_2Assessment_section"},
		{"DIN4108_2Assessment", {"RoomModelProject", "DIN4108_2Assessment_section"}, "DIN4108_2Assessment"}
	};
	return PLACES;
}

// A project holding the element of place with the attributes and content given.
QByteArray project(const Place & place, const std::string & attributes, const std::string & content) {
	std::string xml;
	for (const char * tag : place.m_path)
		xml += std::string("<") + tag + ">";
	xml += std::string("<") + place.m_tag + attributes + ">" + content + "</" + place.m_tag + ">";
	for (auto it = place.m_path.rbegin(); it != place.m_path.rend(); ++it)
		xml += std::string("</") + *it + ">";
	return QByteArray::fromStdString(xml);
}

// The "Found unknown ..." warnings of reading xml as a project; refusals of the values are not
// the question here.
std::vector<std::string> unknownWarnings(const QByteArray & xml) {
	TestSupport::MessageRecorder recorder;
	RX::Room room;
	RX::Database db;
	QXmlStreamReader reader(xml);
	try {
		room.readXML(reader, db);
	}
	catch (const ZEB::Exception &) {
	}
	std::vector<std::string> warnings;
	for (const TestSupport::MessageRecorder::Message & m : recorder.m_messages)
		if (m.m_text.rfind("Found unknown", 0) == 0)
			warnings.push_back(m.m_text);
	return warnings;
}

// An attribute name that a list entry stands for: "w<RH>" as "w50".
std::string example(const std::string & name) {
	const std::size_t open = name.find('<');
	return open == std::string::npos ? name : name.substr(0, open) + "50";
}

struct Names {
	std::set<std::string>	m_attributes;
	std::set<std::string>	m_elements;
};

// The names of the reference's tables, by the class of their heading "### `Class`".
std::map<std::string, Names> referenceNames() {
	std::ifstream in(CALOVINDA_SOURCE_DIR "/docs/project-file.md");
	EXPECT_TRUE(in.good());
	std::map<std::string, Names> result;
	std::string line;
	std::string current;
	while (std::getline(in, line)) {
		if (line.rfind("### `", 0) == 0) {
			current = line.substr(5, line.find('`', 5) - 5);
			result[current];
			continue;
		}
		if (current.empty() || line.rfind("| `", 0) != 0)
			continue;
		const std::size_t end = line.find('`', 3);
		const std::string name = line.substr(3, end - 3);
		const std::size_t kindStart = line.find("| ", end) + 2;
		const std::string kind = line.substr(kindStart, line.find(' ', kindStart) - kindStart);
		EXPECT_TRUE(kind == "attribute" || kind == "element") << current << ": " << line;
		(kind == "attribute" ? result[current].m_attributes : result[current].m_elements).insert(name);
	}
	return result;
}

} // namespace


TEST(RXKnownNames, EveryReaderTakesTheNamesItListsAndWarnsOfOthers) {
	ASSERT_EQ(places().size(), RX::allKnownNames().size());
	for (const RX::KnownNames * names : RX::allKnownNames()) {
		const Place * place = nullptr;
		for (const Place & p : places())
			if (p.m_class == std::string(names->m_class))
				place = &p;
		ASSERT_NE(place, nullptr) << names->m_class;
		std::string attributes;
		for (const char * a : names->m_attributes)
			attributes += " " + example(a) + "=\"1\"";
		EXPECT_EQ(unknownWarnings(project(*place, attributes, "")), std::vector<std::string>()) << names->m_class;
		// one at a time: a value that is refused ends the reading
		for (const char * e : names->m_elements)
			EXPECT_EQ(unknownWarnings(project(*place, place->m_required, std::string("<") + e + "/>")),
					  std::vector<std::string>())
				<< names->m_class << " " << e;
		const std::string where = std::string(" in ") + place->m_tag + ".";
		EXPECT_EQ(unknownWarnings(project(*place, " Unlisted=\"1\"", "")),
				  std::vector<std::string>{"Found unknown attribute 'Unlisted'" + where}) << names->m_class;
		// the lists read every child as their one kind of item, and X and Y hold numbers only
		const std::set<std::string> anyChild = {"Materials", "ConstructionTypes", "Layers", "WindowTypes", "ShadingTypes",
												"DIN4108_2Assessment_section", "X", "Y"};
		if (anyChild.count(names->m_class) == 0) {
			EXPECT_EQ(unknownWarnings(project(*place, place->m_required, "<Unlisted/>")),
					  std::vector<std::string>{"Found unknown element 'Unlisted'" + where}) << names->m_class;
		}
	}
}


TEST(RXKnownNames, TheReferenceListsEveryNameTheReadersTake) {
	const std::map<std::string, Names> reference = referenceNames();
	std::set<std::string> classes;
	for (const RX::KnownNames * names : RX::allKnownNames()) {
		classes.insert(names->m_class);
		const auto it = reference.find(names->m_class);
		ASSERT_NE(it, reference.end()) << "no section for " << names->m_class;
		EXPECT_EQ(it->second.m_attributes, std::set<std::string>(names->m_attributes.begin(), names->m_attributes.end()))
			<< names->m_class;
		EXPECT_EQ(it->second.m_elements, std::set<std::string>(names->m_elements.begin(), names->m_elements.end()))
			<< names->m_class;
	}
	for (const auto & section : reference)
		EXPECT_EQ(classes.count(section.first), 1u) << "the reference lists " << section.first << ", which no reader reads";
}
