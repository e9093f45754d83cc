#ifndef ZEB_UnitVectorH
#define ZEB_UnitVectorH

#include <iosfwd>
#include <string>
#include <vector>

#include "ZEB_Unit.h"

namespace ZEB {

/*! A named series of values in one unit: a climate column, a schedule's values, a power curve.
	Owners bring the values into the unit the model computes in with one call of convert(). */
class UnitVector {
public:
	/*! Converts every value into target and makes it the unit; nothing when target is the unit.
		A relate failure leaves values and unit unchanged. */
	void convert(Unit target);
	/*! Converts one value from the unit into target when either is special; logarithms clamp at
		-50 (density 1e-50 kg/m3). */
	void convert_special(Unit target, double & value) const;
	/*! Removes all values, unit becomes "undefined"; the name stays. */
	void clear();
	/*! n copies of value; then the unit by name (throws "Unit '...' not found."). */
	void set(unsigned int n, double value, const std::string & unitName);

	/*! Unit ids, counts or any value pair differ (NaN differs from everything); names are not compared. */
	bool operator!=(const UnitVector & other) const;
	bool operator==(const UnitVector & other) const { return !operator!=(other); }

	/*! indent blanks, each value (held in the base unit, shown in m_unit) and a blank, then
		the unit name when withUnit. */
	void write(std::ostream & out, unsigned int indent, bool withUnit) const;
	std::string toString(bool withUnit) const;
	/*! Reads numbers, then an optional unit word: with useUnit the values are converted from that
		unit into its base unit, which becomes the unit; without, the unit becomes "undefined".
		Without a unit word the unit stays. */
	void read(const std::string & data, bool useUnit);

	/*! Name (binary string), u64 count, the values; the unit is not stored. */
	void writeBinary(std::ostream & out) const;
	/*! Reads the binary form; the unit stays. Throws for a truncated stream or more than
		10,000,000 values. */
	void readBinary(std::istream & in);

	/*! Name of the quantity; only the binary form stores it. */
	std::string			m_name;
	Unit				m_unit;
	std::vector<double>	m_data;
};

} // namespace ZEB

#endif // ZEB_UnitVectorH
