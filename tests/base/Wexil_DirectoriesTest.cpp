#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "TestSupport.h"
#include "Wexil_Directories.h"
#include "Wexil_LanguageHandler.h"

using Wexil::Directories;

namespace {

QString home() {
	return QString::fromLocal8Bit(std::getenv("HOME"));
}

void touch(const QString & path) {
	std::ofstream(path.toStdString()) << "x";
}

} // namespace


TEST(Directories, NamesStandardPaths) {
	EXPECT_TRUE(Directories::translationsFilePath("de").endsWith("/../resources/translations/_de.qm"));
	EXPECT_EQ(Directories::qtTranslationsFilePath("de"), "/usr/share/qt5/translations/qt_de.qm");
	EXPECT_EQ(Directories::resourcesRootDir(), QCoreApplication::applicationDirPath() + "/../resources");
	EXPECT_EQ(Directories::databasesDir(), Directories::resourcesRootDir());
	EXPECT_EQ(Directories::userDataDir(), home() + "/.local/share/");
	EXPECT_EQ(Directories::globalLogFile(), home() + "/.local/share//.log");
	EXPECT_EQ(Directories::tmpDir(), "/tmp");
}

TEST(Directories, ProbesWriteAccessWithoutLeavingFiles) {
	const QString file = home() + "/probe.txt";
	EXPECT_TRUE(Directories::checkForWriteAccess(file));
	EXPECT_FALSE(QFileInfo::exists(file));
	touch(file);
	EXPECT_FALSE(Directories::checkForWriteAccess(file));
	EXPECT_EQ(QFileInfo(file).size(), 1);
	EXPECT_FALSE(Directories::checkForWriteAccess(home() + "/missing/dir/x"));
	// a dangling link is a taken name, and nothing is created through it
	ASSERT_TRUE(QFile::link(home() + "/target", home() + "/dangling"));
	EXPECT_FALSE(Directories::checkForWriteAccess(home() + "/dangling"));
	EXPECT_FALSE(QFileInfo::exists(home() + "/target"));
}

TEST(Directories, GeneratesFreshTemporaryNames) {
	const QString first = Directories::generateTempFileName();
	ASSERT_TRUE(first.startsWith("/tmp/zeb_tmp"));
	EXPECT_FALSE(QFileInfo::exists(first));
	touch(first);
	const QString second = Directories::generateTempFileName();
	EXPECT_NE(second, first);
	EXPECT_FALSE(QFileInfo::exists(second));
	QFile::remove(first);
}

TEST(Directories, RemovesTreesButNotLinkTargets) {
	const QString root = home() + "/tree";
	const QString outside = home() + "/outside";
	ASSERT_TRUE(QDir().mkpath(root + "/sub/.hidden"));
	ASSERT_TRUE(QDir().mkpath(outside));
	touch(root + "/sub/.hidden/f");
	touch(root + "/.dotfile");
	touch(outside + "/keep");
	ASSERT_TRUE(QFile::link(outside, root + "/link"));

	EXPECT_TRUE(Directories::removeDirRecursively(root));
	EXPECT_FALSE(QFileInfo::exists(root));
	EXPECT_TRUE(QFileInfo::exists(outside + "/keep"));
	EXPECT_FALSE(Directories::removeDirRecursively(root));
}

TEST(LanguageHandler, TakesStoredLanguageOrSystemLocale) {
	TestSupport::MessageRecorder rec;
	Wexil::LanguageHandler::setLangId("");
	const QString fromLocale = Wexil::LanguageHandler::langId();
	EXPECT_FALSE(fromLocale.isEmpty());
	EXPECT_FALSE(fromLocale.contains('_'));
	ASSERT_EQ(rec.m_messages.size(), 2u);
	EXPECT_EQ(rec.m_messages[1].m_text, "Translation required for locale: '" + fromLocale.toStdString() + "'.\n");
	EXPECT_EQ(rec.m_messages[0].m_type, ZEB::MSG_PROGRESS);
	EXPECT_EQ(rec.m_messages[0].m_location, "[LanguageHandler::langId]");
	EXPECT_EQ(rec.m_messages[0].m_level, 2);

	rec.m_messages.clear();
	Wexil::LanguageHandler::setLangId("fr");
	EXPECT_EQ(Wexil::LanguageHandler::langId(), "fr");
	EXPECT_TRUE(rec.m_messages.empty());
}

TEST(LanguageHandler, ReportsMissingCataloguesAndSetsLocale) {
	TestSupport::MessageRecorder rec;
	Wexil::LanguageHandler & handler = Wexil::LanguageHandler::instance();
	Wexil::LanguageHandler::setLangId("fr");
	handler.installTranslator("de");
	EXPECT_EQ(QLocale().language(), QLocale::German);
	EXPECT_EQ(Wexil::LanguageHandler::langId(), "fr");			// nothing loaded, nothing stored
	ASSERT_GE(rec.m_messages.size(), 3u);
	EXPECT_EQ(rec.m_messages[0].m_text, "App translation file path = '" + Directories::translationsFilePath("de").toStdString() + "'.\n");
	EXPECT_EQ(rec.m_messages[1].m_text, "Qt translation file path  = '/usr/share/qt5/translations/qt_de.qm'.\n");
	EXPECT_EQ(rec.m_messages.back().m_text, "Could not load application translator file: '" +
			  Directories::translationsFilePath("de").toStdString() + "'.\n");
	EXPECT_EQ(rec.m_messages[0].m_location, "[LanguageHandler::installTranslator]");
	EXPECT_EQ(rec.m_messages[0].m_level, 1);

	rec.m_messages.clear();
	handler.installTranslator("en");
	EXPECT_TRUE(rec.m_messages.empty());
	EXPECT_EQ(Wexil::LanguageHandler::langId(), "en");
	EXPECT_EQ(QLocale().language(), QLocale::English);
	EXPECT_EQ(QLocale().toString(12345), "12345");				// no group separator
}
