#ifndef Wexil_LanguageHandlerH
#define Wexil_LanguageHandlerH

#include <QString>

class QTranslator;

namespace Wexil {

/*! Decides the language of the user interface, keeps the choice in the settings ("LangID") and
	installs the translation catalogues. A process-wide single instance that owns its translators. */
class LanguageHandler {
public:
	static LanguageHandler & instance();

	/*! Sets the organisation and program names of the settings and the catalogue prefix. */
	static void setup(const QString & organization, const QString & program, const QString & languageFilePrefix);
	/*! The stored language id, else the system locale's language, else "en". */
	static QString langId();
	/*! Stores id as the chosen language. */
	static void setLangId(QString id);

	/*! Replaces the installed translators by those for langId ("en" needs none) and sets the
		default locale for English and German. A missing catalogue is reported, not thrown. */
	void installTranslator(QString langId);

	LanguageHandler(const LanguageHandler &) = delete;
	LanguageHandler & operator=(const LanguageHandler &) = delete;

	static QString	m_organization;
	static QString	m_program;
	static QString	m_languageFilePrefix;

private:
	LanguageHandler() = default;
	~LanguageHandler();

	/*! Removes a translator from the application and deletes it. */
	static void removeTranslator(QTranslator *& translator);

	/*! Owned; null when none is installed. */
	QTranslator *	m_translator = nullptr;
	/*! Owned; null when none is installed. */
	QTranslator *	m_qtTranslator = nullptr;
};

} // namespace Wexil

#endif // Wexil_LanguageHandlerH
