#ifndef ZEB_MatrixOutputH
#define ZEB_MatrixOutputH

#include <iomanip>
#include <ostream>

namespace ZEB {

/*! Text dump of a square matrix, optionally beside a right-hand side b (n values, may be null).

	MatrixT offers n() and value(i, j). Every number is right-aligned in a field of width - 1
	characters, or 10 when width is 0. Plain form: one flushed line per row, "[ " then each element
	followed by a blank, then " ]", then "  [ " b[i] " ]" when b is given. Euler form: a ">format"
	line, then ">matrixLabel:=[ " with elements separated by ',' and rows by ';', then "];", and
	">vectorLabel:=[" with the values separated by "; " when b is given. The stream's formatting
	flags are restored afterwards.
*/
template <typename MatrixT>
void write_matrix(std::ostream & out, const MatrixT & matrix, const double * b, bool eulerFormat,
				  unsigned int width, const char * matrixLabel, const char * vectorLabel)
{
	const std::ios_base::fmtflags oldFlags = out.flags();
	const int w = width == 0 ? 10 : static_cast<int>(width) - 1;
	const unsigned int n = matrix.n();
	out << std::right;
	if (!eulerFormat) {
		for (unsigned int i = 0; i < n; ++i) {
			out << "[ ";
			for (unsigned int j = 0; j < n; ++j)
				out << std::setw(w) << matrix.value(i, j) << " ";
			out << " ]";
			if (b != nullptr)
				out << "  [ " << std::setw(w) << b[i] << " ]";
			out << std::endl;
		}
	}
	else {
		out << ">format(" << w << ",0);\n";
		out << ">" << matrixLabel << ":=[ ";
		for (unsigned int i = 0; i < n; ++i) {
			for (unsigned int j = 0; j < n; ++j) {
				if (j > 0)
					out << ",";
				out << std::setw(w) << matrix.value(i, j);
			}
			if (i + 1 < n)
				out << ";";
		}
		out << "];\n";
		if (b != nullptr) {
			out << ">" << vectorLabel << ":=[";
			for (unsigned int i = 0; i < n; ++i) {
				if (i > 0)
					out << "; ";
				out << std::setw(w) << b[i];
			}
			out << "];\n";
		}
	}
	out.flags(oldFlags);
}

} // namespace ZEB

#endif // ZEB_MatrixOutputH
