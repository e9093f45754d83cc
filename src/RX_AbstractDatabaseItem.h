#ifndef RX_AbstractDatabaseItemH
#define RX_AbstractDatabaseItemH

#include <QMap>
#include <QString>

namespace RX {

/*! The common part of every database item: its id and its name in several languages.

	A plain value without virtual functions; the items hold it as their first part and are
	copied by value. Names travel as one encoded text, entries of a language id, a colon and the
	text joined by "|", as in "en:<New Window Type>|de:<Neuer Fenstertyp>"; a text without a
	colon is an English name. The static helpers do the same for any other text kept per
	language (the material's descriptive texts).
*/
class AbstractDatabaseItem {
public:
	/*! Id 0, no name at all. */
	AbstractDatabaseItem() = default;
	/*! The name decoded as by setNameString. */
	AbstractDatabaseItem(unsigned int id, const QString & encodedName);

	/*! The encoded name; a lone English name without its "en:". */
	QString nameString() const;
	/*! Replaces all names by those of the encoded text; an empty text gives "unnamed". */
	void setNameString(const QString & encodedName);
	/*! The name in the language of the user interface, else the English one, else the first;
		empty when the item has no name at all. */
	QString name() const;
	/*! The name for exactly this language id (no case change), empty when there is none. */
	QString name(const QString & langId) const;
	/*! Sets the name of one language as given (no case change, no trimming). */
	void setName(const QString & langId, const QString & text);

	/*! Decodes an encoded text into texts (emptied first). Ids are lower-cased, texts trimmed,
		a later id wins, text after a second colon is dropped. A part without a colon makes the
		whole encoded text the English entry and ends decoding. An empty text gives no entry. */
	static void decodeLanguageTexts(const QString & encoded, QMap<QString, QString> & texts);
	/*! The encoded form, entries in ascending id order joined by "|"; a lone English entry is
		the bare text. */
	static QString encodeLanguageTexts(const QMap<QString, QString> & texts);
	/*! The entry of the user interface language, else "en", else the first; empty for no entries. */
	static QString displayText(const QMap<QString, QString> & texts);

	/*! Ids from USER_ID_START (10000) on are user items. */
	unsigned int			m_id = 0;
	/*! Item of the built-in database; kept by the database only, never written. */
	bool					m_builtin = false;
	/*! Language id (lower case) to name. */
	QMap<QString, QString>	m_names;
};

} // namespace RX

#endif // RX_AbstractDatabaseItemH
