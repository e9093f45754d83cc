#ifndef RX_NaturalVentilationModelH
#define RX_NaturalVentilationModelH

#include <cstdint>

#include <QString>
#include <QTime>

#include "RX_Schedule.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

/*! Natural air change of the room with outside air and the heat and vapour it brings in. The air
	change is none, scheduled (SIMPLE), raised from a base to the scheduled rate only while the room
	is warm and warmer than outside (MANAGED), or the same with separate day and night rules over
	the occupancy hours (DIN). The rise is linear over 0.2 K, so that the flows stay continuous in
	the room temperature and a solver's Jacobian taken anywhere on it holds its gain.

	A plain value held by the room; element "NaturalVentilationModel" of the project file.
	computeLoads runs at every right-hand-side evaluation, allocates nothing and keeps the air
	change it found in m_airChangeRate.
*/
class NaturalVentilationModel {
public:
	/*! The texts of the "modelType" attribute are the enumerator names. */
	enum ModelType : std::uint32_t {
		NONE	= 0,	///< No air change.
		SIMPLE	= 1,	///< The scheduled air change.
		MANAGED	= 2,	///< Scheduled while warm enough and warmer than outside, else the base.
		DIN		= 3		///< As MANAGED with day and night rules.
	};

	/*! Type NONE, constant schedule of 0.5 1/h, base 0.5 1/h (0.24 1/h at night), day rule above
		23 C, night rule above 20 C, day from 06:00 to 23:00. */
	NaturalVentilationModel();

	/*! The first time after t [s] at which the DIN mode's day period begins or ends; infinity in
		the other modes and when the period is empty. */
	double nextDayPeriodChange(double t) const;

	/*! The room temperature [C] at which the air change of MANAGED or DIN falls from its base to
		a smaller scheduled air change as the room warms past it, in some hour of the year in which
		that rule holds (the day rule's where both of DIN's rules do); NaN where it never falls. */
	double fallingStepStart() const;

	/*! Model exchange: where the rise of MANAGED and DIN from the base to the scheduled air change
		is held between a host's events, over the smaller of the room's two excesses (over its
		threshold, and over the outside air with the difference the rule requires). */
	struct HeldRise {
		/*! At the base, on the step (a rising step continued at its gain beyond its ends, as far
			as it is held there; a falling one flat there, as the step itself is) or at the scheduled
			rate: a RiseStage. */
		std::uint8_t	m_stage = 0;
		/*! On the step: whether on the excess over the outside air, the smaller one at the event. */
		bool			m_onOutsideExcess = false;
		bool operator!=(const HeldRise & other) const {
			return m_stage != other.m_stage || m_onOutsideExcess != other.m_onOutsideExcess;
		}
	};
	/*! The stages of a held rise. The step is held whole: its gain is the same all over it, so a
		host's Jacobian from its restart at an end holds for the whole step. */
	enum RiseStage : std::uint8_t {
		RISE_BASE		= 0,	///< The base air change.
		RISE_STEP		= 1,	///< The step, a rising one continued at its gain STEP_REACH beyond its ends.
		RISE_SCHEDULED	= 2,	///< The scheduled air change.
		RISE_STAGES		= 3
	};
	/*! How far [K] the step is held beyond its ends while the room air would rest back on it, and
		a rising step continued there at its gain (below its base end also below none). */
	static constexpr double STEP_REACH = 0.1;
	/*! How far [K] the base and the scheduled rate are held into the step while the room air
		would rest beyond it. */
	static constexpr double CONSTANT_REACH = 0.02;
	/*! Whether the air change rises with the room air (MANAGED, DIN). */
	bool rises() const { return m_modelType == MANAGED || m_modelType == DIN; }
	/*! How fast [1/h per K] the air change rises at most over its step (rises()) from its base to a
		larger scheduled air change in the year (its schedule and rules taken on every hour and half
		hour); 0 where it never rises. */
	double steepestRise() const;
	/*! The rise where it lies at hour h, time t [s], room and outside air Ti, Te [K] (MANAGED and
		DIN); with held, the held rise while its switching functions (with restShift) do not call
		for a switch. */
	HeldRise rise(unsigned int h, double t, double Ti, double Te, const HeldRise * held = nullptr, double restShift = 0) const;
	/*! The 3 switching functions [K] of the rise held as held: the held excess (on the step, else
		the smaller one) below the stage's lower end and above its upper end, positive once it and
		the excess where the room air would rest (restShift [K] further; with 0 the room air's own) both lie
		past that end by ControllerBand::SWITCH_HYSTERESIS, or it alone by the stage's reach
		(STEP_REACH, CONSTANT_REACH); and on the step the held excess above the other one,
		positive once passed by ControllerBand::SWITCH_HYSTERESIS; -1 where the stage has no such
		end. */
	void riseSwitchingFunctions(const HeldRise & held, unsigned int h, double t, double Ti, double Te, double * z,
								double restShift = 0) const;
	/*! How fast [1/h per K] the air change falls at most as the room air warms while held as held
		at hour h, time t [s], room and outside air Ti, Te [K]: on a step that falls from the base
		to a smaller scheduled air change, the step's slope; else 0. */
	double steepestFall(const HeldRise & held, unsigned int h, double t, double Ti, double Te) const;
	/*! How far [K] the room air Ti lies below (positive) or above (negative) the step of the rule
		in force at hour h, time t [s], outside air Te [K] (MANAGED and DIN), over the smaller of
		the room's two excesses; 0 on the step. */
	double stepDistance(unsigned int h, double t, double Ti, double Te) const;

