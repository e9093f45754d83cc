#include "RX_CalovindaModelInterface.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <JlCompress.h>

#include "RX_Database.h"
#include "RX_FMU2ModelDescription.h"
#include "RX_Room.h"
#include "RX_RoomConstruction.h"
#include "RX_XMLHelpers.h"
#include "Wexil_Directories.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Path.h"
#include "ZEB_PrivateDirectory.h"
#include "ZEB_StringUtils.h"

namespace RX {

namespace {

const char * const FMU_LOCATION = "[CalovindaModelInterface::export2FMU]";

void fmuError(const char * text, const std::string & argument) {
	ZEB::ZEB_Message(ZEB::FormatString(text).arg(argument), ZEB::MSG_ERROR, FMU_LOCATION, -1);
}

/*! Copies the climate data that reference names (relative to climateDir) into targetDir: the
	file itself, else the CCD data set beside it. */
bool copyClimateData(const ZEB::Path & climateDir, const std::string & reference, const ZEB::Path & targetDir,
					 bool withMoisture)
{
	const ZEB::Path source = (climateDir / reference).absolutePath();
	if (ZEB::Path::copy(source, targetDir))
		return true;
	fmuError("Cannot copy climate file: '%1'\n", source.str());

	const ZEB::Path sourceDir = source.parentPath();
	const auto copyOne = [&](const ZEB::Path & file) {
		if (ZEB::Path::copy(file, targetDir))
			return true;
		fmuError("Cannot copy climate file: '%1'\n", file.str());
		return false;
	};
	ZEB::Path ccdx = source;
	ccdx.addExtension("ccdx");
	const bool ccdxCopied = copyOne(ccdx);
	if (!copyOne(sourceDir / "description.xml"))
		return false;
	std::vector<std::string> series = {"DiffuseRadiation.ccd", "DirectRadiation.ccd", "Temperature.ccd"};
	if (withMoisture)
		series.push_back("RelativeHumidity.ccd");
	bool allSeries = true;
	for (const std::string & name : series)
		allSeries = copyOne(sourceDir / name) && allSeries;
	return allSeries || ccdxCopied;
}

/*! Copies every zone temperature and shading factor file that room reads into resourcesDir, each
	found as the room model finds it (beside the project in projectDir first). A name that is a
	plain relative path lands under that path, where the FMU looks for it beside its project; any
	other (absolute, with "..", or taken already) lands in "files/<n>/" and is entered in renamed,
	from the name as the project gives it to the name in the resources. */
bool packageRoomFiles(const Room & room, const ZEB::Path & projectDir, bool workingDirFallback,
					  const ZEB::Path & resourcesDir, std::map<std::string, std::string> & renamed)
{
	std::set<std::string> packaged;
	const auto package = [&](const ZEB::Path & name) {
		if (!packaged.insert(name.str()).second)
			return true;
		const ZEB::Path source = referencedFile(name, projectDir, workingDirFallback);
		if (!source.exists()) {
			fmuError("Cannot find the file '%1' that the project names.\n", source.str());
			return false;
		}
		std::string target = name.str();
		if (!Climate::isPlainReference(QString::fromStdString(target)) || (resourcesDir / target).exists()) {
			target = "files/" + std::to_string(renamed.size() + 1) + "/" + name.filename().str();
			renamed[name.str()] = target;
		}
		const ZEB::Path targetPath = resourcesDir / target;
		ZEB::Path::makePath(targetPath.parentPath());
		if (!ZEB::Path::copy(source, targetPath)) {
			fmuError("Cannot copy file: '%1'\n", source.str());
			return false;
		}
		return true;
	};
	// the files that the room model's initialisation reads, and only those
	const std::vector<StructuralShading> & shadings = room.m_shadingControlModel.m_structuralShadings;
	for (std::size_t i = 0; i < room.m_constructions.size(); ++i) {
		const RoomConstruction & rc = room.m_constructions[i];
		if (rc.m_constructionId == 0)
			continue;
		if (rc.m_type == RoomConstruction::FixedTemperature && rc.m_zoneTCCD.isValid() && !package(rc.m_zoneTCCD))
			return false;
		if (rc.m_type == RoomConstruction::Outside && rc.m_windowId != 0 && i < shadings.size()
			&& !shadings[i].m_shadingFileName.isEmpty())
		{
			const std::string name = shadings[i].m_shadingFileName.toStdString();
			if (!package(ZEB::Path(name.substr(0, name.find('?')))))
				return false;
		}
	}
	return true;
}

/*! Writes the project file source to target with the zone temperature and shading factor files
	that renamed names under their names in the resources; every other token as it was read. */
bool writeRenamedProject(const ZEB::Path & source, const ZEB::Path & target,
						 const std::map<std::string, std::string> & renamed)
{
	QFile in(QString::fromStdString(source.str()));
	QFile out(QString::fromStdString(target.str()));
	if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
		return false;
	QXmlStreamReader reader(&in);
	QXmlStreamWriter writer(&out);
	while (!reader.atEnd()) {
		reader.readNext();
		if (reader.hasError())
			break;
		const bool zone = reader.isStartElement() && reader.name() == QLatin1String("zoneTCCD");
		if (!zone && !(reader.isStartElement() && reader.name() == QLatin1String("ShadingFileName"))) {
			writer.writeCurrentToken(reader);
			continue;
		}
		writer.writeCurrentToken(reader);
		QString text = readTextElement(reader);
		std::string name = text.toStdString();
		std::string column;
		const std::size_t question = zone ? std::string::npos : name.find('?');
		if (question != std::string::npos) {
			column = name.substr(question);
			name.erase(question);
		}
		const auto it = renamed.find(ZEB::Path(name).str());
		if (it != renamed.end())
			text = QString::fromStdString(it->second + column);
		writer.writeCharacters(text);
		writer.writeEndElement();
	}
	return !reader.hasError() && !writer.hasError() && out.flush();
}

} // namespace


bool CalovindaModelInterface::export2FMU(const ZEB::Path & libraryDir, const ZEB::Path & projectFile,
										 const ZEB::Path & fmuFile, const ZEB::Path & resultsRootDir,
										 const ZEB::Path & climateDir, const ZEB::Path & workDir)
{
	// the archive's name goes through a UTF-8 text: other bytes would name another file
	if (!ZEB::is_valid_utf8_string(fmuFile.str())) {
		fmuError("Cannot write the FMU archive under a name that is not valid UTF-8: '%1'\n", fmuFile.str());
		return false;
	}
	const ZEB::Path fmuPath = fmuFile.absolutePath();
	const ZEB::Path fmuDir = fmuPath.parentPath();
	if (!fmuDir.exists()) {
		ZEB::ZEB_Message(ZEB::FormatString("Creating FMU export directory for package: '%1'\n").arg(fmuDir.str()),
						 ZEB::MSG_PROGRESS, FMU_LOCATION, 1);
		ZEB::Path::makePath(fmuDir);
	}

	// a tree of its own for each export: two exports at once must not share or remove each
	// other's files
	const ZEB::Path tmpDir = (workDir.isValid() ? workDir
							  : ZEB::Path(Wexil::Directories::tmpDir().toStdString())).absolutePath();
	ZEB::Path::makePath(tmpDir);
	std::unique_ptr<ZEB::PrivateDirectory> tree;
	try {
		tree = std::make_unique<ZEB::PrivateDirectory>("CalovindaFMU-", tmpDir.str(), FMU_LOCATION);
	}
	catch (ZEB::Exception & ex) {
		ex.writeMsgStackToError();
		return false;
	}
	const ZEB::Path root(tree->path());

	const ZEB::Path binDir = root / "binaries/linux64";
	const ZEB::Path resourcesDir = root / "resources";
	ZEB::Path::makePath(binDir);
	ZEB::Path::makePath(root / "documentation");
	ZEB::Path::makePath(resourcesDir);

	const ZEB::Path library = (libraryDir / "CalovindaFMI2.so").absolutePath();
	if (!ZEB::Path::copy(library, binDir / "CalovindaFMI2.so")) {
		fmuError("Cannot copy library: '%1'\n", library.str());
		return false;
	}

	if (!ZEB::Path::copy(projectFile, resourcesDir)) {
		fmuError("Cannot copy project file: '%1'\n", projectFile.str());
		return false;
	}
	const ZEB::Path projectTarget = resourcesDir / "calovinda_project.rmxml";
	const ZEB::Path projectCopy = resourcesDir / projectFile.filename();
	if (projectCopy != projectTarget && !ZEB::Path::move(projectCopy, projectTarget)) {
		fmuError("Cannot rename project file: '%1'\n", projectCopy.str());
		return false;
	}

	// the packaged project: the room model's own when the model was read from this file (a second
	// reading would give its warnings twice), else read into a room of the export's own so that
	// the model's constructions stay where its wall solvers expect them
	const QString projectPath = QString::fromStdString(projectFile.str());
	Room readRoom;
	const bool modelsOwn = !m_room.m_projectFilePath.isEmpty()
		&& QFileInfo(projectPath).absoluteFilePath() == m_room.m_projectFilePath;
	if (!modelsOwn) {
		Database database;
		QFile file(projectPath);
		if (!file.open(QIODevice::ReadOnly)) {
			fmuError("Cannot open project file: '%1'\n", projectFile.str());
			return false;
		}
		ZEB::ZEB_Message(ZEB::FormatString("Reading project file: %1\n").arg(projectFile.str()), ZEB::MSG_PROGRESS,
						 FMU_LOCATION, 1);
		QXmlStreamReader reader(&file);
		readRoom.readXML(reader, database);
		if (reader.hasError()) {
			fmuError("Cannot read project file: '%1'\n", projectFile.str());
			return false;
		}
	}
	const Room & room = modelsOwn ? m_room : readRoom;

	const std::string reference = room.m_climateLocation.toStdString();
	if (!Climate::isPlainReference(room.m_climateLocation)) {
		fmuError("Climate reference is not a relative path of names separated by '/': '%1'\n", reference);
		return false;
	}
	const ZEB::Path climateTarget = resourcesDir / ZEB::Path(reference).parentPath();
	ZEB::Path::makePath(climateTarget);
	const ZEB::Path climateSource = climateDir.isValid() ? climateDir
		: ZEB::Path(Wexil::Directories::databasesDir().toStdString()) / "DB_climate";
	if (!copyClimateData(climateSource, reference, climateTarget, room.m_moistureBalanceEnabled))
		return false;

	// the FMU reads every file of the room from its resources, beside its project, and nowhere else
	std::map<std::string, std::string> renamed;
	if (!packageRoomFiles(room, projectFile.absolutePath().parentPath(), !m_filesBesideProjectOnly, resourcesDir,
						  renamed))
		return false;
	if (!renamed.empty() && !writeRenamedProject(projectFile, projectTarget, renamed)) {
		fmuError("Cannot write project file: '%1'\n", projectTarget.str());
		return false;
	}

	const ZEB::Path descriptionFile = root / "modelDescription.xml";
	try {
		// the derivatives' dependencies are the Jacobian's pattern, which only a solver choice builds
		if (m_n > 0 && m_ia.size() != m_n + 1)
			generateIndexVector();
		FMU2ModelDescription description(this);
		description.m_resultsRootDir = resultsRootDir;
		description.m_jacobianRowStarts = &m_ia;
		description.m_jacobianColumns = &m_ja;
		description.write(descriptionFile, room.m_interfaceDefinition);
	}
	catch (ZEB::Exception & ex) {
		ex.writeMsgStackToError();
		fmuError("Cannot write model description: '%1'\n", descriptionFile.str());
		return false;
	}

	if (!JlCompress::compressDir(QString::fromUtf8(fmuPath.str().c_str()), QString::fromUtf8(root.str().c_str()), true)) {
		QFile::remove(QString::fromUtf8(fmuPath.str().c_str()));
		fmuError("Cannot create FMU archive: '%1'\n", fmuPath.str());
		return false;
	}

	ZEB::ZEB_Message(ZEB::FormatString("\nCreated '%1'\n").arg(fmuFile.str()), ZEB::MSG_PROGRESS, FMU_LOCATION, -1);
	return true;
}

} // namespace RX
