#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QXmlStreamReader>

#include "ZEB_Exception.h"

#include "RX_CoolingModel.h"
#include "RX_HeatingModel.h"
#include "RX_MechanicalVentilationModel.h"
#include "RX_MoistureLoads.h"
#include "RX_NaturalVentilationModel.h"
#include "RX_UserLoads.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

namespace {

using ElementReader = std::function<void(QXmlStreamReader &)>;

// Runs read on the first start element of xml; true when it ended in a reader error or a
// ZEB::Exception, false when it read cleanly or never started.
bool failsOn(const QByteArray & xml, const ElementReader & read) {
	QXmlStreamReader reader(xml);
	while (!reader.atEnd() && !reader.isStartElement())
		reader.readNext();
	if (!reader.isStartElement())
		return true;
	try {
		read(reader);
	}
	catch (const ZEB::Exception &) {
		return true;
	}
	return reader.hasError();
}

template <typename T>
ElementReader reader() {
	return [](QXmlStreamReader & r) { T model; model.readXML(r); };
}

struct Case {
	const char *	m_what;
	ElementReader	m_read;
	QByteArray		m_xml;
};

std::vector<Case> cases() {
	RX::HeatingModel heating;
	heating.m_modelType = RX::HeatingModel::SIMPLE;
	RX::CoolingModel cooling;
	cooling.m_maxPowerCurve.setValues({290, 300}, {1000, 1500});
	RX::NaturalVentilationModel natural;
	natural.m_modelType = RX::NaturalVentilationModel::DIN;
	RX::MechanicalVentilationModel mechanical;
	RX::UserLoads user;
	user.m_scheduleOccupancy.m_type = RX::Schedule::DAILY_WEEK;
	RX::MoistureLoads moisture;
	using XMLTestSupport::written;
	return {
		{"HeatingModel", reader<RX::HeatingModel>(), written(heating).toUtf8()},
		{"CoolingModel", reader<RX::CoolingModel>(), written(cooling).toUtf8()},
		{"NaturalVentilationModel", reader<RX::NaturalVentilationModel>(), written(natural).toUtf8()},
		{"MechanicalVentilationModel", reader<RX::MechanicalVentilationModel>(), written(mechanical).toUtf8()},
		{"UserLoads", reader<RX::UserLoads>(), written(user).toUtf8()},
		{"MoistureLoads", reader<RX::MoistureLoads>(), written(moisture).toUtf8()}
	};
}

} // namespace


TEST(RXSubModelXML, EveryReaderFailsCleanlyOnEveryCut) {
	TestSupport::MessageRecorder recorder;
	for (const Case & c : cases()) {
		ASSERT_FALSE(failsOn(c.m_xml, c.m_read)) << c.m_what;
		for (int n = 0; n < c.m_xml.size(); ++n)
			EXPECT_TRUE(failsOn(c.m_xml.left(n), c.m_read)) << c.m_what << " cut after " << n << " bytes";
	}
}


TEST(RXSubModelXML, MalformedElementsEndInAnError) {
	TestSupport::MessageRecorder recorder;
	EXPECT_TRUE(failsOn("<HeatingModel><MaxPower>1<b/></MaxPower></HeatingModel>", reader<RX::HeatingModel>()));
	EXPECT_TRUE(failsOn("<CoolingModel><LinearSpline name=\"MaxPowerCurve\"/></CoolingModel>", reader<RX::CoolingModel>()));
	EXPECT_TRUE(failsOn("<NaturalVentilationModel><OccupancyStartTime>&bad;</OccupancyStartTime>"
						"</NaturalVentilationModel>", reader<RX::NaturalVentilationModel>()));
	EXPECT_TRUE(failsOn("<MechanicalVentilationModel><Filter><a></b></Filter></MechanicalVentilationModel>",
						reader<RX::MechanicalVentilationModel>()));
	EXPECT_TRUE(failsOn("<UserLoads><ScheduleOccupancy type=\"CONSTANT\"></UserLoads>", reader<RX::UserLoads>()));
}
