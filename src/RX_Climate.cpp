#include "RX_Climate.h"

#include <algorithm>
#include <cmath>

#include <QDir>
#include <QFileInfo>

#include "ZEB_Constants.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Path.h"
#include "ZEB_Time.h"

#include "OVM_Constants.h"

#include "RX_Constants.h"

namespace RX {

void Climate::update(double t, bool /*flag*/) {
	m_solarRadiationModel.setTime(m_solarRadiationModel.m_climateDataLoader.m_startYear, t);
}


bool Climate::loadClimateData(const QString & climateDataFilePath, ZEB::Exception * failure) {
	const char * const location = "[Climate::loadClimateData]";
	if (!m_descriptions.contains(climateDataFilePath))
		ZEB::ZEB_Message(ZEB::FormatString("Expected climate data path '%1' in list of climate data files.")
						 .arg(climateDataFilePath.toStdString()), ZEB::MSG_ERROR, location, -1);
	m_glidingAverageTemperature.assign(ZEB::HOURS_PER_YEAR, ZEB::KELVIN_OFFSET);

	try {
		// without a user directory the key must not be looked up in the working directory
		QString path;
		if (!m_userClimateDir.isEmpty())
			path = QDir(m_userClimateDir).absoluteFilePath(climateDataFilePath);
		if (path.isEmpty() || !QFileInfo(path).isFile())
			path = QDir(m_climateBaseDir).absoluteFilePath(climateDataFilePath);

		ZEB::ZEB_Message(ZEB::FormatString("Reading climate data [%2] from file '%1'\n")
						 .arg(path.toStdString()).arg(climateDataFilePath.toStdString()),
						 ZEB::MSG_PROGRESS, location, 1);
		m_solarRadiationModel.m_climateDataLoader.readClimateData(ZEB::Path(path.toStdString()), false);
		m_currentClimateDataFile = climateDataFilePath;
		computeGlidingAverageTemperature();
		return true;
	}
	catch (const ZEB::Exception & ex) {
		if (failure != nullptr)
			*failure = ex;
		else
			ex.writeMsgStackToError();
		m_currentClimateDataFile.clear();
		m_glidingAverageTemperature.assign(ZEB::HOURS_PER_YEAR, ZEB::KELVIN_OFFSET);
		return false;
	}
}


void Climate::computeGlidingAverageTemperature() {
	OVM::ClimateDataLoader & data = m_solarRadiationModel.m_climateDataLoader;
	const std::vector<double> & temperature = data.m_data[OVM::ClimateDataLoader::Temperature];
	// 8760 values are read as stored, whatever their time stamps: a year of hourly values stamped
	// at the hour starts would not reach the last hour end. Any other series is sampled at the
	// hour ends of the year through the loader, which refuses a series that does not cover the
	// year instead of letting the sums run past its end.
	const bool storedYear = temperature.size() == ZEB::HOURS_PER_YEAR
		&& data.m_splines[OVM::ClimateDataLoader::Temperature].size() == 0;
	try {
		double previous = 0;
		for (unsigned int d = 0; d < ZEB::HOURS_PER_YEAR/24; ++d) {
			double sum = 0.0;
			for (unsigned int h = 24*d; h < 24*d + 24; ++h) {
				if (storedYear)
					sum += temperature[h];
				else {
					data.setTime(data.m_startYear, (h + 1)*3600.0);
					sum += data.m_currentData[OVM::ClimateDataLoader::Temperature];
				}
			}
			const double mean = sum/24.0 + ZEB::KELVIN_OFFSET;
			// 1 - 0.8 as the double subtraction gives it
			const double value = d == 0 ? mean : mean*0.19999999999999996 + 0.8*previous;
			std::fill(m_glidingAverageTemperature.begin() + 24*d, m_glidingAverageTemperature.begin() + 24*d + 24,
					  value);
			previous = value;
		}
	}
	catch (const ZEB::Exception & ex) {
		throw ZEB::Exception(ex, "The climate data do not give the hourly outdoor temperatures of one year, "
							 "which the gliding average temperature needs.", "[Climate::loadClimateData]");
	}
}


bool Climate::isPlainReference(const QString & climateDataFilePath) {
	if (climateDataFilePath.isEmpty() || climateDataFilePath.trimmed() != climateDataFilePath
		|| ZEB::Path(climateDataFilePath.toStdString()).isAbsolute())
		return false;
	for (const QChar c : climateDataFilePath)
		if (c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
			return false;
	for (const QString & name : climateDataFilePath.split(QLatin1Char('/')))
		if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
			return false;
	return true;
}


QStringList Climate::climateDataFilePaths() const {
	return m_descriptions.keys();
}


const ClimateLocationData * Climate::locationData(const QString & climateDataFilePath) const {
	const QMap<QString, ClimateLocationData>::const_iterator it = m_descriptions.constFind(climateDataFilePath);
	return it == m_descriptions.constEnd() ? nullptr : &it.value();
}


QString Climate::description(const QString & climateDataFilePath, const QString & langId) const {
	const QMap<QString, ClimateLocationData>::const_iterator it = m_descriptions.constFind(climateDataFilePath);
	if (it == m_descriptions.constEnd())
		return QString();
	const QList<QPair<QString, QString> > & texts = it.value().m_descriptionTexts;
	if (texts.isEmpty())
		return QString();
	const QString * english = nullptr;
	for (const QPair<QString, QString> & text : texts) {
		if (text.first == langId)
			return text.second;
		if (text.first == QLatin1String("en"))
			english = &text.second;
	}
	return english != nullptr ? *english : texts.front().second;
}


double Climate::correctedSHGC(double incidenceAngle, double /*orientation*/, double /*inclination*/, double g0,
							  unsigned int panes, unsigned int glazingType) const
{
	double q = 4;
	if (glazingType == 1 || glazingType == 2 || glazingType == 4 || glazingType == 6 || glazingType == 10)
		q = glazingType;
	double p = 2;
	if (panes >= 1 && panes <= 3)
		p = panes;
	const double x = incidenceAngle*RAD2DEG/90.0;
	const double alpha = 5.2 + 0.7*q;
	const double gamma = (5.26 + 0.06*p) + (0.73 + 0.04*p)*q;
	const double k1 = 8.0;
	const double k2 = 0.25/q;
	const double k3 = -7.0 - 0.25/q;
	return g0*(1.0 - k1*std::pow(x, alpha) - k2*x*x - k3*std::pow(x, gamma));
}


void Climate::parseClimateDataDir(const QString & baseDir, const QString & userDir) {
	const char * const location = "[Climate::parseClimateDataDir]";
	ZEB::ZEB_Message(ZEB::FormatString("Parsing climate base directory '%1'.\n").arg(baseDir.toStdString()),
					 ZEB::MSG_PROGRESS, location, 1);
	m_climateBaseDir = baseDir;
	m_userClimateDir = userDir;

	QMap<QString, ClimateLocationData> found;
	ClimateLocationData::gatherClimateLocationInfo(baseDir, baseDir, found);
	m_descriptions.clear();
	const QDir base(baseDir);
	for (QMap<QString, ClimateLocationData>::const_iterator it = found.constBegin(); it != found.constEnd(); ++it)
		m_descriptions[base.relativeFilePath(it.key())] = it.value();

	if (userDir.isEmpty())
		return;
	const QDir user(userDir);
	if (!user.exists())
		QDir().mkpath(userDir);
	ZEB::ZEB_Message(ZEB::FormatString("Parsing user climate data directory '%1'.\n").arg(userDir.toStdString()),
					 ZEB::MSG_PROGRESS, location, 1);
	found.clear();
	ClimateLocationData::gatherClimateLocationInfo(userDir, userDir, found);
	for (QMap<QString, ClimateLocationData>::const_iterator it = found.constBegin(); it != found.constEnd(); ++it)
		m_descriptions[user.relativeFilePath(it.key())] = it.value();
}

} // namespace RX
