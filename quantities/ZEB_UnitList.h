#ifndef ZEB_UnitListH
#define ZEB_UnitListH

#include <iosfwd>
#include <string>
#include <vector>

#include "ZEB_Unit.h"
#include "ZEB_ptr_list.h"

namespace ZEB {

/*! The built-in unit table: rows separated by ';', each row a base unit followed by triples of
	operation ('*', '/', '+', '-', '%' special), factor and derived unit name. */
extern const char * const DEFAULT_UNITS;

/*! One unit of the list; value in this unit = value in the base unit, operated with factor. */
struct UnitData {
	UnitData(unsigned int id_, const std::string & name_, unsigned int baseId, double factor_, unsigned int op) :
		id(id_), name(name_), base_id(baseId), factor(factor_), operation(op)
	{}

	/*! Position in the list. */
	unsigned int	id;
	/*! Compared exactly (case and bytes); may hold UTF-8. */
	std::string		name;
	/*! Id of the base unit of the same dimension; equals id for a base unit. */
	unsigned int	base_id;
	double			factor;
	/*! 0 base unit, 1 add, 2 subtract, 3 multiply, 4 divide, 5 special (rule chosen by name). */
	unsigned int	operation;
};


/*! The process-wide table of all units and their conversion rules, built from DEFAULT_UNITS on
	first use. Records are owned by the list; ids equal positions. Re-reading the table
	invalidates every unit id, record pointer and name reference obtained before. Not locked:
	readers must not run while another thread uses units.
*/
class UnitList : public ptr_list<UnitData> {
public:
	/*! The single list, built on the first call. */
	static UnitList * instance();

	/*! First record of that name; null when there is none. */
	const UnitData * retrieve(const std::string & name) const;
	/*! Record of that id; throws for an id beyond the list. */
	const UnitData * retrieve(unsigned int id) const;

	/*! Every unit except "undefined", in list order. */
	void all_units(std::vector<Unit> & units) const;
	/*! Every base unit in list order ("undefined" included); leaves units alone for an empty list. */
	void base_units(std::vector<Unit> & units) const;
	/*! Every unit sharing unit's base unit, without unit itself when withoutSelf; true when any. */
	bool convertible_units(std::vector<Unit> & units, const Unit & unit, bool withoutSelf) const;

	/*! The conversion from -> to as (factor, op): op 0 leave, 1 add factor, 3 multiply by factor,
		5 special. Throws for different base units and for mixing +/- with * and / operations. */
	void relate_units(const UnitData * from, const UnitData * to, double & factor, unsigned int & op) const;
	/*! Converts value in place. */
	void convert(const UnitData * from, const UnitData * to, double & value) const;
	void convert(Unit from, Unit to, double & value) const;
	/*! Conversion through the base unit when a special (square-root, logarithmic) unit is involved. */
	void convert_special(const UnitData * from, const UnitData * to, double & value) const;

	/*! The unit of the integral of unit over space and/or time: "W/m2" gives "J/m2" over time,
		"J/s" over space, "J" over both. */
	static Unit integralQuantity(const Unit & unit, bool spaceIntegral, bool timeIntegral);
	/*! text with the unit between its first '[' and first ']' replaced by its time integral. */
	static std::string replaceUnitWithIntegralUnit(const std::string & text);

	/*! Appends the units of DEFAULT_UNITS; a unit with factor 0 that is not special is left out
		with a warning. */
	bool read_default();
	/*! Replaces the list by the table read line by line (one row a line); with overwrite false a
		filled list is kept. False when the stream has failed or nothing was defined. */
	bool read(std::istream & in, bool overwrite);
	/*! As the stream form, with every ';' of data taken as a line break. */
	bool read(const std::string & data, bool overwrite);
	bool read_file(const std::string & filename, bool overwrite);
	/*! Writes the list as a table text, one row a line; false for an empty list. */
	bool write(const std::string & filename) const;

private:
	UnitList();
};

} // namespace ZEB

#endif // ZEB_UnitListH