	/*! At hour of year h and time t [s], with room and outside air temperatures Ti, Te [K], room
		and outside vapour densities rhoVi, rhoVe [kg/m3] and room air volume [m3]: the vapour
		flow into the room [kg/s] and the heat flow into the room [W]. Stores the air change in
		m_airChangeRate. Without moisture balance the air is dry and of constant density and the
		vapour flow is 0; with it, the enthalpy of moist air at the outside density is exchanged.
		With held (model exchange), the rise of MANAGED and DIN stays on the held stage. */
	void computeLoads(bool moistureBalanceEnabled, unsigned int h, double t, double Ti, double Te,
					  double rhoVi, double rhoVe, double volume, double & moistureFlow, double & heatFlow,
					  const HeldRise * held = nullptr);
	/*! The flows of computeLoads with the moisture balance for volumeFlow [m3/s] of outside air
		exchanged for room air: the vapour flow into the room [kg/s] and the enthalpy flow of the
		moist air at the outside density [W]; the summer assessment's air change carries them too. */
	static void moistAirExchange(double volumeFlow, double Ti, double Te, double rhoVi, double rhoVe,
								 double & moistureFlow, double & heatFlow);

	/*! Reads the "NaturalVentilationModel" element the reader stands on. Unknown children are
		skipped with a warning, a missing model type keeps the type, an unknown one throws as
		keywordIndex, text that is no finite number throws as readFiniteRealElement, as do
		negative air changes and room temperatures below absolute zero, an unreadable time keeps
		the time with a warning. */
	void readXML(QXmlStreamReader & reader);
	/*! Writes the element "NaturalVentilationModel"; the air change is not part of it. */
	void writeXML(QXmlStreamWriter & writer) const;

	QString		m_name;
	ModelType	m_modelType = NONE;
	/*! The scheduled, maximal air change [1/h]. */
	Schedule	m_scheduleAirChangeRates;
	/*! Air change of MANAGED and of DIN by day when the room is not warm enough [1/h]. */
	double		m_baseAirChangeRate = 0.5;
	/*! Air change of DIN at night when the room is not warm enough [1/h]. */
	double		m_baseAirChangeRateNight = 0.24;
	/*! Room temperature above which MANAGED, and DIN by day, ventilate [C]. */
	double		m_minTRoom = 23;
	/*! Excess of room over outside temperature that DIN by day requires [K]. */
	double		m_tRoomDifference = 0;
	/*! Room temperature above which DIN ventilates at night [C]. */
	double		m_setTRoom = 20;
	/*! Excess of room over outside temperature that DIN at night requires [K]. */
	double		m_tRoomDifferenceNight = 0;
	/*! Start of the DIN day, inclusive; always a valid time. */
	QTime		m_occupancyStartTime = QTime(6, 0);
	/*! End of the DIN day, exclusive; always a valid time. */
	QTime		m_occupancyEndTime = QTime(23, 0);
	/*! Air change of the last computeLoads [1/h]; 0 before the first. Below none where a rising
		step is held continued below its base end. */
	double		m_airChangeRate = 0;
	/*! Of the last computeLoads, held on the step beyond its ends: what the step continued there
		adds to the air change [1/h], and to the vapour flow [kg/s] and the heat flow [W] into the
		room; else 0. */
	double		m_continuedAirChange = 0;
	double		m_continuedMoistureFlow = 0;
	double		m_continuedHeatFlow = 0;

private:
	/*! MANAGED and DIN at hour h, time t [s], room and outside air Ti, Te [K]: the base and the
		scheduled air change [1/h] and the excesses of the room air over its threshold and over the
		outside air (and the difference the rule requires) [K] of the rule in force. */
	void riseTerms(unsigned int h, double t, double Ti, double Te, double & nBase, double & nSched,
				   double & roomExcess, double & outsideExcess) const;
};

} // namespace RX

#endif // RX_NaturalVentilationModelH
