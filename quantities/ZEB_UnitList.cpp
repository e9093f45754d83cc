#include "ZEB_UnitList.h"

#include <cmath>
#include <fstream>
#include <iomanip>
#include <locale>
#include <set>
#include <sstream>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_Math.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Path.h"
#include "ZEB_Tokenizer.h"

namespace ZEB {

const char * const DEFAULT_UNITS =
	"undefined    ;"
	"m            * 1e+03 mm          * 1e+02 cm          * 1e+01 dm          ;"
	"m2           * 1e+06 mm2         * 1e+04 cm2         * 1e+02 dm2         ;"
	"m3           * 1e+09 mm3         * 1e+06 cm3         * 1e+03 dm3         ;"
	"s            / 60 min            / 3600 h            / 86400 d           / 3.1536e+07 a      % 0 sqrt(s)         % 0 sqrt(h)         * 1000 ms           ;"
	"s/s          / 60 min/s          / 3600 h/s          / 86400 d/s         / 3.1536e+07 a/s    ;"
	"m/s          * 100 cm/s          * 360000 cm/h       * 8.64e+06 cm/d     ;"
	"m2/s         * 10000 cm2/s       * 3600 m2/h         * 3.6e+07 cm2/h     ;"
	"m/s2         ;"
	"s/m          * 1 kg/m2sPa        ;"
	"s2/m2        ;"
	"kg           * 1000 g            * 1e+06 mg          ;"
	"kg/ms        ;"
	"kg/s         * 3600 kg/h         * 86400 kg/d        * 1000 g/s          * 3.6e6 g/h         * 8.64e+07 g/d      * 31536e6 g/a       * 1e6 mg/s          * 1e9 µg/s          ;"
	"kg/m2        / 100 kg/dm2        * 10 g/dm2          / 10 g/cm2          * 1e6 mg/m2         ;"
	"kg/m2s       * 1000 g/m2s        * 3.6e+06 g/m2h     * 86.4e+06 g/m2d    * 3600 kg/m2h       * 1e6 mg/m2s        * 1e9 µg/m2s        * 3.6e9 mg/m2h      * 3.6e12 µg/m2h     ;"
	"kg/m3        / 1000 kg/dm3       * 1 g/dm3           / 1000 g/cm3        * 1000 g/m3         * 1e6 mg/m3         * 1e9 µg/m3         % 0 log(kg/m3)      % 0 log(g/m3)       % 0 log(mg/m3)      % 0 log(µg/m3)      ;"
	"kg/m3s       * 1000 g/m3s        * 3.6e+06 g/m3h     * 3600 kg/m3h       * 1e6 mg/m3s        * 1e9 µg/m3s        * 3.6e9 mg/m3h      * 3.6e12 µg/m3h     ;"
	"kg/m         * 1000 g/m          * 1 g/mm            / 1000 kg/mm        ;"
	"kg/kg        * 1000 g/kg         * 1e6 mg/kg         ;"
	"J            / 1000 kJ           / 1e+06 MJ          / 3.6e+09 MWh       / 3.6e+06 kWh       / 3600 Wh           ;"
	"J/m2         / 1000 kJ/m2        / 1e+06 MJ/m2       / 1e+09 GJ/m2       / 1e+02 J/dm2       / 1e+04 J/cm2       / 3.6e+06 kWh/m2    ;"
	"J/m3         * 1 Ws/m3           / 1000 kJ/m3        / 1e+06 MJ/m3       / 1e+09 GJ/m3       / 1e+03 J/dm3       / 1e+06 J/cm3       / 3.6e+06 kWh/m3    ;"
	"J/m3s        / 1000 kJ/m3s       / 1e+06 MJ/m3s      / 1000 J/dm3s       / 1e+06 J/cm3s      * 3600 J/m3h        * 1 W/m3            / 1000 kW/m3        / 1e+06 MW/m3       / 1000 W/dm3        / 1e+06 W/cm3       / 1e+09 W/mm3       ;"
	"J/m3K        / 1000 kJ/m3K       ;"
	"J/s          * 3600 J/h          * 86400 J/d         * 86.4 kJ/d         * 1 W               / 1000 kW           / 1e+06 MW          * 1 Nm/s            ;"
	"J/kg         / 1000 kJ/kg        ;"
	"J/kgK        / 1000 kJ/kgK       * 1 Ws/kgK          / 1000 J/gK         / 1000 Ws/gK        ;"
	"J/K          / 1000 kJ/K         ;"
	"J/m2s        * 1 W/m2            / 1000 kW/m2        / 1e+06 MW/m2       / 100 W/dm2         / 10000 W/cm2       ;"
	"W/mK         / 1000 kW/mK        ;"
	"W/m2K        ;"
	"W/m2K2       ;"
	"W/mK2        ;"
	"l/m2s        * 3600 l/m2h        * 86400 l/m2d       * 86400 mm/d        * 3600 mm/h         ;"
	"l/m3s        * 3600 l/m3h        ;"
	"m3/m2s       * 3600 m3/m2h       * 1000 dm3/m2s      * 3.6e+06 dm3/m2h   ;"
	"m3/m2sPa     * 3600 m3/m2hPa     ;"
	"m3/s         * 3600 m3/h         * 1000 dm3/s        * 3.6e+06 dm3/h     ;"
	"m3/m3        * 100 Vol%          ;"
	"m3/m3d       * 100 Vol%/d        ;"
	"---          * 100 %             * 1 1               * 10 1/10           * 8 1/8             ;"
	"---/d        * 100 %/d           ;"
	"K            - 273.15 C          ;"
	"1/K          ;"
	"K/m          ;"
	"m2s/kg       ;"
	"Pa           / 100 hPa           / 1000 kPa          * 1e-05 Bar         * 0.000145038 PSI   * 0.00750062 Torr   ;"
	"1/Pa         ;"
	"Pa/m         / 1000 kPa/m        ;"
	"Lux          / 1000 kLux         ;"
	"Rad          * 57.2958 Deg       ;"
	"m2/kg        ;"
	"m2K/W        ;"
	"1/m          / 100 1/cm          ;"
	"logcm        ;"
	"logm         ;"
	"logPa        ;"
	"K/Pa         ;"
	"mol/kg       / 1000 mol/g        ;"
	"kg/mol       * 1000 g/mol        ;"
	"J/mol        / 1000 kJ/mol       ;"
	"kg/m2s05     * 60 kg/m2h05       ;"
	"1/logcm      ;"
	"mol/m3       / 1000 mol/ltr      / 1000 mol/dm3      / 1e+06 mol/cm3     ;"
	"mol          * 1e+03 mmol        ;"
	"-            mm/mK;"
	"mm/m         ;"
	"m3m/m3m      * 1000 m3mm/m3m     ;"
	"kg/m3sK      * 1000 g/m3sK       * 3.6e+06 g/m3hK    * 3600 kg/m3hK      * 1e6 mg/m3sK       * 1e9 µg/m3sK       * 3.6e9 mg/m3hK     * 3.6e12 µg/m3hK    ;"
	"1/s          * 60 1/min          * 3600 1/h          ;"
	"W/m2s        * 3600.0000000 W/m2h / 1000.0000000 kW/m2s / 1.000000e+06 MW/m2s / 100.0000000 W/dm2s / 10000.0000000 W/cm2s ;"
	"Person/m2    ;"
	"m2/Person    ;"
	"W/Person     / 1000 kW/Person    ;"
	"W/K          ;"
	"kWh/m2a;"
	"kWh/a;"
	"m2/m3;"
	"Kh;"
	;

namespace {

enum Operation {
	OP_BASE		= 0,
	OP_ADD		= 1,
	OP_SUB		= 2,
	OP_MUL		= 3,
	OP_DIV		= 4,
	OP_SPECIAL	= 5
};

// Only the first character of an operation word counts; unknown characters give OP_BASE.
unsigned int operationCode(char c) {
	switch (c) {
		case '%' : return OP_SPECIAL;
		case '*' : return OP_MUL;
		case '+' : return OP_ADD;
		case '-' : return OP_SUB;
		case '/' : return OP_DIV;
		default  : return OP_BASE;
	}
}

const char * operationText(unsigned int op) {
	switch (op) {
		case OP_ADD		: return "+ ";
		case OP_SUB		: return "- ";
		case OP_MUL		: return "* ";
		case OP_DIV		: return "/ ";
		case OP_SPECIAL	: return "% ";
		default			: return "| ";
	}
}

void checkDuplicate(std::set<std::string> & names, const std::string & name, const char * location) {
	if (!names.insert(name).second)
		throw Exception(FormatString("Duplicate unit '%1' defined.").arg(name), location);
}

} // namespace


UnitList * UnitList::instance() {
	static UnitList list;
	return &list;
}


UnitList::UnitList() {
	read_default();
}


const UnitData * UnitList::retrieve(const std::string & name) const {
	for (const UnitData * u : *this)
		if (u->name == name)
			return u;
	return nullptr;
}


const UnitData * UnitList::retrieve(unsigned int id) const {
	if (id >= size())
		throw Exception("[UnitList::retrieve]  Unit index " + val2string<unsigned int>(id) + " out of range 0.." +
						val2string<int>(static_cast<int>(size()) - 1) + "!", "[UnitList::retrieve]");
	return (*this)[id];
}


void UnitList::all_units(std::vector<Unit> & units) const {
	units.clear();
	for (const UnitData * u : *this)
		if (u->name != "undefined")
			units.push_back(Unit(u->id));
}


void UnitList::base_units(std::vector<Unit> & units) const {
	if (empty())
		return;
	units.clear();
	for (const UnitData * u : *this)
		if (u->id == u->base_id)
			units.push_back(Unit(u->id));
}


bool UnitList::convertible_units(std::vector<Unit> & units, const Unit & unit, bool withoutSelf) const {
	units.clear();
	if (empty())
		return false;
	const unsigned int baseId = unit.base_id();
	for (const UnitData * u : *this) {
		if (u->base_id != baseId || (withoutSelf && u->id == unit.m_id))
			continue;
		units.push_back(Unit(u->id));
	}
	return !units.empty();
}


void UnitList::relate_units(const UnitData * from, const UnitData * to, double & factor, unsigned int & op) const {
	const char * const loc = "[UnitList::relate_units]";
	const std::string tail = from->name + "] to [" + to->name + "] )!";
	if (from->base_id != to->base_id)
		throw Exception("Can't relate unit [" + from->name + "] to [" + to->name + "]!", loc);
	if (from->operation == OP_SPECIAL || to->operation == OP_SPECIAL) {
		factor = 1.0;
		op = OP_SPECIAL;
		return;
	}
	const double a = from->factor;
	const double b = to->factor;
	auto divByZero = [&]() { return Exception("Div by zero! (tried to convert [" + tail, loc); };
	auto mulWithAdd = [&]() {
		return Exception("* and / operations not allowed when using + and - operations! (tried to convert [" + tail, loc);
	};
	auto addWithMul = [&]() {
		return Exception("+ and - operations not allowed when using * and / operations! (tried to convert [" + tail, loc);
	};
	switch (from->operation) {
		case OP_ADD :
		case OP_SUB : {
			// into the base unit first: undo the source's offset
			const double back = from->operation == OP_ADD ? -a : a;
			switch (to->operation) {
				case OP_ADD : factor = back + b; op = OP_ADD; return;
				case OP_SUB : factor = back - b; op = OP_ADD; return;
				case OP_MUL :
				case OP_DIV : throw mulWithAdd();
				default     : factor = back; op = OP_ADD; return;
			}
		}
		case OP_MUL :
		case OP_DIV : {
			double back;
			if (from->operation == OP_MUL) {
				if (a == 0.0)
					throw divByZero();
				back = 1 / a;
			}
			else
				back = a;
			switch (to->operation) {
				case OP_ADD :
				case OP_SUB : throw addWithMul();
				case OP_MUL : factor = back * b; op = OP_MUL; return;
				case OP_DIV :
					if (b == 0.0)
						throw divByZero();
					factor = back / b; op = OP_MUL; return;
				default : factor = back; op = OP_MUL; return;
			}
		}
		default :
			switch (to->operation) {
				case OP_ADD : factor = b; op = OP_ADD; return;
				case OP_SUB : factor = -b; op = OP_ADD; return;
				case OP_MUL : factor = b; op = OP_MUL; return;
				case OP_DIV :
					if (b == 0.0)
						throw divByZero();
					factor = 1 / b; op = OP_MUL; return;
				default : factor = 1.0; op = OP_BASE; return;
			}
	}
}


void UnitList::convert(const UnitData * from, const UnitData * to, double & value) const {
	double factor;
	unsigned int op;
	relate_units(from, to, factor, op);
	switch (op) {
		case OP_ADD		: value += factor; break;
		case OP_MUL		: value *= factor; break;
		case OP_SPECIAL	: convert_special(from, to, value); break;
		default			: break;
	}
}


void UnitList::convert(Unit from, Unit to, double & value) const {
	convert(retrieve(from.m_id), retrieve(to.m_id), value);
}


void UnitList::convert_special(const UnitData * from, const UnitData * to, double & value) const {
	const char * const loc = "[UnitList::convert_special]";
	const UnitData * base = retrieve(from->base_id);
	const double x = value;
	double t = x;
	if (from->operation == OP_SPECIAL) {
		const std::string & n = from->name;
		if (n == "sqrt(s)")				t = x * x;
		else if (n == "sqrt(h)")		t = x * x * 3600;
		else if (n == "log(kg/m3)")		t = f_pow10(x);
		else if (n == "log(g/m3)")		t = f_pow10(x) / 1000;
		else if (n == "log(mg/m3)")		t = f_pow10(x) / 1e6;
		else if (n == "log(\xC2\xB5g/m3)")	t = f_pow10(x) / 1e9;
	}
	else
		convert(from, base, t);

	if (to->operation != OP_SPECIAL) {
		convert(base, to, t);
		value = t;
		return;
	}
	const std::string & n = to->name;
	if (n == "sqrt(s)" || n == "sqrt(h)") {
		if (t < 0)
			throw Exception("Trying to take square root of negative number!", loc);
		value = n == "sqrt(s)" ? std::sqrt(t) : std::sqrt(t / 3600);
		return;
	}
	double scaleToGrams;
	if (n == "log(kg/m3)")				scaleToGrams = 1;
	else if (n == "log(g/m3)")			scaleToGrams = 1000;
	else if (n == "log(mg/m3)")			scaleToGrams = 1e6;
	else if (n == "log(\xC2\xB5g/m3)")	scaleToGrams = 1e9;
	else {
		value = x;
		return;
	}
	if (t <= 0)
		throw Exception("Trying to take logarithm of zero or negative number!", loc);
	value = f_log10(t * scaleToGrams);
}


Unit UnitList::integralQuantity(const Unit & unit, bool spaceIntegral, bool timeIntegral) {
	if (!spaceIntegral && !timeIntegral)
		return unit;
	const std::string n = unit.base_unit().name();
	// a suffix counts only with at least one character before it
	auto endsWith = [&n](const std::string & suffix) {
		return n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0;
	};
	auto head = [&n](std::size_t drop) { return n.substr(0, n.size() - drop); };
	std::string newName;
	if (timeIntegral && !spaceIntegral) {
		if (endsWith("/m2s") || endsWith("/m3s") || endsWith("/ms"))
			newName = head(1);
		else if (endsWith("/s"))
			newName = head(2);
	}
	else if (spaceIntegral && !timeIntegral) {
		if (endsWith("/m3s") || endsWith("/m2s"))
			newName = head(4) + "/s";
		else if (endsWith("/ms"))
			newName = head(3) + "/s";
		else if (endsWith("/m3") || endsWith("/m2"))
			newName = head(3);
	}
	else {
		if (endsWith("/m3s") || endsWith("/m2s"))
			newName = head(4);
		else if (endsWith("/ms"))
			newName = head(3);
	}
	if (newName.empty())
		throw Exception(FormatString("Cannot obtain integral unit for base unit %1.").arg(n), "[UnitList::integralQuantity]");
	return Unit(newName);
}


std::string UnitList::replaceUnitWithIntegralUnit(const std::string & text) {
	const std::string::size_type open = text.find('[');
	const std::string::size_type close = text.find(']');
	if (open == std::string::npos || close == std::string::npos || close < open)
		throw Exception(FormatString("Malformed string '%1', expected [<unit>] within string.").arg(text),
						"[UnitList::replaceUnitWithIntegralUnit]");
	const Unit unit(text.substr(open + 1, close - open - 1));
	return text.substr(0, open + 1) + integralQuantity(unit, false, true).name() + text.substr(close);
}


bool UnitList::read_default() {
	std::vector<std::string> rows;
	explode(DEFAULT_UNITS, rows, ";", 0);
	std::set<std::string> names;
	unsigned int nextId = static_cast<unsigned int>(size());
	for (const std::string & row : rows) {
		std::vector<std::string> words;
		explode(row, words, " \t", 0);
		if (words.empty())
			continue;
		checkDuplicate(names, words[0], "[UnitList::read_default]");
		const unsigned int baseId = nextId;
		add(new UnitData(baseId, words[0], baseId, 1.0, OP_BASE));
		unsigned int currentId = baseId;
		// triples: operation word, factor, name; an incomplete triple ends the row
		for (std::size_t w = 1; w + 1 < words.size(); w += 3) {
			const double factor = string2val<double>(words[w + 1]);
			if (w + 2 >= words.size())
				break;
			const std::string & name = words[w + 2];
			checkDuplicate(names, name, "[UnitList::read_default]");
			const unsigned int op = operationCode(words[w][0]);
			// ids equal positions: a unit left out takes no id
			if (factor == 0 && op != OP_SPECIAL) {
				ZEB_Message(FormatString("Invalid unit definition: factor = 0, but not a special unit conversion!"),
							MSG_WARNING, "UnitList::read_default", 3);
				continue;
			}
			++currentId;
			add(new UnitData(currentId, name, baseId, factor, op));
		}
		nextId = currentId + 1;
	}
	return true;
}


bool UnitList::read(std::istream & in, bool overwrite) {
	if (!overwrite && !empty())
		return true;
	if (in.fail() || in.bad())
		return false;
	clear();
	std::set<std::string> names;
	unsigned int nextId = 0;
	while (in.good()) {
		std::string line;
		std::getline(in, line);
		std::stringstream lineStrm(line);
		lineStrm.imbue(std::locale::classic());
		std::string baseName;
		lineStrm >> baseName;
		// a base unit name that ends the line defines nothing
		if (!lineStrm.good())
			continue;
		checkDuplicate(names, baseName, "[UnitList::read]");
		const unsigned int baseId = nextId;
		add(new UnitData(baseId, baseName, baseId, 1.0, OP_BASE));
		unsigned int currentId = baseId;
		char opChar;
		double factor;
		std::string name;
		lineStrm >> opChar >> factor >> name;
		while (!lineStrm.fail() && !lineStrm.bad()) {
			checkDuplicate(names, name, "[UnitList::read]");
			++currentId;
			add(new UnitData(currentId, name, baseId, factor, operationCode(opChar)));
			lineStrm >> opChar >> factor >> name;
		}
		nextId = currentId + 1;
	}
	return !empty();
}


bool UnitList::read(const std::string & data, bool overwrite) {
	std::string text = data;
	for (char & c : text)
		if (c == ';')
			c = '\n';
	std::stringstream strm(text);
	return read(strm, overwrite);
}


bool UnitList::read_file(const std::string & filename, bool overwrite) {
	std::ifstream in(Path(filename).str());
	return read(in, overwrite);
}


bool UnitList::write(const std::string & filename) const {
	if (empty())
		return false;
	std::ofstream out(filename);
	out.imbue(std::locale::classic());
	out << std::left << std::setw(10) << (*this)[0]->name << "   ";
	unsigned int rowBase = 0;
	for (std::size_t i = 1; i < size(); ++i) {
		const UnitData * u = (*this)[i];
		if (u->base_id == rowBase) {
			std::stringstream triple;
			triple.imbue(std::locale::classic());
			triple << operationText(u->operation) << u->factor << ' ' << u->name << ' ';
			out << std::left << std::setw(20) << triple.str();
		}
		else {
			out << ";\n" << std::left << std::setw(10) << u->name << "   ";
			rowBase = u->base_id;
		}
	}
	out << ";\n";
	out.close();
	return out.good();
}

} // namespace ZEB
