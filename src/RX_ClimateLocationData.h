#ifndef RX_ClimateLocationDataH
#define RX_ClimateLocationDataH

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

namespace RX {

/*! Where one climate data file stands on the globe, with one display text per language.

	A plain value, made by the directory scan from the file's header only; the climate adaptor
	(RX::Climate) keeps one per catalogued file, keyed by the file's path relative to the
	directory it was found in.
*/
class ClimateLocationData {
public:
	/*! Scans dir and, depth first, its subdirectories for "*.c6b", "*.epw", "*.wac" and "*.dat"
		(test reference year) files (any letter case) and puts one record per file whose header can be read into map, keyed
		by the file's absolute path; the display texts name the file by its path relative to
		rootDir. Existing entries with the same key are overwritten, none removed. A file whose
		header cannot be read is left out with a warning; a missing or unreadable directory
		gives nothing. A directory link that leads back to a directory being scanned is not
		followed again. */
	static void gatherClimateLocationInfo(const QString & rootDir, const QString & dir,
										  QMap<QString, ClimateLocationData> & map);

	/*! (language id, "[relative path] city, country") per language of the city text; one "en"
		pair with the texts as stored when the city text has no language ids. */
	QList<QPair<QString, QString> >	m_descriptionTexts;
	/*! COUNTRY of the header as stored: multi-language encoded ("en:Germany|de:Deutschland") or plain. */
	QString							m_country;
	/*! CITY of the header as stored. */
	QString							m_city;
	/*! [Deg], north positive. */
	double							m_latitude = 51.05;
	/*! [Deg], east positive. */
	double							m_longitude = 13.73;
	/*! Hours relative to UTC, fractions of an hour included. */
	double							m_timeZone = 1;
};

} // namespace RX

#endif // RX_ClimateLocationDataH
