#ifndef ZEB_MatrixH
#define ZEB_MatrixH

#include <vector>

namespace ZEB {

/*! A small dense matrix held as a vector of rows; element (i, j) is m_data[i][j]. Used for
	rotation matrices of the shading geometry. */
template <typename T>
class matrix {
public:
	matrix() = default;
	/*! rows rows of columns values, each init. */
	matrix(unsigned int columns, unsigned int rows, const T & init = T()) :
		m_data(rows, std::vector<T>(columns, init)), m_rows(rows), m_cols(columns)
	{}

	unsigned int rows() const { return m_rows; }
	unsigned int cols() const { return m_cols; }

	std::vector<T> &		operator[](unsigned int row) { return m_data[row]; }
	const std::vector<T> &	operator[](unsigned int row) const { return m_data[row]; }

	std::vector<std::vector<T> >	m_data;

private:
	unsigned int	m_rows = 0;
	unsigned int	m_cols = 0;
};

} // namespace ZEB

#endif // ZEB_MatrixH
