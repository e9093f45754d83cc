#include "RX_AbstractDatabaseItem.h"

#include <QStringList>

#include "Wexil_LanguageHandler.h"

namespace RX {

AbstractDatabaseItem::AbstractDatabaseItem(unsigned int id, const QString & encodedName) :
	m_id(id)
{
	setNameString(encodedName);
}


QString AbstractDatabaseItem::nameString() const {
	return encodeLanguageTexts(m_names);
}


void AbstractDatabaseItem::setNameString(const QString & encodedName) {
	decodeLanguageTexts(encodedName, m_names);
	if (encodedName.isEmpty())
		m_names["en"] = "unnamed";
}


QString AbstractDatabaseItem::name() const {
	return displayText(m_names);
}


QString AbstractDatabaseItem::name(const QString & langId) const {
	return m_names.value(langId);
}


void AbstractDatabaseItem::setName(const QString & langId, const QString & text) {
	m_names[langId] = text;
}


void AbstractDatabaseItem::decodeLanguageTexts(const QString & encoded, QMap<QString, QString> & texts) {
	texts.clear();
	if (encoded.isEmpty())
		return;
	const QStringList parts = encoded.split('|', Qt::KeepEmptyParts);
	for (const QString & part : parts) {
		const QStringList pieces = part.split(':', Qt::KeepEmptyParts);
		if (pieces.size() == 1) {
			// not an encoded text after all: keep what the user wrote, as English
			texts["en"] = encoded;
			return;
		}
		texts[pieces[0].toLower()] = pieces[1].trimmed();
	}
}


QString AbstractDatabaseItem::encodeLanguageTexts(const QMap<QString, QString> & texts) {
	if (texts.size() == 1 && texts.contains("en"))
		return texts.first();
	QStringList entries;
	for (auto it = texts.constBegin(); it != texts.constEnd(); ++it)
		entries.append(QString("%1:%2").arg(it.key(), it.value()));
	return entries.join('|');
}


QString AbstractDatabaseItem::displayText(const QMap<QString, QString> & texts) {
	if (texts.isEmpty())
		return QString();
	const QString lang = Wexil::LanguageHandler::instance().langId();
	auto it = texts.constFind(lang);
	if (it != texts.constEnd())
		return it.value();
	it = texts.constFind("en");
	if (it != texts.constEnd())
		return it.value();
	return texts.first();
}

} // namespace RX
