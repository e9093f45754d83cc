#ifndef OVM_SunPositionModelH
#define OVM_SunPositionModelH

namespace OVM {

/*! The sun's declination, elevation and azimuth at a location and an apparent solar time.

	Angles are radians; the azimuth is measured from north, clockwise (east pi/2, south pi), in
	[0, 2 pi); the elevation is negative below the horizon.
*/
class SunPositionModel {
public:
	/*! At 51.1 deg north, 13.7 deg east, sun position at t = 0. */
	SunPositionModel();

	/*! Moves the sun to the apparent solar time t [s] from 1 January 0:00 (365-day year). */
	void setTime(double t);

	/*! [rad], north positive. */
	double	m_latitude;
	/*! [rad], east positive. */
	double	m_longitude;
	/*! [rad] */
	double	m_azimuth = 0;
	/*! [rad] */
	double	m_elevation = 0;
	/*! [rad] */
	double	m_declination = 0;
};

} // namespace OVM

#endif // OVM_SunPositionModelH
