#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "RX_Database.h"
#include "Wexil_Directories.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using TestSupport::MessageRecorder;
using TestSupport::TempDirectory;

namespace {

// Each test has a home of its own (the test environment's home is restored afterwards), with
// the parent of the user data directory in place: the database creates only the last level.
// No built-in files may lie beside the test program.
class RXDatabase : public ::testing::Test {
protected:
	void SetUp() override {
		setenv("HOME", m_home.path().c_str(), 1);
		std::filesystem::create_directories(m_home.file(".local"));
		m_userDir = Wexil::Directories::userDataDir();
		ASSERT_EQ(m_userDir.toStdString(), m_home.file(".local/share/"));
		for (const char * f : {"db_materials.xml", "db_constructions.xml", "db_windows.xml", "db_shadingTypes.xml"})
			ASSERT_FALSE(QFile::exists(Wexil::Directories::databasesDir() + "/" + f));
	}
	void TearDown() override { setenv("HOME", m_oldHome.c_str(), 1); }

	void writeFile(const std::string & path, const std::string & content) {
		std::filesystem::create_directories(std::filesystem::path(path).parent_path());
		std::ofstream(path) << content;
	}

	const std::string	m_oldHome = std::getenv("HOME");
	TempDirectory		m_home{"dbhome"};
	QString				m_userDir;
};


RX::Material material(const char * name, double lambda) {
	return RX::Material(name, lambda, 1000, 850);
}

} // namespace


TEST_F(RXDatabase, HandsOutIdsAboveTheLastOneAndKeepsFreeIds) {
	RX::Database db;
	EXPECT_EQ(db.materialById(0), nullptr);

	RX::ShadingType s("Blind", 0.3);
	EXPECT_EQ(db.addShadingType(s, 0), 10001u);
	EXPECT_EQ(s.m_id, 10001u);
	EXPECT_EQ(db.addShadingType(s, 0), 10002u);
	EXPECT_EQ(db.shadingTypeById(10002)->m_id, 10002u);
	EXPECT_TRUE(db.isModified());

	RX::Material m = material("Brick", 0.8), m2 = material("Lime", 0.7);
	EXPECT_EQ(db.addMaterial(m, 5), 5u);
	EXPECT_EQ(db.addMaterial(m2, 5), 10001u);
	EXPECT_EQ(db.materialById(5)->nameString(), "Brick");

	RX::Material u = material("User", 1);
	u.m_builtin = true;
	EXPECT_EQ(db.addMaterial(u, 10000), 10000u);
	EXPECT_FALSE(db.materialById(10000)->m_builtin);
	RX::Material b = material("Builtin", 1);
	b.m_builtin = true;
	EXPECT_EQ(db.addMaterial(b, 20), 20u);
	EXPECT_TRUE(db.materialById(20)->m_builtin);

	// an id kept as asked above the counter is skipped when the counter reaches it
	RX::Material far = material("Far", 1), next = material("Next", 1);
	EXPECT_EQ(db.addMaterial(far, 10002), 10002u);
	EXPECT_EQ(db.addMaterial(next, 0), 10003u);

	RX::ConstructionType c;
	c.m_userKey1 = "K1";
	db.addConstructionType(c, 0);
	EXPECT_TRUE(db.constructionUserKeys1().contains("K1"));
	EXPECT_TRUE(db.constructionUserKeys2().contains(""));
}


TEST_F(RXDatabase, DeletesOnlyExistingUserItems) {
	MessageRecorder recorder;
	RX::Database db;
	RX::Material builtin = material("B", 1), user = material("U", 1);
	builtin.m_builtin = true;
	db.addMaterial(builtin, 7);
	db.addMaterial(user, 0);
	db.setModified(false);

	db.deleteMaterial(7);
	db.deleteMaterial(4711);
	db.deleteShadingType(1);
	EXPECT_NE(db.materialById(7), nullptr);
	EXPECT_FALSE(db.isModified());
	EXPECT_EQ(recorder.m_messages.size(), 3u);

	db.deleteMaterial(10001);
	EXPECT_EQ(db.materialById(10001), nullptr);
	EXPECT_TRUE(db.isModified());
	// counters are not lowered
	RX::Material again = material("A", 1);
	EXPECT_EQ(db.addMaterial(again, 0), 10002u);
}


