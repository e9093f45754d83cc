#include "RX_CalovindaModelInterface.h"

#include <memory>

#include <QFile>
#include <QXmlStreamReader>

#include <JlCompress.h>

#include "RX_Database.h"
#include "RX_FMU2ModelDescription.h"
#include "RX_Room.h"
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

	// the packaged project, read into a room of the export's own so that the model's
	// constructions stay where its wall solvers expect them
	Database database;
	Room room;
	QFile file(QString::fromStdString(projectFile.str()));
	if (!file.open(QIODevice::ReadOnly)) {
		fmuError("Cannot open project file: '%1'\n", projectFile.str());
		return false;
	}
	ZEB::ZEB_Message(ZEB::FormatString("Reading project file: %1\n").arg(projectFile.str()), ZEB::MSG_PROGRESS,
					 FMU_LOCATION, 1);
	QXmlStreamReader reader(&file);
	room.readXML(reader, database);
	if (reader.hasError()) {
		fmuError("Cannot read project file: '%1'\n", projectFile.str());
		return false;
	}

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

	// files referenced by a relative path resolve against the project's directory, which the
	// archive does not reproduce
	for (const RoomConstruction & rc : room.m_constructions)
		if (rc.m_zoneTCCD.isValid() && !rc.m_zoneTCCD.isAbsolute())
			ZEB::ZEB_Message(ZEB::FormatString("Zone temperature file is not packaged: '%1'\n").arg(rc.m_zoneTCCD.str()),
							 ZEB::MSG_WARNING, FMU_LOCATION, 1);
	for (const StructuralShading & s : room.m_shadingControlModel.m_structuralShadings)
		if (!s.m_shadingFileName.isEmpty() && !ZEB::Path(s.m_shadingFileName.toStdString()).isAbsolute())
			ZEB::ZEB_Message(ZEB::FormatString("Shading factor file is not packaged: '%1'\n")
							 .arg(s.m_shadingFileName.toStdString()), ZEB::MSG_WARNING, FMU_LOCATION, 1);

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
