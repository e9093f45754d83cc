#include "OVM_SolarRadiationModel.h"

#include <algorithm>
#include <cmath>

#include "ZEB_Constants.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_Math.h"
#include "ZEB_Time.h"

#include "OVM_Constants.h"

namespace OVM {

namespace {

/*! pi/2 as the radiation formulas have always used it. */
const double HALF_PI = 1.570796327;
/*! Surfaces inclined less than this [rad] count as horizontal. */
const double HORIZONTAL_LIMIT = 1e-5;
/*! Elevation [rad] over which direct radiation ramps in smoothly at sunrise. */
const double SUNRISE_RAMP = 0.0001;

/*! Brightness coefficients of the Perez sky model per clearness bin: f11 f12 f13 f21 f22 f23. */
const double PEREZ_COEFFICIENTS[8][6] = {
	{-0.0083,  0.5877, -0.0621, -0.0596,  0.0721, -0.0220},
	{ 0.1299,  0.6826, -0.1514, -0.0189,  0.0660, -0.0289},
	{ 0.3297,  0.4869, -0.2211,  0.0554, -0.0640, -0.0261},
	{ 0.5682,  0.1875, -0.2951,  0.1089, -0.1519, -0.0140},
	{ 0.8730, -0.3920, -0.3616,  0.2256, -0.4620,  0.0012},
	{ 1.1329, -1.2367, -0.4118,  0.2878, -0.8230,  0.0559},
	{ 1.0602, -1.5999, -0.3589,  0.2648, -1.1272,  0.1311},
	{ 0.6777, -0.3279, -0.2504,  0.1561, -1.3765,  0.2506}
};
/*! Lower clearness bounds of bins 2 to 8; bin 1 starts at 1. */
const double PEREZ_CLEARNESS_BOUNDS[7] = {1.065, 1.230, 1.500, 1.950, 2.800, 4.500, 6.200};

/*! Day number (from 1) of an apparent solar time [s]. Times outside what an unsigned day can
	hold are moved by whole years, which leaves the yearly radiation cycle unchanged. */
unsigned int dayNumber(double apparentSolarTime) {
	double day = std::floor(apparentSolarTime/86400) + 1;
	if (!(day >= 0 && day < 4e9)) {
		day = std::fmod(day, 365.0);
		if (day < 0)
			day += 365;
		if (!(day >= 0))
			day = 1;
	}
	return static_cast<unsigned int>(day);
}

/*! Keeps a time [s] that one shift moved out of the year inside it. */
double wrapOnce(double t) {
	if (t < 0)
		return t + ZEB::SECONDS_PER_YEAR;
	if (t > ZEB::SECONDS_PER_YEAR)
		return t - ZEB::SECONDS_PER_YEAR;
	return t;
}

} // namespace


unsigned int SolarRadiationModel::addSurface(double orientation, double inclination) {
	for (std::size_t i = 0; i < m_surfaces.size(); ++i)
		if (std::fabs(m_surfaces[i].first - orientation) < 1e-5 && std::fabs(m_surfaces[i].second - inclination) < 1e-5)
			return static_cast<unsigned int>(i);
	m_surfaces.push_back(std::make_pair(orientation, inclination));
	m_directRadiation.push_back(0);
	m_diffuseRadiation.push_back(0);
	m_incidenceAngle.push_back(0);
	const double cosHalf = std::cos(inclination/2);
	m_surfaceTerms.push_back(SurfaceTerms{std::cos(inclination), std::sin(inclination), cosHalf*cosHalf});
	return static_cast<unsigned int>(m_surfaces.size() - 1);
}


void SolarRadiationModel::setTime(int year, double t) {
	m_localMeanTime = localMeanTimeFromLocalStandardTime(t);
	m_apparentSolarTime = apparentSolarTimeFromLocalMeanTime(m_localMeanTime);
	SunPositionModel::setTime(m_apparentSolarTime);
	m_climateDataLoader.setTime(year, t);

	const double directNormal = m_climateDataLoader.m_currentData[ClimateDataLoader::DirectRadiation];
	const double diffuseHorizontal = m_climateDataLoader.m_currentData[ClimateDataLoader::DiffuseRadiation];
	const std::size_t surfaceCount = m_surfaces.size();

	if (m_elevation > 0) {
		const double directNormalRamped = directNormal*ZEB::scale2(m_elevation, SUNRISE_RAMP);
		const double sinElevation = std::sin(m_elevation);
		const double cosElevation = std::cos(m_elevation);
		const double directHorizontal = directNormalRamped*sinElevation;
		for (std::size_t i = 0; i < surfaceCount; ++i) {
			const double orientation = m_surfaces[i].first;
			const double inclination = m_surfaces[i].second;
			if (std::fabs(inclination) < HORIZONTAL_LIMIT) {
				m_directRadiation[i] = directHorizontal;
				m_diffuseRadiation[i] = diffuseHorizontal;
				m_incidenceAngle[i] = HALF_PI - m_elevation;
				continue;
			}
			const double cosInclination = m_surfaceTerms[i].m_cosInclination;
			const double sinInclination = m_surfaceTerms[i].m_sinInclination;
			const double cosAzimuthDifference = std::cos(m_azimuth - orientation);
			const double cosIncidence = sinElevation*cosInclination + cosElevation*sinInclination*cosAzimuthDifference;
			if (cosIncidence < 0) {
				m_incidenceAngle[i] = HALF_PI;
				m_directRadiation[i] = 0;
			}
			else {
				m_incidenceAngle[i] = cosIncidence > 1 ? 0 : std::acos(cosIncidence);
				m_directRadiation[i] = cosInclination*directHorizontal
						+ sinInclination*cosAzimuthDifference*directNormalRamped*cosElevation;
			}
			const double skyViewFactor = m_surfaceTerms[i].m_skyViewFactor;
			const double skyDiffuse = m_usePerezModel
					? diffuseRadiationPerez(inclination, m_incidenceAngle[i], diffuseHorizontal, directNormalRamped)
					: skyViewFactor*diffuseHorizontal;
			m_diffuseRadiation[i] = skyDiffuse + (1 - skyViewFactor)*m_albedo*(directHorizontal + diffuseHorizontal);
		}
		return;
	}

	for (std::size_t i = 0; i < surfaceCount; ++i) {
		m_directRadiation[i] = 0;
		m_diffuseRadiation[i] = 0;
		m_incidenceAngle[i] = HALF_PI;
		// the Perez model has no night sky
		if (m_usePerezModel || diffuseHorizontal == 0)
			continue;
		const double inclination = m_surfaces[i].second;
		if (std::fabs(inclination) < HORIZONTAL_LIMIT) {
			m_diffuseRadiation[i] = diffuseHorizontal;
			continue;
		}
		const double skyViewFactor = m_surfaceTerms[i].m_skyViewFactor;
		m_diffuseRadiation[i] = skyViewFactor*diffuseHorizontal + (1 - skyViewFactor)*m_albedo*diffuseHorizontal;
	}
}


void SolarRadiationModel::radiationLoad(unsigned int surfaceId, double & direct, double & diffuse, double & incidence) const {
	if (surfaceId >= m_surfaces.size())
		throw ZEB::Exception(ZEB::FormatString("Invalid surface ID %1.").arg(surfaceId),
							 "[SolarRadiationModel::radiationLoad]");
	direct = m_directRadiation[surfaceId];
	diffuse = m_diffuseRadiation[surfaceId];
	incidence = m_incidenceAngle[surfaceId];
}


double SolarRadiationModel::diffuseRadiationPerez(double inclination, double incidence, double diffuseHorizontal,
												  double directNormal) const
{
	const double airPressure = m_climateDataLoader.m_currentData[ClimateDataLoader::AirPressure];
	const double relativePressure = airPressure == DATA_NOT_VALID ? 1 : airPressure/101325;
	const double zenith = HALF_PI - m_elevation;
	const double cosZenith = std::cos(zenith);
	const double a = std::max(0.0, std::cos(incidence));
	const double b = std::max(cosZenith, 0.08715574274765814);		// cos 85 deg
	const double airMass = 1/(cosZenith + 0.50572*std::pow(96.07995 - zenith*180/ZEB::PI, -1.6364));
	const double extraTerrestrial = calcExtraTerrRad(dayNumber(m_apparentSolarTime));
	const double brightness = airMass*relativePressure*diffuseHorizontal/extraTerrestrial;
	const double zenith3 = 1.041*zenith*zenith*zenith;
	const double clearness = ((diffuseHorizontal + directNormal)/diffuseHorizontal + zenith3)/(1 + zenith3);

	// below 1 or not a number (no diffuse radiation): all coefficients 0
	static const double NO_COEFFICIENTS[6] = {0, 0, 0, 0, 0, 0};
	const double * f = NO_COEFFICIENTS;
	if (clearness >= 1) {
		unsigned int bin = 0;
		while (bin < 7 && clearness >= PEREZ_CLEARNESS_BOUNDS[bin])
			++bin;
		f = PEREZ_COEFFICIENTS[bin];
	}
	const double F1 = std::max(0.0, f[0] + f[1]*brightness + f[2]*zenith);
	const double F2 = f[3] + f[4]*brightness + f[5]*zenith;
	return diffuseHorizontal*((1 - F1)*(1 + std::cos(inclination))/2 + F1*a/b + F2*std::sin(inclination));
}


void SolarRadiationModel::convertNormalToHorizontalRadiation(double t, double directNormal, double & directHorizontal) {
	m_localMeanTime = localMeanTimeFromLocalStandardTime(t);
	m_apparentSolarTime = apparentSolarTimeFromLocalMeanTime(m_localMeanTime);
	SunPositionModel::setTime(m_apparentSolarTime);
	if (m_elevation > 0 && directNormal > 0)
		directHorizontal = directNormal*ZEB::scale2(m_elevation, SUNRISE_RAMP)*std::sin(m_elevation);
	else
		directHorizontal = 0;
}


void SolarRadiationModel::convertHorizontalToNormalRadiation(double t, double directHorizontal, double & directNormal) {
	if (m_normalRadiationLimit == 0 && m_opticalDepthSpline.size() == 0) {
		// ASHRAE clear-sky optical depths on the 22nd of each month, closed over the year's end
		const double DAY = 86400;
		const double monthStarts[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
		const double opticalDepths[12] = {0.142, 0.144, 0.156, 0.180, 0.196, 0.205, 0.207, 0.201, 0.177,
										  0.160, 0.149, 0.142};
		ZEB::LinearSpline spline;
		spline.m_x.push_back(0);
		spline.m_y.push_back(0.142);
		for (unsigned int month = 0; month < 12; ++month) {
			spline.m_x.push_back((monthStarts[month] + 21)*DAY);
			spline.m_y.push_back(opticalDepths[month]);
		}
		spline.m_x.push_back(ZEB::SECONDS_PER_YEAR);
		spline.m_y.push_back(0.142);
		std::string errmsg;
		if (!spline.makeSpline(errmsg))
			throw ZEB::Exception(ZEB::FormatString("Error constructimng linear spline for ASHRAE optical depth values: %1")
								 .arg(errmsg), "[SolarRadiationModel::convertHorizontalToNormalRadiation]");
		m_opticalDepthSpline.swap(spline);
	}

	const double solarTime = apparentSolarTimeFromLocalMeanTime(localMeanTimeFromLocalStandardTime(t));
	SunPositionModel::setTime(solarTime);
	if (directHorizontal == 0 || m_elevation <= 0) {
		directNormal = 0;
		return;
	}
	const double sinElevation = std::sin(m_elevation);
	const double normal = directHorizontal/sinElevation;
	const double extraTerrestrial = 1366.1*(1 + 0.033*std::cos(2*ZEB::PI*(solarTime/86400)/365));
	if (m_normalRadiationLimit != 0) {
		directNormal = std::min(extraTerrestrial, normal);
		return;
	}
	// near the horizon the clear-sky beam vanishes
	double clearSky = 0;
	if (m_elevation > 0.001)
		clearSky = extraTerrestrial*std::exp(-m_opticalDepthSpline.value(solarTime)/sinElevation);
	directNormal = std::min(clearSky, normal);
}


double SolarRadiationModel::localMeanTimeFromLocalStandardTime(double t) const {
	return localMeanTimeFromLocalStandardTime(t, m_climateDataLoader.m_timeZone, m_longitude/ZEB::DEG2RAD);
}


double SolarRadiationModel::localMeanTimeFromLocalStandardTime(double t, double timeZone, double longitude) {
	double d = 15*timeZone - longitude;		// [Deg] between the zone's meridian and the location
	// across the date line the nearer side counts
	if (timeZone == 12 || timeZone == -12) {
		if (d >= 345)
			d -= 360;
		else if (d <= -345)
			d += 360;
	}
	return wrapOnce(t - 240*d);
}


double SolarRadiationModel::apparentSolarTimeFromLocalMeanTime(double t) {
	const double B = (t/86400 - 81)*2*ZEB::PI/365;
	const double equationOfTime = 9.87*std::sin(2*B) - 7.53*std::cos(B) - 1.5*std::sin(B);		// [min]
	return wrapOnce(t + 60*equationOfTime);
}


double calcExtraTerrRad(unsigned int day) {
	const double x = 2*ZEB::PI*day/365;
	return 1367*(1.000110 + 0.034221*std::cos(x) + 0.001280*std::sin(x) + 0.000719*std::cos(2*x)
				 + 0.000077*std::sin(2*x));
}

} // namespace OVM
