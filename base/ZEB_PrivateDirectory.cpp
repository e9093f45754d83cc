#include "ZEB_PrivateDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <QDir>

#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_Interruption.h"

namespace ZEB {

PrivateDirectory::PrivateDirectory(const std::string & prefix, const std::string & parent, const char * location) {
	// absolute: the model may change the working directory while the directory lives
	const QDir dir(parent.empty() ? QDir::tempPath() : QDir(QString::fromStdString(parent)).absolutePath());
	std::string pattern = dir.absoluteFilePath(QString::fromStdString(prefix)).toStdString() + "XXXXXX";
	const Interruption::Hold hold;
	if (mkdtemp(&pattern[0]) == nullptr)
		throw Exception(FormatString("Cannot create directory: '%1' (%2).").arg(pattern).arg(std::strerror(errno)),
						location);
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
	if (!m_path.empty())
		Interruption::removeTree(m_path.c_str());
	Interruption::remove(m_slot);
}


void PrivateDirectory::keep() {
	m_path.clear();
	Interruption::remove(m_slot);
	m_slot = -1;
}

} // namespace ZEB
