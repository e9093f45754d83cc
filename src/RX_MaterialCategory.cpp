#include "RX_MaterialCategory.h"

#include <QCoreApplication>

namespace RX {

MaterialCategory::MaterialCategory(unsigned int category) :
	m_category(category >= MC_COATING && category <= MC_MISCELLANEOUS ? static_cast<Category>(category) : MC_MISCELLANEOUS)
{
}


QString MaterialCategory::toString() const {
	const char * text = QT_TRANSLATE_NOOP("MaterialCategory", "Miscellaneous");
	switch (m_category) {
		case MC_COATING:				text = QT_TRANSLATE_NOOP("MaterialCategory", "Coating"); break;
		case MC_PLASTER_MORTAR:			text = QT_TRANSLATE_NOOP("MaterialCategory", "Plaster and mortar"); break;
		case MC_BUILDING_BRICK:			text = QT_TRANSLATE_NOOP("MaterialCategory", "Building brick"); break;
		case MC_NATURAL_STONES:			text = QT_TRANSLATE_NOOP("MaterialCategory", "Natural stones"); break;
		case MC_CONCRETE:				text = QT_TRANSLATE_NOOP("MaterialCategory", "Concrete containing building materials"); break;
		case MC_INSULATION:				text = QT_TRANSLATE_NOOP("MaterialCategory", "Insulation materials"); break;
		case MC_BUILDING_BOARDS:		text = QT_TRANSLATE_NOOP("MaterialCategory", "Building boards"); break;
		case MC_TIMBER:					text = QT_TRANSLATE_NOOP("MaterialCategory", "Timber"); break;
		case MC_NATURAL_MATERIALS:		text = QT_TRANSLATE_NOOP("MaterialCategory", "Natural materials"); break;
		case MC_SOIL:					text = QT_TRANSLATE_NOOP("MaterialCategory", "Soil"); break;
		case MC_CLADDING_TILES:			text = QT_TRANSLATE_NOOP("MaterialCategory", "Cladding panels and ceramic tiles"); break;
		case MC_FOILS_WATERPROOFING:	text = QT_TRANSLATE_NOOP("MaterialCategory", "Foils and waterproofing products"); break;
		default: break;
	}
	return QCoreApplication::translate("MaterialCategory", text);
}

} // namespace RX
