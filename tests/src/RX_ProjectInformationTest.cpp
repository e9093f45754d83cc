#include <gtest/gtest.h>

#include <QSettings>

#include "RX_ProjectInformation.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using XMLTestSupport::readInto;
using XMLTestSupport::written;

namespace {

RX::ProjectInformation filled() {
	RX::ProjectInformation p;
	p.m_projectName = "Villa";
	p.m_constructionID = "B-7";
	p.m_userName = "Ana";
	p.m_company = "Bau & Co";
	p.m_description = "Two floors";
	p.m_location = "Dresden";
	p.m_disclaimerText = "None";
	return p;
}

} // namespace


TEST(RXProjectInformation, WritesEveryTextAndReadsOnlyThePresentOnes) {
	EXPECT_EQ(written(RX::ProjectInformation()),
			  "<ProjectInformation><ProjectName></ProjectName><ConstructionID></ConstructionID><UserName></UserName>"
			  "<Company></Company><Location></Location><Description></Description><DisclaimerText></DisclaimerText>"
			  "</ProjectInformation>");
	RX::ProjectInformation back;
	EXPECT_EQ(readInto(written(filled()), back), "");
	EXPECT_EQ(written(back), written(filled()));

	TestSupport::MessageRecorder recorder;
	EXPECT_EQ(readInto(QString("<ProjectInformation><Phone>123<x/></Phone><Company>New</Company></ProjectInformation>"), back), "");
	RX::ProjectInformation expected = filled();
	expected.m_company = "New";
	EXPECT_EQ(written(back), written(expected));
	EXPECT_EQ(recorder.texts("[ProjectInformation::readXML]"),
			  std::vector<std::string>{"Found unknown element 'Phone' in ProjectInformation."});
}


TEST(RXProjectInformation, KeepsDefaultsInTheSettingsGroup) {
	TestSupport::TempDirectory dir("settings");
	QSettings settings(QString::fromStdString(dir.file("s.ini")), QSettings::IniFormat);
	RX::ProjectInformation p = filled();
	p.readSettings(settings);
	EXPECT_EQ(written(p), written(RX::ProjectInformation()));

	filled().writeSettings(settings);
	EXPECT_EQ(settings.value("DefaultProjectSettings/Location").toString(), "Dresden");
	p.readSettings(settings);
	EXPECT_EQ(written(p), written(filled()));
	EXPECT_TRUE(settings.group().isEmpty());
}
