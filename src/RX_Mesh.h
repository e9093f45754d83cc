#ifndef RX_MeshH
#define RX_MeshH

#include <vector>

namespace RX {

/*! Divides an interval into cells for a one-dimensional finite-volume grid: uniform, or
	stretched with a hyperbolic tangent so that cells become fine towards the start of the
	interval (one-sided) or towards both ends (two-sided). A plain value; the output vectors
	belong to the caller, who may reuse them between calls.
*/
class Mesh {
public:
	enum MeshType {
		UNIFORM		= 0,	///< Equal cells.
		ONE_SIDED	= 1,	///< Fine cells at the start of the interval.
		TWO_SIDED	= 2		///< Fine cells at both ends.
	};

	/*! stretch is the steepness of the tanh distribution (types 1 and 2); ratio the asymmetry of
		the two-sided grid (type 2 only; 1 is symmetric). */
	Mesh(MeshType type, double stretch, double ratio) : m_type(type), m_stretch(stretch), m_ratio(ratio) {}

	/*! Resizes w to n and fills it with the cell widths of the unit interval (they sum to 1).
		Throws std::runtime_error for n < 1 and, when n > 1, for an unknown mesh type. */
	void generate(int n, std::vector<double> & w) const;
	/*! The grid of n cells over [x0, x1] [m]: widths and centres, both ascending in the coordinate
		also when x1 < x0. Throws as the normalised form. */
	void generate(int n, double x0, double x1, std::vector<double> & widths, std::vector<double> & centres) const;

	/*! The stretching parameter for n cells whose first and last widths are d1 and d2 (a
		false-position search for the root of f(x, 1/(n sqrt(d1 d2)))). Returns the last estimate
		when the search does not converge; throws std::runtime_error "f(a)==f(b)!" when the
		bracket's residuals become equal. */
	static double stretch(int n, double d1, double d2);

	MeshType	m_type;
	double		m_stretch;
	double		m_ratio;
};

/*! sinh(x)/x - B: the residual that Mesh::stretch drives to zero. */
double f(double x, double B);

} // namespace RX

#endif // RX_MeshH