TEST_F(RXDatabase, WritesTheFourFilesAndReadsThemBackEqual) {
	RX::Database db;
	RX::Material m1 = material("en:Brick|de:Ziegel", 0.8), m2 = material("Lime", 0.7);
	db.addMaterial(m2, 10012);
	db.addMaterial(m1, 10005);
	RX::ConstructionType c;
	c.setNameString("Wall");
	c.m_d = {0.2, 0.05};
	c.m_materialIds = {10005, 10012};
	c.m_userKey2 = "K2";
	db.addConstructionType(c, 0);
	RX::WindowType w("Double", 0.8, 0.6, 1.3);
	w.m_userKey = "WK";
	db.addWindowType(w, 0);
	RX::ShadingType s("Blind", 0.25);
	db.addShadingType(s, 0);
	db.writeDatabase();

	const std::string windows = TestSupport::readFile(m_home.file(".local/share/db_windows.xml"));
	EXPECT_EQ(windows.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<WindowList>\n    <WindowType id=\"10001\"", 0), 0u)
		<< windows;
	const std::string materials = TestSupport::readFile(m_home.file(".local/share/db_materials.xml"));
	EXPECT_LT(materials.find("<MaterialList>"), materials.find("id=\"10005\""));
	EXPECT_LT(materials.find("id=\"10005\""), materials.find("id=\"10012\""));

	MessageRecorder recorder;
	RX::Database back;
	back.init();
	ASSERT_EQ(back.materials().size(), 2u);
	ASSERT_TRUE(back.constructionById(10001) && back.windowById(10001) && back.shadingTypeById(10001));
	EXPECT_TRUE(*back.materialById(10005) == m1 && *back.materialById(10012) == m2);
	EXPECT_FALSE(back.materialById(10005)->m_builtin);
	EXPECT_TRUE(*back.constructionById(10001) == c);
	EXPECT_TRUE(*back.windowById(10001) == w);
	EXPECT_TRUE(*back.shadingTypeById(10001) == s);
	EXPECT_TRUE(back.constructionUserKeys2().contains("K2"));
	EXPECT_TRUE(back.windowUserKeys().contains("WK"));

	// the counters start above the user ids read
	RX::Material x = material("X", 1);
	EXPECT_EQ(back.addMaterial(x, 0), 10013u);
	EXPECT_EQ(recorder.texts("Database::readDatabase()").back(),
			  "Reading databases from user DB dir: '" + m_userDir.toStdString() + "'.\n");
}


TEST_F(RXDatabase, MarksBuiltinItemsAndDropsUserItemsWithTheirIds) {
	TempDirectory builtin("builtin");
	writeFile(builtin.file("db_materials.xml"),
			  "<MaterialList><Material id=\"3\" name=\"B3\" lambda=\"1\" rho=\"1\" cT=\"1\"/>"
			  "<Material id=\"0\" name=\"Zero\" lambda=\"1\" rho=\"1\" cT=\"1\"/></MaterialList>");
	writeFile(builtin.file("db_shadingTypes.xml"),
			  "<ShadingTypeList><ShadingType id=\"9\" name=\"S9\" z=\"0.5\"/></ShadingTypeList>");
	writeFile(m_home.file(".local/share/db_materials.xml"),
			  "<MaterialList><Material id=\"3\" name=\"U3\" lambda=\"2\" rho=\"1\" cT=\"1\"/>"
			  "<Material id=\"10020\" name=\"U\" lambda=\"2\" rho=\"1\" cT=\"1\"/></MaterialList>");
	writeFile(m_home.file(".local/share/db_shadingTypes.xml"),
			  "<ShadingTypeList><ShadingType id=\"9\" name=\"U9\" z=\"0.1\"/></ShadingTypeList>");

	MessageRecorder recorder;
	RX::Database db;
	db.readDatabase(QString::fromStdString(builtin.path()), m_userDir);
	EXPECT_EQ(db.materials().size(), 2u);
	EXPECT_EQ(db.materialById(3)->nameString(), "B3");
	EXPECT_TRUE(db.materialById(3)->m_builtin && db.shadingTypeById(9)->m_builtin);
	EXPECT_FALSE(db.materialById(10020)->m_builtin);
	EXPECT_EQ(recorder.texts("Database::readDBMaterials()"),
			  (std::vector<std::string>{"Material with name 'Zero' has an invalid Id.",
										"Definition with ID 3 ('U3') already exists in database."}));
	EXPECT_EQ(recorder.texts("Database::readDBShadingTypes()"),
			  std::vector<std::string>{"Definition with name 'U9' already exists in database."});
	RX::Material x = material("X", 1);
	EXPECT_EQ(db.addMaterial(x, 0), 10021u);

	// built-in items belong to the user files too once written: one duplicate warning each
	db.writeDatabase();
	recorder.m_messages.clear();
	RX::Database again;
	again.readDatabase(QString::fromStdString(builtin.path()), m_userDir);
	EXPECT_EQ(recorder.texts("Database::readDBShadingTypes()"),
			  std::vector<std::string>{"Definition with name 'S9' already exists in database."});
	EXPECT_EQ(again.shadingTypeById(9)->nameString(), "S9");
}


