#ifndef RX_WindowTypeH
#define RX_WindowTypeH

#include <vector>

#include <QString>

#include "ZEB_LinearSpline.h"

#include "RX_AbstractDatabaseItem.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

/*! A kind of window of the database: factors f and g, U-value, an optional curve of the relative
	solar heat gain coefficient over the angle of incidence, a glazing kind and four texts. One
	"WindowType" element, whose only child is the optional curve. */
class WindowType : public AbstractDatabaseItem {
public:
	enum GlazingKind : unsigned int {
		GK_SINGLE_GLAZING,
		GK_DOUBLE_GLAZING,
		GK_TRIPLE_GLAZING,
		GK_QUADRUPLE_GLAZING,
		GK_BOX_WINDOW,
		GK_MISCELLANEOUS
	};

	/*! Named "<New Window Type>" in English and German, default values. */
	WindowType();
	WindowType(const QString & encodedName, double f, double g, double U);

	void writeXML(QXmlStreamWriter & writer) const;
	/*! Reads a "WindowType" element (reader on its start element). Bad values (f and g outside
		0..1, a negative U, a glazing kind that is no whole number) and a bad "RelativeSHGC" curve
		(values outside 0..100 %) become reader errors, other children are skipped with a warning;
		throws ZEB::Exception when the curve's values cannot make a spline. */
	void readXML(QXmlStreamReader & reader);

	/*! f and g within 0..1, U > 0, and a curve (if any) of two or more points that starts
		within 0..1 and never rises above its start nor drops below 0. */
	bool isValid() const;
	/*! Same encoded name, f, g and U. */
	bool operator==(const WindowType & other) const;
	bool operator!=(const WindowType & other) const { return !operator==(other); }

	/*! Translated display text; miscellaneous for every number beyond the box window. */
	static QString glazingKindString(GlazingKind kind);

	/*! The curve's points (angle [Deg], fraction), or 0 and 90 Deg at 1 when there is none. */
	void generateShgcSplineData(std::vector<double> & x, std::vector<double> & y) const;

	/*! Factor f [0..1]. */
	double				m_f = 0.9;
	/*! Total solar energy transmittance [0..1]. */
	double				m_g = 0.65;
	/*! U-value [W/m2K]. */
	double				m_U = 1.8;
	/*! Relative SHGC [fraction] over the angle of incidence [Deg]; empty for none. */
	ZEB::LinearSpline	m_relativeSHGC;
	GlazingKind			m_glazingKind = GK_MISCELLANEOUS;
	QString				m_userKey;
	QString				m_producer;
	QString				m_dataSource;
	QString				m_productID;
};

} // namespace RX

#endif // RX_WindowTypeH
