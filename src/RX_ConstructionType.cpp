#include "RX_ConstructionType.h"

#include <algorithm>

#include <QCoreApplication>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "RX_KnownNames.h"
#include "RX_Material.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

const char * const UNKNOWN_KIND = QT_TRANSLATE_NOOP("ConstructionType", "Unknown");

const char * const INSULATION_KINDS[] = {
	QT_TRANSLATE_NOOP("ConstructionType", "Non insulated"),
	QT_TRANSLATE_NOOP("ConstructionType", "Inside insulated"),
	QT_TRANSLATE_NOOP("ConstructionType", "Core insulated"),
	QT_TRANSLATE_NOOP("ConstructionType", "Outside insulated"),
	QT_TRANSLATE_NOOP("ConstructionType", "Miscellaneous")
};

const char * const MATERIAL_KINDS[] = {
	QT_TRANSLATE_NOOP("ConstructionType", "Brick masonry"),
	QT_TRANSLATE_NOOP("ConstructionType", "Natural stone masonry"),
	QT_TRANSLATE_NOOP("ConstructionType", "Concrete"),
	QT_TRANSLATE_NOOP("ConstructionType", "Wooden construction"),
	QT_TRANSLATE_NOOP("ConstructionType", "Framework construction"),
	QT_TRANSLATE_NOOP("ConstructionType", "Loam wall"),
	QT_TRANSLATE_NOOP("ConstructionType", "Miscellaneous")
};

const char * const CONSTRUCTION_KINDS[] = {
	QT_TRANSLATE_NOOP("ConstructionType", "Outer wall"),
	QT_TRANSLATE_NOOP("ConstructionType", "Outer wall to ground"),
	QT_TRANSLATE_NOOP("ConstructionType", "Inner wall"),
	QT_TRANSLATE_NOOP("ConstructionType", "Sloped roof"),
	QT_TRANSLATE_NOOP("ConstructionType", "Flat roof"),
	QT_TRANSLATE_NOOP("ConstructionType", "Floor to cellar"),
	QT_TRANSLATE_NOOP("ConstructionType", "Floor to ground"),
	QT_TRANSLATE_NOOP("ConstructionType", "Ceiling"),
	QT_TRANSLATE_NOOP("ConstructionType", "Miscellaneous")
};

template <std::size_t N>
QString kindText(const char * const (&texts)[N], int kind) {
	const char * text = (kind >= 0 && static_cast<std::size_t>(kind) < N) ? texts[kind] : UNKNOWN_KIND;
	return QCoreApplication::translate("ConstructionType", text);
}

const char * const READ_LOCATION = "[ConstructionType::readXML]";

// The kind of the number in attribute name: beyond the kind its miscellaneous value; text that is
// no such number is a reader error.
template <typename Kind>
Kind readKind(QXmlStreamReader & reader, const char * name, Kind miscellaneous) {
	const unsigned int v = readIdAttribute(reader, name);
	return v <= static_cast<unsigned int>(miscellaneous) ? static_cast<Kind>(v) : miscellaneous;
}

} // namespace


ConstructionType::ConstructionType() {
	clear();
}


void ConstructionType::clear() {
	setNameString(QString());
	m_d.clear();
	m_materialIds.clear();
	m_insulationKind = IK_MISCELLANEOUS;
	m_materialKind = MK_MISCELLANEOUS;
	m_constructionKind = CK_MISCELLANEOUS;
}


bool ConstructionType::layerMaterials(const MaterialLookup & materialById, std::vector<const Material *> & materials) const {
	if (m_d.size() != m_materialIds.size())
		return false;
	materials.clear();
	for (unsigned int id : m_materialIds) {
		const Material * m = materialById ? materialById(id) : nullptr;
		if (m == nullptr)
			return false;
		materials.push_back(m);
	}
	return true;
}


bool ConstructionType::isValid(const MaterialLookup & materialById) const {
	std::vector<const Material *> materials;
	if (!layerMaterials(materialById, materials))
		return false;
	for (std::size_t i = 0; i < materials.size(); ++i)
		if (!materials[i]->isValid() || !(m_d[i] > 0))
			return false;
	return true;
}


bool ConstructionType::calculateUValue(double & U, const MaterialLookup & materialById, double R1, double R2) const {
	std::vector<const Material *> materials;
	if (!layerMaterials(materialById, materials))
		return false;
	double R = R1 + R2;
	for (std::size_t i = 0; i < materials.size(); ++i) {
		const double lambda = materials[i]->m_lambda;
		if (!(lambda > 0) || !(m_d[i] > 0))
			return false;
		R += m_d[i] / lambda;
	}
	U = 1 / R;
	return true;
}


