// Fuzz target of the project file and the database files. The first byte chooses the reader
// (bits 0-2): a project document read into an empty database (0, 6) or into one that holds items
// under the ids the seeds use (1, 7), or one database file of materials (2), construction types
// (3), shading types (4) or window types (5). The rest is the document. Refusals must come as a
// reader error, a message or ZEB::Exception. The items read from a database file must be written
// and read again under the same ids. Documents whose decoding gives unpaired surrogates (a UTF-7
// declaration does) are only read: Qt's reader accepts such text and its writer then fails. (Not to the same files: a name with a part without language
// id keeps the parts before it and gains them again, as the name decoding is defined, on every
// write and read.) A project that was read must be written and read again to the
// same document: what the writer makes of an accepted file must never be refused or changed. Only
// the embedded database may lose items: the writer embeds the items of constructions it leaves
// out for want of a construction type, which the file read back no longer has.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include <QByteArray>
#include <QFile>
#include <QtGlobal>
#include <QXmlStreamReader>

#include "ZEB_Exception.h"

#include "RX_Database.h"
#include "RX_Room.h"

#include "FuzzFiles.h"
#include "FuzzSupport.h"
#include "ProjectSeeds.h"

namespace {

/*! True when a name, attribute value or text of the document is no valid UTF-16. */
bool holdsInvalidText(const QByteArray & document) {
	QXmlStreamReader reader(document);
	while (!reader.atEnd()) {
		reader.readNext();
		if (!reader.name().toString().isValidUtf16() || !reader.text().toString().isValidUtf16())
			return true;
		for (const QXmlStreamAttribute & a : reader.attributes())
			if (!a.name().toString().isValidUtf16() || !a.value().toString().isValidUtf16())
				return true;
	}
	return false;
}

/*! True when the document was read without reader error and exception. */
bool read(const QByteArray & document, RX::Room & room, RX::Database & db) {
	QXmlStreamReader reader(document);
	try {
		room.readXML(reader, db);
	}
	catch (ZEB::Exception &) {
		return false;
	}
	return !reader.hasError();
}

/*! The document without its embedded database. */
QByteArray withoutDatabase(const QByteArray & document) {
	const int begin = document.indexOf("<EmbeddedDataBase");
	const QByteArray endTag = "</EmbeddedDataBase>";
	const int end = document.indexOf(endTag, begin);
	if (begin < 0 || end < 0)
		return document;
	return document.left(begin) + document.mid(end + endTag.size());
}

void project(const QByteArray & document, bool filledDatabase) {
	RX::Room room;
	RX::Database db = filledDatabase ? ProjectSeeds::database() : RX::Database();
	if (!read(document, room, db) || holdsInvalidText(document))
		return;
	const QByteArray written = ProjectSeeds::document(room, db);
	RX::Room back;
	RX::Database backDb;
	if (!read(written, back, backDb)) {
		std::fprintf(stderr, "The written project is refused:\n%s\n", written.constData());
		std::abort();
	}
	const QByteArray again = ProjectSeeds::document(back, backDb);
	if (withoutDatabase(again) != withoutDatabase(written)) {
		std::fprintf(stderr, "The written project reads back into another one:\n%s\nwritten again:\n%s\n",
					 written.constData(), again.constData());
		std::abort();
	}
}

/*! The four files that writeDatabase() wrote into dir, one after the other. */
QByteArray databaseFiles(const QString & dir) {
	QByteArray all;
	for (const char * name : {"/db_materials.xml", "/db_constructions.xml", "/db_shadingTypes.xml", "/db_windows.xml"}) {
		QFile file(dir + name);
		if (file.open(QIODevice::ReadOnly))
			all += file.readAll();
	}
	return all;
}

/*! The ids of the items of every kind, each kind ended by 0 (which is never an item's id). */
std::vector<unsigned int> itemIds(const RX::Database & db) {
	std::vector<unsigned int> ids;
	const auto add = [&](const auto & items) {
		for (const auto & item : items)
			ids.push_back(item.first);
		ids.push_back(0);
	};
	add(db.materials());
	add(db.constructions());
	add(db.shadingTypes());
	add(db.windows());
	return ids;
}

void databaseFile(unsigned int kind, const std::uint8_t * data, std::size_t size) {
	const QString path = QString::fromStdString(FuzzFiles::write("db.xml", data, size));
	RX::Database db;
	switch (kind) {
		case 2: db.readDBMaterials(path); break;
		case 3: db.readDBConstructions(path); break;
		case 4: db.readDBShadingTypes(path); break;
		default: db.readDBWindows(path); break;
	}
	if (holdsInvalidText(QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(size))))
		return;
	const QString dir = QString::fromStdString(FuzzFiles::directory());
	db.writeDatabase(dir + "/written");
	RX::Database back;
	back.readDatabase(dir + "/none", dir + "/written");
	if (itemIds(back) != itemIds(db)) {
		std::fprintf(stderr, "The written database files read back into other items:\n%s\n",
					 databaseFiles(dir + "/written").constData());
		std::abort();
	}
}

} // namespace


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size) {
	FuzzSupport::silence();
	// the reader's debug lines on unknown elements would flood the output and slow the fuzzer down
	qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
	if (size == 0)
		return 0;
	const unsigned int kind = data[0] & 7;
	try {
		if (kind >= 2 && kind <= 5)
			databaseFile(kind, data + 1, size - 1);
		else
			project(QByteArray(reinterpret_cast<const char *>(data + 1), static_cast<int>(size - 1)), kind & 1);
	}
	catch (ZEB::Exception &) {
	}
	return 0;
}
