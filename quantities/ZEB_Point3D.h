#ifndef ZEB_Point3DH
#define ZEB_Point3DH

namespace ZEB {

/*! A point of three coordinates. */
template <typename T>
class point3D {
public:
	point3D() = default;
	point3D(T x, T y, T z) : m_x(x), m_y(y), m_z(z) {}

	T	m_x = T();
	T	m_y = T();
	T	m_z = T();
};

} // namespace ZEB

#endif // ZEB_Point3DH
