#include "Wexil_LanguageHandler.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include "Wexil_Directories.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace Wexil {

QString LanguageHandler::m_organization;
QString LanguageHandler::m_program;
QString LanguageHandler::m_languageFilePrefix;


namespace {

void progress(const char * text, int level, const char * location) {
	ZEB::ZEB_Message(ZEB::FormatString(text), ZEB::MSG_PROGRESS, location, level);
}

void progress(const char * text, const QString & argument, int level, const char * location) {
	ZEB::ZEB_Message(ZEB::FormatString(text).arg(argument.toStdString()), ZEB::MSG_PROGRESS, location, level);
}

void setDefaultLocale(QLocale::Language language) {
	QLocale locale(language, QLocale::AnyCountry);
	locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
	QLocale::setDefault(locale);
}

// Loads the catalogue into translator when the file exists.
bool loadCatalogue(QTranslator & translator, const QString & path) {
	const QFileInfo info(path);
	return info.exists() && translator.load(info.baseName(), info.absolutePath());
}

} // namespace


LanguageHandler & LanguageHandler::instance() {
	static LanguageHandler handler;
	return handler;
}


LanguageHandler::~LanguageHandler() {
	delete m_translator;
	delete m_qtTranslator;
}


void LanguageHandler::setup(const QString & organization, const QString & program, const QString & languageFilePrefix) {
	m_organization = organization;
	m_program = program;
	m_languageFilePrefix = languageFilePrefix;
}


QString LanguageHandler::langId() {
	const char * const location = "[LanguageHandler::langId]";
	QSettings config(m_organization, m_program);
	const QString stored = config.value("LangID", QString()).toString();
	if (!stored.isEmpty())
		return stored;
	QString name = QLocale::system().name();
	progress("System locale: '%1'.\n", name, 2, location);
	const int underscore = name.indexOf('_');
	if (underscore != -1)
		name = name.left(underscore);
	progress("Translation required for locale: '%1'.\n", name, 2, location);
	return name.isEmpty() ? QString("en") : name;
}


void LanguageHandler::setLangId(QString id) {
	QSettings config(m_organization, m_program);
	config.setValue("LangID", id);
}


void LanguageHandler::removeTranslator(QTranslator *& translator) {
	if (translator == nullptr)
		return;
	QCoreApplication::removeTranslator(translator);
	delete translator;
	translator = nullptr;
}


void LanguageHandler::installTranslator(QString langId) {
	const char * const location = "[LanguageHandler::installTranslator]";
	removeTranslator(m_translator);
	removeTranslator(m_qtTranslator);

	if (langId == "en") {
		setLangId(langId);
		setDefaultLocale(QLocale::English);
		return;
	}

	const QString appCatalogue = Directories::translationsFilePath(langId);
	const QString qtCatalogue = Directories::qtTranslationsFilePath(langId);
	progress("App translation file path = '%1'.\n", appCatalogue, 1, location);
	progress("Qt translation file path  = '%1'.\n", qtCatalogue, 1, location);

	m_qtTranslator = new QTranslator;
	if (loadCatalogue(*m_qtTranslator, qtCatalogue)) {
		QCoreApplication::installTranslator(m_qtTranslator);
		progress("Qt translation file loaded successfully\n", 1, location);
	}
	else {
		progress("Could not load system translator file: 'qt_%1'.\n", langId, 1, location);
		delete m_qtTranslator;
		m_qtTranslator = nullptr;
	}

	m_translator = new QTranslator;
	if (loadCatalogue(*m_translator, appCatalogue)) {
		progress("Application translator loaded successfully\n", 1, location);
		QCoreApplication::installTranslator(m_translator);
		setLangId(langId);
	}
	else {
		progress("Could not load application translator file: '%1'.\n", appCatalogue, 1, location);
		delete m_translator;
		m_translator = nullptr;
	}

	if (langId == "de")
		setDefaultLocale(QLocale::German);
}

} // namespace Wexil
