#ifndef RX_ClimateH
#define RX_ClimateH

#include <vector>

#include <QMap>
#include <QString>
#include <QStringList>

#include "OVM_SolarRadiationModel.h"
#include "ZEB_Exception.h"

#include "RX_ClimateLocationData.h"

namespace RX {

/*! The room model's window onto the outdoor climate.

	Owns, by value, the solar radiation model with the sun position and the climate data set of
	the loaded location, the gliding average outdoor temperature derived from it, and the
	catalogue of climate files found in a base and a user directory. One lives in the room
	model for the whole run: scanned (parseClimateDataDir), loaded once (loadClimateData), then
	moved to every evaluation time (update), which allocates nothing.
*/
class Climate {
public:
	/*! Solar radiation model with its defaults, everything else empty. */
	Climate() = default;

	/*! Moves sun, climate values and surface radiation to time t [s] of the data set's start
		year. flag has no effect. Passes on the climate data's exceptions. */
	void update(double t, bool flag);

	/*! Loads the climate file with the catalogue key climateDataFilePath: from the user
		directory when it holds the file, else from the base directory. An unknown key is
		reported as error and tried anyway. Fills the gliding average; false when the file
		cannot be read or does not give the hourly outdoor temperatures of one year, with the
		reason in failure when one is given, else written as error; then the gliding average is
		273.15 K throughout and no file counts as loaded. */
	bool loadClimateData(const QString & climateDataFilePath, ZEB::Exception * failure = nullptr);

	/*! True for a climate file reference that stays below the directory it is resolved
		against: a relative path of names separated by '/', none of them empty, "." or "..",
		without '\\', control characters or blanks at either end. */
	static bool isPlainReference(const QString & climateDataFilePath);

	/*! The catalogue keys, in key order. */
	QStringList climateDataFilePaths() const;

	/*! The catalogue record of the key, null when there is none; owned by the catalogue and
		valid until the next scan. */
	const ClimateLocationData * locationData(const QString & climateDataFilePath) const;

	/*! The display text of a catalogue entry in langId, else its (last) "en" text, else its
		first text; empty for an unknown key or an entry without texts. */
	QString description(const QString & climateDataFilePath, const QString & langId) const;

	/*! SHGC [-] at the angle of incidence [rad] after Karlsson and Roos, from the SHGC at normal
		incidence g0, the number of panes (1, 2 or 3; anything else counts as 2) and the glazing
		type index (1, 2, 4, 6 or 10; anything else counts as 4). g0 at normal incidence, 0 at
		grazing incidence. The second and third arguments are kept for callers that pass the
		surface's orientation and inclination; they do not enter the result. */
	double correctedSHGC(double incidenceAngle, double orientation, double inclination, double g0,
						 unsigned int panes, unsigned int glazingType) const;

	/*! Rebuilds the catalogue from baseDir and then userDir (created when missing; skipped when
		empty), a user file replacing a base file of the same relative path, and remembers both
		directories for loadClimateData. */
	void parseClimateDataDir(const QString & baseDir, const QString & userDir);

	OVM::SolarRadiationModel					m_solarRadiationModel;
	/*! Gliding average outdoor temperature per hour of the year [K]: 8760 values, each day's
		mean filtered exponentially from day to day; empty until the first load. */
	std::vector<double>							m_glidingAverageTemperature;
	/*! Key of the file loaded last; empty when none is loaded or the last load failed. */
	QString										m_currentClimateDataFile;
	/*! The directories of the last scan. */
	QString										m_climateBaseDir;
	QString										m_userClimateDir;
	/*! The catalogue: path relative to the scanned directory, '/'-separated, to location record. */
	QMap<QString, ClimateLocationData>			m_descriptions;

private:
	/*! Fills m_glidingAverageTemperature from the loaded data; throws when they do not give
		the hourly temperatures of one year. */
	void computeGlidingAverageTemperature();
};

} // namespace RX

#endif // RX_ClimateH
