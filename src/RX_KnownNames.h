#ifndef RX_KnownNamesH
#define RX_KnownNamesH

#include <string>
#include <vector>

class QStringRef;
class QXmlStreamReader;

namespace RX {

/*! The names that one kind of element of the project file may hold: its attributes and its
	child elements. A reader takes only the children listed here and warns of every other name,
	child or attribute ("Found unknown element '<name>' in <class>.", "Found unknown attribute
	'<name>' in <class>."), so a misspelt name never passes unseen. The lists are the readers'
	one record of the names: the reference of the project file (docs/project-file.md) lists the
	same, which a test checks.
*/
struct KnownNames {
	/*! What the warnings call the element: its tag, or for a kind whose tag varies, the kind. */
	const char *				m_class;
	/*! Attribute names; an entry "w<RH>" stands for every name that begins with "w" (the
		reader judges the rest). */
	std::vector<const char *>	m_attributes;
	/*! Child element names. */
	std::vector<const char *>	m_elements;

	bool knowsAttribute(const QStringRef & name) const;
	bool knowsElement(const QStringRef & name) const;
};

/*! Every kind of element of the project file, in the order of the reference. */
const std::vector<const KnownNames *> & allKnownNames();

// One per kind of element. Schedules go by their tags; elements holding only text have no list.
extern const KnownNames ROOM_MODEL_PROJECT_NAMES;
extern const KnownNames ROOM_NAMES;
extern const KnownNames PROJECT_INFORMATION_NAMES;
extern const KnownNames GEOMETRY_NAMES;
extern const KnownNames CONSTRUCTIONS_NAMES;
extern const KnownNames ROOM_CONSTRUCTION_NAMES;
extern const KnownNames HEATING_MODEL_NAMES;
extern const KnownNames COOLING_MODEL_NAMES;
extern const KnownNames NATURAL_VENTILATION_MODEL_NAMES;
extern const KnownNames MECHANICAL_VENTILATION_MODEL_NAMES;
extern const KnownNames MOISTURE_LOADS_NAMES;
extern const KnownNames USER_LOADS_NAMES;
extern const KnownNames SHADING_CONTROL_MODEL_NAMES;
extern const KnownNames STRUCTURAL_SHADINGS_NAMES;
extern const KnownNames STRUCTURAL_SHADING_NAMES;
extern const KnownNames SIMULATION_PARAMETERS_NAMES;
extern const KnownNames SCHEDULE_NAMES;
extern const KnownNames LINEAR_SPLINE_NAMES;
extern const KnownNames SPLINE_X_NAMES;
extern const KnownNames SPLINE_Y_NAMES;
extern const KnownNames EMBEDDED_DATABASE_NAMES;
extern const KnownNames MATERIALS_NAMES;
extern const KnownNames MATERIAL_NAMES;
extern const KnownNames CONSTRUCTION_TYPES_NAMES;
extern const KnownNames CONSTRUCTION_TYPE_NAMES;
extern const KnownNames LAYERS_NAMES;
extern const KnownNames LAYER_NAMES;
extern const KnownNames WINDOW_TYPES_NAMES;
extern const KnownNames WINDOW_TYPE_NAMES;
extern const KnownNames SHADING_TYPES_NAMES;
extern const KnownNames SHADING_TYPE_NAMES;
extern const KnownNames DIN4108_2_ASSESSMENT_SECTION_NAMES;
extern const KnownNames DIN4108_2_ASSESSMENT_NAMES;

/*! The warning "Found unknown element '<tag>' in <className>." (level 1) at location for the
	start element the reader stands on. */
void warnUnknownElement(const QXmlStreamReader & reader, const std::string & className, const char * location);
/*! The warning "Found unknown attribute '<name>' in <className>." (level 1) at location for every
	attribute of the start element the reader stands on that names does not list. */
void warnUnknownAttributes(const QXmlStreamReader & reader, const KnownNames & names, const std::string & className,
						   const char * location);
/*! As above, the class named by names. */
void warnUnknownAttributes(const QXmlStreamReader & reader, const KnownNames & names, const char * location);
/*! Warns of the start element the reader stands on as unknown in names' class and consumes it. */
void readUnknownElement(QXmlStreamReader & reader, const KnownNames & names, const char * location);
/*! As readChildElement (RX_XMLHelpers.h), but a child that names does not list is skipped with
	the warning of readUnknownElement: the next child the caller sees is one it knows. */
bool readKnownChildElement(QXmlStreamReader & reader, const KnownNames & names, const char * location);

} // namespace RX

#endif // RX_KnownNamesH
