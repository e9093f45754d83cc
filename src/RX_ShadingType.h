#ifndef RX_ShadingTypeH
#define RX_ShadingTypeH

#include <QString>

#include "RX_AbstractDatabaseItem.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

/*! A movable shading device of the database: a name and its shading factor z. One
	"ShadingType" element with attributes only. */
class ShadingType : public AbstractDatabaseItem {
public:
	/*! Named "<New Shading Type>" in English and German, z = 1. */
	ShadingType();
	ShadingType(const QString & encodedName, double z);

	void writeXML(QXmlStreamWriter & writer) const;
	/*! Reads a "ShadingType" element (reader on its start element) and everything inside it,
		children with a warning; a missing or bad z (outside 0..1) becomes a reader error. */
	void readXML(QXmlStreamReader & reader);

	/*! 0 <= z <= 1. */
	bool isValid() const;
	/*! Same encoded name and z. */
	bool operator==(const ShadingType & other) const;
	bool operator!=(const ShadingType & other) const { return !operator==(other); }

	/*! Shading factor [0..1]. */
	double	m_z = 1.0;
};

} // namespace RX

#endif // RX_ShadingTypeH
