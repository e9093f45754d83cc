#include <gtest/gtest.h>

#include "Wexil_LanguageHandler.h"

#include "RX_AbstractDatabaseItem.h"

#include "TestSupport.h"

namespace {

QString encoded(const QString & text) {
	RX::AbstractDatabaseItem item;
	item.setNameString(text);
	return item.nameString();
}

// The user-interface language for the lifetime of the object.
class UiLanguage {
public:
	explicit UiLanguage(const QString & lang) : m_old(Wexil::LanguageHandler::langId()) {
		Wexil::LanguageHandler::setLangId(lang);
	}
	~UiLanguage() { Wexil::LanguageHandler::setLangId(m_old); }

private:
	QString m_old;
};

} // namespace


TEST(RXAbstractDatabaseItem, DecodesAndEncodesNames) {
	EXPECT_EQ(encoded("EN: Fenster |de:Fenster"), "de:Fenster|en:Fenster");
	EXPECT_EQ(encoded(""), "unnamed");
	EXPECT_EQ(encoded("Window"), "Window");
	EXPECT_EQ(encoded("en:a:b"), "a");
	EXPECT_EQ(encoded("en:"), "");

	// a part without colon makes the whole input the English name
	RX::AbstractDatabaseItem item(3, "de:Fenster|Window");
	EXPECT_EQ(item.m_id, 3u);
	EXPECT_FALSE(item.m_builtin);
	EXPECT_EQ(item.m_names.size(), 2);
	EXPECT_EQ(item.name("de"), "Fenster");
	EXPECT_EQ(item.name("en"), "de:Fenster|Window");
	EXPECT_EQ(item.name("DE"), "");

	item.setName("FR", " Fenêtre ");
	EXPECT_EQ(item.name("FR"), " Fenêtre ");
	EXPECT_EQ(item.nameString(), "FR: Fenêtre |de:Fenster|en:de:Fenster|Window");
}


TEST(RXAbstractDatabaseItem, ShowsTheUiLanguageElseEnglishElseTheFirst) {
	TestSupport::MessageRecorder recorder;
	UiLanguage french("fr");
	EXPECT_EQ(RX::AbstractDatabaseItem(0, "de:Fenster|en:Window").name(), "Window");
	EXPECT_EQ(RX::AbstractDatabaseItem(0, "it:Finestra|de:Fenster").name(), "Fenster");
	EXPECT_EQ(RX::AbstractDatabaseItem(0, "fr:Fenêtre|en:Window").name(), "Fenêtre");
	// without any name there is nothing to show, and nothing to crash on
	EXPECT_EQ(RX::AbstractDatabaseItem().name(), "");
}
