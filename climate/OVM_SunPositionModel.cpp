#include "OVM_SunPositionModel.h"

#include <algorithm>
#include <cmath>

#include "ZEB_Constants.h"

namespace OVM {

SunPositionModel::SunPositionModel() :
	m_latitude(0.891863247772),
	m_longitude(0.239110107524)
{
	setTime(0);
}


void SunPositionModel::setTime(double t) {
	const double n = t/86400;			// fractional day number
	m_declination = 0.409279709594*std::sin(2*ZEB::PI*(n + 284)/365);
	const double f = n - std::floor(n);	// fraction of the day
	const double hourAngle = (f - 0.5)*2*ZEB::PI;
	const double sinLat = std::sin(m_latitude);
	const double cosLat = std::cos(m_latitude);
	const double sinDecl = std::sin(m_declination);
	const double cosDecl = std::cos(m_declination);
	// rounding may carry the sine of the elevation just beyond 1 where the sun stands at the zenith
	const double sinElevation = cosLat*cosDecl*std::cos(hourAngle) + sinLat*sinDecl;
	m_elevation = std::asin(std::max(-1.0, std::min(1.0, sinElevation)));
	// 2 pi f is the hour angle turned by pi, which makes the azimuth count from north
	const double dayAngle = 2*ZEB::PI*f;
	double azimuth = std::atan2(cosDecl*std::sin(dayAngle), sinLat*std::cos(dayAngle)*cosDecl + sinDecl*cosLat);
	if (azimuth < 0)
		azimuth += 2*ZEB::PI;
	m_azimuth = azimuth;
}

} // namespace OVM
