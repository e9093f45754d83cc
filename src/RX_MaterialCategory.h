#ifndef RX_MaterialCategoryH
#define RX_MaterialCategoryH

#include <QString>

namespace RX {

/*! The category of a material, with its display name. */
class MaterialCategory {
public:
	/*! Category numbers as stored in files; numbers outside 1..12 display as miscellaneous. */
	enum Category : unsigned int {
		MC_NONE						= 0,
		MC_COATING					= 1,
		MC_PLASTER_MORTAR			= 2,
		MC_BUILDING_BRICK			= 3,
		MC_NATURAL_STONES			= 4,
		MC_CONCRETE					= 5,
		MC_INSULATION				= 6,
		MC_BUILDING_BOARDS			= 7,
		MC_TIMBER					= 8,
		MC_NATURAL_MATERIALS		= 9,
		MC_SOIL						= 10,
		MC_CLADDING_TILES			= 11,
		MC_FOILS_WATERPROOFING		= 12,
		MC_MISCELLANEOUS			= 13
	};

	/*! Miscellaneous (13). */
	MaterialCategory() = default;
	/*! Any number as given, also outside the table (a file's number is kept as read). */
	MaterialCategory(Category category) : m_category(category) {}
	/*! 1..13 as given, every other number miscellaneous (13). */
	explicit MaterialCategory(unsigned int category);

	/*! The translated display name. */
	QString toString() const;

	Category	m_category = MC_MISCELLANEOUS;
};

} // namespace RX

#endif // RX_MaterialCategoryH