bool ConstructionType::calculateRhoCValue(double & massPerArea, double & heatCapacityPerArea, const MaterialLookup & materialById) const {
	std::vector<const Material *> materials;
	if (!layerMaterials(materialById, materials))
		return false;
	double m = 0;
	double C = 0;
	for (std::size_t i = 0; i < materials.size(); ++i) {
		const double rho = materials[i]->m_rho;
		const double cT = materials[i]->m_cT;
		if (!(m_d[i] > 0) || !(rho > 0) || !(cT > 0))
			return false;
		m += m_d[i] * rho;
		C += cT * (m_d[i] * rho);
	}
	massPerArea = m;
	heatCapacityPerArea = C;
	return true;
}


QString ConstructionType::insulationKindString(InsulationKind kind) {
	return kindText(INSULATION_KINDS, kind);
}


QString ConstructionType::materialKindString(MaterialKind kind) {
	return kindText(MATERIAL_KINDS, kind);
}


QString ConstructionType::constructionKindString(ConstructionKind kind) {
	return kindText(CONSTRUCTION_KINDS, kind);
}


bool ConstructionType::operator==(const ConstructionType & other) const {
	return nameString() == other.nameString()
		&& m_d == other.m_d
		&& m_materialIds == other.m_materialIds;
}


void ConstructionType::readXML(QXmlStreamReader & reader) {
	Q_ASSERT(reader.isStartElement());
	const QXmlStreamAttributes attributes = reader.attributes();
	warnUnknownAttributes(reader, CONSTRUCTION_TYPE_NAMES, READ_LOCATION);
	m_id = readIdAttribute(reader, "id");
	setNameString(attributes.value("name").toString());
	for (const QXmlStreamAttribute & a : attributes) {
		const QStringRef n = a.name();
		if (n == QLatin1String("Insulation"))
			m_insulationKind = readKind(reader, "Insulation", IK_MISCELLANEOUS);
		else if (n == QLatin1String("Materials"))
			m_materialKind = readKind(reader, "Materials", MK_MISCELLANEOUS);
		else if (n == QLatin1String("Construction"))
			m_constructionKind = readKind(reader, "Construction", CK_MISCELLANEOUS);
		else if (n == QLatin1String("UserKey1"))
			m_userKey1 = a.value().toString();
		else if (n == QLatin1String("UserKey2"))
			m_userKey2 = a.value().toString();
	}
	m_d.clear();
	m_materialIds.clear();

	while (readKnownChildElement(reader, CONSTRUCTION_TYPE_NAMES, READ_LOCATION)) {
		warnUnknownAttributes(reader, LAYERS_NAMES, READ_LOCATION);
		// every child of "Layers" is a layer, whatever its tag
		while (readChildElement(reader)) {
			warnUnknownAttributes(reader, LAYER_NAMES, READ_LOCATION);
			const unsigned int materialId = readIdAttribute(reader, "materialId");
			double d = 0;
			readDoubleAttribute(reader, "d", d, false, NOT_NEGATIVE);
			if (reader.hasError())
				return;
			m_materialIds.push_back(materialId);
			m_d.push_back(d);
			readUntilEndElement(reader, LAYER_NAMES, READ_LOCATION);
		}
	}
}


void ConstructionType::writeXML(QXmlStreamWriter & writer) const {
	writer.writeStartElement("ConstructionType");
	writer.writeAttribute("name", nameString());
	writer.writeAttribute("id", QString::number(m_id));
	writer.writeAttribute("Insulation", QString::number(m_insulationKind));
	writer.writeAttribute("Materials", QString::number(m_materialKind));
	writer.writeAttribute("Construction", QString::number(m_constructionKind));
	if (!m_userKey1.isEmpty())
		writer.writeAttribute("UserKey1", m_userKey1);
	if (!m_userKey2.isEmpty())
		writer.writeAttribute("UserKey2", m_userKey2);
	writer.writeStartElement("Layers");
	const std::size_t layers = std::min(m_d.size(), m_materialIds.size());
	for (std::size_t i = 0; i < layers; ++i) {
		writer.writeStartElement("Layer");
		writer.writeAttribute("materialId", QString::number(m_materialIds[i]));
		writer.writeAttribute("d", xmlDouble(m_d[i]));
		writer.writeEndElement();
	}
	writer.writeEndElement();
	writer.writeEndElement();
}

} // namespace RX
