#ifndef RX_ProjectInformationH
#define RX_ProjectInformationH

#include <QString>

class QSettings;
class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

/*! The descriptive texts of a project; nothing in the simulation depends on them. Stored as the
	"ProjectInformation" element of a project, and as the user's defaults for new projects in the
	settings group "DefaultProjectSettings". The XML child names are also the settings keys.
*/
class ProjectInformation {
public:
	/*! Writes every child, empty texts too. */
	void writeXML(QXmlStreamWriter & writer) const;
	/*! Reads the children of the element the reader stands on, in any order; unknown children
		are skipped with a warning, absent ones leave their texts. */
	void readXML(QXmlStreamReader & reader);

	/*! Replaces all texts by those of the settings; a missing key gives an empty text. */
	void readSettings(QSettings & settings);
	void writeSettings(QSettings & settings) const;

	QString m_projectName;
	QString m_constructionID;
	QString m_userName;
	QString m_company;
	QString m_description;
	QString m_location;
	QString m_disclaimerText;
};

} // namespace RX

#endif // RX_ProjectInformationH
