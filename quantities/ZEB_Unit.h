#ifndef ZEB_UnitH
#define ZEB_UnitH

#include <iosfwd>
#include <string>

namespace ZEB {

/*! A physical unit, held as its id in the process-wide unit list (ZEB::UnitList).

	Id 0 is "undefined", the unit that stands for no unit. Two units are the same exactly when
	their ids are equal. Names and base units are looked up in the list on every call.
*/
class Unit {
public:
	/*! "undefined". */
	Unit() = default;
	/*! Throws "Unit '...' not found." for a name that is not in the list. */
	explicit Unit(const std::string & name);
	/*! Throws for an id beyond the list. */
	explicit Unit(unsigned int id);

	/*! As the name constructor; the unit is unchanged on failure. */
	void set(const std::string & name);
	/*! As the id constructor; the unit is unchanged on failure. */
	void set(unsigned int id);

	unsigned int id() const { return m_id; }
	/*! Valid until the unit list is re-read. */
	const std::string & name() const;
	unsigned int base_id() const;
	Unit base_unit() const { return Unit(base_id()); }

	/*! The conversion from this unit into unit id: value op factor (op 0 leave, 1 add,
		3 multiply, 5 special). Throws when the units do not share a base unit. */
	void relate_to(unsigned int id, double & factor, unsigned int & op) const;
	void relate_to(const std::string & name, double & factor, unsigned int & op) const;
	void relate_to(Unit unit, double & factor, unsigned int & op) const { relate_to(unit.m_id, factor, op); }

	bool operator==(const Unit & other) const { return m_id == other.m_id; }
	bool operator!=(const Unit & other) const { return m_id != other.m_id; }

	/*! Position in the unit list. */
	unsigned int	m_id = 0;
};

/*! Writes the name. */
std::ostream & operator<<(std::ostream & out, const Unit & unit);
/*! Reads one word as unit name; throws for a word that is not a unit; a failed read leaves the
	unit unchanged. */
std::istream & operator>>(std::istream & in, Unit & unit);

} // namespace ZEB

#endif // ZEB_UnitH
