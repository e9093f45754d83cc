#include "RX_ClimateLocationData.h"

#include <string>
#include <vector>

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_MultiLanguageString.h"
#include "ZEB_Path.h"

#include "OVM_ClimateDataLoader.h"

namespace RX {

namespace {

/*! The record of one climate file; throws what the header read throws. */
ClimateLocationData readLocation(const QString & rootDir, const QString & path) {
	OVM::ClimateDataLoader data;
	data.readClimateData(ZEB::Path(path.toStdString()), true);

	ClimateLocationData record;
	record.m_city = QString::fromStdString(data.m_city);
	record.m_country = QString::fromStdString(data.m_country);
	const QString rel = QDir(rootDir).relativeFilePath(path);

	// all three placeholders at once, so that a '%' in a name is never taken for one
	const QString pattern("[%3] %1, %2");
	const ZEB::MultiLanguageString city(data.m_city);
	const ZEB::MultiLanguageString country(data.m_country);
	const std::vector<std::string> languages = city.languages();
	if (languages.empty())
		record.m_descriptionTexts.append(qMakePair(QString("en"), pattern.arg(record.m_city, record.m_country, rel)));
	for (const std::string & lang : languages)
		record.m_descriptionTexts.append(qMakePair(QString::fromStdString(lang),
			pattern.arg(QString::fromStdString(city.string(lang, false)),
						QString::fromStdString(country.string(lang, false)), rel)));

	record.m_timeZone = data.m_timeZone;
	record.m_latitude = data.m_latitude;
	record.m_longitude = data.m_longitude;
	return record;
}


/*! The scan of dir; scanning holds the canonical paths of dir's ancestors in the scan, so that a
	link back to one of them ends there instead of recursing without end. */
void gather(const QString & rootDir, const QString & dir, QMap<QString, ClimateLocationData> & map,
			QStringList & scanning)
{
	const QDir directory(dir);
	const QString canonical = QFileInfo(dir).canonicalFilePath();
	if (canonical.isEmpty() || scanning.contains(canonical))
		return;
	scanning.append(canonical);

	// every format a location may name; test reference years are the German ".dat" files
	const QStringList patterns{"*.c6b", "*.epw", "*.wac", "*.dat"};
	const QFileInfoList files = directory.entryInfoList(patterns, QDir::Files, QDir::Name);
	for (const QFileInfo & file : files) {
		const QString path = file.absoluteFilePath();
		try {
			map[path] = readLocation(rootDir, path);
		}
		catch (const ZEB::Exception & ex) {
			// ".dat" names data of every kind, of which only a test reference year is climate: a
			// file of another kind is passed over without a word, as one of another extension
			if (file.suffix().compare(QLatin1String("dat"), Qt::CaseInsensitive) == 0)
				continue;
			ex.writeMsgStackToError();
			ZEB::ZEB_Message(ZEB::FormatString("Error reading climate data file '%1'.").arg(path.toStdString()),
							 ZEB::MSG_WARNING, "[ClimateLocationData::gatherClimateLocationInfo]", 2);
		}
	}

	const QFileInfoList subdirs = directory.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
	for (const QFileInfo & sub : subdirs)
		gather(rootDir, sub.absoluteFilePath(), map, scanning);

	scanning.removeLast();
}

} // namespace


void ClimateLocationData::gatherClimateLocationInfo(const QString & rootDir, const QString & dir,
													QMap<QString, ClimateLocationData> & map)
{
	// an empty name would otherwise scan the working directory
	if (dir.isEmpty())
		return;
	QStringList scanning;
	gather(rootDir, QDir(dir).absolutePath(), map, scanning);
}

} // namespace RX
