#ifndef ZEBMK_Vector3DH
#define ZEBMK_Vector3DH

namespace ZEBMK {

/*! A point or direction in three dimensions; corners, grid points and sun directions of the
	shading geometry. A plain value: operations work component by component. */
class Vector3D {
public:
	Vector3D() = default;
	Vector3D(double x, double y, double z) : m_x(x), m_y(y), m_z(z) {}

	Vector3D operator+(const Vector3D & other) const { return Vector3D(m_x + other.m_x, m_y + other.m_y, m_z + other.m_z); }
	Vector3D operator-(const Vector3D & other) const { return Vector3D(m_x - other.m_x, m_y - other.m_y, m_z - other.m_z); }
	Vector3D operator*(double factor) const { return Vector3D(m_x * factor, m_y * factor, m_z * factor); }
	/*! Dot product. */
	double dot(const Vector3D & other) const { return m_x * other.m_x + m_y * other.m_y + m_z * other.m_z; }
	/*! Exact comparison of all three components. */
	bool operator==(const Vector3D & other) const { return m_x == other.m_x && m_y == other.m_y && m_z == other.m_z; }
	bool operator!=(const Vector3D & other) const { return !operator==(other); }

	double	m_x = 0;
	double	m_y = 0;
	double	m_z = 0;
};

inline Vector3D operator*(double factor, const Vector3D & v) { return v * factor; }

} // namespace ZEBMK

#endif // ZEBMK_Vector3DH
