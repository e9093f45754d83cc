#include "RX_Database.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include "Wexil_Directories.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace RX {

namespace {

// What the reader of one kind's file says, and where. Texts that are null are not sent.
struct ReaderTexts {
	const char * m_itemTag;
	const char * m_location;
	const char * m_invalidId;		// %1 name
	const char * m_duplicate;		// %1 name, %2 id
	const char * m_itemError;		// %1 name, %2 id of the item the reader failed in
	const char * m_otherError;		// %1 name of the last item read without error
	const char * m_finalErrorPrefix;// put before the reader's own error text
};

const ReaderTexts MATERIAL_TEXTS = {
	"Material", "Database::readDBMaterials()",
	"Material with name '%1' has an invalid Id.",
	"Definition with ID %2 ('%1') already exists in database.",
	"Error reading material with ID %2 ('%1'): ",
	"Error reading material db, after reading material ('%1'): ",
	""
};
const ReaderTexts CONSTRUCTION_TEXTS = {
	"ConstructionType", "Database::readDBConstructions()",
	"ConstructionType with name '%1' has an invalid Id.",
	"Definition with name '%1' already exists in database.",
	nullptr, nullptr, nullptr
};
const ReaderTexts SHADING_TEXTS = {
	"ShadingType", "Database::readDBShadingTypes()",
	"ShadingType with name '%1' has an invalid Id.",
	"Definition with name '%1' already exists in database.",
	nullptr, nullptr, nullptr
};
const ReaderTexts WINDOW_TEXTS = {
	"WindowType", "[Database::readDBWindows]",
	"WindowType with name '%1' has an invalid Id.",
	"Definition with name '%1' already exists in database.",
	nullptr, nullptr,
	"Error reading Window-Database:\n"
};


/*! Reads every item element of the file into items; onStored runs for each stored item. */
template <typename ItemT, typename StoredHook>
void readDBFile(const QString & path, const ReaderTexts & texts, std::map<unsigned int, ItemT> & items,
				StoredHook onStored)
{
	if (!QFile::exists(path))
		return;
	QFile file(path);
	if (!file.open(QIODevice::ReadOnly))
		return;
	QXmlStreamReader reader(&file);
	std::string lastName;
	while (!reader.atEnd()) {
		reader.readNext();
		if (reader.hasError()) {
			if (texts.m_otherError != nullptr)
				ZEB::ZEB_Message(ZEB::FormatString(texts.m_otherError).arg(lastName), ZEB::MSG_ERROR, texts.m_location, -1);
			break;
		}
		if (!reader.isStartElement() || reader.name() != QLatin1String(texts.m_itemTag))
			continue;
		ItemT item;
		item.readXML(reader);
		const std::string name = item.name().toStdString();
		if (reader.hasError()) {
			if (texts.m_itemError != nullptr)
				ZEB::ZEB_Message(ZEB::FormatString(texts.m_itemError).arg(name).arg(item.m_id), ZEB::MSG_ERROR,
					 texts.m_location, -1);
			break;
		}
		lastName = name;
		if (item.m_id == 0) {
			ZEB::ZEB_Message(ZEB::FormatString(texts.m_invalidId).arg(name), ZEB::MSG_WARNING, texts.m_location, 1);
			continue;
		}
		if (items.find(item.m_id) != items.end()) {
			ZEB::ZEB_Message(ZEB::FormatString(texts.m_duplicate).arg(name).arg(item.m_id), ZEB::MSG_WARNING,
				 texts.m_location, 1);
			continue;
		}
		onStored(items.emplace(item.m_id, item).first->second);
	}
	if (reader.hasError() && texts.m_finalErrorPrefix != nullptr)
		// the error text may quote the file, '%' included: an argument, not part of the format
		ZEB::ZEB_Message(ZEB::FormatString(std::string(texts.m_finalErrorPrefix) + "%1").arg(reader.errorString().toStdString()),
			 ZEB::MSG_ERROR, texts.m_location, -1);
}


/*! Steps 1 and 2 of every add: the id to store under, which is also given to item. */
template <typename ItemT>
unsigned int newId(const std::map<unsigned int, ItemT> & items, unsigned int & last, ItemT & item, unsigned int id) {
	if (id == 0 || items.find(id) != items.end()) {
		do
			++last;
		while (items.find(last) != items.end());
		id = last;
	}
	item.m_id = id;
	return id;
}


/*! Removes a user item; a missing or built-in item stays with a warning. */
template <typename ItemT>
bool deleteItem(std::map<unsigned int, ItemT> & items, unsigned int id, const char * kind, const char * location) {
	const auto it = items.find(id);
	if (it == items.end()) {
		ZEB::ZEB_Message(ZEB::FormatString("There is no %1 with ID %2 to delete.").arg(kind).arg(id), ZEB::MSG_WARNING, location, 1);
		return false;
	}
	if (it->second.m_builtin) {
		ZEB::ZEB_Message(ZEB::FormatString("The %1 with ID %2 is built-in and cannot be deleted.").arg(kind).arg(id),
			 ZEB::MSG_WARNING, location, 1);
		return false;
	}
	items.erase(it);
	return true;
}


/*! Marks every item built-in and raises maxId to the highest of their ids. */
template <typename ItemT>
void markBuiltin(std::map<unsigned int, ItemT> & items, unsigned int & maxId) {
	for (auto & entry : items) {
		entry.second.m_builtin = true;
		maxId = std::max(maxId, entry.first);
	}
}


/*! Raises last to the highest id of the items that are not built-in. */
template <typename ItemT>
void raiseLastId(const std::map<unsigned int, ItemT> & items, unsigned int & last) {
	for (const auto & entry : items)
		if (!entry.second.m_builtin)
			last = std::max(last, entry.first);
}


template <typename ItemT>
const ItemT * lookup(const std::map<unsigned int, ItemT> & items, unsigned int id) {
	const auto it = items.find(id);
	return it == items.end() ? nullptr : &it->second;
}

} // namespace


