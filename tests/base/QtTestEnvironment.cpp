#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QCoreApplication>

namespace {

// The Qt helpers need an application object, and settings and data directories that live in
// a home of the test's own, never in the real one.
class QtTestEnvironment : public ::testing::Environment {
public:
	void SetUp() override {
		std::string pattern = ::testing::TempDir() + "qthomeXXXXXX";
		ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
		m_home = pattern;
		setenv("HOME", m_home.c_str(), 1);
		unsetenv("XDG_CONFIG_HOME");
		unsetenv("XDG_DATA_HOME");
		m_app = std::make_unique<QCoreApplication>(m_argc, m_argv);
	}
	void TearDown() override {
		m_app.reset();
		std::error_code ec;
		std::filesystem::remove_all(m_home, ec);
	}

private:
	int									m_argc = 1;
	char								m_name[10] = "test_base";
	char *								m_argv[2] = {m_name, nullptr};
	std::string							m_home;
	std::unique_ptr<QCoreApplication>	m_app;
};

const ::testing::Environment * const qtEnvironment = ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);

} // namespace
