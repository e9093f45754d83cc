#ifndef RX_MaterialH
#define RX_MaterialH

#include <string>
#include <vector>

#include <QMap>
#include <QString>

#include "ZEB_LinearSpline.h"

#include "RX_AbstractDatabaseItem.h"
#include "RX_MaterialCategory.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

/*! A building material of the database: thermal properties for the wall models, an optional
	moisture storage function with its inverse, optional phase-change data, a category and four
	descriptive texts in several languages. Read and written as one "Material" element whose
	data lie in attributes only.
*/
class Material : public AbstractDatabaseItem {
public:
	/*! Selects one of the texts of a material. */
	enum TextType {
		TT_NAME			= 0,	///< The item name; attribute "name".
		TT_COMMENT		= 1,	///< Attribute "comment".
		TT_SOURCE		= 2,	///< Source of the data; attribute "source".
		TT_PRODUCER		= 3,	///< Attribute "producer".
		TT_PRODUCTID	= 4		///< Product identifier; attribute "productID".
	};

	/*! The defaults of the members below, without any name. */
	Material() = default;
	/*! Name decoded by setNameString; the other values their defaults. */
	Material(const QString & encodedName, double lambda, double rho, double cT);

	/*! Conductivity, density, heat capacity and the phase-change data within their limits. */
	bool isValid() const;
	/*! The first of those limits that the material breaks, as its attribute, value and the
		expected range ("TPCMLow = -1 C, expected ..."); empty for a valid material. */
	std::string firstInvalidValue() const;
	/*! Same encoded name and lambda, rho, cT, TPCMLow, HPCM within 1e-10; nothing else compared. */
	bool operator==(const Material & other) const;
	bool operator!=(const Material & other) const { return !operator==(other); }
	/*! By display name, equal names by density. */
	bool operator<(const Material & other) const;

	/*! The language map of a descriptive text (types 1 to 4); for other types an empty map
		(the non-const form hands out a scratch map that is emptied on every call). */
	const QMap<QString, QString> & textMapping(TextType type) const;
	QMap<QString, QString> & textMapping(TextType type);
	/*! The encoded text; type 0 is the encoded name. */
	QString textString(TextType type) const;
	/*! Decodes into the text's map; an empty text empties it (type 0: the name, "unnamed"). */
	void setTextString(TextType type, const QString & encoded);
	/*! The text in the user interface language, else English, else the first; "" when none. */
	QString text(TextType type) const;
	/*! The text of exactly this language id, "" when there is none. */
	QString text(TextType type, const QString & langId) const;
	/*! Sets one language's text as given. */
	void setText(TextType type, const QString & langId, const QString & text);

	/*! Builds the sorption isotherm from relative humidities x (fractions, strictly rising) and
		water contents y [kg/m3], and its inverse. Throws ZEB::Exception when either spline
		cannot be built. */
	void init(const std::vector<double> & x, const std::vector<double> & y);

	/*! Reads a "Material" element (reader on its start element). Bad values (also a category that
		is no whole number, a negative quantity and a phase change below absolute zero) become
		reader errors, child elements are skipped with a warning; throws ZEB::Exception when the
		moisture storage function cannot be built. */
	void readXML(QXmlStreamReader & reader);
	void writeXML(QXmlStreamWriter & writer) const;

	/*! One line: name, category, density and conductivity in fixed columns. */
	QString fullText() const;

	MaterialCategory	m_category;
	/*! Thermal conductivity [W/mK]. */
	double				m_lambda = 0.1;
	/*! Bulk density [kg/m3]. */
	double				m_rho = 1800;
	/*! Specific heat capacity [J/kgK]. */
	double				m_cT = 780;
	/*! Vapour diffusion resistance factor [-]. */
	double				m_mu = 300;
	/*! Water content [kg/m3] over relative humidity [0..1]; empty without moisture storage. */
	ZEB::LinearSpline	m_sorptionIsotherm;
	/*! Relative humidity [0..1] over water content [kg/m3], the same points. */
	ZEB::LinearSpline	m_reversedSorptionIsotherm;
	/*! Lower phase-change temperature [C]. */
	double				m_TPCMLow = 23.0;
	/*! Upper phase-change temperature [C]; kept only, never written. */
	double				m_TPCMHigh = 26.0;
	/*! Latent heat of the phase change [J/kg]; 0 for a material without one. */
	double				m_HPCM = 0;
	/*! Language id to text, for the text types 1 to 4 (index type - 1). */
	QMap<QString, QString>	m_texts[4];
};

} // namespace RX

#endif // RX_MaterialH
