#ifndef RX_DatabaseH
#define RX_DatabaseH

#include <map>

#include <QFile>
#include <QSet>
#include <QString>
#include <QXmlStreamWriter>

#include "RX_ConstructionType.h"
#include "RX_Material.h"
#include "RX_ShadingType.h"
#include "RX_WindowType.h"

namespace RX {

/*! Ids below this one belong to built-in items, ids from it on to user items. */
const unsigned int USER_ID_START = 10000;

/*! The store of materials, construction types, window types and shading types, one map per
	kind keyed by the item's id (the key always equals the stored item's id).

	The database owns its items by value; a pointer from a lookup stays valid until that item is
	deleted, init() runs or the database is destroyed. In a simulation it is filled once from the
	project file through the add operations and then only read. Database-managing programs also
	read the built-in files (databases directory) and the user files (user data directory) and
	write the user files; a simulation never touches them.
*/
class Database {
public:
	/*! Empty; the next new id of every kind is USER_ID_START + 1. */
	Database() = default;

	/*! The stored item of that id, null when there is none (id 0 included). */
	const Material * materialById(unsigned int id) const;
	const ConstructionType * constructionById(unsigned int id) const;
	const WindowType * windowById(unsigned int id) const;
	const ShadingType * shadingTypeById(unsigned int id) const;

	/*! All materials by id, for the construction solvers of the room model. */
	const std::map<unsigned int, Material> & materials() const { return m_materials; }
	const std::map<unsigned int, ConstructionType> & constructions() const { return m_constructions; }
	const std::map<unsigned int, WindowType> & windows() const { return m_windows; }
	const std::map<unsigned int, ShadingType> & shadingTypes() const { return m_shadingTypes; }

	bool isModified() const { return m_modified; }
	void setModified(bool modified) { m_modified = modified; }

	/*! Translated texts of the "nothing chosen" entries of item lists. */
	static QString invalidConstructionText();
	static QString noWindowText();
	static QString invalidMaterialText();
	static QString noShadingText();

	void addConstructionUserkey1(const QString & key) { m_constructionUserKeys1.insert(key); }
	void addConstructionUserkey2(const QString & key) { m_constructionUserKeys2.insert(key); }
	void addWindowUserkey(const QString & key) { m_windowUserKeys.insert(key); }
	const QSet<QString> & constructionUserKeys1() const { return m_constructionUserKeys1; }
	const QSet<QString> & constructionUserKeys2() const { return m_constructionUserKeys2; }
	const QSet<QString> & windowUserKeys() const { return m_windowUserKeys; }

	/*! Stores a copy of item under id, or under the next free id above the kind's counter when
		id is 0 or taken; a free id is kept as asked, whatever its range, and leaves the counter
		alone. Sets item's id to the id used and returns it. A material stored under a user id
		is no longer built-in. Construction types and window types also add their user keys. */
	unsigned int addMaterial(Material & item, unsigned int id);
	unsigned int addConstructionType(ConstructionType & item, unsigned int id);
	unsigned int addWindowType(WindowType & item, unsigned int id);
	unsigned int addShadingType(ShadingType & item, unsigned int id);

	/*! Removes a user item. An absent id or a built-in item changes nothing apart from a
		warning. User keys and id counters stay. */
	void deleteMaterial(unsigned int id);
	void deleteConstructionType(unsigned int id);
	void deleteWindowType(unsigned int id);
	void deleteShadingType(unsigned int id);

	/*! Read one database file and store its items under their own ids; a missing file gives
		nothing. Items with id 0 or an id already stored are dropped with a warning. A material
		whose moisture storage function cannot be built throws ZEB::Exception (items read before
		stay). */
	void readDBMaterials(const QString & path);
	void readDBConstructions(const QString & path);
	void readDBShadingTypes(const QString & path);
	void readDBWindows(const QString & path);

	/*! readDatabase(builtinDir, userDir) with the databases directory and the user data directory. */
	void readDatabase();
	/*! Reads the four files of builtinDir and marks every stored item built-in, then the four
		files of userDir; the id counters rise to the highest non-built-in ids. */
	void readDatabase(const QString & builtinDir, const QString & userDir);
	/*! writeDatabase(dir) with the user data directory. */
	void writeDatabase() const;
	/*! Writes all items (built-in ones too) into the four files of dir, creating dir (one level)
		when it is missing; writes nothing when that fails. */
	void writeDatabase(const QString & dir) const;

	/*! Empties the item maps, resets the counters, clears the modified flag, then readDatabase().
		The user-key sets stay. */
	void init();

private:
	/*! Set by every add and delete; cleared by init(). */
	bool									m_modified = false;
	std::map<unsigned int, Material>		m_materials;
	std::map<unsigned int, ConstructionType> m_constructions;
	std::map<unsigned int, WindowType>		m_windows;
	std::map<unsigned int, ShadingType>		m_shadingTypes;
	/*! Every first and second user key of the construction types added or read. */
	QSet<QString>							m_constructionUserKeys1;
	QSet<QString>							m_constructionUserKeys2;
	/*! The user keys of the window types added, and the non-empty ones read. */
	QSet<QString>							m_windowUserKeys;
	/*! Highest id among the items marked built-in, per kind. */
	unsigned int							m_maxBuiltinMaterialId = 0;
	unsigned int							m_maxBuiltinConstructionId = 0;
	unsigned int							m_maxBuiltinWindowId = 0;
	unsigned int							m_maxBuiltinShadingTypeId = 0;
	/*! Highest user id handed out or read, per kind; new ids are searched above it. */
	unsigned int							m_lastMaterialId = USER_ID_START;
	unsigned int							m_lastConstructionId = USER_ID_START;
	unsigned int							m_lastWindowId = USER_ID_START;
	unsigned int							m_lastShadingTypeId = USER_ID_START;
};


/*! Writes a database file: the XML declaration, the root element itemName + "List" and every
	item in ascending id order. A file that cannot be opened is not written and not reported. */
template <typename ItemT>
void writeDBFile(const QString & path, const QString & itemName, const std::map<unsigned int, ItemT> & items) {
	QFile file(path);
	if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
		return;
	QXmlStreamWriter writer(&file);
	writer.setAutoFormatting(true);
	writer.writeStartDocument();
	writer.writeStartElement(itemName + "List");
	for (const auto & entry : items)
		entry.second.writeXML(writer);
	writer.writeEndElement();
	writer.writeEndDocument();
}

} // namespace RX

#endif // RX_DatabaseH