const Material * Database::materialById(unsigned int id) const {
	return lookup(m_materials, id);
}


const ConstructionType * Database::constructionById(unsigned int id) const {
	return lookup(m_constructions, id);
}


const WindowType * Database::windowById(unsigned int id) const {
	return lookup(m_windows, id);
}


const ShadingType * Database::shadingTypeById(unsigned int id) const {
	return lookup(m_shadingTypes, id);
}


QString Database::invalidConstructionText() {
	return QCoreApplication::translate("Database", "No Construction");
}


QString Database::noWindowText() {
	return QCoreApplication::translate("Database", "No Window");
}


QString Database::invalidMaterialText() {
	return QCoreApplication::translate("Database", "<select material>");
}


QString Database::noShadingText() {
	return QCoreApplication::translate("Database", "No Shading");
}


unsigned int Database::addMaterial(Material & item, unsigned int id) {
	id = newId(m_materials, m_lastMaterialId, item, id);
	m_modified = true;
	if (id >= USER_ID_START)
		item.m_builtin = false;
	m_materials[id] = item;
	return id;
}


unsigned int Database::addConstructionType(ConstructionType & item, unsigned int id) {
	id = newId(m_constructions, m_lastConstructionId, item, id);
	m_modified = true;
	m_constructions[id] = item;
	m_constructionUserKeys1.insert(item.m_userKey1);
	m_constructionUserKeys2.insert(item.m_userKey2);
	return id;
}


unsigned int Database::addWindowType(WindowType & item, unsigned int id) {
	id = newId(m_windows, m_lastWindowId, item, id);
	m_modified = true;
	m_windows[id] = item;
	m_windowUserKeys.insert(item.m_userKey);
	return id;
}


unsigned int Database::addShadingType(ShadingType & item, unsigned int id) {
	id = newId(m_shadingTypes, m_lastShadingTypeId, item, id);
	m_modified = true;
	m_shadingTypes[id] = item;
	return id;
}


void Database::deleteMaterial(unsigned int id) {
	if (deleteItem(m_materials, id, "material", "[Database::deleteMaterial]"))
		m_modified = true;
}


void Database::deleteConstructionType(unsigned int id) {
	if (deleteItem(m_constructions, id, "construction type", "[Database::deleteConstructionType]"))
		m_modified = true;
}


