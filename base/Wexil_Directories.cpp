#include "Wexil_Directories.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "ZEB_MessageHandlerRegistry.h"

namespace Wexil {

QString Directories::appname;
QString Directories::devdir;
QString Directories::packagename;


QString Directories::resourcesRootDir() {
	return QCoreApplication::applicationDirPath() + "/../resources";
}


QString Directories::databasesDir() {
	return resourcesRootDir();
}


QString Directories::translationsFilePath(const QString & langId) {
	return resourcesRootDir() + QString("/translations/" + appname + "_%1.qm").arg(langId);
}


QString Directories::qtTranslationsFilePath(const QString & langId) {
	return QString("/usr/share/qt5/translations/qt_%1.qm").arg(langId);
}


QString Directories::userDataDir() {
	const QString path = QDir(QDir::homePath()).absolutePath() + "/.local/share/" + appname;
	return QFileInfo(QDir::toNativeSeparators(path)).absoluteFilePath();
}


QString Directories::tmpDir() {
	return "/tmp";
}


QString Directories::globalLogFile() {
	return userDataDir() + "/" + appname + ".log";
}


QString Directories::updateFilePath() {
	return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}


bool Directories::removeDirRecursively(const QString & dirName) {
	QDir dir(dirName);
	if (!dir.exists())
		return false;
	const QFileInfoList entries = dir.entryInfoList(QDir::NoDotAndDotDot | QDir::AllDirs | QDir::System |
													QDir::Hidden | QDir::Files, QDir::DirsFirst);
	for (const QFileInfo & info : entries) {
		// a link is removed as a link: descending would empty its target outside the tree
		const bool ok = (info.isDir() && !info.isSymLink()) ? removeDirRecursively(info.absoluteFilePath())
															 : QFile::remove(info.absoluteFilePath());
		if (!ok)
			return false;
	}
	return dir.rmdir(dir.absolutePath());
}


namespace {

// Also true for a link, dangling or not: a name that is taken must not be written through.
bool entryExists(const QString & name) {
	const QFileInfo info(name);
	return info.exists() || info.isSymLink();
}

} // namespace


bool Directories::checkForWriteAccess(const QString & fileName) {
	if (entryExists(fileName))
		return false;
	QFile probe(fileName);
	// NewOnly refuses an entry created meanwhile, links included
	if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly))
		return false;
	probe.close();
	probe.remove();
	return true;
}


namespace {

// The next candidate name in dir that does not exist yet.
QString nextCandidate(const QString & dir, unsigned int & counter) {
	QString candidate;
	do {
		++counter;
		candidate = dir + QString("/zeb_tmp%1").arg(counter);
	} while (entryExists(candidate));
	return candidate;
}

void report(const char * text, const QString & name, ZEB::msg_type_t type) {
	ZEB::ZEB_Message(ZEB::FormatString(text).arg(name.trimmed().toStdString()), type,
					 "[Directories::generateTempFileName]", -1);
}

} // namespace


QString Directories::generateTempFileName() {
	unsigned int counter = 0;
	QString candidate = nextCandidate(tmpDir(), counter);
	if (checkForWriteAccess(candidate))
		return candidate;
	report("Cannot write to temporary file '%1'", candidate, ZEB::MSG_WARNING);

	const QString userTmp = userDataDir() + "/tmp";
	if (!QDir(userTmp).exists() && !QDir().mkdir(userTmp)) {
		report("Cannot create user-tmp directory '%1'", userTmp, ZEB::MSG_ERROR);
		return QString();
	}
	candidate = nextCandidate(userTmp, counter);
	if (checkForWriteAccess(candidate))
		return candidate;
	report("Cannot write to temporary file '%1'", candidate, ZEB::MSG_ERROR);
	return QString();
}

} // namespace Wexil
