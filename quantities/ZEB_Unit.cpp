#include "ZEB_Unit.h"

#include <istream>
#include <ostream>

#include "ZEB_Exception.h"
#include "ZEB_UnitList.h"

namespace ZEB {

namespace {

unsigned int idOfName(const std::string & name, const char * location) {
	const UnitData * u = UnitList::instance()->retrieve(name);
	if (u == nullptr)
		throw Exception(FormatString("Unit '%1' not found.").arg(name), location);
	return u->id;
}

unsigned int checkedId(unsigned int id, const char * location) {
	const UnitList * list = UnitList::instance();
	if (id >= list->size())
		throw Exception(FormatString("Unit index %1 out of range 0..%2.").arg(id)
						.arg(static_cast<int>(list->size()) - 1), location);
	return id;
}

} // namespace


Unit::Unit(const std::string & name) :
	m_id(idOfName(name, "[Unit::Unit]"))
{
}


Unit::Unit(unsigned int id) :
	m_id(checkedId(id, "[Unit::Unit]"))
{
}


void Unit::set(const std::string & name) {
	m_id = idOfName(name, "[Unit::set]");
}


void Unit::set(unsigned int id) {
	m_id = checkedId(id, "[Unit::set]");
}


const std::string & Unit::name() const {
	return UnitList::instance()->retrieve(m_id)->name;
}


unsigned int Unit::base_id() const {
	return UnitList::instance()->retrieve(m_id)->base_id;
}


void Unit::relate_to(unsigned int id, double & factor, unsigned int & op) const {
	if (id == m_id) {
		factor = 1.0;
		op = 3;
		return;
	}
	const UnitList * list = UnitList::instance();
	list->relate_units(list->retrieve(m_id), list->retrieve(id), factor, op);
}


void Unit::relate_to(const std::string & name, double & factor, unsigned int & op) const {
	relate_to(idOfName(name, "[Unit::relate_to]"), factor, op);
}


std::ostream & operator<<(std::ostream & out, const Unit & unit) {
	return out << unit.name();
}


std::istream & operator>>(std::istream & in, Unit & unit) {
	std::string word;
	in >> word;
	if (!in.fail() && !in.bad())
		unit = Unit(word);
	return in;
}


// declared with the format strings, which cannot see units
FormatString & FormatString::arg(const Unit & unit) {
	return arg(unit.name());
}

} // namespace ZEB