TEST_F(RXDatabase, ReportsBrokenFilesAndKeepsTheItemsBeforeTheFault) {
	const std::string dir = m_home.file(".local/share/");
	writeFile(dir + "db_materials.xml",
			  "<MaterialList><Material id=\"1\" name=\"A\" lambda=\"1\" rho=\"1\" cT=\"1\"/>"
			  "<Material id=\"7\" name=\"Bad\" lambda=\"x\" rho=\"1\" cT=\"1\"/></MaterialList>");
	writeFile(dir + "db_windows.xml", "<WindowList><WindowType id=\"4\" name=\"W\" f=\"1\" g=\"1\" U=\"1\"/></Wrong>");
	writeFile(dir + "db_shadingTypes.xml", "<ShadingTypeList><ShadingType id=\"2\" name=\"S\" z=\"1\"/><");

	MessageRecorder recorder;
	RX::Database db;
	db.readDatabase("/nonexistent", m_userDir);
	EXPECT_TRUE(db.materialById(1) && db.windowById(4) && db.shadingTypeById(2));
	EXPECT_EQ(db.materialById(7), nullptr);
	EXPECT_TRUE(recorder.texts("Database::readDBShadingTypes()").empty());

	const std::vector<std::string> mat = recorder.texts("Database::readDBMaterials()");
	ASSERT_EQ(mat.size(), 2u);
	EXPECT_EQ(mat[0], "Error reading material with ID 7 ('Bad'): ");
	EXPECT_EQ(mat[1], "Invalid value 'x' in attribute 'lambda' of Material, expected a finite number.");
	const std::vector<std::string> win = recorder.texts("[Database::readDBWindows]");
	ASSERT_EQ(win.size(), 1u);
	EXPECT_EQ(win[0].rfind("Error reading Window-Database:\nOpening and ending tag mismatch", 0), 0u) << win[0];

	// the reader's error text quotes the file as it is
	recorder.m_messages.clear();
	writeFile(dir + "db_windows.xml", "<WindowList><WindowType id=\"4\" f=\"1\" g=\"1\" U=\"1\">"
			  "<LinearSpline name=\"50%%\"><X unit=\"Deg\">0 1</X><Y unit=\"%\">1 1</Y></LinearSpline></WindowType></WindowList>");
	RX::Database db3;
	db3.readDBWindows(m_userDir + "/db_windows.xml");
	EXPECT_EQ(recorder.texts("[Database::readDBWindows]"),
			  std::vector<std::string>{"Error reading Window-Database:\nInvalid name '50%%' of the LinearSpline of "
									   "WindowType with id='4', expected 'RelativeSHGC'."});

	recorder.m_messages.clear();
	writeFile(dir + "db_materials.xml", "<MaterialList><Material id=\"1\" name=\"A\" lambda=\"1\" rho=\"1\" cT=\"1\"/><<");
	RX::Database db2;
	db2.readDBMaterials(m_userDir + "/db_materials.xml");
	EXPECT_EQ(recorder.texts("Database::readDBMaterials()").at(0),
			  "Error reading material db, after reading material ('A'): ");
}
