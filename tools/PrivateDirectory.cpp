#include "PrivateDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <QDir>

#include "Interruption.h"

PrivateDirectory::PrivateDirectory(const std::string & prefix, const std::string & parent) {
	// absolute: the model may change the working directory while the directory lives
	const QDir dir(parent.empty() ? QDir::tempPath() : QDir(QString::fromStdString(parent)).absolutePath());
	std::string pattern = dir.absoluteFilePath(QString::fromStdString(prefix)).toStdString() + "XXXXXX";
	const Interruption::Hold hold;
	if (mkdtemp(&pattern[0]) == nullptr)
		throw std::runtime_error("cannot create a temporary directory '" + pattern + "': " + std::strerror(errno));
	m_path = pattern;
	try {
		m_slot = Interruption::add(m_path, true);
	}
	catch (...) {
		Interruption::removeTree(m_path.c_str());
		throw;
	}
}


PrivateDirectory::~PrivateDirectory() {
	Interruption::removeTree(m_path.c_str());
	Interruption::remove(m_slot);
}