void Database::deleteWindowType(unsigned int id) {
	if (deleteItem(m_windows, id, "window type", "[Database::deleteWindowType]"))
		m_modified = true;
}


void Database::deleteShadingType(unsigned int id) {
	if (deleteItem(m_shadingTypes, id, "shading type", "[Database::deleteShadingType]"))
		m_modified = true;
}


void Database::readDBMaterials(const QString & path) {
	readDBFile(path, MATERIAL_TEXTS, m_materials, [](const Material &) {});
}


void Database::readDBConstructions(const QString & path) {
	readDBFile(path, CONSTRUCTION_TEXTS, m_constructions, [this](const ConstructionType & c) {
		m_constructionUserKeys1.insert(c.m_userKey1);
		m_constructionUserKeys2.insert(c.m_userKey2);
	});
}


void Database::readDBShadingTypes(const QString & path) {
	readDBFile(path, SHADING_TEXTS, m_shadingTypes, [](const ShadingType &) {});
}


void Database::readDBWindows(const QString & path) {
	readDBFile(path, WINDOW_TEXTS, m_windows, [this](const WindowType & w) {
		if (!w.m_userKey.isEmpty())
			m_windowUserKeys.insert(w.m_userKey);
	});
}


void Database::readDatabase() {
	readDatabase(Wexil::Directories::databasesDir(), Wexil::Directories::userDataDir());
}


void Database::readDatabase(const QString & builtinDir, const QString & userDir) {
	const char * const FUNC_ID = "Database::readDatabase()";
	ZEB::ZEB_Message(ZEB::FormatString("Reading databases from DB dir: '%1'.\n").arg(builtinDir.toStdString()),
		 ZEB::MSG_PROGRESS, FUNC_ID, 1);
	readDBMaterials(builtinDir + "/db_materials.xml");
	readDBConstructions(builtinDir + "/db_constructions.xml");
	readDBShadingTypes(builtinDir + "/db_shadingTypes.xml");
	readDBWindows(builtinDir + "/db_windows.xml");

	markBuiltin(m_materials, m_maxBuiltinMaterialId);
	markBuiltin(m_constructions, m_maxBuiltinConstructionId);
	markBuiltin(m_shadingTypes, m_maxBuiltinShadingTypeId);
	markBuiltin(m_windows, m_maxBuiltinWindowId);

	ZEB::ZEB_Message(ZEB::FormatString("Reading databases from user DB dir: '%1'.\n").arg(userDir.toStdString()),
		 ZEB::MSG_PROGRESS, FUNC_ID, 1);
	readDBMaterials(userDir + "/db_materials.xml");
	readDBConstructions(userDir + "/db_constructions.xml");
	readDBShadingTypes(userDir + "/db_shadingTypes.xml");
	readDBWindows(userDir + "/db_windows.xml");

	raiseLastId(m_materials, m_lastMaterialId);
	raiseLastId(m_constructions, m_lastConstructionId);
	raiseLastId(m_shadingTypes, m_lastShadingTypeId);
	raiseLastId(m_windows, m_lastWindowId);
}


void Database::writeDatabase() const {
	writeDatabase(Wexil::Directories::userDataDir());
}


void Database::writeDatabase(const QString & dir) const {
	if (!QDir(dir).exists() && !QDir().mkdir(dir))
		return;
	writeDBFile(dir + "/db_materials.xml", "Material", m_materials);
	writeDBFile(dir + "/db_constructions.xml", "ConstructionType", m_constructions);
	writeDBFile(dir + "/db_windows.xml", "Window", m_windows);
	writeDBFile(dir + "/db_shadingTypes.xml", "ShadingType", m_shadingTypes);
}


void Database::init() {
	m_modified = false;
	m_materials.clear();
	m_constructions.clear();
	m_windows.clear();
	m_shadingTypes.clear();
	m_maxBuiltinMaterialId = 0;
	m_maxBuiltinConstructionId = 0;
	m_maxBuiltinWindowId = 0;
	m_maxBuiltinShadingTypeId = 0;
	m_lastMaterialId = USER_ID_START;
	m_lastConstructionId = USER_ID_START;
	m_lastWindowId = USER_ID_START;
	m_lastShadingTypeId = USER_ID_START;
	readDatabase();
}

} // namespace RX
