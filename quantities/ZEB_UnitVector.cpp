#include "ZEB_UnitVector.h"

#include <cmath>
#include <cstdint>
#include <istream>
#include <locale>
#include <ostream>
#include <sstream>

#include "ZEB_Exception.h"
#include "ZEB_InputOutput.h"
#include "ZEB_Math.h"
#include "ZEB_UnitList.h"

namespace ZEB {

namespace {

const unsigned int MAX_NAME_LENGTH = 10000;
const std::uint64_t MAX_VALUE_COUNT = 10000000;

// Density scale of the logarithmic units relative to kg/m3, 0 when the unit is no logarithm.
double logarithmScale(const std::string & name) {
	if (name == "log(kg/m3)")			return 1;
	if (name == "log(g/m3)")			return 1000;
	if (name == "log(mg/m3)")			return 1e6;
	if (name == "log(\xC2\xB5g/m3)")	return 1e9;
	return 0;
}

} // namespace


void UnitVector::convert(Unit target) {
	if (target.m_id == m_unit.m_id)
		return;
	double factor;
	unsigned int op;
	m_unit.relate_to(target, factor, op);
	switch (op) {
		case 1 :
			for (double & v : m_data)
				v += factor;
			break;
		case 3 :
			for (double & v : m_data)
				v *= factor;
			break;
		case 5 :
			for (double & v : m_data)
				convert_special(target, v);
			break;
		default :
			break;
	}
	m_unit = target;
}


void UnitVector::convert_special(Unit target, double & value) const {
	UnitList * list = UnitList::instance();
	const std::string & fromName = m_unit.name();
	const Unit base = m_unit.base_unit();
	const double x = value;
	double t;
	if (const double scale = logarithmScale(fromName))
		t = x <= -50 ? 1e-50 : f_pow10(x) / scale;
	else if (fromName == "sqrt(s)")
		t = x * x;
	else if (fromName == "sqrt(h)")
		t = x * x * 3600;
	else {
		t = x;
		list->convert(m_unit, base, t);
	}

	const std::string & toName = target.name();
	if (const double scale = logarithmScale(toName))
		value = t <= 1e-50 ? -50 : f_log10(t * scale);
	else if (toName == "sqrt(s)" || toName == "sqrt(h)") {
		if (t < 0)
			throw Exception("Conversion error (square-root of negative number)!", "[UnitVector::convert_special]");
		value = toName == "sqrt(s)" ? std::sqrt(t) : std::sqrt(t / 3600);
	}
	else {
		list->convert(base, target, t);
		value = t;
	}
}


void UnitVector::clear() {
	m_data.clear();
	m_unit = Unit();
}


void UnitVector::set(unsigned int n, double value, const std::string & unitName) {
	m_data.assign(n, value);
	m_unit.set(unitName);
}


bool UnitVector::operator!=(const UnitVector & other) const {
	if (m_unit.m_id != other.m_unit.m_id || m_data.size() != other.m_data.size())
		return true;
	for (std::size_t i = 0; i < m_data.size(); ++i)
		if (!(m_data[i] == other.m_data[i]))
			return true;
	return false;
}


void UnitVector::write(std::ostream & out, unsigned int indent, bool withUnit) const {
	// the values are held in the base unit and shown in m_unit
	UnitVector shown(*this);
	shown.m_unit = m_unit.base_unit();
	shown.convert(m_unit);
	out << std::string(indent, ' ');
	for (double v : shown.m_data)
		out << v << ' ';
	if (withUnit)
		out << m_unit.name();
}


std::string UnitVector::toString(bool withUnit) const {
	std::stringstream strm;
	strm.imbue(std::locale::classic());
	write(strm, 0, withUnit);
	return strm.str();
}


void UnitVector::read(const std::string & data, bool useUnit) {
	m_data.clear();
	std::stringstream strm(data);
	strm.imbue(std::locale::classic());
	double v;
	while (strm >> v)
		m_data.push_back(v);
	if (m_data.empty())
		throw Exception("Error reading vector data. String was empty or did not contain any values "
						"(started with string or similar)!", "[UnitVector::read]");
	strm.clear();
	std::string word;
	strm >> word;
	if (word.empty())
		return;
	if (!useUnit) {
		m_unit = Unit();
		return;
	}
	const UnitData * u = UnitList::instance()->retrieve(word);
	if (u == nullptr)
		throw Exception(FormatString("Invalid vector unit '%1'!").arg(word), "[UnitVector::read]");
	m_unit = Unit(u->id);
	convert(m_unit.base_unit());
}


void UnitVector::writeBinary(std::ostream & out) const {
	write_string_binary(out, m_name);
	const std::uint64_t count = m_data.size();
	out.write(reinterpret_cast<const char *>(&count), sizeof(count));
	if (count != 0)
		out.write(reinterpret_cast<const char *>(m_data.data()), static_cast<std::streamsize>(count * sizeof(double)));
}


void UnitVector::readBinary(std::istream & in) {
	const char * const location = "[UnitVector::readBinary]";
	std::string name;
	read_string_binary(in, name, MAX_NAME_LENGTH);
	std::uint64_t count = 0;
	in.read(reinterpret_cast<char *>(&count), sizeof(count));
	if (!in)
		throw Exception("Error reading from input stream!", location);
	// a corrupt count must not turn into a huge allocation
	if (count > MAX_VALUE_COUNT)
		throw Exception("Vector length exceeds given maximum!", location);
	std::vector<double> values(static_cast<std::size_t>(count));
	if (count != 0) {
		in.read(reinterpret_cast<char *>(values.data()), static_cast<std::streamsize>(count * sizeof(double)));
		if (!in)
			throw Exception("Error reading from input stream!", location);
	}
	m_name.swap(name);
	m_data.swap(values);
}

} // namespace ZEB
