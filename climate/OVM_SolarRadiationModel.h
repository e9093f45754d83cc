#ifndef OVM_SolarRadiationModelH
#define OVM_SolarRadiationModelH

#include <utility>
#include <vector>

#include "ZEB_LinearSpline.h"

#include "OVM_ClimateDataLoader.h"
#include "OVM_SunPositionModel.h"

namespace OVM {

/*! Direct and diffuse solar radiation and the angle of incidence on registered surfaces, from
	the sun position and one climate data set.

	The sun position fields are inherited; the model owns its climate data by value. Surfaces
	are only appended; surface 0 is by convention the horizontal one. setTime() runs at every
	evaluation of the room model's equations: it allocates nothing and does a constant amount of
	work per surface. Angles are radians (orientation from north clockwise, inclination from the
	horizontal), times seconds from 1 January 0:00 of a 365-day year.
*/
class SolarRadiationModel : public SunPositionModel {
public:
	/*! Default sun position, empty climate data, albedo 0.2, clear-sky cap, isotropic sky,
		no surfaces. */
	SolarRadiationModel() = default;

	/*! The id of the surface (orientation, inclination): an existing one within 1e-5 rad in both
		angles, else a new one with zero radiation. */
	unsigned int addSurface(double orientation, double inclination);

	/*! Moves the sun and the climate data to the local standard time t [s] of year and updates
		every surface's radiation. Passes on the climate data's exceptions; the surfaces then keep
		their previous results. */
	void setTime(int year, double t);

	/*! Direct and diffuse radiation [W/m2] and incidence angle [rad] of a surface at the last
		setTime(). Throws for an unknown id. */
	void radiationLoad(unsigned int surfaceId, double & direct, double & diffuse, double & incidence) const;

	/*! Sky diffuse radiation [W/m2] on a surface of inclination beta with incidence angle theta
		after Perez et al. (1990), from the diffuse horizontal and the direct normal radiation
		[W/m2], at the current sun position and air pressure. */
	double diffuseRadiationPerez(double inclination, double incidence, double diffuseHorizontal,
								 double directNormal) const;

	/*! Direct radiation on the horizontal [W/m2] from the direct normal radiation at the local
		standard time t [s]; moves the sun and sets the two solar times. */
	void convertNormalToHorizontalRadiation(double t, double directNormal, double & directHorizontal);
	/*! Direct normal radiation [W/m2] from the direct horizontal radiation at the local standard
		time t [s], capped by the clear-sky or the extraterrestrial value; moves the sun. */
	void convertHorizontalToNormalRadiation(double t, double directHorizontal, double & directNormal);

	/*! Local mean time [s] of the local standard time t [s], with the climate data's time zone
		and this model's longitude. */
	double localMeanTimeFromLocalStandardTime(double t) const;
	/*! Local mean time [s] of the local standard time t [s] in timeZone [h] at longitude [Deg east]. */
	static double localMeanTimeFromLocalStandardTime(double t, double timeZone, double longitude);
	/*! Apparent solar time [s] of the local mean time t [s] (equation of time). */
	static double apparentSolarTimeFromLocalMeanTime(double t);

	ClimateDataLoader		m_climateDataLoader;
	/*! Ground reflectance [-]. */
	double					m_albedo = 0.2;
	/*! 0: converted normal radiation is capped by the clear-sky value; otherwise by the
		extraterrestrial radiation only. */
	unsigned int			m_normalRadiationLimit = 0;
	/*! Clear-sky optical depth over the year [s -> -]; built on the first conversion that needs it. */
	ZEB::LinearSpline		m_opticalDepthSpline;
	/*! false: isotropic sky; true: Perez sky model. */
	bool					m_usePerezModel = false;
	/*! (orientation, inclination) [rad] per surface id. */
	std::vector<std::pair<double, double> >	m_surfaces;
	/*! Per surface [W/m2]. */
	std::vector<double>		m_directRadiation;
	/*! Per surface, sky diffuse plus ground reflection [W/m2]. */
	std::vector<double>		m_diffuseRadiation;
	/*! Per surface [rad]. */
	std::vector<double>		m_incidenceAngle;
	/*! Of the last setTime() or normal-to-horizontal conversion [s]. */
	double					m_localMeanTime = 0;
	double					m_apparentSolarTime = 0;

private:
	/*! What setTime() needs of a surface's inclination, computed once when it is added. */
	struct SurfaceTerms {
		double	m_cosInclination;
		double	m_sinInclination;
		/*! cos^2 of half the inclination. */
		double	m_skyViewFactor;
	};
	/*! Per surface. */
	std::vector<SurfaceTerms>	m_surfaceTerms;
};


/*! Extraterrestrial radiation [W/m2] on day (counted from 1). */
double calcExtraTerrRad(unsigned int day);

} // namespace OVM

#endif // OVM_SolarRadiationModelH
