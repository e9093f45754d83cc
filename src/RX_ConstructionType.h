#ifndef RX_ConstructionTypeH
#define RX_ConstructionTypeH

#include <functional>
#include <vector>

#include <QString>

#include "RX_AbstractDatabaseItem.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

class Material;

/*! The layer build-up of a wall, roof or floor: materials (by id) with their thicknesses, in the
	order of the file, plus three classification kinds and two free user keys. Answers whether
	its layers are usable and computes the U-value and the area mass and heat capacity.

	Materials are looked up through a function (id to material, null when unknown); the
	database forms take any database with materialById(unsigned int), such as RX::Database.
*/
class ConstructionType : public AbstractDatabaseItem {
public:
	enum InsulationKind {
		IK_NON_INSULATED,
		IK_INSIDE_INSULATED,
		IK_CORE_INSULATED,
		IK_OUTSIDE_INSULATED,
		IK_MISCELLANEOUS
	};
	enum MaterialKind {
		MK_BRICK_MASONRY,
		MK_NATURAL_STONE_MASONRY,
		MK_CONCRETE,
		MK_WOODEN_CONSTRUCTION,
		MK_FRAMEWORK_CONSTRUCTION,
		MK_LOAM_WALL,
		MK_MISCELLANEOUS
	};
	enum ConstructionKind {
		CK_OUTER_WALL,
		CK_OUTER_WALL_TO_GROUND,
		CK_INNER_WALL,
		CK_SLOPED_ROOF,
		CK_FLAT_ROOF,
		CK_FLOOR_TO_CELLAR,
		CK_FLOOR_TO_GROUND,
		CK_CEILING,
		CK_MISCELLANEOUS
	};

	/*! The material of an id; null when there is none. */
	using MaterialLookup = std::function<const Material *(unsigned int id)>;

	/*! Id 0, then clear(). */
	ConstructionType();

	/*! Name "unnamed", no layers, miscellaneous kinds; the user keys stay. */
	void clear();

	/*! Every layer has a known, valid material and a thickness > 0; true without layers. False
		when the two layer vectors differ in length. */
	bool isValid(const MaterialLookup & materialById) const;
	/*! U = 1 / (R1 + R2 + sum d/lambda) [W/m2K] with the surface resistances R1, R2 [m2K/W].
		False (U unchanged) for an unknown material, lambda <= 0, d <= 0 or unequal layer vectors. */
	bool calculateUValue(double & U, const MaterialLookup & materialById, double R1, double R2) const;
	/*! Sum d*rho [kg/m2] and sum cT*d*rho [J/m2K]. False (outputs unchanged) for an unknown
		material, a d, rho or cT <= 0, or unequal layer vectors. */
	bool calculateRhoCValue(double & massPerArea, double & heatCapacityPerArea, const MaterialLookup & materialById) const;

	template <typename DatabaseT>
	bool isValid(const DatabaseT * db) const { return isValid(lookupIn(db)); }
	template <typename DatabaseT>
	bool calculateUValue(double & U, const DatabaseT * db, double R1, double R2) const {
		return calculateUValue(U, lookupIn(db), R1, R2);
	}
	template <typename DatabaseT>
	bool calculateRhoCValue(double & massPerArea, double & heatCapacityPerArea, const DatabaseT * db) const {
		return calculateRhoCValue(massPerArea, heatCapacityPerArea, lookupIn(db));
	}

	/*! Translated display texts; "Unknown" for a number outside the kind. */
	static QString insulationKindString(InsulationKind kind);
	static QString materialKindString(MaterialKind kind);
	static QString constructionKindString(ConstructionKind kind);

	/*! Same encoded name and the same layers (ids and exactly equal thicknesses). */
	bool operator==(const ConstructionType & other) const;
	bool operator!=(const ConstructionType & other) const { return !operator==(other); }

	/*! Reads a "ConstructionType" element (reader on its start element); bad values (also a kind
		that is no whole number and a negative thickness) become reader errors, children other
		than "Layers" and those of a layer are skipped with a warning. */
	void readXML(QXmlStreamReader & reader);
	void writeXML(QXmlStreamWriter & writer) const;

	/*! Layer thicknesses [m]. */
	std::vector<double>			m_d;
	/*! Material id of each layer, parallel to m_d. */
	std::vector<unsigned int>	m_materialIds;
	InsulationKind				m_insulationKind = IK_MISCELLANEOUS;
	MaterialKind				m_materialKind = MK_MISCELLANEOUS;
	ConstructionKind			m_constructionKind = CK_MISCELLANEOUS;
	QString						m_userKey1;
	QString						m_userKey2;

private:
	template <typename DatabaseT>
	static MaterialLookup lookupIn(const DatabaseT * db) {
		if (db == nullptr)
			return MaterialLookup();
		return [db](unsigned int id) -> const Material * { return db->materialById(id); };
	}

	/*! The materials of all layers, or false when a layer has none (or the vectors differ). */
	bool layerMaterials(const MaterialLookup & materialById, std::vector<const Material *> & materials) const;
};

} // namespace RX

#endif // RX_ConstructionTypeH
