#include "ZEB_PathPlaceholders.h"

namespace ZEB {

const char * const PLACEHOLDER_CLIMATE_DIR = "Climate Database";
const char * const PLACEHOLDER_MATERIALS_DIR = "Material Database";
const char * const PLACEHOLDER_INSTALL_DIR = "Install Directory";
const char * const PLACEHOLDER_PROJECT_DIR = "Project Directory";


std::pair<char, char> placeholderBrackets(const std::string & text) {
	if (text.find("$(") != std::string::npos && text.find(')') != std::string::npos)
		return std::make_pair('(', ')');
	if (text.find('{') != std::string::npos && text.find('}') != std::string::npos)
		return std::make_pair('{', '}');
	return std::make_pair('\0', '\0');
}

} // namespace ZEB
