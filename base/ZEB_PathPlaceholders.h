#ifndef ZEB_PathPlaceholdersH
#define ZEB_PathPlaceholdersH

#include <string>
#include <utility>

namespace ZEB {

// Placeholders stand for a whole leading component of a path: "${name}" or "$(name)".
// Their replacement is ZEB::Path::withReplacedPlaceholders.

/*! Predefined placeholder names. */
extern const char * const PLACEHOLDER_CLIMATE_DIR;		///< "Climate Database"
extern const char * const PLACEHOLDER_MATERIALS_DIR;	///< "Material Database"
extern const char * const PLACEHOLDER_INSTALL_DIR;		///< "Install Directory"
extern const char * const PLACEHOLDER_PROJECT_DIR;		///< "Project Directory"

/*! The placeholder brackets of text: ('(', ')') when it holds "$(" and ')', else ('{', '}') when
	it holds '{' and '}', else two zero characters. */
std::pair<char, char> placeholderBrackets(const std::string & text);

} // namespace ZEB

#endif // ZEB_PathPlaceholdersH
