#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>

#include <QCoreApplication>

#include "TestSupport.h"

namespace {

// The Qt helpers need an application object, and settings and data directories that live in
// a home of the test's own, never in the real one.
class QtTestEnvironment : public ::testing::Environment {
public:
	void SetUp() override {
		m_home.emplace("qthome");
		setenv("HOME", m_home->path().c_str(), 1);
		unsetenv("XDG_CONFIG_HOME");
		unsetenv("XDG_DATA_HOME");
		m_app = std::make_unique<QCoreApplication>(m_argc, m_argv);
	}
	void TearDown() override {
		m_app.reset();
		m_home.reset();
	}

private:
	int											m_argc = 1;
	char										m_name[10] = "test_base";
	char *										m_argv[2] = {m_name, nullptr};
	std::optional<TestSupport::TempDirectory>	m_home;
	std::unique_ptr<QCoreApplication>			m_app;
};

const ::testing::Environment * const qtEnvironment = ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);

} // namespace
